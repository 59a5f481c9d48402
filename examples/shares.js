// The shares of the file server with their uses and who may use them; then,
// with the argument "control" (the simulated network is the place for it), a
// share made, its rights read, a drive mapped to it with "*" and both removed.
//   vorlek-run examples/shares.js control              (simulated network)
//   cscript //nologo examples\shares.js [server]       (Windows, as an administrator)
var change = WScript.Arguments.length > 0 && WScript.Arguments.Item(0) == "control";
var server = !change && WScript.Arguments.length > 0 ? WScript.Arguments.Item(0) : "SRV01";
var s = new ActiveXObject("Vorlek.Sharer");
var helper = new ActiveXObject("Vorlek.DllClass");

function explain(code) { return helper.FormatAPIMessage(code, "error " + code) + " (" + code + ")"; }
function pad(text, width) {
    text = String(text);
    while (text.length < width) text += " ";
    return text;
}
function rights(share) {
    var out = [];
    if (share.InitShareRights() != 0) return "(rights not readable)";
    for (var e = new Enumerator(share.ShareRights); !e.atEnd(); e.moveNext()) {
        var r = e.item();
        var who = r.ShRightDomain == "" || r.ShRightDomain == r.ShRightUser ? r.ShRightUser
                                                                           : r.ShRightDomain + "\\" + r.ShRightUser;
        out.push(who + ": " + r.ShRightStr + (r.ShRightTypeStr == "ACCESS_DENIED_ACE_TYPE" ? " (denied)" : ""));
    }
    return out.join("; ");
}

var rc = s.InitShares(server);
if (rc != 0) {
    WScript.Echo("Cannot list the shares of " + server + ": " + explain(rc));
} else {
    WScript.Echo(s.Shares.Count + " shares on " + server + ":");
    for (var e = new Enumerator(s.Shares); !e.atEnd(); e.moveNext()) {
        var share = e.item();
        var uses = share.ShCurUses + (share.ShMaxUses == s.MAX_USES_UNLIMITED ? "" : "/" + share.ShMaxUses);
        WScript.Echo("  " + pad(share.ShName, 10) + pad(share.ShTypeStr, 16) + pad(uses, 6) +
                     pad(share.ShPath, 34) + share.ShRemark);
        WScript.Echo("      " + rights(share));
    }
}

if (change) {
    WScript.Echo("");
    var n = new ActiveXObject("Vorlek.Sharer");
    n.Computer = server;
    n.ShName = "Projects";
    n.ShPath = "D:\\Public";
    n.ShRemark = "Made by examples/shares.js";
    rc = n.Create();
    WScript.Echo("Create \\\\" + server + "\\Projects: " + explain(rc));
    if (rc == 0) {
        WScript.Echo("  maximum uses " + n.ShMaxUses + ", rights: " + rights(n));
        rc = s.NetUse("*", "\\\\" + server + "\\Projects", "", "", false);
        WScript.Echo("Map a drive with *: " + explain(rc));
        n.GetShareInfo(server, "Projects");
        WScript.Echo("  the share now has " + n.ShCurUses + " use(s)");
        // The first free letter from D: on is the one mapped.
        for (var letter = 68; letter <= 90 && rc == 0; letter++) {
            var device = String.fromCharCode(letter) + ":";
            if (s.NetUseDel(device, false, false) == 0) {
                WScript.Echo("Disconnect " + device + ": done");
                break;
            }
        }
        WScript.Echo("Remove the share: " + explain(n.RemoveShare(server, "Projects")));
    }
}
