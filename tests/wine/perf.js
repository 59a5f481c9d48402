// Cost of a call through the library's IDispatch against one through Wine's
// own Scripting.Dictionary, from the same script engine (not part of ctest):
//   export WINEPREFIX=$PWD/build/windows/wine-prefix (registered by ctest --preset windows)
//   wine cscript //nologo "$(winepath -w tests/wine/perf.js)"
var N = 100000;
var o = new ActiveXObject("Vorlek.Stringer");
var d = new ActiveXObject("Scripting.Dictionary");
d.Add("k", 1);
function time(f) {
    var t = new Date().getTime();
    f();
    return new Date().getTime() - t;
}
for (var r = 0; r < 3; r++) {
    var theirs = time(function () { for (var i = 0; i < N; i++) d.Exists("k"); });
    var ours = time(function () { for (var i = 0; i < N; i++) o.ReverseString("abcdef", "", 2); });
    WScript.Echo("ReverseString " + ours + " ms (" + Math.round(N * 1000 / ours) + "/s), Dictionary.Exists " + theirs +
                 " ms (" + Math.round(N * 1000 / theirs) + "/s), ratio " + (ours / theirs).toFixed(2));
}
