// The hive-file reader on arbitrary bytes: a file is read or refused with one
// of its statuses, in memory proportional to the file and in time that ends.
// A tree it reads is saved again, and that file must read back to a tree that
// saves to the same bytes: what the reader accepts, the writer can keep.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/sim/hive_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace st = vorlek::platform::status;
    using vorlek::sim::read_hive;
    using vorlek::sim::write_hive;
    const std::vector<uint8_t> file(data, data + size);
    const auto first = read_hive(file);
    if (first.status != 0) {
        if (first.status != st::kBadDb && first.status != st::kFileCorrupt &&
            first.status != st::kBadKey) {
            std::fprintf(stderr, "unexpected status %u\n", first.status);
            std::abort();
        }
        return 0;
    }
    const auto saved = write_hive(*first.value, 1);
    const auto second = read_hive(saved);
    if (second.status != 0) {
        std::fprintf(stderr, "a saved tree reads back with %u\n", second.status);
        std::abort();
    }
    if (write_hive(*second.value, 1) != saved) {
        std::fprintf(stderr, "a saved tree saves differently once read back\n");
        std::abort();
    }
    return 0;
}
