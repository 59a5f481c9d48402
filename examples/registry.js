// Walks a registry key and shows every value of it with its type, as text,
// number or bytes; the key's security as text; saves a key to a hive file and
// loads it back as a hive of its own; then the services the machine has,
// read one-shot.
//   vorlek-run examples/registry.js        (simulated network)
//   cscript //nologo examples\registry.js  (Windows: reads HKLM\SOFTWARE\Vorlek\Samples
//                                            if there is one, else HKLM\SOFTWARE)
var reg = new ActiveXObject("Vorlek.Registry");
var strings = new ActiveXObject("Vorlek.Stringer");
var helper = new ActiveXObject("Vorlek.DllClass");

function explain(status) { return helper.FormatAPIMessage(status, "status " + status) + " (" + status + ")"; }
function shown(item) {
    var v = item.RegValue;
    switch (item.RegValueType) {
    case reg.R_BINARY: case reg.R_RESOURCE_LIST: case reg.R_FULL_RESOURCE_DESCRIPTOR:
    case reg.R_RESOURCE_REQUIREMENTS_LIST:
        var count = new VBArray(v).toArray().length;
        if (count == 0) return "(no bytes)";
        return count > 16 ? count + " bytes" : strings.ByteArrayToHexString(v, " ", 0, "");
    case reg.R_MULTI_SZ: return '"' + v.replace(/\0/g, "|") + '"';
    case reg.R_DWORD: case reg.R_DWORD_BIG_ENDIAN: return String(v);
    case reg.R_SZ: case reg.R_EXPAND_SZ: return '"' + v + '"';
    default: return v;
    }
}
function pad(text, width) {
    text = String(text);
    while (text.length < width) text += " ";
    return text;
}
function two(n) { return (n < 10 ? "0" : "") + n; }
function when(date) {
    var d = new Date(date);
    return d.getFullYear() + "-" + two(d.getMonth() + 1) + "-" + two(d.getDate()) + " " + two(d.getHours()) + ":" +
           two(d.getMinutes());
}

reg.OpenRegistry(reg.HK_LOCAL_MACHINE, "");
var status = reg.OpenRegKey(reg.K_READ, "SOFTWARE\\Vorlek\\Samples");
if (status == 2) status = reg.OpenRegKey(reg.K_READ, "SOFTWARE");
if (status != 0) {
    WScript.Echo("Cannot open the key: " + explain(status));
} else {
    WScript.Echo(reg.RegKeyRoot + "\\" + reg.RegKeyPath + "  (class \"" + reg.RegKeyClass + "\", written " +
                 when(reg.RegKeyWriteTime) + ")");
    WScript.Echo(reg.RegKeyNumSubKeys + " sub-keys, " + reg.RegKeyNumValues + " values, the longest " +
                 reg.RegKeyMaxValueLen + " bytes");
    status = reg.InitRegValues();
    if (status != 0) WScript.Echo("  values: " + explain(status));
    for (var e = new Enumerator(reg.RegValues); !e.atEnd(); e.moveNext()) {
        var item = e.item();
        WScript.Echo("  " + pad(item.RegValueName, 20) + pad(item.RegValueTypeStr, 30) + shown(item));
    }
    reg.CloseRegKey();
}

// Who owns the machine's software, who may do what with it, and what is audited.
if (reg.OpenRegKey(reg.K_READ | reg.K_ACCESS_SYSTEM_SECURITY, "SOFTWARE") == 0 ||
    reg.OpenRegKey(reg.K_READ, "SOFTWARE") == 0) {
    WScript.Echo("");
    if (reg.GetRegKeyOwner() == 0) WScript.Echo("Owner of SOFTWARE: " + reg.RegOwnerDomain + "\\" + reg.RegOwner);
    status = reg.InitRegRights();
    if (status != 0) WScript.Echo("  rights: " + explain(status));
    for (var e = new Enumerator(reg.RegRights); !e.atEnd(); e.moveNext()) {
        var right = e.item();
        var who = (right.RegRightUserDomain ? right.RegRightUserDomain + "\\" : "") + right.RegRightUser;
        WScript.Echo("  " + pad(who, 34) +
                     pad(right.RegRightTypeStr == "ACCESS_DENIED_ACE_TYPE" ? "denied" : "allowed", 8) +
                     pad(right.RegRightStr, 10) + right.RegRightFlagsStr);
    }
    status = reg.InitRegAudits();
    if (status != 0) WScript.Echo("  audits: " + explain(status));
    for (var e = new Enumerator(reg.RegAudits); !e.atEnd(); e.moveNext()) {
        var audit = e.item();
        WScript.Echo("  audited: " + pad(audit.RegRightUser, 26) + pad(audit.RegRightStr, 10) + audit.RegRightFlagsStr);
    }
    reg.CloseRegKey();
}

// A key saved to a hive file, then loaded back as a hive of its own.
var hive = "C:\\vorlek-samples-" + new Date().getTime() + ".hiv";
if (reg.OpenRegKey(reg.K_READ, "SOFTWARE\\Vorlek\\Samples") == 0) {
    WScript.Echo("");
    status = reg.SaveRegKey(hive);
    WScript.Echo("Saved the samples to " + hive + ": " + explain(status));
    reg.CloseRegKey();
    if (status == 0) {
        status = reg.LoadRegKey(hive, "VorlekSamples");
        WScript.Echo("Loaded it as HKEY_LOCAL_MACHINE\\VorlekSamples: " + explain(status));
        if (status == 0 && reg.OpenRegKey(reg.K_READ, "VorlekSamples") == 0) {
            WScript.Echo("  it holds " + reg.RegKeyNumValues + " values");
            reg.CloseRegKey();
        }
        if (status == 0) WScript.Echo("Unloaded: " + explain(reg.UnloadRegKey("VorlekSamples")));
    }
}

// The services, each with its start type, from their keys.
var services = "SYSTEM\\CurrentControlSet\\Services";
if (reg.OpenRegKey(reg.K_READ, services) == 0 && reg.InitRegSubKeys() == 0) {
    WScript.Echo("");
    WScript.Echo("Services (" + reg.RegSubKeys.Count + "):");
    var starts = ["boot", "system", "automatic", "manual", "disabled"];
    var shownCount = 0;
    for (var e = new Enumerator(reg.RegSubKeys); !e.atEnd() && shownCount < 20; e.moveNext(), shownCount++) {
        var key = "HKEY_LOCAL_MACHINE\\" + services + "\\" + e.item().RegKeyName;
        var display = reg.GetRegValueSZ("", key, "DisplayName", e.item().RegKeyName);
        var service = new ActiveXObject("Vorlek.Registry");
        service.OpenRegistry(reg.HK_LOCAL_MACHINE, "");
        var start = "";
        if (service.OpenRegKey(reg.K_QUERY_VALUE, services + "\\" + e.item().RegKeyName) == 0 &&
            service.GetRegValueInfo("Start") == 0)
            start = starts[service.RegValue] || String(service.RegValue);
        service.CloseRegistry();
        WScript.Echo("  " + pad(e.item().RegKeyName, 20) + pad(start, 11) + display);
    }
}
reg.CloseRegistry();
