// The small system helpers: the machine's address and adapter address, its
// dial-up connections, a message shown and taken down, a short wave file
// played, and a text scrambled and unscrambled.
//   vorlek-run examples/helpers.js        (simulated network)
//   cscript //nologo examples\helpers.js  (Windows)
var d = new ActiveXObject("Vorlek.DllClass");

WScript.Echo("IP address:      " + d.GetLocalIP("(none)"));
WScript.Echo("Adapter address: " + d.GetMacAddress("(none)"));

// JScript cannot pass a variable by reference, so the cursor's in-out
// arguments do not come back: a script of this kind learns whether the
// call worked and what the first connection is named only from VBScript.
// What it can see is the result: 0 when the connections could be listed.
var rc = d.GetRasConnections(0, 0, "");
WScript.Echo("Dial-up connections listed: " + (rc == 0 ? "yes" : "no (" + rc + ")"));

d.ShowMessage("Vorlek", "Arial", "0,0,128", 14, true, "center", "Backing up, please wait ...");
d.Sleeping(500);
d.UnloadMessage();
WScript.Echo("Message shown and taken down.");

// chord.wav is half a second long on the simulated machines (and part of
// every Windows installation); 0 means played to its end.
var media = new ActiveXObject("Vorlek.Stringer").ReplaceEnvVars("%windir%\\Media\\chord.wav", "");
WScript.Echo("PlaySound " + media + ": " + d.PlaySound(media));
WScript.Echo("PlaySound with the end before the start: " + d.PlaySound(media, 1000, 500));

var secret = d.GetCryptedString("Kennwort 123", "?");
WScript.Echo("Scrambled: " + secret.length + " characters");
WScript.Echo("Unscrambled: " + d.GetDecryptedString(secret, "?"));
