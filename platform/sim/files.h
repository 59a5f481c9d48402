// The files of a simulated machine, as far as its operations read and write
// them (message files, hive files, event-log backups, sounds).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "automation/text.h"
#include "platform/sim/copy_on_write.h"

namespace vorlek::sim {

// Paths compare without regard to case, as on NT. Reads see the files as
// they are; only the writing members make a copied machine's files its own.
class FileStore {
  public:
    using Map =
        std::unordered_map<String, std::vector<uint8_t>, CaseInsensitiveHash, CaseInsensitiveEqual>;
    using const_iterator = Map::const_iterator;

    const_iterator find(StringView path) const { return files_->find(path); }
    size_t count(StringView path) const { return files_->count(path); }
    const std::vector<uint8_t>& at(StringView path) const { return files_->at(String(path)); }
    const_iterator begin() const { return files_->begin(); }
    const_iterator end() const { return files_->end(); }

    std::vector<uint8_t>& operator[](const String& path) { return files_.write()[path]; }
    size_t erase(const String& path) { return files_.write().erase(path); }

  private:
    CopyOnWrite<Map> files_;
};

}  // namespace vorlek::sim
