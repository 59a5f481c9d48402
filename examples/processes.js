// The processes of the machine with their memory and programs, a program
// started and waited for, and the privileges of the script's own token.
//   vorlek-run examples/processes.js        (simulated network)
//   cscript //nologo examples\processes.js  (Windows)
var p = new ActiveXObject("Vorlek.Process");
var helper = new ActiveXObject("Vorlek.DllClass");

function pad(text, width) {
    text = String(text);
    while (text.length < width) text += " ";
    return text;
}
function kib(bytes) { return Math.round(bytes / 1024) + " KiB"; }

WScript.Echo("Processes:");
WScript.Echo("  " + pad("PID", 7) + pad("Program", 16) + pad("Working set", 13) + pad("Peak", 11) + "Path");
p.SetBaseName = "*";
for (var e = new Enumerator(p.Processes); !e.atEnd(); e.moveNext()) {
    var item = e.item();
    WScript.Echo("  " + pad(item.ProcessPID, 7) + pad(item.ModuleBaseName, 16) + pad(kib(item.WorkingSetSize), 13) +
                 pad(kib(item.PeakWorkingSetSize), 11) + item.ModuleFileName);
}

WScript.Echo("");
p.SetBaseName = "cscript.exe";
if (p.Processes.Count > 0) {
    var me = p.Processes.Item(1);
    WScript.Echo("The script host: " + me.PageFaultCount + " page faults, page file " + kib(me.PagefileUsage) +
                 " (peak " + kib(me.PeakPagefileUsage) + "), paged pool " + me.PagedPoolUsage + " bytes");
}

WScript.Echo("");
var rc = p.StartProcess("cmd.exe /c exit 3", p.INFINITE, false);
WScript.Echo("cmd.exe /c exit 3 waited for: result " + rc + ", exit code " + p.ExitCode);
rc = p.StartProcess("ping -n 3 127.0.0.1", 500, false);
WScript.Echo("ping with half a second to finish: result " + rc + " (" + helper.FormatAPIMessage(rc, "?") + ")");
p.SetBaseName = "ping.exe";
for (var e = new Enumerator(p.Processes); !e.atEnd(); e.moveNext()) {
    var ping = e.item().ProcessPID;
    WScript.Echo("  ending ping " + ping + ": " + p.EndProcess(ping, "", "", true, 5000));
}

WScript.Echo("");
WScript.Echo("Privileges of this process:");
var names = ["SE_SHUTDOWN_NAME", "SE_DEBUG_NAME", "SE_BACKUP_NAME", "SE_TCB_NAME", "SE_CREATE_TOKEN_NAME"];
for (var i = 0; i < names.length; i++) {
    var name = p[names[i]];
    var on = p.SetMyTokenPrivileges(name, true);
    p.SetMyTokenPrivileges(name, false);
    WScript.Echo("  " + pad(name, 26) + (on == 0 ? "held" : helper.FormatAPIMessage(on, "status " + on)));
}
WScript.Echo("Administrator: " + helper.IAmAdmin());
