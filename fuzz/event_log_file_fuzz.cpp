// The event-log file reader on arbitrary bytes: a file is read or refused
// with 1500, in memory proportional to the file and in time that ends. What
// it reads must hold together: every record decodes, a backup of it reads
// back to the same records, and appending to it keeps them in order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "platform/sim/event_log_file.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace st = vorlek::platform::status;
    using vorlek::sim::EventLogFile;
    auto read = EventLogFile::read(std::span<const uint8_t>(data, size));
    if (!read.ok()) {
        if (read.status != st::kEventLogFileCorrupt) fail("unexpected status");
        return 0;
    }
    EventLogFile& log = read.value;
    std::vector<vorlek::sim::EventRecord> records;
    for (size_t i = 0; i < log.count(); ++i)
        records.push_back(log.record(i));
    auto again = EventLogFile::read(log.backup());
    if (!again.ok() || again.value.count() != records.size()) fail("a backup does not read back");
    for (size_t i = 0; i < records.size(); ++i)
        if (!(again.value.record(i) == records[i])) fail("a backup changes a record");
    // Appending to a log read from a file keeps it a log: the ring goes on.
    vorlek::sim::EventRecord r;
    r.source = u"Fuzz";
    r.strings = {u"appended"};
    if (log.append(r, 0) == st::kSuccess) {
        auto grown = EventLogFile::read(log.image());
        if (!grown.ok() || grown.value.count() != log.count()) fail("an append breaks the log");
        if (!(grown.value.record(log.count() - 1).strings == r.strings)) fail("the append is lost");
    }
    return 0;
}
