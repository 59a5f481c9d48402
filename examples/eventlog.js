// The event logs: the last day's errors and warnings of System with their
// full message texts, an event written and read back, and a search over a
// backup file. Writing, saving and clearing happen only when the argument
// "control" is given (the demo gives it on the simulated network):
//   vorlek-run examples/eventlog.js control        (simulated network)
//   cscript //nologo examples\eventlog.js [control] (Windows, as an administrator)
var ev = new ActiveXObject("Vorlek.Eventer");
var helper = new ActiveXObject("Vorlek.DllClass");
var control = WScript.Arguments.length > 0 && WScript.Arguments.Item(0) == "control";
var NO_BOUND = 25569;  // 1970-01-01: no date bound

function explain(code) { return helper.FormatAPIMessage(code, "error " + code) + " (" + code + ")"; }
function show(item) {
    WScript.Echo("  #" + item.EventRecordNumber + "  " + item.EventType.replace(/^TYPE_/, "") +
                 "  " + item.EventSource + " " + item.EventID + "  (" + item.EventCategory + ", " +
                 item.EventUser + ")");
    WScript.Echo("    " + item.EventDescription.replace(/\n/g, "\n    "));
}

// The day before the newest record (on a live machine, the last day), as a
// date's serial number (days since 1899-12-30), which every engine passes
// as a date.
function serial(date) {
    var d = new Date(date);
    return NO_BOUND + (d.getTime() - d.getTimezoneOffset() * 60000) / 86400000;
}
var rc = ev.InitReadEvents("", ev.SOURCE_SYSTEM);
var since = NO_BOUND;
if (rc == 0 && ev.Events.Count > 0)
    since = serial(ev.Events.Item(ev.Events.Count).EventDateWritten) - 1;
if (rc == 0) rc = ev.InitReadEvents("", ev.SOURCE_SYSTEM, since, NO_BOUND, ev.TYPE_ERROR + ev.TYPE_WARNING);
if (rc != 0) {
    WScript.Echo("Cannot read the System log: " + explain(rc));
} else {
    WScript.Echo("System: " + ev.EventRecordsNum + " records, " + ev.Events.Count +
                 " errors and warnings in its last day");
    for (var e = new Enumerator(ev.Events); !e.atEnd(); e.moveNext()) show(e.item());
}

if (control) {
    var data = new ActiveXObject("Vorlek.Stringer").StringToANSIByteArray("Vorlek");
    rc = ev.WriteEvent(ev.TYPE_INFORMATION, 1, "Vorlek", 0, "an example", data, "", "\\??\\");
    WScript.Echo("Written: " + explain(rc));
    ev.InitReadEvents("", ev.SOURCE_APPLICATION, NO_BOUND, NO_BOUND, -1, "Vorlek");
    if (ev.Events.Count > 0) {
        var last = ev.Events.Item(ev.Events.Count);
        show(last);
        WScript.Echo("    data: " + last.EventDataBytes + "  \"" + last.EventDataString + "\"");
    }
    var file = "C:\\vorlek-example.evt";
    rc = ev.SaveEventLog(file, "", ev.SOURCE_APPLICATION);
    WScript.Echo("Saved Application to " + file + ": " + explain(rc));
    rc = ev.InitReadEvents("", ev.SOURCE_APPLICATION, NO_BOUND, NO_BOUND, -1, "*", "*", "*started*",
                           "*", "*", "*", -1, file);
    WScript.Echo("Records of the file with a started service: " +
                 (rc == 0 ? ev.Events.Count : explain(rc)));
}
