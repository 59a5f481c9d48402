// Vorlek.DllClass as a script uses it: number bases, file times, local time,
// message texts. Under the real platform only what it implements for real is
// checked; the simulated network's time zone (bias -60, clock in July 2024)
// and sample message file are checked under "sim".
var d = new ActiveXObject("Vorlek.DllClass");
var SIM = PLATFORM == "sim";

function pad(n) { return (n < 10 ? "0" : "") + n; }
// A Date result as "YYYY-MM-DD HH:MM:SS".
function stamp(v) {
    var t = new Date(v);
    return t.getFullYear() + "-" + pad(t.getMonth() + 1) + "-" + pad(t.getDate()) + " " +
        pad(t.getHours()) + ":" + pad(t.getMinutes()) + ":" + pad(t.getSeconds());
}
// The date serial a member taking a Date expects from JScript.
function serial(y, mo, day, h, mi, s) {
    return (Date.UTC(y, mo - 1, day, h, mi, s) - Date.UTC(1899, 11, 30)) / 86400000;
}
function lastChar(s) { return s.length ? s.charCodeAt(s.length - 1) : 0; }

// Number bases.
check("CBase 255 hex", d.CBase(255, 16, 4, "d"), "00FF");
check("CBase base 1 does not loop", d.CBase(10, 1, 0, "d"), "d");
check("CBaseToNum ff", d.CBaseToNum("ff", "F"), 255);
check("CBaseToNum bad digit", d.CBaseToNum("12", "1"), -9999);

// File times (UTC, no zone).
check("file time 0", stamp(d.FileTimeToDateTime(0, 0)), "1601-01-01 00:00:00");
check("file time 2024-07-15", stamp(d.FileTimeToDateTime(780547072, 31118993)), "2024-07-15 08:30:00");

// System messages.
var denied = d.FormatAPIMessage(5);
if (SIM) {
    check("message 5", denied, "Access is denied.");
} else {
    checkKnownDifference("message 5 (Wine's own text)", denied, "Access is denied.");
}
check("message without line end", lastChar(denied) != 10 && lastChar(denied) != 13, true);
check("unknown message", d.FormatAPIMessage(123456789, "none"), "none");
check("missing message file", d.FormatAPIMessage(1, "none", "C:\\no\\such\\file.dll"), "none");
check("LastError untouched", d.LastError, 0);

// The script runs as an administrator on both platforms (Wine's token holds
// Administrators too).
check("IAmAdmin", d.IAmAdmin(), true);
check("IAmAdmin clears LastError", d.LastError, 0);
check("RESOURCETYPE_UNKNOWN", d.RESOURCETYPE_UNKNOWN, -1);

if (SIM) {
    // Central European time; the simulated clock stands in July (daylight time).
    check("bias", d.GetBias(), -60);
    check("file time beyond range", stamp(d.FileTimeToDateTime(0, -1)), "1900-01-01 00:00:00");
    check("bias in force now", stamp(d.FileTimeToLocFileTime(serial(2024, 1, 10, 12, 0, 0))), "2024-01-10 14:00:00");
    check("user locale", d.UserDefaultLCID, 1033);
    check("system locale", d.SystemDefaultLCID, 1033);
    d.Sleeping(10);
    check("Sleeping leaves LastError", d.LastError, 0);
} else {
    var bias = d.GetBias();
    check("bias in whole quarter hours", typeof bias == "number" && bias % 15 == 0, true);
    var lcid = d.UserDefaultLCID;
    check("user locale is a number", lcid > 0, true);
}

// Local time around both daylight-saving switches, for the zones the runs
// use: the simulated network's, and the TZ a runner gives Wine
// (Europe/Berlin or America/New_York).
var switches = {
    "-60": [[2024, 3, 31, 0, 59, 59, "2024-03-31 01:59:59"], [2024, 3, 31, 1, 0, 0, "2024-03-31 03:00:00"],
            [2024, 10, 27, 0, 59, 59, "2024-10-27 02:59:59"], [2024, 10, 27, 1, 0, 0, "2024-10-27 02:00:00"]],
    "300": [[2024, 3, 10, 6, 59, 59, "2024-03-10 01:59:59"], [2024, 3, 10, 7, 0, 0, "2024-03-10 03:00:00"],
            [2024, 11, 3, 5, 59, 59, "2024-11-03 01:59:59"], [2024, 11, 3, 6, 0, 0, "2024-11-03 01:00:00"]]
};
var cases = switches[String(d.GetBias())] || [];
for (var i = 0; i < cases.length; i++) {
    var c = cases[i];
    check("local time of " + c.slice(0, 6).join("-"),
          stamp(d.SysTimeToTzLocTime(serial(c[0], c[1], c[2], c[3], c[4], c[5]))), c[6]);
}

// The sample message file: every simulated machine has it; for the real
// platform a runner may name its copy (platform/sim/data/vorlekmsg.dll) in
// the environment variable VORLEK_MESSAGE_FILE.
var file = SIM ? "C:\\WINNT\\system32\\vorlekmsg.dll" : "";
if (!SIM) {
    try {
        var named = new ActiveXObject("WScript.Shell").ExpandEnvironmentStrings("%VORLEK_MESSAGE_FILE%");
        // Wine's ExpandEnvironmentStrings keeps the terminating NUL in the
        // text, and a path with a NUL inside is refused (123).
        named = named.replace(/\u0000+$/, "");
        if (named.indexOf("%") < 0) file = named;
    } catch (e) {
    }
}
if (file != "") {
    check("message file", d.FormatAPIMessage(1, "d", file), "The sample service started.");
    check("message file in German", d.FormatAPIMessage(1, "d", file, 1031), "Der Beispieldienst wurde gestartet.");
    check("doubled line end", d.FormatAPIMessage(2, "d", file), "First paragraph.\nSecond paragraph with %1 kept.");
    check("trailing carriage return", d.FormatAPIMessage(3, "d", file), "Ends with a carriage return.");
    check("longer than the buffer", d.FormatAPIMessage(4, "d", file), "d");
}

done(SIM ? 29 : 16);
