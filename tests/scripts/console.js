// Vorlek.Consoler as a script sees it: the constants, members before the
// console is open, the properties with their Integer and Boolean values,
// lets that keep the other parts, fills, writes moving the cursor, the flag
// texts, the (empty) event collection and the control handler. Nobody types
// here: typed input is checked by the terminal tests.
var c = new ActiveXObject("Vorlek.Consoler");
var SIM = PLATFORM == "sim";

var constants = [
    ["ENABLE_PROCESSED_INPUT", 1], ["ENABLE_LINE_INPUT", 2], ["ENABLE_ECHO_INPUT", 4],
    ["ENABLE_WINDOW_INPUT", 8], ["ENABLE_MOUSE_INPUT", 16], ["ENABLE_PROCESSED_OUTPUT", 1],
    ["ENABLE_WRAP_AT_EOL_OUTPUT", 2], ["FOREGROUND_GREEN", 2], ["FOREGROUND_BLUE", 1],
    ["FOREGROUND_RED", 4], ["FOREGROUND_INTENSITY", 8], ["BACKGROUND_GREEN", 32],
    ["BACKGROUND_BLUE", 16], ["BACKGROUND_RED", 64], ["BACKGROUND_INTENSITY", 128]];
for (var i = 0; i < constants.length; i++)
    check(constants[i][0], c[constants[i][0]], constants[i][1]);

check("no events before InitConsoleEvents", c.ConsoleEvents, null);
check("write before open", c.ConsoleWrite("x"), 6);
check("mode text before open", c.ConsoleOutputModeStr, "unknown");
check("error before open", c.ConsoleLastError, 6);
check("fill before open", c.FillConsoleWithChar("x", 2), 0);
check("repeat 0", c.FillConsoleWithAttribute(7, 0) + "," + c.ConsoleLastError, "0,-9999");

var opened = c.ConsoleOpen();
if (!SIM && opened != 0) {
    // A script whose output goes to a file has no console under Wine (the
    // terminal tests run it on one): every member still returns normally.
    check("no console", opened, 6);
    check("write", c.ConsoleWrite("x"), 6);
    check("title", c.ConsoleTitle + "," + (c.ConsoleLastError != 0), ",true");
    check("buffer", c.ConsoleScreenBufferSizeX + "," + c.ConsoleLastError, "0,6");
    check("read", c.ConsoleRead(), "unknown");
    check("events", c.InitConsoleEvents() + "," + c.ConsoleEvents.Count, "0,0");
    check("mouse", typeof c.ConsoleMouseButtons, "number");
    check("close", typeof c.ConsoleClose(), "number");
    done(29);
}
check("open", opened, 0);
check("open again", c.ConsoleOpen(), 0);
check("no control event yet", c.ConsoleLastCTRLEvent, "CTRL_NO_EVENT");
check("still writes", c.ConsoleWrite(""), 0);

c.ConsoleTitle = "Vorlek console test";
check("title", c.ConsoleTitle, "Vorlek console test");
c.ConsoleOutputMode = 3;
check("output mode", c.ConsoleOutputModeStr, "ENABLE_PROCESSED_OUTPUT;ENABLE_WRAP_AT_EOL_OUTPUT");
c.ConsoleInputMode = 7;
check("input mode", c.ConsoleInputModeStr, "ENABLE_ECHO_INPUT;ENABLE_LINE_INPUT;ENABLE_PROCESSED_INPUT");
check("input mode word", c.ConsoleInputMode, 7);
c.ConsoleTextMode = c.FOREGROUND_GREEN | c.FOREGROUND_INTENSITY | c.BACKGROUND_BLUE;
check("attribute", c.ConsoleTextModeStr, "FOREGROUND_GREEN;FOREGROUND_INTENSITY;BACKGROUND_BLUE");
check("attribute word", c.ConsoleTextMode, 0x1A);
check("no error", c.ConsoleLastError, 0);

var width = c.ConsoleScreenBufferSizeX, height = c.ConsoleScreenBufferSizeY;
check("buffer is wider than 10", width > 10, true);
check("an Integer", typeof width, "number");
c.ConsoleScreenBufferSizeY = height + 10;
check("taller buffer", c.ConsoleScreenBufferSizeY, height + 10);
check("same width", c.ConsoleScreenBufferSizeX, width);
check("largest window within the buffer", c.ConsoleMaxWindowSizeX <= width, true);

c.ConsoleCursorPosY = 2;
c.ConsoleCursorPosX = 0;
check("write", c.ConsoleWrite("abc"), 0);
check("cursor moved on", c.ConsoleCursorPosX + "," + c.ConsoleCursorPosY, "3,2");
c.ConsoleCursorPosX = width - 2;
c.ConsoleWrite("xyz");
check("wrapped", c.ConsoleCursorPosX + "," + c.ConsoleCursorPosY, "1,3");

c.ConsoleCursorSize = 50;
c.ConsoleCursorVisible = false;
check("cursor hidden keeps its size", c.ConsoleCursorSize + "," + c.ConsoleCursorVisible, "50,false");
c.ConsoleCursorVisible = true;
check("shown again", c.ConsoleCursorVisible, true);
c.ConsoleCursorSize = 101;
check("cursor size 101", c.ConsoleLastError + "," + c.ConsoleCursorSize, "87,50");

check("fill", c.FillConsoleWithChar("AB", 3, 0, 0), 3);
check("fill attributes", c.FillConsoleWithAttribute(0x1F, 5, 0, 0), 5);
check("fill to the buffer end", c.FillConsoleWithChar("z", 1000, width - 2, c.ConsoleScreenBufferSizeY - 1), 2);

check("events", c.InitConsoleEvents(true), 0);
check("a collection now", c.ConsoleEvents.Count, 0);
check("flush", c.ConsoleEventsFlush(), 0);
check("unread", c.ConsoleUnread, 0);

check("set handler", c.SetControlHandler(), 0);
check("handler text", c.ConsoleLastCTRLEvent, "CTRL_NO_EVENT");
check("release handler", c.ReleaseControlHandler(), 0);
check("release again", c.ReleaseControlHandler() != 0, true);

c.ConsoleTextMode = 7;
check("close", c.ConsoleClose(), 0);
check("closed", c.ConsoleWrite("x"), 6);
done(56);
