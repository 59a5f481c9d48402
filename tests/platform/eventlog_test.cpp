// The simulated event-log service: reports read back as ReadEventLog
// delivers them, reads in every direction and buffer size, logs and sources
// as the registry names them, the Security log's privilege, backups and
// clearing, and every handle closed.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/simulated.h"

#include "platform/accounts.h"
#include "platform/eventlog.h"
#include "platform/processes.h"
#include "platform/sim/eventlog.h"
#include "platform/sim/handles.h"
#include "platform/sim/registry.h"

namespace vorlek {
namespace {

namespace st = platform::status;
namespace evt = platform::evt;
using platform::EventLogHandle;

class EventLogTest : public testing_support::SimulatedTest {
  protected:
    platform::EventLog& el = platform::current().eventlog();

    void report(StringView source, uint32_t id, std::vector<String> strings = {},
                std::vector<uint8_t> data = {}, std::vector<uint8_t> sid = {},
                StringView server = u"") {
        auto h = el.register_source(server, source);
        ASSERT_EQ(h.status, st::kSuccess);
        EXPECT_EQ(el.report(h.value, evt::kWarning, 3, id, sid, strings, data), st::kSuccess);
        EXPECT_EQ(el.deregister_source(h.value), st::kSuccess);
    }
    // Every record of a log, oldest first, read in batches of `buffer` bytes.
    std::vector<platform::EventLogRecord> all(StringView log, uint32_t buffer = 0x10000,
                                              uint32_t flags = evt::kSequentialRead |
                                                               evt::kForwardsRead) {
        std::vector<platform::EventLogRecord> out;
        auto h = el.open(u"", log);
        EXPECT_EQ(h.status, st::kSuccess);
        for (;;) {
            auto r = el.read(h.value, flags, 0, buffer);
            if (r.status != st::kSuccess) {
                EXPECT_EQ(r.status, st::kHandleEof);
                break;
            }
            for (auto& rec : r.value.records)
                out.push_back(std::move(rec));
        }
        el.close(h.value);
        return out;
    }
    size_t count(StringView log) {
        auto h = el.open(u"", log);
        const size_t n = el.record_count(h.value).value;
        el.close(h.value);
        return n;
    }
    sim::KeyNode& logs_key() {
        return *sim::find_key(*sim::registry_state(*net, net->local()).local_machine,
                              u"SYSTEM\\CurrentControlSet\\Services\\EventLog");
    }
};

TEST_F(EventLogTest, AReportReadsBackAsTheReaderDeliversIt) {
    const size_t before = count(u"Application");
    const std::vector<uint8_t> sid = platform::sid::builtin_alias(544).bytes();
    report(u"Vorlek", 0xC0000007, {u"one", u"", u"caf\u00e9 \u20ac \u0416"}, {1, 2, 3, 4, 5}, sid);
    auto records = all(u"Application");
    ASSERT_EQ(records.size(), before + 1);
    const auto& r = records.back();
    EXPECT_EQ(r.source, u"Vorlek");
    EXPECT_EQ(r.computer, u"WS0001");
    EXPECT_EQ(r.event_id, 0xC0000007u);
    EXPECT_EQ(r.type, evt::kWarning);
    EXPECT_EQ(r.category, 3);
    EXPECT_EQ(r.sid, sid);
    EXPECT_EQ(r.data, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    // Through the code page: the euro sign has a byte in 1252, the Cyrillic
    // letter does not.
    EXPECT_EQ(r.strings, (std::vector<String>{u"one", u"", u"caf\u00e9 \u20ac ?"}));
    const platform::FileTime now = net->local().time.clock;
    EXPECT_EQ(r.time_written, static_cast<uint32_t>((now - 116444736000000000) / 10'000'000));
    EXPECT_EQ(r.time_generated, r.time_written);
    // 56 + "Vorlek" + "WS0001" (aligned) + the SID + 4 + 1 + 9 strings + 5 data, aligned, + 4.
    EXPECT_EQ(r.length, 56u + 7 + 7 + 2 + 16 + 4 + 1 + 9 + 5 + 1 + 4);
    EXPECT_EQ(r.number, records.front().number + records.size() - 1);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(EventLogTest, ReadsFollowTheBufferTheDirectionAndTheSeekPoint) {
    for (uint32_t i = 0; i < 30; ++i)
        report(u"Vorlek", 100 + i, {String(i * 40, u'x')});
    const auto whole = all(u"Application");
    ASSERT_GE(whole.size(), 30u);
    // A buffer that holds one record at most gives them one by one; one that
    // holds none gives 122 and the size the next one needs.
    uint32_t largest = 0;
    for (const auto& r : whole)
        largest = std::max(largest, r.length);
    EXPECT_EQ(all(u"Application", largest).size(), whole.size());
    auto h = el.open(u"", u"Application");
    auto small =
        el.read(h.value, evt::kSequentialRead | evt::kForwardsRead, 0, whole[0].length - 1);
    EXPECT_EQ(small.status, st::kInsufficientBuffer);
    EXPECT_EQ(small.value.needed, whole[0].length);
    auto first = el.read(h.value, evt::kSequentialRead | evt::kForwardsRead, 0, whole[0].length);
    ASSERT_EQ(first.status, st::kSuccess);
    EXPECT_EQ(first.value.records.size(), 1u);  // the failed read did not move on
    EXPECT_EQ(first.value.records[0].number, whole[0].number);

    const uint32_t seek = whole[5].number;
    auto back = el.read(h.value, evt::kSeekRead | evt::kBackwardsRead, seek, 0x10000);
    ASSERT_EQ(back.status, st::kSuccess);
    ASSERT_EQ(back.value.records.size(), 6u);
    EXPECT_EQ(back.value.records.back().number, whole[0].number);
    for (uint32_t bad : {0u, whole.back().number + 1})
        EXPECT_EQ(el.read(h.value, evt::kSeekRead | evt::kForwardsRead, bad, 0x10000).status,
                  st::kInvalidParameter);
    for (uint32_t flags : {0u, evt::kSequentialRead, evt::kSequentialRead | evt::kSeekRead | 4u,
                           evt::kForwardsRead | evt::kBackwardsRead | 1u, 0x11u | 4u})
        EXPECT_EQ(el.read(h.value, flags, 0, 0x10000).status, st::kInvalidParameter) << flags;
    el.close(h.value);
    const auto backwards = all(u"Application", 0x10000, evt::kSequentialRead | evt::kBackwardsRead);
    ASSERT_EQ(backwards.size(), whole.size());
    EXPECT_EQ(backwards.front().number, whole.back().number);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

// Logs and sources are what the registry names: a source reports to the log
// whose key holds it, an unknown source to Application, and an unknown log
// name opens Application. The limits come from the log's key.
TEST_F(EventLogTest, TheRegistryNamesTheLogsTheirSourcesAndTheirLimits) {
    sim::KeyNode& custom = logs_key().add_child(u"Inventory");
    custom.add_child(u"Scanner");
    custom.set_value(u"MaxSize", platform::reg::kDword, {0x00, 0x04, 0, 0});  // 1 KiB
    custom.set_value(u"Retention", platform::reg::kDword, {0xFF, 0xFF, 0xFF, 0xFF});
    const size_t app = count(u"Application"), system = count(u"System");
    report(u"Scanner", 1);
    report(u"No Such Source", 2);
    report(u"Service Control Manager", 3);
    EXPECT_EQ(count(u"inventory"), 1u);
    EXPECT_EQ(count(u"Application"), app + 1);
    EXPECT_EQ(count(u"System"), system + 1);
    EXPECT_EQ(count(u"No Such Log"), app + 1);  // Application stands in

    // "Never overwrite": the full log refuses the report and keeps its records.
    auto h = el.register_source(u"", u"Scanner");
    platform::Status s = st::kSuccess;
    int written = 0;
    while ((s = el.report(h.value, evt::kError, 0, 9, {}, {u"filler text"}, {})) == st::kSuccess)
        ++written;
    EXPECT_EQ(s, st::kLogFileFull);
    EXPECT_EQ(count(u"Inventory"), 1u + written);
    el.deregister_source(h.value);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(EventLogTest, TheSecurityLogNeedsThePrivilegeAndClearingAnAdministrator) {
    report(u"Vorlek", 1);
    EXPECT_EQ(el.open(u"", u"Security").status, st::kPrivilegeNotHeld);
    set_privilege(u"SeSecurityPrivilege", true);
    auto sec = el.open(u"", u"Security");
    ASSERT_EQ(sec.status, st::kSuccess);
    el.close(sec.value);

    auto& table = sim::process_table(*net, net->local());
    table.impersonation = sim::make_token(
        *net, net->local(), sim::account_database(*net, net->local()).domain_sid.with_rid(501));
    auto app = el.open(u"", u"Application");
    ASSERT_EQ(app.status, st::kSuccess);  // everyone reads the ordinary logs
    EXPECT_EQ(el.clear(app.value, std::nullopt), st::kAccessDenied);
    table.impersonation = nullptr;
    EXPECT_GT(el.record_count(app.value).value, 0u);
    el.close(app.value);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(EventLogTest, BackupsAndClearing) {
    report(u"Vorlek", 42, {u"kept in the backup"});
    const auto records = all(u"Application");
    auto h = el.open(u"", u"Application");
    EXPECT_EQ(el.backup(h.value, u"C:\\app.evt"), st::kSuccess);
    EXPECT_EQ(el.backup(h.value, u"C:\\app.evt"), st::kAlreadyExists);
    EXPECT_EQ(el.backup(h.value, u""), st::kInvalidParameter);
    EXPECT_EQ(el.clear(h.value, String(u"C:\\app.evt")), st::kAlreadyExists);
    EXPECT_EQ(el.record_count(h.value).value, records.size());  // a refused clear clears nothing

    auto reader = el.open(u"", u"Application");  // opened before the clear
    EXPECT_EQ(el.clear(h.value, String(u"C:\\before-clear.evt")), st::kSuccess);
    EXPECT_EQ(el.record_count(h.value).value, 0u);
    EXPECT_EQ(el.read(h.value, evt::kSequentialRead | evt::kForwardsRead, 0, 0x10000).status,
              st::kHandleEof);
    EXPECT_EQ(el.read(reader.value, evt::kSequentialRead | evt::kForwardsRead, 0, 0x10000).status,
              st::kEventLogFileChanged);
    el.close(reader.value);
    el.close(h.value);
    report(u"Vorlek", 43);
    EXPECT_EQ(all(u"Application").front().number, 1u);  // numbering starts again

    for (StringView file : {u"C:\\app.evt", u"c:\\BEFORE-CLEAR.EVT"}) {
        auto b = el.open_backup(u"", file);
        ASSERT_EQ(b.status, st::kSuccess);
        EXPECT_EQ(el.record_count(b.value).value, records.size());
        auto r =
            el.read(b.value, evt::kSeekRead | evt::kForwardsRead, records.back().number, 0x10000);
        ASSERT_EQ(r.status, st::kSuccess);
        EXPECT_EQ(r.value.records[0].strings, records.back().strings);
        EXPECT_EQ(el.clear(b.value, std::nullopt), st::kInvalidHandle);
        el.close(b.value);
    }
    net->local().files[u"C:\\junk.evt"] = {1, 2, 3};
    EXPECT_EQ(el.open_backup(u"", u"C:\\junk.evt").status, st::kEventLogFileCorrupt);
    EXPECT_EQ(el.open_backup(u"", u"C:\\missing.evt").status, st::kFileNotFound);
    EXPECT_EQ(el.open_backup(u"\\\\SRV01", u"C:\\app.evt").status,
              st::kFileNotFound);  // its own files
    EXPECT_EQ(net->handles().open_count(), 0u);
}

// The security audit: logons at the machine tried, account changes on the
// machine that holds the account; nothing while auditing is off.
TEST_F(EventLogTest, LogonsAndAccountChangesAreAudited) {
    set_privilege(u"SeSecurityPrivilege", true);
    auto ids = [&](StringView server) {
        std::vector<uint32_t> out;
        auto h = el.open(server, u"Security");
        EXPECT_EQ(h.status, st::kSuccess);
        const uint32_t n = el.record_count(h.value).value;
        auto r = el.read(h.value, evt::kSeekRead | evt::kForwardsRead, n, 0x10000);
        for (const auto& rec : r.value.records)
            out.push_back(rec.event_id);
        el.close(h.value);
        return out.empty() ? 0u : out.back();
    };
    auto& ps = platform::current().processes();
    auto bad = ps.logon_user(u"jsmith", u"CORP", u"wrong", 2, 0);
    EXPECT_EQ(bad.status, 1326u);
    EXPECT_EQ(ids(u""), 529u);
    auto good = ps.logon_user(u"jsmith", u"CORP", u"Secret#jsmith", 2, 0);
    ASSERT_EQ(good.status, st::kSuccess);
    ps.close_handle(good.value);
    EXPECT_EQ(ids(u""), 528u);

    auto& acc = platform::current().accounts();
    platform::UserInfo in;
    in.name = u"audited";
    in.password = u"Pass#word1";
    in.flags = platform::uf::kScript | platform::uf::kNormalAccount;
    uint32_t parm_err = 0;
    ASSERT_EQ(acc.add_user(u"DC01", 1, in, parm_err), st::kSuccess);
    EXPECT_EQ(ids(u"DC01"), 624u);
    ASSERT_EQ(acc.delete_user(u"DC01", u"audited"), st::kSuccess);
    EXPECT_EQ(ids(u"DC01"), 630u);

    net->local().security.auditing = false;
    EXPECT_EQ(ps.logon_user(u"jsmith", u"CORP", u"wrong", 2, 0).status, 1326u);
    EXPECT_EQ(ids(u""), 528u);  // nothing new
    EXPECT_EQ(net->handles().open_count(), 0u);
}

// Remote machines, names the system cannot take, handles that are not open,
// and a fault at each operation.
TEST_F(EventLogTest, ServersHandlesAndFaults) {
    report(u"Vorlek", 7, {}, {}, {}, u"\\\\SRV01");
    auto remote = el.open(u"SRV01", u"Application");
    ASSERT_EQ(remote.status, st::kSuccess);
    auto r = el.read(remote.value, evt::kSeekRead | evt::kForwardsRead,
                     el.record_count(remote.value).value, 0x10000);
    ASSERT_EQ(r.status, st::kSuccess);
    EXPECT_EQ(r.value.records[0].computer, u"SRV01");
    el.close(remote.value);
    EXPECT_EQ(el.open(u"SRV03", u"Application").status, st::kRpcServerUnavailable);
    EXPECT_EQ(el.open(u"NOSUCH", u"Application").status, st::kRpcServerUnavailable);
    EXPECT_EQ(el.register_source(u"NOSUCH", u"Vorlek").status, st::kRpcServerUnavailable);
    EXPECT_EQ(el.open(u"", String(u"System\0x", 8)).status, st::kInvalidName);
    EXPECT_EQ(el.register_source(u"", String(u"Vorlek\0x", 8)).status, st::kInvalidName);
    EXPECT_EQ(el.close(12345), st::kInvalidHandle);
    EXPECT_EQ(el.deregister_source(12345), st::kInvalidHandle);
    EXPECT_EQ(el.read(12345, evt::kSequentialRead | evt::kForwardsRead, 0, 100).status,
              st::kInvalidHandle);

    struct Case {
        const sim::Operation& op;
        std::function<platform::Status()> call;
    };
    EventLogHandle log = el.open(u"", u"Application").value;
    EventLogHandle source = el.register_source(u"", u"Vorlek").value;
    const Case cases[] = {
        {sim::op::OpenEventLog, [&] { return el.open(u"", u"System").status; }},
        {sim::op::OpenBackupEventLog, [&] { return el.open_backup(u"", u"C:\\x.evt").status; }},
        {sim::op::GetNumberOfEventLogRecords, [&] { return el.record_count(log).status; }},
        {sim::op::ReadEventLog,
         [&] { return el.read(log, evt::kSequentialRead | evt::kForwardsRead, 0, 99).status; }},
        {sim::op::ReportEvent, [&] { return el.report(source, 1, 0, 1, {}, {}, {}); }},
        {sim::op::BackupEventLog, [&] { return el.backup(log, u"C:\\y.evt"); }},
        {sim::op::ClearEventLog, [&] { return el.clear(log, std::nullopt); }},
        {sim::op::RegisterEventSource, [&] { return el.register_source(u"", u"X").status; }},
        {sim::op::DeregisterEventSource, [&] { return el.deregister_source(source); }},
        {sim::op::CloseEventLog, [&] { return el.close(log); }},
    };
    const size_t records = el.record_count(log).value;
    for (const Case& c : cases) {
        net->faults().fail(c.op, 1722);
        EXPECT_EQ(c.call(), 1722u) << to_utf8(c.op.name);
    }
    EXPECT_EQ(el.record_count(log).value, records);  // nothing reported, nothing cleared
    EXPECT_FALSE(net->local().files.count(u"C:\\y.evt"));
    EXPECT_EQ(el.deregister_source(source), st::kSuccess);
    EXPECT_EQ(el.close(log), st::kSuccess);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

}  // namespace
}  // namespace vorlek
