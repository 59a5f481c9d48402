// Eventer on the default network: events written and read back with their
// texts, every filter, insertion strings and parameter messages, the data
// texts, backups and clearing, and every log and source handle closed.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/simulated.h"

#include "bench/heap.h"
#include "eventlog/eventer.h"
#include "library/client.h"
#include "platform/sim/eventlog.h"
#include "platform/sim/messages.h"
#include "platform/sim/registry.h"

namespace vorlek {
namespace {

namespace st = platform::status;

class EventerTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch e = client::create(u"Vorlek.Eventer");

    // Each test starts from an empty Application log (the machine's history
    // is in it).
    void SetUp() override {
        auto& el = platform::current().eventlog();
        auto h = el.open(u"", u"Application");
        ASSERT_EQ(el.clear(h.value, std::nullopt), 0u);
        el.close(h.value);
    }

    int32_t write(int16_t type, int32_t id, StringView source, int16_t category, String desc,
                  Variant data = Variant(), StringView user = u"") {
        return e
            .call(u"WriteEvent", {type, id, String(source), category, std::move(desc),
                                  std::move(data), u"", String(user)})
            .to_long();
    }
    // InitReadEvents with named arguments over the defaults.
    int32_t read(std::vector<client::Named> named = {}) {
        return e.call(u"InitReadEvents", {}, std::move(named)).to_long();
    }
    std::vector<client::Dispatch> items() {
        std::vector<client::Dispatch> out;
        for (const Variant& v : client::Dispatch(e.get(u"Events")).each())
            out.emplace_back(v);
        return out;
    }
    client::Dispatch last() { return items().back(); }
    String text(const client::Dispatch& d, StringView member) { return d.get(member).to_string(); }
    sim::KeyNode& source_key(StringView log, StringView source) {
        return sim::find_key(*sim::registry_state(*net, net->local()).local_machine,
                             u"SYSTEM\\CurrentControlSet\\Services\\EventLog")
            ->add_child(log)
            .add_child(source);
    }
};

TEST_F(EventerTest, AWrittenEventReadsBackWithItsTexts) {
    const String desc = String(u"first line\r\nsecond", 18) + u'\0' + u"two";
    ASSERT_EQ(write(Eventer::kTypeError, 0x40000123, u"No Message File", 0, desc,
                    Variant::byte_array({1, 2, 3, 4, 5}), u"\\??\\"),
              0);
    ASSERT_EQ(read(), 0);
    EXPECT_EQ(e.get(u"EventRecordsNum").to_long(), 1);
    auto item = last();
    EXPECT_EQ(item.get(u"EventID").to_long(), 0x123);
    EXPECT_EQ(text(item, u"EventType"), u"TYPE_ERROR");
    EXPECT_EQ(text(item, u"EventSource"), u"No Message File");
    EXPECT_EQ(text(item, u"EventComputer"), u"WS0001");
    EXPECT_EQ(text(item, u"EventUser"), u"Administrator");
    EXPECT_EQ(text(item, u"EventCategory"), u"none");
    EXPECT_EQ(text(item, u"EventDescription"),
              u"The description for Event ID ( 291 ) in Source ( No Message File ) could not be "
              u"found. It contains the following insertion string(s): first line\nsecond,two");
    EXPECT_EQ(text(item, u"EventDataBytes"), u"01 02 03 04 05");
    EXPECT_EQ(text(item, u"EventDataWords"), u"04030201 05");
    EXPECT_EQ(text(item, u"EventDataString"), u".....");
    EXPECT_EQ(item.get(u"EventRecordNumber").to_long(), 1);
    const Date written = item.get(u"EventDateWritten").to_date();
    EXPECT_GT(written.serial, 36000.0);
    // The object that read keeps its own fields.
    EXPECT_EQ(text(e, u"EventType"), u"");
    EXPECT_TRUE(e.get(u"EventData").is_empty());
    // A source with message files: the message, its category, its inserts.
    ASSERT_EQ(write(Eventer::kTypeInformation, 2, u"Vorlek", 1000, u"ignored"), 0);
    ASSERT_EQ(read(), 0);
    item = last();
    EXPECT_EQ(text(item, u"EventCategory"), u"Category one");
    EXPECT_EQ(text(item, u"EventDescription"),
              u"First paragraph.\nSecond paragraph with ignored kept.");
    EXPECT_EQ(text(item, u"EventUser"), u"N/A");
    EXPECT_EQ(text(item, u"EventDataBytes"), u"---");
    const Variant none = item.get(u"EventData");
    ASSERT_TRUE(none.if_array());
    EXPECT_EQ(std::get<std::vector<uint8_t>>(none.if_array()->elements), std::vector<uint8_t>{0});
    EXPECT_EQ(net->handles().open_count(), 0u);
}

// The history every machine starts with reads with the texts of its sources'
// message files: parameter messages, audit categories, deleted accounts.
TEST_F(EventerTest, TheMachinesHistoryReadsWithItsFullTexts) {
    ASSERT_EQ(read({{u"strEventSource", u"System"}, {u"lngID", 7000}}), 0);
    EXPECT_GT(e.get(u"EventRecordsNum").to_long(), 300);
    ASSERT_FALSE(items().empty());
    EXPECT_EQ(text(last(), u"EventDescription"),
              u"The Vorlek Sample service failed to start due to the following error: \nThe "
              u"service did not respond to the start or control request in a timely fashion.");
    ASSERT_EQ(read({{u"strEventSource", u"System"}, {u"lngID", 7031}}), 0);
    for (const auto& item : items())
        EXPECT_EQ(text(item, u"EventDataBytes").size(), 47u);  // 16 bytes, two lines

    set_privilege(u"SeSecurityPrivilege", true);
    ASSERT_EQ(read({{u"strEventSource", u"Security"}, {u"strCategory", u"Account Management"}}), 0);
    ASSERT_FALSE(items().empty());
    EXPECT_EQ(text(items()[0], u"EventType"), u"TYPE_AUDIT_SUCCESS");
    EXPECT_EQ(text(items()[0], u"EventDescription").substr(0, 22), u"User Account Created:\n");
    ASSERT_EQ(read({{u"strEventSource", u"Security"}, {u"strUser", u"---"}, {u"lngID", 528}}), 0);
    EXPECT_FALSE(items().empty());  // logons of accounts deleted since
    ASSERT_EQ(read({{u"strEventSource", u"Vorlek Inventory"}}), 0);
    EXPECT_EQ(text(last(), u"EventCategory"), u"Category one");
}

// Every record's dates are what DllClass.FileTimeToLocFileTime makes of its
// times, though the reader converts only the first itself.
TEST_F(EventerTest, DatesAreTheLocalTimesOfTheRecords) {
    ASSERT_EQ(read({{u"strEventSource", u"System"}}), 0);
    const auto list = items();
    auto& el = platform::current().eventlog();
    auto h = el.open(u"", u"System");
    auto dll = client::create(u"Vorlek.DllClass");
    size_t i = 0;
    for (;;) {
        auto r = el.read(h.value, platform::evt::kSequentialRead | platform::evt::kForwardsRead, 0,
                         0x10000);
        if (!r.ok()) break;
        for (const auto& rec : r.value.records) {
            ASSERT_LT(i, list.size());
            for (auto [member, seconds] : {std::pair{u"EventDateWritten", rec.time_written},
                                           std::pair{u"EventDateGenerated", rec.time_generated}}) {
                const Date utc{Eventer::kDate19700101 + seconds / 86400.0};
                const Date local = dll.call(u"FileTimeToLocFileTime", {utc}).to_date();
                EXPECT_EQ(list[i].get(member).to_date().serial, local.serial) << i;
            }
            ++i;
        }
    }
    el.close(h.value);
    EXPECT_EQ(i, list.size());
}

// A listed event costs at most 300 bytes beyond its texts (the description
// and the key): the item, its place in the collection and its share of what
// the listing holds, the source, computer, category and user among it.
TEST_F(EventerTest, ListedItemsStaySmall) {
    if (!bench::kHeapCounted) GTEST_SKIP() << "the heap is not counted here";
    constexpr int kItems = 3000;
    auto& el = platform::current().eventlog();
    auto h = el.register_source(u"", u"Vorlek");
    const std::vector<uint8_t> sid = platform::sid::builtin_alias(544).bytes();
    for (int i = 0; i < kItems; ++i)
        el.report(h.value, 2, 1000, 2, sid, {u"first " + decimal(i), u"second string", u"third"},
                  std::vector<uint8_t>(16, 0x5A));
    el.deregister_source(h.value);
    double texts = 0;
    const double per_item = bench::heap_per_item(kItems, [&](auto held) {
        ASSERT_EQ(read(), 0);
        held();
        for (const client::Dispatch& d : items())
            texts += 2.0 * (text(d, u"EventDescription").size() +
                            decimal(d.get(u"EventRecordNumber").to_long()).size());
    });
    EXPECT_LE(per_item, 300 + texts / kItems) << texts / kItems;
}

// The data texts: line feeds after every 8th byte, every 4th word and every
// 8th character; leftover bytes after the last whole word.
TEST(EventerDataTest, TheThreeTextsOfTheData) {
    struct Case {
        std::vector<uint8_t> data;
        StringView bytes, words, chars;
    };
    const Case cases[] = {
        {{}, u"---", u"---", u"---"},
        {{0x41}, u"41", u"41", u"A"},
        {{0x41, 0x42, 0x20, 0x7F}, u"41 42 20 7F", u"7F204241 ", u"AB.."},
        {{1, 2, 3, 4, 5}, u"01 02 03 04 05", u"04030201 05", u"....."},
        {{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0xA0},
         u"61 62 63 64 65 66 67 68\nA0",
         u"64636261 68676665 A0",
         u"abcdefgh\n."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(data_bytes_text(c.data), c.bytes);
        EXPECT_EQ(data_words_text(c.data), c.words);
        String chars;
        for (uint8_t b : c.data)
            chars.push_back(b);
        EXPECT_EQ(data_chars_text(chars), c.chars);
    }
    std::vector<uint8_t> sixteen(17, 0xAB);
    EXPECT_EQ(data_words_text(sixteen), u"ABABABAB ABABABAB ABABABAB ABABABAB\nAB");
}

TEST(EventerInsertTest, PlaceholdersAreReplacedInOnePass) {
    std::vector<String> strings;
    for (int i = 1; i <= 12; ++i)
        strings.push_back(u"s" + decimal(i));
    strings[1] = u"has %1 in it";
    EXPECT_EQ(insert_strings(u"%1 %10 %2 %12 %13 %0 %% 100% %", strings),
              u"s1 s10 has %1 in it s12 %13 %0 %% 100% %");
    EXPECT_EQ(insert_strings(u"%99999999999999999999 end", strings), u"%99999999999999999999 end");
    EXPECT_EQ(insert_strings(u"no inserts", {}), u"no inserts");
}

TEST_F(EventerTest, EveryFilterAloneAndCombined) {
    ASSERT_EQ(write(Eventer::kTypeError, 10, u"Alpha", 0, u"disk full"), 0);
    ASSERT_EQ(
        write(Eventer::kTypeWarning, 11, u"Beta", 0, u"disk slow", Variant::byte_array({'X', 'Y'})),
        0);
    ASSERT_EQ(write(Eventer::kTypeInformation, 12, u"alpha", 0, u"all well"), 0);
    ASSERT_EQ(write(0, 13, u"Gamma", 0, u"no type"), 0);
    ASSERT_EQ(write(Eventer::kTypeAuditSuccess, 0x10000 + 10, u"Alpha", 0, u"high bits", Variant(),
                    u"\\??\\"),
              0);
    using N = client::Named;
    struct Case {
        std::vector<N> named;
        std::vector<int32_t> numbers;  // record numbers kept
    };
    const Case cases[] = {
        {{}, {1, 2, 3, 4, 5}},
        {{N{u"lngID", 10}}, {1, 5}},  // the low 16 bits
        {{N{u"lngType", 3}}, {1, 2}},
        {{N{u"lngType", 0}}, {}},               // type 0 only with -1
        {{N{u"strSource", u"Alpha"}}, {1, 5}},  // case-sensitive
        {{N{u"strSource", u"[!A]*"}}, {2, 3, 4}},
        {{N{u"strSource", u""}}, {1, 2, 3, 4, 5}},
        {{N{u"strDescription", u"*disk*"}}, {1, 2}},
        {{N{u"strDescription", u"*: disk ????"}}, {1, 2}},
        {{N{u"strDataString", u"XY"}}, {2}},
        {{N{u"strDataString", u"---"}}, {1, 3, 4, 5}},
        {{N{u"strDataString", u""}}, {}},
        {{N{u"strUser", u"Admin*"}}, {5}},
        {{N{u"strUser", u"N/A"}}, {1, 2, 3, 4}},
        {{N{u"strComputer", u"WS000#"}}, {1, 2, 3, 4, 5}},
        {{N{u"strComputer", u"SRV*"}}, {}},
        {{N{u"strCategory", u"none"}}, {1, 2, 3, 4, 5}},
        {{N{u"lngID", 10}, N{u"strSource", u"Alpha"}, N{u"lngType", 8}}, {5}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(read(c.named), 0);
        std::vector<int32_t> kept;
        for (const auto& item : items())
            kept.push_back(item.get(u"EventRecordNumber").to_long());
        EXPECT_EQ(kept, c.numbers) << (c.named.empty() ? "" : to_utf8(c.named[0].name));
        EXPECT_EQ(e.get(u"EventRecordsNum").to_long(), 5);  // every record, kept or not
    }
}

TEST_F(EventerTest, DateBoundsInLocalTime) {
    ASSERT_EQ(write(Eventer::kTypeError, 1, u"Alpha", 0, u"x"), 0);
    ASSERT_EQ(read(), 0);
    const double written = last().get(u"EventDateWritten").to_date().serial;
    const double midnight = static_cast<double>(static_cast<int64_t>(written));
    struct Case {
        double from, until;  // 1970-01-01 is no bound
        size_t kept;
    };
    constexpr double kNone = Eventer::kDate19700101;
    for (const Case& c :
         {Case{written, kNone, 1}, Case{written + 0.001, kNone, 0}, Case{kNone, written, 1},
          Case{kNone, midnight, 0}, Case{midnight, midnight + 1, 1}}) {
        ASSERT_EQ(read({{u"dteFrom", Date{c.from}}, {u"dteUntil", Date{c.until}}}), 0);
        EXPECT_EQ(items().size(), c.kept) << c.from << " " << c.until;
    }
}

TEST_F(EventerTest, ParameterMessagesAndTheGermanTexts) {
    sim::KeyNode& k = source_key(u"Application", u"Params");
    k.set_value(u"EventMessageFile", platform::reg::kExpandSz,
                sim::utf16_bytes(String(u"%SystemRoot%\\system32\\missing.dll;") +
                                 String(sim::kSampleMessageFilePath) + u'\0'));
    k.set_value(u"ParameterMessageFile", platform::reg::kSz,
                sim::utf16_bytes(String(sim::kSampleMessageFilePath) + u'\0'));
    const String desc = String(u"%%1") + u'\0' + u"%%abc" + u'\0' + u"100%%";
    ASSERT_EQ(write(Eventer::kTypeWarning, 2, u"Params", 0, desc), 0);
    ASSERT_EQ(read(), 0);
    // The second file has the message; %1 is the parameter message 1.
    EXPECT_EQ(text(last(), u"EventDescription"),
              u"First paragraph.\nSecond paragraph with The sample service started. kept.");
    ASSERT_EQ(write(Eventer::kTypeWarning, 77, u"Params", 0, desc), 0);
    ASSERT_EQ(read(), 0);
    EXPECT_EQ(text(last(), u"EventDescription"),
              u"The description for Event ID ( 77 ) in Source ( Params ) could not be found. It "
              u"contains the following insertion string(s): The sample service started.,%abc,100%");

    net->local().locale.user_lcid = 1031;
    ASSERT_EQ(read(), 0);
    auto item = last();
    EXPECT_EQ(text(item, u"EventUser"), u"---");
    EXPECT_EQ(text(item, u"EventCategory"), u"---");
    EXPECT_EQ(text(item, u"EventDescription").substr(0, 40),
              u"Die Beschreibung der Ereignis-ID ( 77 ) ");
}

TEST_F(EventerTest, ALargeRecordGrowsTheBufferAndBackupsReadWithTheLogsTexts) {
    ASSERT_EQ(write(Eventer::kTypeError, 1, u"Vorlek", 0, u"small"), 0);
    ASSERT_EQ(write(Eventer::kTypeError, 1, u"Vorlek", 0, String(9000, u'y')), 0);
    ASSERT_EQ(write(Eventer::kTypeError, 1, u"Vorlek", 0, u"after"), 0);
    ASSERT_EQ(read(), 0);
    ASSERT_EQ(items().size(), 3u);
    EXPECT_EQ(text(items()[1], u"EventDescription"), u"The sample service started.");

    EXPECT_EQ(e.call(u"SaveEventLog", {u"C:\\app.evt"}).to_long(), 0);
    EXPECT_EQ(e.call(u"SaveEventLog", {u"C:\\app.evt"}).to_long(), 183);
    EXPECT_EQ(e.call(u"CleanEventLog", {u"C:\\cleared.evt"}).to_long(), 0);
    ASSERT_EQ(read(), 0);
    EXPECT_EQ(items().size(), 0u);
    EXPECT_EQ(e.get(u"EventRecordsNum").to_long(), 0);
    for (StringView file : {u"C:\\app.evt", u"C:\\cleared.evt"}) {
        ASSERT_EQ(read({{u"strFile", String(file)}, {u"strConnect", u"NOSUCH"}}), 0);
        ASSERT_EQ(items().size(), 3u);
        EXPECT_EQ(text(items()[2], u"EventDescription"), u"The sample service started.");
    }
    EXPECT_EQ(read({{u"strFile", u"C:\\none.evt"}}), 2);
    EXPECT_EQ(e.call(u"CleanEventLog", {}).to_long(), 0);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(EventerTest, AccountsKeysAndTwoReads) {
    platform::Sid gone = sim::account_database(*net, net->local()).domain_sid.with_rid(4321);
    std::vector<uint8_t> sid = gone.bytes();
    auto& el = platform::current().eventlog();
    auto h = el.register_source(u"", u"Alpha");
    ASSERT_EQ(el.report(h.value, 1, 0, 5, sid, {}, {}), 0u);
    el.deregister_source(h.value);
    ASSERT_EQ(write(Eventer::kTypeError, 6, u"Alpha", 0, u"x", Variant(), u"Guest"), 0);
    ASSERT_EQ(read(), 0);
    auto list = items();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(text(list[0], u"EventUser"), u"---");  // an account that is gone
    EXPECT_EQ(text(list[1], u"EventUser"), u"Guest");
    const Variant first = e.get(u"Events");
    ASSERT_EQ(read(), 0);
    EXPECT_NE(first.object(), e.get(u"Events").object());
    EXPECT_EQ(client::Dispatch(client::Dispatch(e.get(u"Events")).call(u"Item", {u"2"}))
                  .get(u"EventID")
                  .to_long(),
              6);
}

// Bad input returns normally; every failed call is the member's result and
// leaves no handle open.
TEST_F(EventerTest, BadInputAndFailedCalls) {
    EXPECT_EQ(write(1, 1, u"Alpha", 0, u"x", Variant(u"not bytes")), err::kTypeMismatch);
    EXPECT_EQ(write(1, 1, u"Alpha", 0, u"x", Variant(), u"nobody-at-all"), 1332);
    EXPECT_EQ(write(1, 1, String(u"Alpha\0x", 7), 0, u"x"), 123);
    EXPECT_EQ(read({{u"strEventSource", String(u"System\0x", 8)}}), 123);
    EXPECT_EQ(read({{u"strConnect", u"NOSUCH"}}), 1722);
    EXPECT_EQ(read({{u"strEventSource", u"Security"}}), 1314);
    EXPECT_EQ(e.call(u"SaveEventLog", {u""}).to_long(), 87);

    ASSERT_EQ(write(1, 1, u"Alpha", 0, u"x"), 0);
    struct Case {
        const sim::Operation& op;
        std::function<int32_t()> act;
    };
    const Case cases[] = {
        {sim::op::OpenEventLog, [&] { return read(); }},
        {sim::op::GetNumberOfEventLogRecords, [&] { return read(); }},
        {sim::op::ReadEventLog, [&] { return read(); }},
        {sim::op::OpenBackupEventLog,
         [&] {
             return read({{u"strFile", u"C:\\x.evt"}});
         }},
        {sim::op::RegisterEventSource, [&] { return write(1, 1, u"Alpha", 0, u"x"); }},
        {sim::op::ReportEvent, [&] { return write(1, 1, u"Alpha", 0, u"x"); }},
        {sim::op::OpenEventLog, [&] { return e.call(u"SaveEventLog", {u"C:\\b.evt"}).to_long(); }},
        {sim::op::BackupEventLog,
         [&] { return e.call(u"SaveEventLog", {u"C:\\b.evt"}).to_long(); }},
        {sim::op::ClearEventLog, [&] { return e.call(u"CleanEventLog", {}).to_long(); }},
    };
    for (const Case& c : cases) {
        net->faults().fail(c.op, 1722);
        EXPECT_EQ(c.act(), 1722) << to_utf8(c.op.name);
        EXPECT_EQ(net->handles().open_count(), 0u) << to_utf8(c.op.name);
    }
    ASSERT_EQ(read(), 0);
    EXPECT_EQ(items().size(), 1u);  // nothing written, nothing cleared by the failures
}

}  // namespace
}  // namespace vorlek
