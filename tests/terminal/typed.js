// Run on a real terminal by terminal-test.sh, which types what this script
// asks for: a line read with echo, a function key as an event, Ctrl+C caught
// by the handler. Each step writes what it got, for the driver to read off
// the screen.
var c = new ActiveXObject("Vorlek.Consoler");
function say(text, colour) {
    c.ConsoleTextMode = colour;
    c.ConsoleWrite(text);
}
var GREEN = c.FOREGROUND_GREEN | c.FOREGROUND_INTENSITY;
var WHITE = c.FOREGROUND_RED | c.FOREGROUND_GREEN | c.FOREGROUND_BLUE;
var YELLOW_ON_BLUE = c.FOREGROUND_RED | c.FOREGROUND_GREEN | c.FOREGROUND_INTENSITY | c.BACKGROUND_BLUE;

// WScript.Sleep, or (where the host lacks it: Wine's cscript) a busy wait.
function pause(ms) {
    try {
        WScript.Sleep(ms);
    } catch (e) {
        for (var end = new Date().getTime() + ms; new Date().getTime() < end;) {
        }
    }
}
// Waits (about ten seconds at most) until `found` says yes.
function until(found) {
    for (var i = 0; i < 200; i++) {
        if (found()) return true;
        pause(50);
    }
    return false;
}

if (c.ConsoleOpen() != 0) WScript.Quit(2);
c.ConsoleTitle = "typed input test";
c.ConsoleInputMode = c.ENABLE_PROCESSED_INPUT | c.ENABLE_LINE_INPUT | c.ENABLE_ECHO_INPUT;
c.ConsoleEventsFlush();
say("Name? ", GREEN);
var line = c.ConsoleRead("none");
say("Hello, " + line.replace(/[\r\n]+$/, "") + "!", YELLOW_ON_BLUE);
say("\r\n", WHITE);

c.ConsoleInputMode = c.ENABLE_PROCESSED_INPUT;
say("Press F5\r\n", WHITE);
var key = "";
until(function () {
    c.InitConsoleEvents();
    for (var e = new Enumerator(c.ConsoleEvents); !e.atEnd(); e.moveNext()) {
        var ev = e.item();
        if (ev.ConsoleEventType == "KEY_EVENT" && ev.ConsoleEventKeyDown && ev.ConsoleEventKey != "") {
            key = ev.ConsoleEventKey + " " + ev.ConsoleEventControlKey;
            return true;
        }
    }
    return false;
});
say("Key: " + key + "\r\n", WHITE);

c.SetControlHandler();
say("Press Ctrl+C\r\n", WHITE);
until(function () { return c.ConsoleLastCTRLEvent != "CTRL_NO_EVENT"; });
say("Caught " + c.ConsoleLastCTRLEvent + "\r\n", WHITE);
c.ReleaseControlHandler();

c.FillConsoleWithChar("#", 5, 0, c.ConsoleCursorPosY);
c.ConsoleCursorPosY = c.ConsoleCursorPosY + 1;
c.ConsoleCursorPosX = 0;
say("All done\r\n", WHITE);
