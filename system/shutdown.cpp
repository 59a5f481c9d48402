// DllClass: the administrator test and the shutdown of a local or remote
// machine.
#include "automation/text.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "processes/process.h"
#include "strings/stringer.h"
#include "system/dll_class.h"

namespace vorlek {

namespace {

constexpr int32_t kUnknownHow = -87;

// The status `body` returns, or the number of the run-time error that ended it.
template <class Body>
int32_t attempt_status(Body&& body) {
    int32_t status = 0;
    if (int32_t number = attempt([&] { status = body(); })) return number;
    return status;
}

// The two shutdown privileges, switched on through a private Process as a
// client would; a failure is left for the shutdown call to report.
void enable_shutdown_privileges() {
    auto process = make<Process>();
    process->SetMyTokenPrivileges(process->PrivilegeName<Process::kShutdownName>(), true);
    process->SetMyTokenPrivileges(process->PrivilegeName<Process::kRemoteShutdownName>(), true);
}

}  // namespace

bool DllClass::IAmAdmin() {
    last_error_ = 0;
    auto& p = platform::current().processes();
    auto opened = p.open_thread_token(platform::token_access::kQuery, true);
    if (!opened.ok()) opened = p.open_process_token(platform::token_access::kQuery);
    if (!opened.ok()) return false;
    struct Close {
        platform::Processes& p;
        platform::ObjectHandle h;
        ~Close() { p.close_handle(h); }
    } close{p, opened.value};
    const uint32_t size = p.token_groups_size(opened.value);
    if (size == 0) return false;
    auto groups = p.token_groups(opened.value, size);
    if (!groups.ok()) {
        last_error_ = static_cast<int32_t>(groups.status);
        return false;
    }
    // Every group is looked at: the list is read into a buffer of the size
    // the token asked for, however many groups it holds.
    const platform::Sid admins = platform::sid::builtin_alias(platform::sid::rid::kAdmins);
    for (const auto& g : groups.value) {
        if (g.sid.valid() && g.sid == admins) return true;
    }
    return false;
}

int32_t DllClass::EndWindows(String strMachine, String strMessage, int32_t lngTimeOut,
                             bool booForce, bool booReboot) {
    return attempt_status([&]() -> int32_t {
        String machine;
        if (!strMachine.empty()) {
            machine = u"\\\\" + strMachine;
            auto s = make<Stringer>();
            // Each pass shortens every run of three; one that changes
            // nothing (a failed replacement) ends the loop too.
            while (machine.find(u"\\\\\\") != String::npos) {
                String shorter = s->ReplaceString(
                    machine, u"\\\\", u"\\\\\\", Stringer::kReplaceAll, Stringer::kNotCaseSensitive,
                    Stringer::kNoBound, Stringer::kNoBound);
                if (shorter.size() >= machine.size()) break;
                machine = std::move(shorter);
            }
        }
        enable_shutdown_privileges();
        return static_cast<int32_t>(platform::current().processes().initiate_shutdown(
            machine, strMessage, static_cast<uint32_t>(lngTimeOut), booForce, booReboot));
    });
}

int32_t DllClass::EndWindowsLocal(String strHow, bool booForce) {
    struct How {
        StringView name;
        uint32_t flag;
    };
    static constexpr How kHows[] = {{u"LOGOFF", platform::ewx::kLogoff},
                                    {u"REBOOT", platform::ewx::kReboot},
                                    {u"SHUTDOWN", platform::ewx::kShutdown},
                                    {u"POWEROFF", platform::ewx::kPowerOff}};
    uint32_t flags = booForce ? platform::ewx::kForce : 0;
    const String how = to_upper(strHow);
    const How* found = nullptr;
    for (const How& h : kHows) {
        if (how == h.name) found = &h;
    }
    if (!found) return kUnknownHow;
    flags |= found->flag;
    return attempt_status([&]() -> int32_t {
        enable_shutdown_privileges();
        return static_cast<int32_t>(platform::current().processes().exit_windows(flags, 0));
    });
}

}  // namespace vorlek
