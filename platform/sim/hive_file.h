// Hive files in the registry's own format (regf): what RegSaveKey writes and
// RegLoadKey and RegRestoreKey read, so that a hive copied from a real
// machine loads into the simulation and a saved one opens in other tools.
#pragma once

#include <memory>
#include <vector>

#include "platform/sim/registry.h"

namespace vorlek::sim {

// The key, its values and every non-volatile key below it, with classes,
// write times and security descriptors; `saved` is the file's time stamp.
std::vector<uint8_t> write_hive(const KeyNode& root, platform::FileTime saved);

// The tree a hive file holds, its root named as the file names it. A file
// that is not a hive fails with 1009, one that ends before its data with
// 1392, and one whose cells do not form a tree (offsets outside the data,
// cycles, counts larger than their cells, more than 512 levels) with 1010.
// Memory stays proportional to the file's size.
platform::Result<std::shared_ptr<KeyNode>> read_hive(const std::vector<uint8_t>& file);

}  // namespace vorlek::sim
