// A status board of the machine's services on the console, redrawn in place
// twice a second: running services green, stopped ones red, the others
// yellow. "q" quits; so does Ctrl+C, which the control handler catches
// (the script ends in order instead of being ended).
//   vorlek-run --console examples/console.js [rounds]   (the simulated machine on this terminal)
//   cscript //nologo examples\console.js [rounds]       (Windows)
// Without a terminal nobody can press "q": the board stops after its rounds
// (120, about a minute, unless given).
var c = new ActiveXObject("Vorlek.Consoler");
var rounds = 120;
if (WScript.Arguments.length > 0 && !isNaN(parseInt(WScript.Arguments.Item(0), 10)))
    rounds = parseInt(WScript.Arguments.Item(0), 10);

var opened = c.ConsoleOpen();
if (opened != 0) {
    WScript.Echo("No console to draw on (error " + opened + ")");
    WScript.Quit(1);
}
c.SetControlHandler();
// Keys one by one, not echoed; Ctrl+C goes to the handler.
c.ConsoleInputMode = c.ENABLE_PROCESSED_INPUT;
c.ConsoleTitle = "Vorlek services board";
c.ConsoleCursorVisible = false;

var WHITE = c.FOREGROUND_RED | c.FOREGROUND_GREEN | c.FOREGROUND_BLUE;
var HEADER = WHITE | c.FOREGROUND_INTENSITY | c.BACKGROUND_BLUE;
var GREEN = c.FOREGROUND_GREEN | c.FOREGROUND_INTENSITY;
var RED = c.FOREGROUND_RED | c.FOREGROUND_INTENSITY;
var YELLOW = RED | GREEN;

var left = c.ConsoleWindowPosLeft, top = c.ConsoleWindowPosTop;
var width = c.ConsoleWindowPosRight - left + 1;
var height = c.ConsoleWindowPosBottom - top + 1;

function fit(text, n) {
    text = String(text);
    while (text.length < n) text += " ";
    return text.substring(0, n);
}
function at(x, y, text, colour) {
    c.ConsoleCursorPosY = top + y;
    c.ConsoleCursorPosX = left + x;
    c.ConsoleTextMode = colour;
    c.ConsoleWrite(text);
}
function colourOf(state) {
    if (state == "SERVICE_RUNNING") return GREEN;
    if (state == "SERVICE_STOPPED") return RED;
    return YELLOW;
}
// WScript.Sleep, or (where the host lacks it) a busy wait.
function pause(ms) {
    try {
        WScript.Sleep(ms);
    } catch (e) {
        for (var end = new Date().getTime() + ms; new Date().getTime() < end;) {
        }
    }
}
// True when "q" was pressed since the last look; other keys are dropped.
function quitPressed() {
    if (c.InitConsoleEvents() != 0) return false;
    for (var e = new Enumerator(c.ConsoleEvents); !e.atEnd(); e.moveNext()) {
        var ev = e.item();
        if (ev.ConsoleEventType == "KEY_EVENT" && ev.ConsoleEventKeyDown &&
            (ev.ConsoleEventKey == "q" || ev.ConsoleEventKey == "Q"))
            return true;
    }
    return false;
}

// Lines stop one short of the right edge: a write that fills the last
// column moves the cursor to the next row, and on the bottom row that
// scrolls the window.
var reason = "after " + rounds + " rounds";
for (var round = 1; round <= rounds; round++) {
    var s = new ActiveXObject("Vorlek.Service");
    s.InitServices(s.SV_WIN32);
    c.FillConsoleWithChar(" ", width * height, left, top);
    c.FillConsoleWithAttribute(WHITE, width * height, left, top);
    at(0, 0, fit(" Services: " + s.Services.Count + "    q quits, so does Ctrl+C", width - 1), HEADER);
    var row = 2;
    for (var e = new Enumerator(s.Services); !e.atEnd() && row < height - 1; e.moveNext(), row++) {
        var item = e.item();
        var state = String(item.CurrentState).replace(/^SERVICE_/, "").toLowerCase();
        at(1, row, fit(item.ServiceName, 20) + " ", WHITE);
        at(22, row, fit(state, 14), colourOf(item.CurrentState));
        at(37, row, fit(item.DisplayName, width - 38), WHITE);
    }
    at(0, height - 1, fit(" round " + round, width - 1), WHITE);
    var signal = c.ConsoleLastCTRLEvent;
    if (signal != "CTRL_NO_EVENT") {
        reason = "by " + signal;
        break;
    }
    if (quitPressed()) {
        reason = "by the q key";
        break;
    }
    pause(500);
}

c.ReleaseControlHandler();
c.ConsoleCursorVisible = true;
at(0, height - 1, fit(" Board stopped " + reason, width - 1), YELLOW | c.FOREGROUND_INTENSITY);
c.ConsoleTextMode = WHITE;
c.ConsoleWrite("\r\n");
