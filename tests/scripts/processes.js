// Vorlek.Process as a script uses it: the process list, privileges of the
// script's own token, starting helper programs (ping, cmd) with and without
// a wait, and ending them again. Only processes this script started are
// ended; on the real platform no shutdown is ever asked for.
var p = new ActiveXObject("Vorlek.Process");
var d = new ActiveXObject("Vorlek.DllClass");
var SIM = PLATFORM == "sim";

// The ids of the processes named `name`, as an object used as a set.
function ids(name) {
    var out = {};
    p.SetBaseName = name;
    for (var e = new Enumerator(p.Processes); !e.atEnd(); e.moveNext()) out[e.item().ProcessPID] = true;
    return out;
}
// The one id of `after` that `before` lacks; 0 when there is none.
function started(before, after) {
    for (var id in after) if (!before[id]) return Number(id);
    return 0;
}

check("no collection before a fill", p.Processes == null, true);
check("SE_SHUTDOWN_NAME", p.SE_SHUTDOWN_NAME, "SeShutdownPrivilege");
check("SE_INTERACTIVE_LOGON_NAME", p.SE_INTERACTIVE_LOGON_NAME, "SeInteractiveLogonRight");
check("INFINITE", p.INFINITE, -1);

// Privileges of the script's token.
check("enable shutdown privilege", p.SetMyTokenPrivileges(p.SE_SHUTDOWN_NAME, true), 0);
check("disable it again", p.SetMyTokenPrivileges(p.SE_SHUTDOWN_NAME, false), 0);
check("unknown privilege", p.SetMyTokenPrivileges("NoSuchPrivilege", true), 1313);
check("a right is no privilege", p.SetMyTokenPrivileges(p.SE_NETWORK_LOGON_NAME, true), 1313);
check("a privilege the token lacks", p.SetMyTokenPrivileges(p.SE_CREATE_TOKEN_NAME, true), 1300);

// The process list: the script host is in it, with its program path and memory.
p.SetBaseName = "*";
var all = p.Processes.Count;
check("processes listed", all > 3, true);
p.SetBaseName = "CSCRIPT.EXE";
var host = p.Processes.Count > 0 ? p.Processes.Item(1) : null;
check("script host found", host != null, true);
if (host != null) {
    check("program name case kept", host.ModuleBaseName.toLowerCase(), "cscript.exe");
    check("program path", /\\cscript\.exe$/i.test(host.ModuleFileName), true);
    check("working set", host.WorkingSetSize > 0, true);
    check("peak at least current", host.PeakWorkingSetSize >= host.WorkingSetSize, true);
    check("keyed by id", p.Processes.Item(String(host.ProcessPID)).ProcessPID, host.ProcessPID);
}
var before = p.Processes;
p.SetBaseName = "";
check("empty pattern keeps the list", p.Processes === before || p.Processes.Count == before.Count, true);
p.SetBaseName = "no such program *";
check("no match", p.Processes.Count, 0);
p.SetNtvdmID = 0;
check("no virtual DOS machine", p.Processes.Count, 0);

// Starting: an exit code through an infinite wait, a program that is not there.
check("cmd exit code", p.StartProcess("cmd.exe /c exit 7", p.INFINITE, false), 0);
check("ExitCode", p.ExitCode, 7);
check("cmd exit code -1", p.StartProcess("cmd.exe /c exit -1", p.INFINITE, false), 0);
check("ExitCode -1", p.ExitCode, -1);
check("missing program", p.StartProcess("vorlek-no-such-program.exe"), 2);
check("ExitCode reset", p.ExitCode, 0);

// A helper that runs for a while: a wait that times out leaves it running;
// it is then ended from inside (it has no window).
var pings = ids("ping.exe");
check("wait times out", p.StartProcess("ping -n 30 127.0.0.1", 200, false), 258);
var helper = started(pings, ids("ping.exe"));
check("helper running", helper != 0, true);
if (helper != 0) {
    check("end helper by id", p.EndProcess(helper, "", "", true, 5000), 0);
    check("helper gone", ids("ping.exe")[helper] === undefined, true);
}
// Started without a wait and ended by its program name.
pings = ids("ping.exe");
check("start without wait", p.StartProcess("ping -n 30 127.0.0.1", 0, false), 0);
var second = started(pings, ids("ping.exe"));
check("second helper running", second != 0, true);
if (second != 0) {
    check("end by program name", p.EndProcess(0, "", "PING.EXE", true, 5000), 0);
    check("second helper gone", ids("ping.exe")[second] === undefined, true);
}

// Bad input returns normally.
check("EndProcess without target", p.EndProcess(), 87);
check("EndProcess of no process", p.EndProcess(-1), 87);
check("no window with that title", p.EndProcess(0, "vorlek no such window ?"), 1400);
check("no program on that path", p.EndProcess(0, "", "C:\\vorlek\\nowhere\\*.exe"), 3);
var long = "";
for (var i = 0; i < 5000; i++) long += "x";
check("huge title", p.EndProcess(0, long), 1400);
p.SetBaseName = long;
check("huge pattern", p.Processes.Count, 0);
check("odd wait refused", p.StartProcess("cmd.exe /c exit 1", -5), 87);

// Shutdown: only what fails or is refused before any call on the real platform.
check("unknown way to end windows", d.EndWindowsLocal("HIBERNATE"), -87);
if (SIM) {
    check("16-bit tasks", (p.SetNtvdmID = 908, p.Processes.Count), 2);
    check("task name", p.Processes.Item("944").ModuleBaseName, "SOL");
    check("remote shutdown", d.EndWindows("SRV01", "Maintenance", 5, false, true), 0);
    check("machine down afterwards", d.EndWindows("SRV01"), 53);
    d.Sleeping(64000);  // the countdown and a minute to boot
    check("still restarting", d.EndWindows("SRV01"), 53);
    d.Sleeping(1000);
    check("restarted machine answers", d.EndWindows("SRV01", "", 0, false, false), 0);
    check("log off", d.EndWindowsLocal("LOGOFF"), 0);
    check("a log-off is no shutdown", d.EndWindows(), 0);
    check("a shutdown under way", d.EndWindows(), 1115);
    check("machine that does not answer", d.EndWindows("\\\\\\\\SRV03"), 53);
    check("as a user, wrong password", p.StartProcess("cmd.exe /c exit 1", 0, false, "jsmith", "wrong", "CORP"), 1326);
    check("as a user", p.StartProcess("cmd.exe /c exit 3", p.INFINITE, true, "jsmith", "Secret#jsmith", "CORP", true), 0);
    check("as a user, exit code", p.ExitCode, 3);
    check("huge command line", p.StartProcess(long + long + long + long + long + long + long), 87);
    check("empty command line", p.StartProcess(""), 2);
} else {
    // A 64-bit process sees no virtual DOS machine; Wine has none either.
    check("16-bit tasks (none)", (p.SetNtvdmID = 4, p.Processes.Count), 0);
    check("the script host is no virtual DOS machine", (p.SetNtvdmID = host.ProcessPID, p.Processes.Count), 0);
    checkKnownDifference("remote shutdown of an unknown machine (Wine's stub reports success)",
                         d.EndWindows("VORLEK-NOSUCHHOST"), 53);
    check("System cannot be ended", p.EndProcess(4, "", "", true, 0) != 0, true);
    // Wine's LogonUser accepts anyone; the account lookup for the desktop grant fails then.
    var rc = p.StartProcess("cmd.exe /c exit 1", 0, false, "vorlek-nobody", "x", ".");
    checkKnownDifference("logon of an unknown user (Wine's LogonUser accepts anyone)", rc, 1326);
    check("unknown user starts nothing", rc != 0, true);
    check("unknown user, no exit code", p.ExitCode, 0);
    check("huge command line", p.StartProcess(long + long + long + long + long + long + long) != 0, true);
    check("empty command line", p.StartProcess(""), 2);
    check("the script host is still there", ids("cscript.exe")[host.ProcessPID], true);
}
done(SIM ? 56 : 51);
