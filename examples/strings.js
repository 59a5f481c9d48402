// strings.js - everyday string chores with Vorlek.Stringer: list the PATH
// entries, expand environment references, dump text as hex.
// Runs unchanged under cscript (cscript //nologo strings.js) and vorlek-run.
var s = new ActiveXObject("Vorlek.Stringer");

WScript.Echo("Machine: " + s.ReplaceEnvVars("%COMPUTERNAME% (%OS%)", "?"));

// PATH, one entry a line, empty entries skipped.
var path = s.ReplaceEnvVars("%PATH%", "");
var count = s.InitSeperator(path, ";", false) === 0 ? s.SepStrings.Count : 0;
WScript.Echo("PATH has " + count + " entries:");
for (var e = new Enumerator(s.SepStrings); !e.atEnd(); e.moveNext()) {
    WScript.Echo("  " + e.item().SepString);
}

// Expanding references in a template, with a default for unknown names.
var templates = ["%SystemRoot%\\system32\\drivers\\etc\\hosts", "%USERDOMAIN%\\%USERNAME%", "%NO_SUCH_VAR%"];
for (var i = 0; i < templates.length; i++) {
    WScript.Echo("Expand " + templates[i] + " -> " + s.ReplaceEnvVars(templates[i], "(not set)"));
}

// A hex dump of a string in the machine's ANSI code page, 8 bytes a line.
var text = "Caf\u00e9 \u20ac 42!";
var bytes = s.StringToANSIByteArray(text);
WScript.Echo("ANSI bytes of '" + text + "' (" + (new VBArray(bytes).ubound() + 1) + "):");
WScript.Echo("  " + s.ByteArrayToHexString(bytes, " ", 8, "\n  "));

// Replacing, reversing, key names.
WScript.Echo("Backslashes to slashes: " + s.ReplaceString("C:\\Tools\\bin", "/", "\\"));
WScript.Echo("Reversed by pairs: " + s.ReverseString("AABBCCDD", "", 2));
WScript.Echo("Key 113 is " + s.GetCharEx(113) + ", key 27 is " + s.GetCharEx(27));
