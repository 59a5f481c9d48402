// The files of a simulated machine, as far as its operations read and write
// them (message files, and later hive files and event-log backups).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "automation/text.h"

namespace vorlek::sim {

// Paths compare without regard to case, as on NT.
using FileStore =
    std::unordered_map<String, std::vector<uint8_t>, CaseInsensitiveHash, CaseInsensitiveEqual>;

}  // namespace vorlek::sim
