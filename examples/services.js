// The services of a machine with their states and start types; the spooler
// stopped and started again, with what depends on it; the database lock.
// Services are stopped, started and the database locked only when the
// argument "control" is given (the demo gives it on the simulated network):
//   vorlek-run examples/services.js control        (simulated network)
//   cscript //nologo examples\services.js [control] (Windows, as an administrator)
var s = new ActiveXObject("Vorlek.Service");
var helper = new ActiveXObject("Vorlek.DllClass");
var control = WScript.Arguments.length > 0 && WScript.Arguments.Item(0) == "control";

function explain(code) { return helper.FormatAPIMessage(code, "error " + code) + " (" + code + ")"; }
function pad(text, width) {
    text = String(text);
    while (text.length < width) text += " ";
    return text;
}
function short(text) { return String(text).replace(/^SERVICE_/, "").toLowerCase(); }

if (s.InitServices(s.SV_WIN32) == 0) {
    WScript.Echo("Cannot list the services: " + explain(s.LastError));
} else {
    WScript.Echo(s.Services.Count + " services:");
    for (var e = new Enumerator(s.Services); !e.atEnd(); e.moveNext()) {
        var item = e.item();
        WScript.Echo("  " + pad(item.ServiceName, 20) + pad(short(item.CurrentState), 14) +
                     pad(short(item.StartType), 14) + item.DisplayName +
                     (item.ProcessID ? "  (process " + item.ProcessID + ")" : ""));
    }
}

if (control) {
    // The workstation service keeps others running, so it does not stop
    // alone; the spooler stops and starts.
    var workstation = new ActiveXObject("Vorlek.Service");
    workstation.GetServiceInfo("LanmanWorkstation");
    workstation.CurrentState = "SERVICE_STOP_PENDING";
    WScript.Echo("");
    WScript.Echo("Stopping LanmanWorkstation: " + explain(workstation.LastError));
    var spooler = new ActiveXObject("Vorlek.Service");
    if (spooler.GetServiceInfo("Spooler") == 1) {
        WScript.Echo("Spooler depends on " + spooler.Dependencies + " and is " + short(spooler.CurrentState));
        spooler.CurrentState = "SERVICE_STOP_PENDING";
        WScript.Echo("  stop: " + explain(spooler.LastError) + ", now " + short(spooler.CurrentState));
        spooler.CurrentState = "SERVICE_START_PENDING";
        WScript.Echo("  start: " + explain(spooler.LastError) + ", now " + short(spooler.CurrentState) +
                     " as process " + spooler.ProcessID);
    }
}

// The database lock: who holds it, and taking it for a moment.
var db = new ActiveXObject("Vorlek.Service");
WScript.Echo("");
if (db.InitServiceDB() == 1) {
    WScript.Echo("Service database " + (db.ServiceDBLocked ? "locked by " + db.ServiceDBLockOwner : "not locked"));
    if (control) {
        db.ServiceDBLocked = true;
        WScript.Echo("  locked: " + explain(db.LastError) + ", owner " + db.ServiceDBLockOwner);
        var other = new ActiveXObject("Vorlek.Service");
        other.InitServices(other.SV_WIN32);
        WScript.Echo("  a listing meanwhile: " + explain(other.LastError));
        db.ServiceDBLocked = false;
        WScript.Echo("  unlocked: " + explain(db.LastError));
    }
} else {
    WScript.Echo("No lock status: " + explain(db.LastError));
}
