// Vorlek.Eventer against the DC: an event written and read back, the logs
// the server keeps, a backup and a clear (which Samba's event-log service
// does not offer), and the shutdown request, which the DC hands to its
// (harmless) shutdown script.
var ev = new ActiveXObject("Vorlek.Eventer");
var helper = new ActiveXObject("Vorlek.DllClass");
var FROM_ANY = 25569;

var marker = "vorlek remote " + new Date().getTime();
check("WriteEvent", ev.WriteEvent(ev.TYPE_WARNING, 4321, "VorlekTest", 3, marker), 0);
check("InitReadEvents Application", ev.InitReadEvents("", "Application"), 0);
var found = null;
for (var e = new Enumerator(ev.Events); !e.atEnd(); e.moveNext()) {
    if (e.item().EventDescription.indexOf(marker) >= 0) found = e.item();
}
check("the event is read back", found != null, true);
if (found) {
    check("its id", found.EventID, 4321);
    check("its type", found.EventType, "TYPE_WARNING");
    check("its computer: the machine the script runs on", found.EventComputer != "" && found.EventComputer != "DC1", true);
    // Samba's service has no source registration: a record takes the name
    // of the log it was written to.
    checkKnownDifference("its source", found.EventSource, "VorlekTest");
}
check("the filter by id", ev.InitReadEvents("", "Application", FROM_ANY, FROM_ANY, -1, "*", "*", "*", "*", "*", "*", 4321), 0);
check("only that id", ev.EventRecordsNum >= 1, true);
check("the System log opens", ev.InitReadEvents("", "System"), 0);
// A log the server does not know opens Application, as on Windows.
check("an unknown log", ev.InitReadEvents("", "NoSuchLog"), 0);
check("a NUL in the log name", ev.InitReadEvents("", "Appli\u0000cation"), 123);
// Backups are not part of Samba's service: the server refuses the call
// (1745; Windows writes the file). Clearing is, and empties the log.
checkKnownDifference("SaveEventLog", ev.SaveEventLog("C:\\backup.evt"), 0);
check("CleanEventLog", ev.CleanEventLog(""), 0);
check("the log is empty", ev.InitReadEvents("", "Application") + "," + ev.EventRecordsNum, "0,0");

// Shutdown of the DC: its shutdown script only writes a line.
check("EndWindows", helper.EndWindows("", "vorlek remote test", 30, false, true), 0);
check("EndWindows of a NUL name", helper.EndWindows("DC1\u0000x", "m", 30, false, true), 123);
// Local to the Linux host: not supported.
check("EndWindowsLocal", helper.EndWindowsLocal("LOGOFF"), 50);
done(18);
