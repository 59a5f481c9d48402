// The machines of the browse list with their details, the domain's
// controllers, and the local time.
//   vorlek-run examples/computers.js        (simulated network)
//   cscript //nologo examples\computers.js  (Windows)
var computer = new ActiveXObject("Vorlek.Computer");
var helper = new ActiveXObject("Vorlek.DllClass");

WScript.Echo("Local machine: " + computer.GetMachineName("(unknown)"));
var status = computer.InitComputerInfo();
if (status == 0) {
    WScript.Echo("  domain or workgroup: " + computer.CompLangroup + ", version " + computer.CompVerMajor + "." +
                 computer.CompVerMinor + ", " + computer.CompLoggedOnUsers + " user(s) logged on");
} else {
    WScript.Echo("  details not available: " + helper.FormatAPIMessage(status, "status " + status));
}

WScript.Echo("");
var pdc = computer.GetPDCName("", "", "");
WScript.Echo("Primary domain controller: " + (pdc != "" ? pdc : "(none, status " + computer.LastError + ")"));
WScript.Echo("Any domain controller:     " + computer.GetDCName("", "", "(none)"));

WScript.Echo("");
WScript.Echo("Browse list:");
status = computer.InitComputerInfo("*", computer.SV_TYPE_ALL, "-", computer.SV_ENUM_WITH_INFO);
if (status != 0 && status != 457) {
    WScript.Echo("  " + helper.FormatAPIMessage(status, "status " + status) + " (" + status + ")");
}
for (var e = new Enumerator(computer.Computers); !e.atEnd(); e.moveNext()) {
    var m = e.item();
    var line = "  " + m.CompName;
    while (line.length < 18) line += " ";
    if (m.CompAvailable) {
        line += m.CompComment + " [" + m.CompType + "] root " + m.CompLanroot;
    } else {
        line += "(does not answer)";
    }
    WScript.Echo(line);
}

WScript.Echo("");
function pad(n) { return (n < 10 ? "0" : "") + n; }
var now = new Date();
var utc = (Date.UTC(now.getUTCFullYear(), now.getUTCMonth(), now.getUTCDate(), now.getUTCHours(),
                    now.getUTCMinutes(), now.getUTCSeconds()) - Date.UTC(1899, 11, 30)) / 86400000;
var local = new Date(helper.SysTimeToTzLocTime(utc));
WScript.Echo("Time zone bias: " + helper.GetBias() + " minutes");
WScript.Echo("Local time of this script's UTC clock: " + local.getFullYear() + "-" + pad(local.getMonth() + 1) +
             "-" + pad(local.getDate()) + " " + pad(local.getHours()) + ":" + pad(local.getMinutes()));
WScript.Echo("Locale: user " + helper.UserDefaultLCID + ", system " + helper.SystemDefaultLCID);
