// Event-log files: records read back whole from the live ring and from a
// backup, the log wraps and keeps its records as its retention says, an
// independent reader (evtexport) reads what the simulation writes, and
// damaged files are refused with 1500 instead of being trusted.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "platform/little_endian.h"
#include "platform/sim/event_log_file.h"
#include "tests/support/reader_tool.h"

namespace vorlek {
namespace {

namespace st = platform::status;
using sim::EventLogFile;
using sim::EventRecord;

EventRecord sample(uint32_t i) {
    EventRecord r;
    r.time_generated = 1'700'000'000 + i;
    r.time_written = 1'700'000'000 + i + 1;
    r.event_id = 0xC0000000u | (1000 + i);
    r.type = static_cast<uint16_t>(1u << (i % 5));
    r.category = static_cast<uint16_t>(i % 3);
    r.source = i % 2 ? u"Service Control Manager" : u"Vorlek Test";
    r.computer = u"PDC01";
    if (i % 3 == 0) r.sid = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 32, 2, 0, 0};
    for (uint32_t k = 0; k < i % 12; ++k)
        r.strings.push_back(u"s" + String(k + 1, u'x'));
    r.data.assign(i % 10, static_cast<uint8_t>(i));
    return r;
}

std::vector<EventRecord> records_of(const EventLogFile& log) {
    std::vector<EventRecord> out;
    for (size_t i = 0; i < log.count(); ++i)
        out.push_back(log.record(i));
    return out;
}

TEST(EventLogFileTest, RecordsReadBackWholeFromTheLogAndItsBackup) {
    EventLogFile log(512 * 1024, sim::kOverwriteAsNeeded);
    EventRecord odd = sample(7);
    odd.source = u"Qu\u00e9bec \u20ac";  // beyond Latin-1, kept as UTF-16
    odd.computer.clear();
    odd.strings = {u"", u"a\u0416", u""};  // empty strings keep their place
    ASSERT_EQ(log.append(odd, 0), st::kSuccess);
    for (uint32_t i = 0; i < 40; ++i)
        ASSERT_EQ(log.append(sample(i), 0), st::kSuccess);
    EXPECT_EQ(log.count(), 41u);
    EXPECT_EQ(log.oldest_number(), 1u);
    EXPECT_EQ(log.next_number(), 42u);
    EXPECT_EQ(log.record(0).strings, odd.strings);
    EXPECT_EQ(log.record(0).source, odd.source);
    EXPECT_EQ(log.record(5).number, 6u);
    for (size_t i = 0; i < log.count(); ++i)
        EXPECT_EQ(log.record_length(i) % 4, 0u);

    for (const auto& file : {log.image(), log.backup()}) {
        auto back = EventLogFile::read(file);
        ASSERT_EQ(back.status, st::kSuccess);
        EXPECT_EQ(records_of(back.value), records_of(log));
        EXPECT_EQ(back.value.next_number(), 42u);
    }
    log.clear();
    EXPECT_EQ(log.count(), 0u);
    EXPECT_EQ(log.oldest_number(), 0u);
    ASSERT_EQ(log.append(sample(1), 0), st::kSuccess);
    EXPECT_EQ(log.record(0).number, 1u);  // numbering starts again
}

// A small log wraps: records split at the file's end go on after the header,
// the oldest give way, and both the ring and its backup read oldest first.
TEST(EventLogFileTest, AFullLogWrapsAndDropsItsOldestRecords) {
    EventLogFile log(2048, sim::kOverwriteAsNeeded);
    for (uint32_t i = 0; i < 300; ++i)
        ASSERT_EQ(log.append(sample(i), 0), st::kSuccess) << i;
    EXPECT_TRUE(log.flags() & EventLogFile::kWrapped);
    EXPECT_EQ(log.next_number(), 301u);
    ASSERT_GT(log.count(), 3u);
    EXPECT_EQ(log.oldest_number(), 301u - log.count());
    EXPECT_EQ(log.image().size(), 2048u);
    size_t bytes = 0;
    for (size_t i = 0; i < log.count(); ++i) {
        bytes += log.record_length(i);
        EXPECT_EQ(log.record(i).number, log.oldest_number() + i);
        EXPECT_EQ(log.record(i).strings, sample(log.oldest_number() - 1 + i).strings);
    }
    EXPECT_LE(bytes + EventLogFile::kHeaderSize + EventLogFile::kEofSize, 2048u);

    // Every phase of the ring reads back, split records and all.
    for (uint32_t i = 300; i < 340; ++i) {
        ASSERT_EQ(log.append(sample(i), 0), st::kSuccess);
        auto ring = EventLogFile::read(log.image());
        ASSERT_EQ(ring.status, st::kSuccess) << i;
        ASSERT_EQ(records_of(ring.value), records_of(log)) << i;
        auto linear = EventLogFile::read(log.backup());
        ASSERT_EQ(linear.status, st::kSuccess) << i;
        ASSERT_EQ(records_of(linear.value), records_of(log)) << i;
    }
}

TEST(EventLogFileTest, RetentionDecidesWhatMayBeOverwritten) {
    struct Case {
        uint32_t retention;
        uint32_t now;  // the records are written at 1'700'000'003
        bool overwrites;
    };
    const Case cases[] = {
        {sim::kOverwriteAsNeeded, 0, true},
        {sim::kNeverOverwrite, 1'800'000'000, false},
        {7 * 86400, 1'700'000'000 + 7 * 86400, false},  // not older than seven days yet
        {7 * 86400, 1'700'000'400 + 7 * 86400, true},
    };
    for (const Case& c : cases) {
        EventLogFile log(1024, c.retention);
        int i = 0;
        while (log.append(sample(2), 0) == st::kSuccess && log.flags() == 0)
            ++i;
        // The last append filled the log or was refused: start from a full one.
        const auto before = log.image();
        const size_t count = log.count();
        const platform::Status s = log.append(sample(2), c.now);
        if (c.overwrites) {
            EXPECT_EQ(s, st::kSuccess) << c.retention;
        } else {
            EXPECT_EQ(s, st::kLogFileFull) << c.retention;
            EXPECT_EQ(log.count(), count);
            EXPECT_TRUE(log.flags() & EventLogFile::kFullWritten);
            auto after = log.image();
            EXPECT_EQ(platform::get32(after.data() + 36) & ~EventLogFile::kFullWritten,
                      platform::get32(before.data() + 36) & ~EventLogFile::kFullWritten);
            after[36] = before[36];
            EXPECT_EQ(after, before);  // nothing else moved
        }
    }
    EventLogFile tiny(1024, sim::kOverwriteAsNeeded);
    EventRecord huge = sample(0);
    huge.data.assign(4096, 1);
    EXPECT_EQ(tiny.append(huge, 0), st::kLogFileFull);  // larger than the whole log
    EXPECT_EQ(tiny.count(), 0u);
}

// Damaged and hostile files: each is refused, none is trusted past its end.
TEST(EventLogFileTest, DamagedFilesAreRefused) {
    EventLogFile log(64 * 1024, sim::kOverwriteAsNeeded);
    for (uint32_t i = 0; i < 6; ++i)
        log.append(sample(i), 0);
    const std::vector<uint8_t> good = log.backup();
    const uint32_t first = EventLogFile::kHeaderSize;
    const uint32_t second = first + platform::get32(good.data() + first);  // has strings and data
    const uint32_t eof = platform::get32(good.data() + 20);
    using Edit = std::function<void(std::vector<uint8_t>&)>;
    auto set32 = [](size_t at, uint32_t v) {
        return Edit([=](std::vector<uint8_t>& f) { platform::put32(f.data() + at, v); });
    };
    struct Case {
        const char* what;
        Edit edit;
    };
    const Case cases[] = {
        {"empty", [](auto& f) { f.clear(); }},
        {"header only", [](auto& f) { f.resize(EventLogFile::kHeaderSize); }},
        {"not a log", set32(4, 0x12345678)},
        {"another version", set32(8, 2)},
        {"cut before the end-of-file record", [&](auto& f) { f.resize(eof + 8); }},
        {"no end-of-file record", [&](auto& f) { f[eof + 4] ^= 1; }},
        {"oldest record outside the file", set32(eof + 20, 0x7FFFFFF0)},
        {"record length 0", set32(first, 0)},
        {"record length past the end", set32(first, eof + 64)},
        {"record length not a dword multiple", set32(first, 0x6A)},
        {"closing length differs",
         [&](auto& f) { f[first + platform::get32(f.data() + first) - 4] ^= 4; }},
        {"strings past the record", set32(second + 36, 0xFFFFFFF0)},
        {"SID past the record", set32(first + 40, 0x10000)},
        {"data offset inside the fixed part", set32(second + 52, 8)},
        {"data length wraps around", set32(first + 48, 0xFFFFFFFF)},
        {"more strings than the record holds",
         [&](auto& f) { platform::put16(f.data() + second + 26, 60000); }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> f = good;
        c.edit(f);
        EXPECT_EQ(EventLogFile::read(f).status, st::kEventLogFileCorrupt) << c.what;
    }
    // A log that was not closed: the header's offsets are stale, the
    // end-of-file record is found where it is.
    std::vector<uint8_t> dirty = good;
    platform::put32(dirty.data() + 20, first);
    platform::put32(dirty.data() + 36, EventLogFile::kDirty);
    auto read = EventLogFile::read(dirty);
    ASSERT_EQ(read.status, st::kSuccess);
    EXPECT_EQ(records_of(read.value), records_of(log));
}

// The independent reader: evtexport of libevt-utils.
std::string evtexport(const std::vector<uint8_t>& file) {
    return testing_support::run_reader("evtexport", file, "/tmp/vorlek_event_log_test.evt");
}
using testing_support::occurrences;

TEST(EventLogFileTest, AnotherToolReadsTheBackupAndTheWrappedLog) {
    EventLogFile log(512 * 1024, sim::kOverwriteAsNeeded);
    for (uint32_t i = 0; i < 25; ++i)
        log.append(sample(i), 0);
    const std::string out = evtexport(log.backup());
    auto count = [&](const std::string& what) { return occurrences(out, what); };
    EXPECT_EQ(count("Event number\t\t\t: "), 25u) << out.substr(0, 1500);
    EXPECT_EQ(count("Event number\t\t\t: 25\n"), 1u);
    EXPECT_EQ(count("Source name\t\t\t: Service Control Manager\n"), 12u);
    EXPECT_EQ(count("Computer name\t\t\t: PDC01\n"), 25u);
    EXPECT_EQ(count("Event type\t\t\t: Warning event (2)\n"), 5u);
    EXPECT_EQ(count("Event identifier\t\t: 0xc00003f3 (3221226483)\n"), 1u);
    EXPECT_EQ(count("Written time\t\t\t: Nov 14, 2023 22:13:21 UTC\n"), 1u);
    EXPECT_EQ(count("String: 11\t\t\t: sxxxxxxxxxxx\n"), 2u);  // records 12 and 24
    EXPECT_EQ(out.find("Unable"), std::string::npos) << out.substr(0, 2000);

    // The live file of a log that has wrapped, a record split at its end.
    EventLogFile ring(2048, sim::kOverwriteAsNeeded);
    for (uint32_t i = 0; i < 200; ++i)
        ring.append(sample(i), 0);
    const std::string wrapped = evtexport(ring.image());
    EXPECT_EQ(occurrences(wrapped, "Event number\t\t\t: "), ring.count()) << wrapped;
    EXPECT_EQ(
        occurrences(wrapped, "Event number\t\t\t: " + std::to_string(ring.oldest_number()) + "\n"),
        1u);
    EXPECT_EQ(occurrences(wrapped, "Event number\t\t\t: 200\n"), 1u);
}

}  // namespace
}  // namespace vorlek
