// Enumerations that continue with a resume handle, as the system's servers
// keep them: the list is taken when a walk starts and served from there, so
// every batch costs only its entries and "total from here" is known at once.
#pragma once

#include <unordered_map>
#include <vector>

#include "platform/status.h"

namespace vorlek::sim {

// `Bytes` is what an entry takes in the caller's buffer: a batch holds what
// fits in about the preferred length, and at least one entry.
template <class Entry, size_t (*Bytes)(const Entry&)>
class Walks {
  public:
    // `list()` gives the whole list (or the status that fails the call) when
    // `resume_handle` is 0; the status is 234 while more follow, and the
    // handle goes back to 0 when the walk ends. 87 for a handle of no walk.
    template <class List>
    platform::Result<platform::Batch<Entry>> next(uint32_t& resume_handle, uint32_t preferred,
                                                  List&& list) {
        using R = platform::Result<platform::Batch<Entry>>;
        if (resume_handle == 0) {
            platform::Result<std::vector<Entry>> first = list();
            if (!first.ok()) return R::failure(first.status);
            if (walks_.size() >= kMaxWalks) walks_.clear();  // abandoned walks
            resume_handle = next_id_++;
            if (next_id_ == 0) next_id_ = 1;
            walks_[resume_handle] = Walk{std::move(first.value), 0};
        }
        auto it = walks_.find(resume_handle);
        if (it == walks_.end()) return R::failure(platform::status::kInvalidParameter);
        Walk& walk = it->second;
        platform::Batch<Entry> batch;
        batch.total_entries = static_cast<uint32_t>(walk.entries.size() - walk.position);
        // How many fit, then all of them at once: a whole list is handed over
        // as it is.
        size_t end = walk.position, used = 0;
        while (end < walk.entries.size()) {
            used += Bytes(walk.entries[end]);
            if (end > walk.position && used > preferred) break;
            ++end;
        }
        const bool last = end == walk.entries.size();
        if (walk.position == 0 && last) {
            batch.entries = std::move(walk.entries);
        } else {
            batch.entries.reserve(end - walk.position);
            for (; walk.position < end; ++walk.position)
                batch.entries.push_back(std::move(walk.entries[walk.position]));
        }
        if (!last) return {platform::status::kMoreData, std::move(batch)};
        walks_.erase(it);
        resume_handle = 0;
        return {platform::status::kSuccess, std::move(batch)};
    }

  private:
    static constexpr size_t kMaxWalks = 64;
    struct Walk {
        std::vector<Entry> entries;
        size_t position;
    };
    std::unordered_map<uint32_t, Walk> walks_;
    uint32_t next_id_ = 1;
};

}  // namespace vorlek::sim
