// Late-bound call rate through the script host (or cscript):
//   vorlek-run bench/host_calls.js [N]
var n = WScript.Arguments.length > 0 ? Number(WScript.Arguments(0)) : 100000;
var s = new ActiveXObject("Vorlek.Stringer");

var t0 = new Date().getTime();
for (var i = 0; i < n; i++) s.ReverseString("abcdefg", "", 3);
var calls = (new Date().getTime() - t0) / 1000;

// InitSeperator stops at 32767 pieces (an Integer counter): top up with Add.
s.InitSeperator("x", ";");
var c = s.SepStrings;
while (c.Count < n) c.Add(c(1));
t0 = new Date().getTime();
var walked = 0;
for (var e = new Enumerator(c); !e.atEnd(); e.moveNext()) walked++;
var walk = (new Date().getTime() - t0) / 1000;

t0 = new Date().getTime();
var items = 0, chars = 0;
for (e = new Enumerator(c); !e.atEnd(); e.moveNext()) {
    chars += e.item().SepString.length;
    items++;
}
var read = (new Date().getTime() - t0) / 1000;

function rate(count, seconds) { return seconds > 0 ? Math.round(count / seconds) : "inf"; }
WScript.Echo("ReverseString: " + n + " calls in " + calls + " s = " + rate(n, calls) + " calls/s");
WScript.Echo("Enumerator: " + walked + " iterations (atEnd + moveNext) in " + walk + " s = " + rate(walked, walk) + " iterations/s");
WScript.Echo("Enumerator with item().SepString: " + items + " iterations in " + read + " s = " + rate(items, read) + " iterations/s");
