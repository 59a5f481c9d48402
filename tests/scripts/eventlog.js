// Vorlek.Eventer as a script uses it: the constants, an event written and
// read back with its texts, the filters, the data texts, a backup read as a
// file and a cleared log. On the real platform (Wine keeps no event log) the
// script only sees every member return.
var ev = new ActiveXObject("Vorlek.Eventer");
var SIM = PLATFORM == "sim";
var FROM_ANY = 25569;  // 1970-01-01: no date bound

check("TYPE_ERROR", ev.TYPE_ERROR, 1);
check("TYPE_WARNING", ev.TYPE_WARNING, 2);
check("TYPE_INFORMATION", ev.TYPE_INFORMATION, 4);
check("TYPE_AUDIT_SUCCESS", ev.TYPE_AUDIT_SUCCESS, 8);
check("TYPE_AUDIT_FAILURE", ev.TYPE_AUDIT_FAILURE, 16);
check("SOURCE_APPLICATION", ev.SOURCE_APPLICATION, "Application");
check("SOURCE_SYSTEM", ev.SOURCE_SYSTEM, "System");
check("SOURCE_SECURITY", ev.SOURCE_SECURITY, "Security");
check("nothing read yet", ev.EventRecordsNum + "," + ev.EventType + "," + ev.EventDescription, "0,,");

// The message files the simulated machines carry are real message modules:
// on the real platform the system's own FormatMessage reads them (a runner
// names their folder in VORLEK_MESSAGE_DIR).
var dir = SIM ? "C:\\WINNT\\system32" : "";
if (!SIM) {
    try {
        var named = new ActiveXObject("WScript.Shell").ExpandEnvironmentStrings("%VORLEK_MESSAGE_DIR%");
        named = named.replace(/\u0000+$/, "");  // Wine keeps the terminating NUL
        if (named.indexOf("%") < 0) dir = named;
    } catch (e) {
    }
}
if (dir != "") {
    var texts = new ActiveXObject("Vorlek.DllClass");
    check("the service manager's message", texts.FormatAPIMessage(0x40001B7C, "d", dir + "\\netevent.dll"),
          "The %1 service entered the %2 state.");
    check("an audit category", texts.FormatAPIMessage(2, "d", dir + "\\msaudite.dll"), "Logon/Logoff");
    check("a parameter text", texts.FormatAPIMessage(1053, "d", dir + "\\kernel32.dll"),
          "The service did not respond to the start or control request in a timely fashion.");
}
var modules = dir != "" ? 3 : 0;

var written = ev.WriteEvent(ev.TYPE_WARNING, 4711, "VorlekScriptTest", 0, "from a script");
var data = new ActiveXObject("Vorlek.Stringer").StringToANSIByteArray("AB CD");
var withData = ev.WriteEvent(ev.TYPE_ERROR, 4712, "VorlekScriptTest", 0, "one\0two", data);
if (SIM) {
    check("write", written + "," + withData, "0,0");
    check("read the log", ev.InitReadEvents("", "Application"), 0);
    check("every record counted", ev.EventRecordsNum >= 2, true);
    check("only this source", ev.InitReadEvents("", "Application", FROM_ANY, FROM_ANY, -1, "VorlekScript*"), 0);
    check("two items", ev.Events.Count, 2);
    var item = ev.Events.Item(1);
    check("its id", item.EventID, 4711);
    check("its type", item.EventType, "TYPE_WARNING");
    check("no user", item.EventUser, "N/A");
    check("no category", item.EventCategory, "none");
    check("the fallback text", item.EventDescription,
          "The description for Event ID ( 4711 ) in Source ( VorlekScriptTest ) could not be found. " +
          "It contains the following insertion string(s): from a script");
    check("keyed by its number", ev.Events.Item(String(item.EventRecordNumber)).EventID, 4711);
    var d = ev.Events.Item(2);
    check("two insertion strings", d.EventDescription.slice(-7), "one,two");
    check("the data as bytes", d.EventDataBytes, "41 42 20 43 44");
    check("as words", d.EventDataWords, "43204241 44");
    check("as characters", d.EventDataString, "AB.CD");
    check("the data itself", bytes(d.EventData).length, 5);
    check("a written date", new Date(d.EventDateWritten).getFullYear() >= 2000, true);
    check("errors only", ev.InitReadEvents("", "Application", FROM_ANY, FROM_ANY, ev.TYPE_ERROR,
                                          "VorlekScript*"), 0);
    check("one error", ev.Events.Count + "," + ev.Events.Item(1).EventID, "1,4712");

    check("save", ev.SaveEventLog("C:\\script.evt"), 0);
    check("save again", ev.SaveEventLog("C:\\script.evt"), 183);
    check("clear", ev.CleanEventLog(), 0);
    check("read the cleared log", ev.InitReadEvents(), 0);
    check("nothing left", ev.EventRecordsNum, 0);
    check("read the backup", ev.InitReadEvents("", "Application", FROM_ANY, FROM_ANY, -1, "*", "*",
                                               "*", "*", "*", "*", 4712, "C:\\script.evt"), 0);
    check("the record is there", ev.Events.Count, 1);
    check("Security needs the privilege", ev.InitReadEvents("", "Security"), 1314);
    check("a machine nobody answers to", ev.InitReadEvents("VORLEKNOSUCHPC"), 1722);
    check("a file that is not there", ev.InitReadEvents("", "", FROM_ANY, FROM_ANY, -1, "*", "*",
                                                        "*", "*", "*", "*", -1, "C:\\none.evt"), 2);
    done(38 + modules);
} else {
    check("write returns", typeof written + typeof withData, "numbernumber");
    check("read returns", typeof ev.InitReadEvents("", "Application"), "number");
    check("save returns", typeof ev.SaveEventLog("C:\\vorlek-script-test.evt"), "number");
    done(12 + modules);
}
