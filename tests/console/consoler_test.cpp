// Consoler on the simulated console of the script host: the flag texts,
// each let keeping the other parts, fills and writes, line reads, every
// event type with its texts, peek and read, the control handler with
// signals raised while the client reads, failures of every operation, bad
// input, and the console handles in the ledger.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "tests/support/simulated.h"

#include "console/consoler.h"
#include "library/client.h"
#include "platform/sim/console.h"

namespace vorlek {
namespace {

namespace st = platform::status;
namespace con = platform::con;
using platform::InputRecord;

TEST(ConsoleTextsTest, WordsToTheirTexts) {
    struct Case {
        String (*text)(uint32_t);
        uint32_t word;
        StringView expected;
    };
    const Case cases[] = {
        {input_mode_text, 7, u"ENABLE_ECHO_INPUT;ENABLE_LINE_INPUT;ENABLE_PROCESSED_INPUT"},
        {input_mode_text, 0x1F,
         u"ENABLE_ECHO_INPUT;ENABLE_LINE_INPUT;ENABLE_MOUSE_INPUT;ENABLE_PROCESSED_INPUT;"
         u"ENABLE_WINDOW_INPUT"},
        {input_mode_text, 0x1E0, u""},
        {output_mode_text, 3, u"ENABLE_PROCESSED_OUTPUT;ENABLE_WRAP_AT_EOL_OUTPUT"},
        {output_mode_text, 2, u"ENABLE_WRAP_AT_EOL_OUTPUT"},
        {output_mode_text, 0, u""},
        {attribute_text, 0x1F,
         u"FOREGROUND_BLUE;FOREGROUND_GREEN;FOREGROUND_RED;FOREGROUND_INTENSITY;BACKGROUND_BLUE"},
        {attribute_text, 0xE0, u"BACKGROUND_GREEN;BACKGROUND_RED;BACKGROUND_INTENSITY"},
        {attribute_text, 0xFF00, u""},
        {control_key_text, 0, u"NO_CONTROLKEY_PRESSED"},
        {control_key_text, 0x18, u"LEFT_CTRL_PRESSED+SHIFT_PRESSED"},
        {control_key_text, 0x1FF,
         u"RIGHT_ALT_PRESSED+LEFT_ALT_PRESSED+RIGHT_CTRL_PRESSED+LEFT_CTRL_PRESSED+SHIFT_PRESSED+"
         u"NUMLOCK_ON+SCROLLLOCK_ON+CAPSLOCK_ON+ENHANCED_KEY"},
        {control_key_text, 0x200, u"NO_CONTROLKEY_PRESSED"},
        {mouse_button_text, 0, u"UNKNOWN"},
        {mouse_button_text, 1, u"FROM_LEFT_1ST_BUTTON_PRESSED"},
        {mouse_button_text, 2, u"RIGHTMOST_BUTTON_PRESSED"},
        {mouse_button_text, 6, u"RIGHTMOST_BUTTON_PRESSED"},
        {mouse_button_text, 4, u"FROM_LEFT_2ND_BUTTON_PRESSED"},
        {mouse_button_text, 8, u"FROM_LEFT_3RD_BUTTON_PRESSED"},
        {mouse_button_text, 16, u"FROM_LEFT_4TH_BUTTON_PRESSED"},
        {mouse_action_text, 0, u"MOUSE_EVENT"},
        {mouse_action_text, 1, u"MOUSE_MOVED"},
        {mouse_action_text, 2, u"DOUBLE_CLICK"},
        {mouse_action_text, 4, u"MOUSE_WHEELED"},
        {mouse_action_text, 8, u"MOUSE_EVENT"},
        {control_event_text, 0, u"CTRL_C_EVENT"},
        {control_event_text, 1, u"CTRL_BREAK_EVENT"},
        {control_event_text, 2, u"CTRL_CLOSE_EVENT"},
        {control_event_text, 3, u"3"},
        {control_event_text, 5, u"CTRL_LOGOFF_EVENT"},
        {control_event_text, 6, u"CTRL_SHUTDOWN_EVENT"},
        {control_event_text, 7, u"7"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text(c.word), c.expected) << c.word;
}

class ConsolerTest : public testing_support::SimulatedTest {
  protected:
    Ref<Consoler> c = make<Consoler>();
    uint32_t pid = sim::process_table(*net, net->local()).current_pid;

    std::shared_ptr<sim::SimConsole> screen() { return sim::host_console(*net); }
    size_t handles() { return net->handles().open_count(sim::HandleKind::Console); }
    void push(InputRecord r) { sim::push_input(*net, pid, r); }
    static InputRecord key(char16_t ch, uint16_t vk, uint32_t control = 0, bool down = true) {
        InputRecord r;
        r.type = con::kKeyEvent;
        r.key_down = down;
        r.repeat = 1;
        r.virtual_key = vk;
        r.character = ch;
        r.control = control;
        return r;
    }
    std::vector<Ref<Consoler>> events(bool peek = false) {
        EXPECT_EQ(c->InitConsoleEvents(peek), 0);
        std::vector<Ref<Consoler>> out;
        for (size_t i = 0; i < c->ConsoleEvents()->size(); ++i)
            out.push_back(c->ConsoleEvents()->object_at<Consoler>(i));
        return out;
    }
};

TEST_F(ConsolerTest, NothingWorksBeforeOpenAndNothingBreaks) {
    EXPECT_EQ(c->ConsoleWrite(u"x"), 6);
    EXPECT_EQ(c->ConsoleTitle(), u"C:\\WINNT\\system32\\cscript.exe");  // needs no handle
    EXPECT_EQ(c->ConsoleLastError(), 0);
    EXPECT_EQ(c->ConsoleInputModeStr(), u"unknown");
    EXPECT_EQ(c->ConsoleLastError(), 6);
    EXPECT_EQ(c->ConsoleRead(u"dflt"), u"dflt");
    EXPECT_FALSE(c->ConsoleEvents());
    EXPECT_EQ(c->InitConsoleEvents(false), 0);
    EXPECT_EQ(c->ConsoleEvents()->size(), 0u);
    EXPECT_EQ(c->ConsoleLastError(), 6);
    EXPECT_EQ(c->FillConsoleWithChar(u"A", 3, 0, 0), 0);
    EXPECT_EQ(c->ConsoleEventsFlush(), 6);
}

TEST_F(ConsolerTest, OpenTwiceKeepsWorkingHandlesAndCloseReleasesThem) {
    EXPECT_EQ(c->ConsoleOpen(), 0);
    const size_t open = handles();
    EXPECT_EQ(c->ConsoleLastCTRLEvent(), u"CTRL_NO_EVENT");
    EXPECT_EQ(c->ConsoleOpen(), 0);
    EXPECT_EQ(handles(), open);
    EXPECT_EQ(c->ConsoleWrite(u"still"), 0);
    EXPECT_EQ(c->ConsoleClose(), 0);
    EXPECT_EQ(handles(), open - 2);
    EXPECT_EQ(c->ConsoleWrite(u"x"), 6);
    EXPECT_EQ(c->ConsoleClose(), 6);  // no console left to leave
    // A new console, written to through its own standard handles.
    EXPECT_EQ(c->ConsoleOpen(), 0);
    EXPECT_EQ(handles(), open);
    EXPECT_EQ(c->ConsoleWrite(u"new"), 0);
    EXPECT_EQ(screen()->screen.row(0).substr(0, 3), u"new");
    EXPECT_EQ(c->ConsoleClose(), 0);
    EXPECT_EQ(handles(), open - 2);
}

TEST_F(ConsolerTest, EachLetKeepsTheOtherParts) {
    ASSERT_EQ(c->ConsoleOpen(), 0);
    ASSERT_EQ(c->ConsoleWrite(u"abc\ndef"), 0);
    struct Case {
        const char* name;
        std::function<void()> let;
        std::function<int32_t()> changed;
        int32_t expected;
        std::function<int32_t()> kept;
    };
    Consoler& k = *c;
    const int32_t y = k.ConsoleCursorPosY(), size = k.ConsoleCursorSize();
    const Case cases[] = {
        {"buffer X", [&] { k.SetConsoleScreenBufferSizeX(100); },
         [&] { return k.ConsoleScreenBufferSizeX(); }, 100,
         [&] { return k.ConsoleScreenBufferSizeY() - 300; }},
        {"buffer Y", [&] { k.SetConsoleScreenBufferSizeY(400); },
         [&] { return k.ConsoleScreenBufferSizeY(); }, 400,
         [&] { return k.ConsoleScreenBufferSizeX() - 100; }},
        {"cursor X", [&] { k.SetConsoleCursorPosX(7); }, [&] { return k.ConsoleCursorPosX(); }, 7,
         [&] { return k.ConsoleCursorPosY() - y; }},
        {"cursor Y", [&] { k.SetConsoleCursorPosY(5); }, [&] { return k.ConsoleCursorPosY(); }, 5,
         [&] { return k.ConsoleCursorPosX() - 7; }},
        {"cursor hidden", [&] { k.SetConsoleCursorVisible(false); },
         [&] { return int32_t{k.ConsoleCursorVisible()}; }, 0,
         [&] { return k.ConsoleCursorSize() - size; }},
        {"cursor size", [&] { k.SetConsoleCursorSize(60); }, [&] { return k.ConsoleCursorSize(); },
         60, [&] { return int32_t{k.ConsoleCursorVisible()}; }},
        {"window right", [&] { k.SetConsoleWindowPosRight(70); },
         [&] { return k.ConsoleWindowPosRight(); }, 70,
         [&] {
             return k.ConsoleWindowPosLeft() + k.ConsoleWindowPosTop() +
                    k.ConsoleWindowPosBottom() - 24;
         }},
        {"window left", [&] { k.SetConsoleWindowPosLeft(10); },
         [&] { return k.ConsoleWindowPosLeft(); }, 10,
         [&] { return k.ConsoleWindowPosRight() - 70; }},
        {"window bottom", [&] { k.SetConsoleWindowPosBottom(40); },
         [&] { return k.ConsoleWindowPosBottom(); }, 40, [&] { return k.ConsoleWindowPosTop(); }},
        {"window top", [&] { k.SetConsoleWindowPosTop(20); },
         [&] { return k.ConsoleWindowPosTop(); }, 20,
         [&] { return k.ConsoleWindowPosBottom() - 40; }},
    };
    for (const Case& t : cases) {
        t.let();
        EXPECT_EQ(k.ConsoleLastError(), 0) << t.name;
        EXPECT_EQ(t.changed(), t.expected) << t.name;
        EXPECT_EQ(t.kept(), 0) << t.name;
    }
    EXPECT_EQ(screen()->screen.row(1).substr(0, 3), u"def");
}

TEST_F(ConsolerTest, RefusedLetsLeaveTheConsoleAsItWas) {
    ASSERT_EQ(c->ConsoleOpen(), 0);
    Consoler& k = *c;
    auto state = [&] {
        return std::vector<int32_t>{
            k.ConsoleScreenBufferSizeX(), k.ConsoleScreenBufferSizeY(), k.ConsoleCursorPosX(),
            k.ConsoleCursorPosY(),        k.ConsoleCursorSize(),        k.ConsoleTextMode(),
            k.ConsoleInputCP(),           k.ConsoleOutputCP(),          k.ConsoleWindowPosLeft(),
            k.ConsoleWindowPosBottom(),   k.ConsoleInputMode(),         k.ConsoleOutputMode()};
    };
    const auto before = state();
    const String title = k.ConsoleTitle();
    struct Case {
        const char* name;
        std::function<void()> let;
        int32_t error;
    };
    const Case cases[] = {
        {"buffer X 0", [&] { k.SetConsoleScreenBufferSizeX(0); }, 87},
        {"buffer Y negative", [&] { k.SetConsoleScreenBufferSizeY(-5); }, 87},
        {"buffer below the window", [&] { k.SetConsoleScreenBufferSizeY(10); }, 87},
        {"buffer too large", [&] { k.SetConsoleScreenBufferSizeX(32767); }, 8},
        {"cursor outside", [&] { k.SetConsoleCursorPosX(-1); }, 87},
        {"cursor below", [&] { k.SetConsoleCursorPosY(300); }, 87},
        {"cursor size 0", [&] { k.SetConsoleCursorSize(0); }, 87},
        {"cursor size 101", [&] { k.SetConsoleCursorSize(101); }, 87},
        {"window outside", [&] { k.SetConsoleWindowPosRight(80); }, 87},
        {"window upside down", [&] { k.SetConsoleWindowPosTop(30); }, 87},
        {"attribute over 16 bits", [&] { k.SetConsoleTextMode(0x10007); }, 87},
        {"input code page 0", [&] { k.SetConsoleInputCP(0); }, 87},
        {"output code page 65536", [&] { k.SetConsoleOutputCP(65536); }, 87},
        {"input mode bits", [&] { k.SetConsoleInputMode(0x4000); }, 87},
        {"echo without lines", [&] { k.SetConsoleInputMode(5); }, 87},
        {"output mode bits", [&] { k.SetConsoleOutputMode(-1); }, 87},
        {"title with NUL", [&] { k.SetConsoleTitle(String(u"a\0b", 3)); }, 123},
    };
    for (const Case& t : cases) {
        t.let();
        EXPECT_EQ(k.ConsoleLastError(), t.error) << t.name;
    }
    EXPECT_EQ(state(), before);
    EXPECT_EQ(k.ConsoleTitle(), title);
    k.SetConsoleTextMode(-32768 | 0x1F);  // the get's own form of 0x801F
    EXPECT_EQ(
        k.ConsoleTextModeStr(),
        u"FOREGROUND_BLUE;FOREGROUND_GREEN;FOREGROUND_RED;FOREGROUND_INTENSITY;BACKGROUND_BLUE");
    EXPECT_EQ(k.ConsoleTextMode(), -32768 | 0x1F);
}

TEST_F(ConsolerTest, FillsAtTheEdgeAndWritesThatWrapAndScroll) {
    ASSERT_EQ(c->ConsoleOpen(), 0);
    auto& b = screen()->screen;
    EXPECT_EQ(c->FillConsoleWithChar(u"AB", 3, 0, 0), 3);
    EXPECT_EQ(b.row(0).substr(0, 4), u"AAA ");
    EXPECT_EQ(c->FillConsoleWithChar(u"\u20AC", 2, 78, 299), 2);  // the last two cells
    EXPECT_EQ(b.at(79, 299).character, u'\u20AC');
    EXPECT_EQ(c->FillConsoleWithChar(u"", 1, 5, 0), 1);
    EXPECT_EQ(b.at(5, 0).character, u'\0');
    EXPECT_EQ(c->FillConsoleWithAttribute(0x12345, 10, 75, 299), 5);
    EXPECT_EQ(b.at(79, 299).attributes, 0x2345);
    EXPECT_EQ(c->ConsoleLastError(), 0);
    EXPECT_EQ(c->FillConsoleWithAttribute(7, 1, 80, 0), 0);
    EXPECT_EQ(c->ConsoleLastError(), 87);
    EXPECT_EQ(c->FillConsoleWithChar(u"A", 0, 0, 0), 0);
    EXPECT_EQ(c->ConsoleLastError(), -9999);
    EXPECT_EQ(c->FillConsoleWithAttribute(7, -1, 0, 0), 0);

    c->SetConsoleCursorPosY(299);
    c->SetConsoleCursorPosX(78);
    c->SetConsoleTextMode(0x1E);
    ASSERT_EQ(c->ConsoleWrite(u"xyz"), 0);
    EXPECT_EQ(b.row(298).substr(78), u"xy");
    EXPECT_EQ(b.at(0, 299), (sim::Cell{u'z', 0x1E}));
    EXPECT_EQ(c->ConsoleCursorPosX(), 1);
    EXPECT_EQ(c->ConsoleWrite(String(1 << 20, u'.')), 0);
    EXPECT_EQ(c->ConsoleWrite(u""), 0);
    EXPECT_EQ(c->ConsoleWrite(String(u"a\0b", 3)), 0);  // a counted write: the NUL is a cell
}

TEST_F(ConsolerTest, LineReadWithEcho) {
    ASSERT_EQ(c->ConsoleOpen(), 0);
    screen()->type(u"dir\bx\r");
    EXPECT_EQ(c->ConsoleRead(u"d"), u"dix\r\n");
    EXPECT_EQ(c->ConsoleLastError(), 0);
    EXPECT_EQ(screen()->screen.row(0).substr(0, 4), u"dix ");
    EXPECT_EQ(c->ConsoleCursorPosY(), 1);
    c->SetConsoleInputMode(con::kProcessedInput);
    screen()->type(u"q");
    EXPECT_EQ(c->ConsoleRead(u"d"), u"q");
    EXPECT_EQ(c->ConsoleInputModeStr(), u"ENABLE_PROCESSED_INPUT");
}

TEST_F(ConsolerTest, EveryEventTypeWithItsTexts) {
    ASSERT_EQ(c->ConsoleOpen(), 0);
    for (int i = 0; i < 3; ++i) {
        push(key(u'a', 'A'));
        push(key(u'a', 'A', 0, false));
    }
    auto items = events();
    ASSERT_EQ(items.size(), 6u);
    EXPECT_TRUE(c->ConsoleEvents()->find(u"100"));
    EXPECT_TRUE(c->ConsoleEvents()->find(u"40"));
    for (size_t i = 0; i < items.size(); ++i) {
        const Consoler& e = *items[i];
        EXPECT_EQ(e.ConsoleEventType(), u"KEY_EVENT");
        EXPECT_EQ(e.ConsoleEventKey(), u"a");
        EXPECT_EQ(e.ConsoleEventKeyDown(), i % 2 == 0);
        EXPECT_EQ(e.ConsoleEventKeyRepeat(), 1);
        EXPECT_EQ(e.ConsoleEventControlKey(), u"NO_CONTROLKEY_PRESSED");
    }

    struct KeyCase {
        InputRecord record;
        StringView text;
        StringView control;
    };
    const KeyCase keys[] = {
        {key(0, 116), u"F5", u"NO_CONTROLKEY_PRESSED"},
        {key(u'\r', 13), u"ENTER", u"NO_CONTROLKEY_PRESSED"},
        {key(6, 'F', con::kLeftCtrl), u"CTRL+F", u"LEFT_CTRL_PRESSED"},
        {key(u'\u00e9', 0), u"\u00e9", u"NO_CONTROLKEY_PRESSED"},
        {key(u'\u20AC', 0, con::kRightAlt | con::kLeftCtrl), u"\u20AC",
         u"RIGHT_ALT_PRESSED+LEFT_CTRL_PRESSED"},
        {key(u'\u0101', 0), u"\u0101", u"NO_CONTROLKEY_PRESSED"},
    };
    for (const KeyCase& k : keys)
        push(k.record);
    items = events();
    ASSERT_EQ(items.size(), std::size(keys));
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i]->ConsoleEventKey(), keys[i].text) << i;
        EXPECT_EQ(items[i]->ConsoleEventControlKey(), keys[i].control) << i;
    }

    InputRecord mouse;
    mouse.type = con::kMouseEvent;
    mouse.position = {12, 7};
    mouse.flags = con::kMouseMoved;
    push(mouse);
    mouse.buttons = 1;
    mouse.flags = con::kDoubleClick;
    push(mouse);
    mouse.buttons = 0x780000;  // a wheel turned: the high word only
    mouse.flags = con::kMouseWheeled;
    push(mouse);
    InputRecord size;
    size.type = con::kWindowBufferSizeEvent;
    size.size = {100, 400};
    push(size);
    InputRecord menu;
    menu.type = con::kMenuEvent;
    menu.command = 5;
    push(menu);
    InputRecord focus;
    focus.type = con::kFocusEvent;
    focus.set_focus = 1;
    push(focus);
    InputRecord other;
    other.type = 0x40;
    push(other);
    items = events();
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(items[0]->ConsoleEventMouse(), u"MOUSE_MOVED");
    EXPECT_EQ(items[0]->ConsoleEventMouseButtonState(), u"UNKNOWN");
    EXPECT_EQ(items[0]->ConsoleEventX(), 12);
    EXPECT_EQ(items[0]->ConsoleEventY(), 7);
    EXPECT_EQ(items[1]->ConsoleEventMouse(), u"DOUBLE_CLICK");
    EXPECT_EQ(items[1]->ConsoleEventMouseButtonState(), u"FROM_LEFT_1ST_BUTTON_PRESSED");
    EXPECT_EQ(items[2]->ConsoleEventMouse(), u"MOUSE_WHEELED");
    EXPECT_EQ(items[2]->ConsoleEventMouseButtonState(), u"UNKNOWN");
    EXPECT_EQ(items[3]->ConsoleEventType(), u"WINDOW_BUFFER_SIZE_EVENT");
    EXPECT_EQ(items[3]->ConsoleEventX(), 100);
    EXPECT_EQ(items[3]->ConsoleEventY(), 400);
    EXPECT_EQ(items[4]->ConsoleEventType(), u"MENU_EVENT");
    EXPECT_EQ(items[4]->ConsoleEventCommandID(), -9999);
    EXPECT_EQ(items[5]->ConsoleEventType(), u"FOCUS_EVENT");
    EXPECT_TRUE(items[5]->ConsoleEventFocus());
    EXPECT_EQ(items[6]->ConsoleEventType(), u"");
}

TEST_F(ConsolerTest, PeekReadAndFlush) {
    ASSERT_EQ(c->ConsoleOpen(), 0);
    for (int i = 0; i < 150; ++i)
        screen()->type_key(u'z', 'Z');
    EXPECT_EQ(c->ConsoleUnread(), 300);
    EXPECT_EQ(events(true).size(), 256u);
    EXPECT_EQ(c->ConsoleUnread(), 300);
    EXPECT_EQ(events().size(), 256u);
    EXPECT_TRUE(c->ConsoleEvents()->find(u"5100"));
    EXPECT_EQ(events().size(), 44u);
    EXPECT_EQ(events().size(), 0u);
    screen()->type(u"abc");
    EXPECT_EQ(c->ConsoleEventsFlush(), 0);
    EXPECT_EQ(c->ConsoleUnread(), 0);
    EXPECT_EQ(c->ConsoleMouseButtons(), 2);
}

TEST_F(ConsolerTest, TheHandlerRecordsEachSignalWhileTheClientReads) {
    ASSERT_EQ(c->ConsoleOpen(), 0);
    ASSERT_EQ(c->SetControlHandler(), 0);
    ASSERT_EQ(c->SetControlHandler(), 0);  // still one entry: one release removes it
    auto other = make<Consoler>();
    for (uint32_t signal : {0u, 1u, 2u, 5u, 6u, 4u}) {
        EXPECT_TRUE(sim::raise_control_signal(*net, pid, signal));
        EXPECT_EQ(other->ConsoleLastCTRLEvent(), control_event_text(signal));
    }
    // Signals raised from other threads while this one reads: every read is
    // one whole text.
    std::vector<std::thread> raisers;
    for (uint32_t t = 0; t < 4; ++t)
        raisers.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                sim::raise_control_signal(*net, pid, t % 2 ? con::kCtrlBreak : con::kCtrlC);
        });
    for (int i = 0; i < 2000; ++i) {
        const String text = c->ConsoleLastCTRLEvent();
        ASSERT_TRUE(text == u"CTRL_C_EVENT" || text == u"CTRL_BREAK_EVENT" ||
                    text == u"CTRL_SHUTDOWN_EVENT" || text == u"4")
            << to_utf8(text);
    }
    for (auto& t : raisers)
        t.join();
    // A thread of its own has its own text.
    String elsewhere = u"x";
    std::thread([&] { elsewhere = make<Consoler>()->ConsoleLastCTRLEvent(); }).join();
    EXPECT_EQ(elsewhere, u"");

    EXPECT_EQ(c->ReleaseControlHandler(), 0);
    EXPECT_EQ(c->ReleaseControlHandler(), 87);
    EXPECT_FALSE(sim::raise_control_signal(*net, pid, con::kCtrlClose));
    EXPECT_EQ(sim::process_table(*net, net->local()).find(pid)->exit_code, 0xC000013Au);
}

TEST_F(ConsolerTest, EveryOperationsFailureIsReported) {
    ASSERT_EQ(c->ConsoleOpen(), 0);
    Consoler& k = *c;
    struct Case {
        const sim::Operation& op;
        std::function<int32_t()> member;  // its result, or ConsoleLastError
    };
    auto error = [&](std::function<void()> f) {
        return [&k, f] {
            f();
            return k.ConsoleLastError();
        };
    };
    const Case cases[] = {
        {sim::op::WriteConsole, [&] { return k.ConsoleWrite(u"x"); }},
        {sim::op::FreeConsole, [&] { return k.ConsoleClose(); }},
        {sim::op::SetConsoleCtrlHandler, [&] { return k.ReleaseControlHandler(); }},
        {sim::op::FlushConsoleInputBuffer, [&] { return k.ConsoleEventsFlush(); }},
        {sim::op::ReadConsoleInput,
         [&] {
             screen()->type(u"a");
             return k.InitConsoleEvents(false);
         }},
        {sim::op::PeekConsoleInput,
         [&] {
             screen()->type(u"a");
             return k.InitConsoleEvents(true);
         }},
        {sim::op::ReadConsole, error([&] { k.ConsoleRead(u""); })},
        {sim::op::FillConsoleOutputCharacter, error([&] { k.FillConsoleWithChar(u"a", 1, 0, 0); })},
        {sim::op::FillConsoleOutputAttribute,
         error([&] { k.FillConsoleWithAttribute(1, 1, 0, 0); })},
        {sim::op::GetNumberOfConsoleInputEvents, error([&] { k.ConsoleUnread(); })},
        {sim::op::GetNumberOfConsoleMouseButtons, error([&] { k.ConsoleMouseButtons(); })},
        {sim::op::SetConsoleCP, error([&] { k.SetConsoleInputCP(1252); })},
        {sim::op::SetConsoleOutputCP, error([&] { k.SetConsoleOutputCP(1252); })},
        {sim::op::GetConsoleTitle, error([&] { k.ConsoleTitle(); })},
        {sim::op::SetConsoleTitle, error([&] { k.SetConsoleTitle(u"t"); })},
        {sim::op::GetConsoleMode, error([&] { k.ConsoleOutputModeStr(); })},
        {sim::op::SetConsoleMode, error([&] { k.SetConsoleInputMode(7); })},
        {sim::op::SetConsoleTextAttribute, error([&] { k.SetConsoleTextMode(7); })},
        {sim::op::GetConsoleScreenBufferInfo, error([&] { k.ConsoleTextModeStr(); })},
        {sim::op::SetConsoleScreenBufferSize, error([&] { k.SetConsoleScreenBufferSizeX(90); })},
        {sim::op::SetConsoleCursorPosition, error([&] { k.SetConsoleCursorPosX(1); })},
        {sim::op::GetConsoleCursorInfo, error([&] { k.SetConsoleCursorVisible(true); })},
        {sim::op::SetConsoleCursorInfo, error([&] { k.SetConsoleCursorSize(50); })},
        {sim::op::SetConsoleWindowInfo, error([&] { k.SetConsoleWindowPosLeft(0); })},
    };
    for (const Case& t : cases) {
        net->faults().fail(t.op, 1234);
        EXPECT_EQ(t.member(), 1234) << to_utf8(t.op.name);
        net->faults().clear();
        ASSERT_EQ(k.ConsoleOpen(), 0) << to_utf8(t.op.name);
        k.ConsoleEventsFlush();
    }
    // The code pages are read as they are: a failure reads as 0 and leaves
    // the error alone.
    k.SetConsoleTitle(u"ok");
    net->faults().fail(sim::op::GetConsoleCP, 1234);
    EXPECT_EQ(k.ConsoleInputCP(), 0);
    EXPECT_EQ(k.ConsoleLastError(), 0);
    EXPECT_EQ(k.ConsoleOutputCP(), 1252);
    // A console that cannot be reached through a standard handle is opened
    // by name, and that failing fails the open.
    // The console the process has already and handles that do not close
    // change nothing.
    net->faults().fail(sim::op::AllocConsole, 1234);
    net->faults().fail(sim::op::CloseHandle, 1234, 2);
    EXPECT_EQ(k.ConsoleOpen(), 0);
    EXPECT_EQ(k.ConsoleWrite(u"x"), 0);
    net->faults().fail(sim::op::GetStdHandle, 1234, 2);
    net->faults().fail(sim::op::CreateFileConsole, 5);
    EXPECT_EQ(k.ConsoleOpen(), 5);
}

}  // namespace
}  // namespace vorlek
