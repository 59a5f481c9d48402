// The simulated service control manager's contract: transitions timed on
// the machine clock, the statuses of refused starts and controls, the
// registry as the one store of the configuration, services as processes,
// the database lock, and the handle ledger.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include "platform/services.h"
#include "platform/sim/handles.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"
#include "platform/sim/registry.h"
#include "platform/sim/services.h"

namespace vorlek {
namespace {

namespace svc = platform::svc;
using platform::ScHandle;
using sim::HandleKind;

class ServicesTest : public testing_support::SimulatedTest {
  protected:
    platform::Services& sc = platform::current().services();
    ScHandle manager = sc.open_manager(u"", svc::kManagerAllAccess).value;

    void TearDown() override {
        sc.close(manager);
        EXPECT_EQ(net->handles().open_count(HandleKind::Service), 0u);
        EXPECT_EQ(net->handles().open_count(HandleKind::ServiceManager), 0u);
    }
    sim::ProcessesState& procs() { return sim::process_table(*net, net->local()); }
    sim::ServiceRuntime& runtime(StringView name) {
        return sim::service_table(*net, net->local()).services.at(to_upper(name));
    }
    sim::KeyNode* key(StringView name) {
        auto& r = sim::registry_state(*net, net->local());
        return sim::find_key(*r.local_machine,
                             String(u"SYSTEM\\CurrentControlSet\\Services\\") + String(name));
    }
    uint32_t dword(StringView service, StringView value) {
        const auto* v = key(service)->value(value);
        return v ? uint32_t{v->data[0]} | uint32_t{v->data[1]} << 8 : 0xFFFF;
    }
    platform::ServiceStatus status(StringView name) {
        ScHandle h = sc.open_service(manager, name, svc::kQueryStatus).value;
        auto st = sc.query_status(h);
        sc.close(h);
        return st.value;
    }
    // Opens, acts and closes; the action's status.
    template <class Act>
    platform::Status with(StringView name, uint32_t access, Act&& act) {
        auto h = sc.open_service(manager, name, access);
        if (!h.ok()) return h.status;
        const platform::Status s = act(h.value);
        sc.close(h.value);
        return s;
    }
    platform::Status start(StringView name) {
        return with(name, svc::kStart, [&](ScHandle h) { return sc.start(h); });
    }
    platform::Status control(StringView name, uint32_t code) {
        return with(name, svc::kServiceAllAccess,
                    [&](ScHandle h) { return sc.control(h, code).status; });
    }
    platform::Status change(StringView name, const platform::ConfigChange& c) {
        return with(name, svc::kChangeConfig, [&](ScHandle h) { return sc.change_config(h, c); });
    }
};

TEST_F(ServicesTest, TransitionsPassThroughPendingStatesWithCheckPoints) {
    ASSERT_EQ(control(u"Spooler", svc::kControlStop), 0u);
    runtime(u"Spooler").transition_ms = 2000;
    runtime(u"Schedule").transition_ms = 2000;
    ASSERT_EQ(start(u"Spooler"), 0u);
    ASSERT_EQ(control(u"Schedule", svc::kControlPause), 0u);
    struct Step {
        uint64_t at_ms;
        uint32_t state, paused_state, check_point, wait_hint;
    };
    const Step steps[] = {
        {0, svc::kStartPending, svc::kPausePending, 1, 2000},
        {499, svc::kStartPending, svc::kPausePending, 1, 2000},
        {500, svc::kStartPending, svc::kPausePending, 2, 2000},
        {1500, svc::kStartPending, svc::kPausePending, 4, 2000},
        {2000, svc::kRunning, svc::kPaused, 0, 0},
    };
    uint64_t now = 0;
    for (const Step& s : steps) {
        procs().advance(s.at_ms - now);
        now = s.at_ms;
        const auto st = status(u"Spooler");
        EXPECT_EQ(st.state, s.state) << s.at_ms;
        EXPECT_EQ(st.check_point, s.check_point) << s.at_ms;
        EXPECT_EQ(st.wait_hint, s.wait_hint) << s.at_ms;
        EXPECT_EQ(status(u"Schedule").state, s.paused_state) << s.at_ms;
        // A pending service takes no control until it is through.
        if (s.state == svc::kStartPending) {
            EXPECT_EQ(control(u"Spooler", svc::kControlStop),
                      platform::status::kServiceCannotAcceptCtrl);
        }
    }
    EXPECT_NE(status(u"Spooler").process_id, 0u);  // the process runs from the start on
}

TEST_F(ServicesTest, StartsAndControlsTheManagerRefuses) {
    ASSERT_EQ(control(u"NetDDE", svc::kControlInterrogate), platform::status::kServiceNotActive);
    struct Case {
        const char16_t* service;
        uint32_t control;  // 0: a start
        platform::Status expected;
    };
    const Case cases[] = {
        {u"EventLog", svc::kControlStop, 1052},           // the log refuses every control
        {u"Spooler", svc::kControlPause, 1052},           // accepts stop only
        {u"LanmanWorkstation", svc::kControlStop, 1051},  // the browser depends on it
        {u"Afd", svc::kControlStop, 1051},                // a member of a group others need
        {u"NetDDE", svc::kControlStop, 1062},             // not started
        {u"Spooler", 0, 1056},
        {u"Alerter", 0, 1058},  // disabled
        {u"TlntSvr", 0, 1058},
        {u"Spooler", 0x0, 1056},
        {u"Spooler", 5, 87},  // shutdown is the system's to send
        {u"Spooler", 256, 87},
        {u"Spooler", 0xFFFFFFFF, 87},
        {u"NoSuchService", 0, 1060},
        {u"Print Spooler", 0, 1060},  // a display name is no key name
        {u"", 0, 123},
        {u"A\\B", 0, 123},
    };
    for (const Case& c : cases) {
        const platform::Status got = c.control ? control(c.service, c.control) : start(c.service);
        EXPECT_EQ(got, c.expected) << to_utf8(c.service) << " " << c.control;
    }
    EXPECT_EQ(sc.open_service(manager, String(300, u'x'), svc::kQueryStatus).status, 123u);
    EXPECT_EQ(status(u"EventLog").state, svc::kRunning);
    EXPECT_EQ(status(u"LanmanWorkstation").state, svc::kRunning);
}

TEST_F(ServicesTest, StartBringsUpDependenciesAndStopWaitsForDependents) {
    for (StringView s : {u"Browser", u"Messenger", u"LanmanWorkstation"})
        ASSERT_EQ(control(s, svc::kControlStop), 0u) << to_utf8(s);
    EXPECT_EQ(status(u"Messenger").state, svc::kStopped);
    ASSERT_EQ(start(u"Browser"), 0u);
    EXPECT_EQ(status(u"LanmanWorkstation").state, svc::kRunning);
    // A dependency that cannot start fails the start, and nothing else runs.
    platform::ConfigChange depend;
    depend.dependencies = String(u"Alerter\0\0", 9);
    ASSERT_EQ(change(u"NetDDE", depend), 0u);
    EXPECT_EQ(start(u"NetDDE"), platform::status::kServiceDependencyFail);
    EXPECT_EQ(status(u"NetDDE").state, svc::kStopped);
}

TEST_F(ServicesTest, TheRegistryHoldsTheConfiguration) {
    platform::ConfigChange c;
    c.start_type = svc::kDisabled;
    c.binary_path = u"C:\\Tools\\spool2.exe";
    ASSERT_EQ(change(u"Spooler", c), 0u);
    EXPECT_EQ(dword(u"Spooler", u"Start"), svc::kDisabled);
    EXPECT_EQ(sim::utf16_text(key(u"Spooler")->value(u"ImagePath")->data),
              String(u"C:\\Tools\\spool2.exe\0", 20));

    // Refused changes write nothing, also the parts that were valid.
    struct Refused {
        platform::ConfigChange change;
        platform::Status expected;
    };
    std::vector<Refused> refused(5);
    refused[0].change.type = 0x100;  // interactive is no type of its own
    refused[0].expected = 87;
    refused[1].change.start_type = svc::kBootStart;  // only for drivers
    refused[1].expected = 87;
    refused[2].change.display_name = u"Server";  // LanmanServer's
    refused[2].expected = 1078;
    refused[3].change.start_name = u"CORP\\nobody";
    refused[3].expected = 1057;
    refused[4].change.dependencies = String(u"Spooler\0\0", 9);
    refused[4].expected = 1059;
    for (auto& r : refused) {
        r.change.start_type =
            r.change.start_type == svc::kNoChange ? svc::kAutoStart : r.change.start_type;
        EXPECT_EQ(change(u"Spooler", r.change), r.expected);
        EXPECT_EQ(dword(u"Spooler", u"Start"), svc::kDisabled);
    }

    // A key written into the registry is a service once the manager restarts.
    sim::KeyNode& k = key(u"")->add_child(u"Backup");
    auto put = [&](StringView name, uint32_t v) {
        k.set_value(name, platform::reg::kDword, {static_cast<uint8_t>(v), 0, 0, 0});
    };
    put(u"Type", svc::kOwnProcess);
    put(u"Start", svc::kAutoStart);
    k.set_value(u"ImagePath", platform::reg::kExpandSz,
                sim::utf16_bytes(String(u"C:\\Tools\\backup.exe\0", 20)));
    EXPECT_EQ(sc.open_service(manager, u"Backup", svc::kQueryStatus).status, 1060u);
    sim::restart_service_manager(*net, net->local());
    const auto st = status(u"Backup");
    EXPECT_EQ(st.state, svc::kRunning);  // automatic: the boot started it
    EXPECT_EQ(procs().find(st.process_id)->path, u"C:\\Tools\\backup.exe");
    EXPECT_EQ(status(u"Spooler").state, svc::kStopped);  // disabled now
}

TEST_F(ServicesTest, RunningServicesAreProcesses) {
    const auto spooler = status(u"Spooler");
    ASSERT_NE(spooler.process_id, 0u);
    auto listed = platform::current().processes().enum_processes(4096).value;
    EXPECT_NE(std::find(listed.begin(), listed.end(), spooler.process_id), listed.end());
    // Services of one program that share a process share one.
    EXPECT_EQ(status(u"Browser").process_id, status(u"LanmanServer").process_id);

    // Ending the process stops the service as the system reports it.
    procs().end(*procs().find(spooler.process_id), 1);
    const auto ended = status(u"Spooler");
    EXPECT_EQ(ended.state, svc::kStopped);
    EXPECT_EQ(ended.win32_exit_code, 1067u);
    EXPECT_EQ(ended.process_id, 0u);
    // Started again it is a new process; stopped, that process ends.
    ASSERT_EQ(start(u"Spooler"), 0u);
    const uint32_t pid = status(u"Spooler").process_id;
    EXPECT_NE(pid, spooler.process_id);
    EXPECT_EQ(status(u"Spooler").win32_exit_code, 0u);
    ASSERT_EQ(control(u"Spooler", svc::kControlStop), 0u);
    EXPECT_FALSE(procs().find(pid)->running());
    // A shared host lives on while one of its services runs.
    ASSERT_EQ(control(u"Browser", svc::kControlStop), 0u);
    EXPECT_TRUE(procs().find(status(u"LanmanServer").process_id)->running());
}

TEST_F(ServicesTest, TheLockHasAnOwnerAndADurationAndBlocksChanges) {
    auto lock = sc.lock(manager);
    ASSERT_TRUE(lock.ok());
    procs().advance(5500);
    auto st = sc.query_lock_status(manager).value;
    EXPECT_TRUE(st.locked);
    EXPECT_EQ(st.owner, u"WS0001\\Administrator");
    EXPECT_EQ(st.duration, 5u);
    EXPECT_EQ(sc.lock(manager).status, 1055u);
    ASSERT_EQ(control(u"Spooler", svc::kControlStop), 0u);  // controls still go through
    EXPECT_EQ(start(u"Spooler"), 1055u);
    platform::ConfigChange c;
    c.start_type = svc::kDisabled;
    EXPECT_EQ(change(u"Spooler", c), 1055u);
    EXPECT_EQ(dword(u"Spooler", u"Start"), svc::kAutoStart);
    EXPECT_EQ(sc.unlock(lock.value), 0u);
    EXPECT_EQ(sc.unlock(lock.value), 1071u);
    EXPECT_FALSE(sc.query_lock_status(manager).value.locked);
    EXPECT_EQ(start(u"Spooler"), 0u);
    EXPECT_EQ(net->handles().open_count(HandleKind::ServiceLock), 0u);
}

TEST_F(ServicesTest, RightsTheCallerLacks) {
    ScHandle reader = sc.open_manager(u"", svc::kGenericRead).value;
    EXPECT_EQ(sc.lock(reader).status, 5u);
    EXPECT_TRUE(sc.query_lock_status(reader).ok());
    ScHandle query = sc.open_service(reader, u"Spooler", svc::kQueryStatus).value;
    EXPECT_EQ(sc.start(query), 5u);
    EXPECT_EQ(sc.query_config(query).status, 5u);
    sc.close(query);
    sc.close(reader);
    runtime(u"Spooler").denied_access = svc::kQueryConfig;
    EXPECT_EQ(sc.open_service(manager, u"Spooler", svc::kGenericRead).status, 5u);
    // A caller who is no administrator reads but does not change.
    procs().current().token->groups.clear();
    EXPECT_EQ(sc.open_manager(u"", svc::kManagerAllAccess).status, 5u);
    EXPECT_EQ(sc.open_service(manager, u"Schedule", svc::kStop).status, 5u);
    auto read = sc.open_service(manager, u"Schedule", svc::kGenericRead);
    ASSERT_TRUE(read.ok());
    sc.close(read.value);
}

TEST_F(ServicesTest, RemoteMachines) {
    struct Case {
        const char16_t* machine;
        platform::Status expected;
    };
    for (const Case& c :
         {Case{u"SRV01", 0}, Case{u"\\\\srv01", 0}, Case{u"SRV03", 1722}, Case{u"NOSUCH", 1722}}) {
        auto h = sc.open_manager(c.machine, svc::kGenericRead);
        EXPECT_EQ(h.status, c.expected) << to_utf8(c.machine);
        if (h.ok()) sc.close(h.value);
    }
    net->faults().fail(sim::op::OpenSCManager, 53);
    EXPECT_EQ(sc.open_manager(u"SRV01", svc::kGenericRead).status, 53u);  // injected: as given
    // Each machine has its own manager.
    ScHandle remote = sc.open_manager(u"SRV01", svc::kManagerAllAccess).value;
    ScHandle spooler = sc.open_service(remote, u"Spooler", svc::kStop).value;
    EXPECT_EQ(sc.control(spooler, svc::kControlStop).value.state, svc::kStopped);
    EXPECT_EQ(status(u"Spooler").state, svc::kRunning);
    sc.close(spooler);
    sc.close(remote);
}

TEST_F(ServicesTest, AServiceMarkedForDeletionGoesWithItsLastHandle) {
    ScHandle held = sc.open_service(manager, u"Schedule", svc::kServiceAllAccess).value;
    ASSERT_EQ(sc.remove(held), 0u);
    EXPECT_EQ(sc.remove(held), 1072u);
    EXPECT_EQ(dword(u"Schedule", u"DeleteFlag"), 1u);
    platform::ConfigChange c;
    c.start_type = svc::kDemandStart;
    EXPECT_EQ(sc.change_config(held, c), 1072u);
    // Still running and listed while held and running.
    ASSERT_EQ(sc.control(held, svc::kControlStop).status, 0u);
    auto all = sc.enumerate(manager, svc::kWin32, svc::kStateAll).value;
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](auto& e) { return e.name == u"Schedule"; }));
    EXPECT_EQ(sc.start(held), 1072u);
    sc.close(held);
    EXPECT_EQ(sc.open_service(manager, u"Schedule", svc::kQueryStatus).status, 1060u);
    EXPECT_EQ(key(u"Schedule"), nullptr);
}

TEST_F(ServicesTest, EnumerationFiltersAndNameLookups) {
    struct Case {
        uint32_t type, state;
        platform::Status expected;
    };
    for (const Case& c :
         {Case{svc::kWin32, 3, 0}, Case{svc::kDriver, 1, 0}, Case{svc::kInteractive, 3, 87},
          Case{0, 3, 87}, Case{0x30, 0, 87}, Case{0x30, 4, 87}, Case{0xFFFFFFFF, 3, 87}}) {
        auto r = sc.enumerate(manager, c.type, c.state);
        EXPECT_EQ(r.status, c.expected) << c.type << " " << c.state;
        for (const auto& e : r.value) {
            EXPECT_TRUE(e.status.type & c.type) << to_utf8(e.name);
            if (c.state == svc::kActive) {
                EXPECT_NE(e.status.state, svc::kStopped);
            }
        }
    }
    EXPECT_EQ(sc.key_name(manager, u"print spooler").value, u"Spooler");
    EXPECT_EQ(sc.display_name(manager, u"SPOOLER").value, u"Print Spooler");
    EXPECT_EQ(sc.key_name(manager, u"Spooler").status, 1060u);
    EXPECT_EQ(sc.display_name(manager, u"Print Spooler").status, 1060u);
}

// Display names as the registry holds them, whoever wrote them: the text
// ends at its first NUL or with the data, an empty one gives way to the key's
// name, and a key written anew is the one read.
TEST_F(ServicesTest, DisplayNamesAreReadAsTheRegistryHoldsThem) {
    ASSERT_EQ(sc.key_name(manager, u"Print Spooler").value, u"Spooler");
    const auto display = [&](StringView text) {
        key(u"Spooler")->set_value(u"DisplayName", platform::reg::kSz, sim::utf16_bytes(text));
    };
    struct Case {
        String stored;
        StringView asked;
        platform::Status expected;
    };
    const Case cases[] = {
        {String(u"Queue\0junk", 10), u"queue", 0},
        {String(u"Queue\0junk", 10), u"Queue junk", 1060},
        {u"Queue", u"QUEUE", 0},
        {u"Queue", u"Queu", 1060},
        {u"Queue", u"Queues", 1060},
        {String(u"\0Queue", 6), u"spooler", 0},
        {u"", u"Spooler", 0},
    };
    for (const Case& c : cases) {
        display(c.stored);
        EXPECT_EQ(sc.key_name(manager, c.asked).status, c.expected) << to_utf8(c.asked);
    }

    // The key deleted (kept alive, as an open handle would) and written
    // again: the new key is the one compared.
    const std::shared_ptr<sim::KeyNode> held = key(u"")->child_ref(u"Spooler");
    key(u"")->remove_child(u"Spooler");
    sim::KeyNode& k = key(u"")->add_child(u"Spooler");
    k.set_value(u"Type", platform::reg::kDword, {svc::kOwnProcess, 0, 0, 0});
    k.set_value(u"DisplayName", platform::reg::kSz, sim::utf16_bytes(String(u"Renewed\0", 8)));
    EXPECT_EQ(sc.key_name(manager, u"renewed").value, u"Spooler");
    platform::NewService n;
    n.name = u"Other";
    n.display_name = u"RENEWED";
    n.binary_path = u"C:\\other.exe";
    EXPECT_EQ(sc.create_service(manager, n).status, 1078u);
}

}  // namespace
}  // namespace vorlek
