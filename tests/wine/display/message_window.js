// Shows the message window on the X display twice (red text centred, then
// blue text on the left) and waits while display-check.sh takes a
// screenshot of each; a marker file says when a window is up.
var d = new ActiveXObject("Vorlek.DllClass");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var dir = WScript.Arguments.Item(2);
var bar = "WWWWWWWW";  // wide letters: many pixels of the colour

function shown(step) {
    var f = fso.CreateTextFile(dir + "\\shown-" + step + ".txt", true);
    f.WriteLine(step);
    f.Close();
}
function waitFor(step) {
    for (var i = 0; i < 600 && !fso.FileExists(dir + "\\taken-" + step + ".txt"); i++) d.Sleeping(100);
    return fso.FileExists(dir + "\\taken-" + step + ".txt");
}

d.ShowMessage("Vorlek", "Arial", "255,0,0", 28, true, "center", bar);
shown(1);
check("first screenshot taken", waitFor(1), true);
d.ShowMessage("Vorlek", "Arial", "0,0,255", 28, true, "left", bar);
shown(2);
check("second screenshot taken", waitFor(2), true);
d.UnloadMessage();
check("LastError", d.LastError, 0);
done(3);
