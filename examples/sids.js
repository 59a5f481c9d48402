// Accounts and their security identifiers: the SID text of well-known and
// domain accounts, the SID's bytes as a script receives them, and names back
// from SID texts.
//   vorlek-run examples/sids.js        (simulated network)
//   cscript //nologo examples\sids.js  (Windows)
var d = new ActiveXObject("Vorlek.DllClass");
var computer = new ActiveXObject("Vorlek.Computer");
var pdc = computer.GetPDCName("", "", "");

var accounts = [["", "Administrators"], ["", "Everyone"], ["", "SYSTEM"], ["", "Administrator"],
                [pdc, "Domain Admins"], [pdc, "Domain Users"]];
WScript.Echo("Account SIDs:");
for (var i = 0; i < accounts.length; i++) {
    var machine = accounts[i][0], name = accounts[i][1];
    if (name.indexOf("Domain") == 0 && machine == "") continue;  // no domain
    var sid = d.GetDomSID(machine, name, "(not found)");
    var back = sid.charAt(0) == "S" ? d.GetDomName(machine, sid, "(no name)") : "";
    var where = machine == "" ? "local" : machine;
    WScript.Echo("  " + (name + "                ").substr(0, 16) + (where + "        ").substr(0, 8) + sid +
                 (back ? "  -> " + back : ""));
}

WScript.Echo("");
var array = d.GetDomSIDArray("", "Administrators");
if (array !== undefined) {
    var longs = new VBArray(array).toArray();
    var hex = [];
    for (var j = 0; j < longs.length; j++) {
        var v = longs[j] < 0 ? longs[j] + 4294967296 : longs[j];
        hex.push(("00000000" + v.toString(16)).slice(-8));
    }
    WScript.Echo("Administrators as Longs: " + hex.join(" ") + " (the SID's bytes, four to a Long)");
} else {
    WScript.Echo("Administrators as Longs: status " + d.LastError);
}
WScript.Echo("A SID of nobody: " + d.GetDomName("", "S-1-5-21-1-2-3-4242", "(none)") + ", status " + d.LastError);
