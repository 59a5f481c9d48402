// Which platform the objects use: the machine's own, or the simulated network
// when the runner asked for it (VORLEK_PLATFORM=sim under cscript).
var s = new ActiveXObject("Vorlek.Stringer");
var shell = new ActiveXObject("WScript.Shell");

if (PLATFORM === "sim") {
    check("simulated machine name", s.ReplaceEnvVars("%COMPUTERNAME%", "?"), "WS0001");
    check("simulated domain", s.ReplaceEnvVars("%USERDOMAIN%", "?"), "CORP");
    check("simulated system root", s.ReplaceEnvVars("%SystemRoot%", "?"), "C:\\WINNT");
} else {
    // (Wine's WScript.Shell leaves the terminating NUL on the text.)
    var host = shell.ExpandEnvironmentStrings("%COMPUTERNAME%").replace(/\u0000+$/, "");
    check("machine name from the process", s.ReplaceEnvVars("%COMPUTERNAME%", "?"), host.toUpperCase());
    check("a variable set for this run", s.ReplaceEnvVars("%VORLEK_PLATFORM%", "unset"), "unset");
    check("not the simulated machine", s.ReplaceEnvVars("%COMPUTERNAME%", "?") !== "WS0001", true);
}
// The same answers on both: code page 1252 and locale-aware case.
check("code page 1252", s.ByteArrayToHexString(s.StringToANSIByteArray("\u00E9\u20AC\u0152"), " ", 0, ""), "E9 80 8C");
check("unmappable becomes the replacement character", s.ByteArrayToHexString(s.StringToANSIByteArray("\u4E00"), "", 0, ""), "30");
check("case-blind search beyond ASCII", s.ReplaceString("\u00C4BC\u00E4", "x", "\u00E4"), "xBCx");
check("case-sensitive search beyond ASCII", s.ReplaceString("\u00C4BC\u00E4", "x", "\u00E4", 0, 0), "\u00C4BCx");
check("key name from the ANSI code page", s.GetCharEx(200), "\u00C8");
check("empty variable name", s.ReplaceEnvVars("a%%b", "-"), "a-b");
done(9);
