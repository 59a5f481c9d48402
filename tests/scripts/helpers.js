// Vorlek.DllClass's network, sound, message and scrambling helpers from
// JScript. JScript passes no variable by reference: the in-out arguments of
// GetRasConnections reach the member as copies, and the script's variables
// keep their values whatever the member writes.
var d = new ActiveXObject("Vorlek.DllClass");
var SIM = PLATFORM == "sim";

var entries = 0, total = 0, name = "before";
var rc = d.GetRasConnections(entries, total, name);
check("cursor result", rc, 0);
check("entries variable kept", entries, 0);
check("name variable kept", name, "before");
check("non-numeric cursor", d.GetRasConnections("x", total, name), -9999);
check("Null cursor", d.GetRasConnections(null, 0, name), -9999);

var ip = d.GetLocalIP("none");
check("IP address as a dotted quad", /^\d+\.\d+\.\d+\.\d+$/.test(ip), true);
var mac = d.GetMacAddress("none");
check("MAC address or the default", mac == "none" || /^([0-9A-F]{2}-){5}[0-9A-F]{2}$/.test(mac), true);
if (SIM) {
    check("IP of WS0001", ip, "192.168.1.15");
    check("MAC of WS0001", mac, "00-A0-C9-12-34-0F");
} else {
    check("IP of the machine's name", ip != "none", true);
    check("MAC address", typeof mac, "string");
}

// Every character whose ANSI code is its own code point (code page 1252),
// there and back.
var all = "";
for (var c = 1; c < 256; c++) if (c < 128 || c >= 160) all += String.fromCharCode(c);
var s = d.GetCryptedString(all, "d");
check("scrambled length", s.length, 446);
check("no line breaks or end-of-file marks", /[\n\r\x1a]/.test(s), false);
check("round trip", d.GetDecryptedString(s, "d"), all);
check("one character pairs with itself", d.GetDecryptedString("A", "d"), "D");

check("PlaySound range ending before it starts", d.PlaySound("C:\\x.wav", 1000, 500), -87);
check("PlaySound of a missing file fails", d.PlaySound("C:\\no\\such.wav") != 0, true);
if (SIM) {
    // Dialogs wait for a user: only the simulated desktop answers them (cancel).
    check("connection dialog cancelled", d.ShowNetConnectionDialog(d.RESOURCETYPE_DISK), 1223);
    check("printer dialog cancelled without an error", d.ShowPrinterConnectionDialog(), 0);
    check("half a second of chord.wav", d.PlaySound("C:\\WINNT\\Media\\chord.wav", 0, 0), 0);
    check("message shown and unloaded", (d.ShowMessage("c", "Arial", "0,0,0", 10, false, "left", "t"),
                                         d.UnloadMessage(), d.LastError), 0);
}
check("none of them changes LastError", d.LastError, 0);
done(SIM ? 20 : 16);
