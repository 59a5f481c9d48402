// The simulated console: text reaching the screen buffer (processed output,
// wrap, scroll), fills at the buffer's edge, the limits of the buffer, the
// cursor and the window, line reads with echo, the standard handles in the
// ledger, and control signals on a thread of their own.
#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <tuple>

#include "tests/support/simulated.h"

#include "platform/console.h"
#include "platform/sim/console.h"

namespace vorlek::sim {
namespace {

namespace st = platform::status;
namespace con = platform::con;
using platform::Coord;
using platform::SmallRect;

ScreenBuffer small() {
    return ScreenBuffer({10, 3}, {10, 3}, {10, 3});
}

TEST(ScreenBufferTest, TextReachesTheCells) {
    struct Case {
        const char* name;
        uint32_t mode;
        StringView text;
        std::array<StringView, 3> rows;
        Coord cursor;
    };
    const Case cases[] = {
        {"wraps at the end of a row",
         3,
         u"0123456789AB",
         {u"0123456789", u"AB        ", u"          "},
         {2, 1}},
        {"stays in the last column",
         1,
         u"0123456789AB",
         {u"012345678B", u"          ", u"          "},
         {9, 0}},
        {"scrolls below the last row",
         3,
         u"1\n2\n3\n4",
         {u"2         ", u"3         ", u"4         "},
         {1, 2}},
        {"wraps into a scroll",
         3,
         u"\n\n0123456789x",
         {u"          ", u"0123456789", u"x         "},
         {1, 2}},
        {"carriage return and backspace",
         3,
         u"abc\rX\b\bY",
         {u"Ybc       ", u"          ", u"          "},
         {1, 0}},
        {"tab to the next stop, bell silent",
         3,
         u"ab\tc\a",
         {u"ab      c ", u"          ", u"          "},
         {9, 0}},
        {"unprocessed shows control characters",
         2,
         u"a\rb\n",
         {u"a\rb\n      ", u"          ", u"          "},
         {4, 0}},
    };
    for (const Case& c : cases) {
        ScreenBuffer b = small();
        ASSERT_EQ(b.set_mode(c.mode), 0u);
        b.write(c.text);
        for (int16_t y = 0; y < 3; ++y)
            EXPECT_EQ(b.row(y), c.rows[static_cast<size_t>(y)]) << c.name << " row " << y;
        EXPECT_EQ(b.cursor(), c.cursor) << c.name;
    }
}

TEST(ScreenBufferTest, WritesFollowedByTheWindow) {
    ScreenBuffer b({10, 20}, {10, 5}, {10, 5});
    b.write(u"1\n2\n3\n4\n5\n6\n7");
    EXPECT_EQ(b.window(), (SmallRect{0, 2, 9, 6}));
    EXPECT_EQ(b.at(0, 6).character, u'7');
}

TEST(ScreenBufferTest, FillsStopAtTheBufferEnd) {
    struct Case {
        Coord at;
        uint32_t count;
        platform::Status status;
        uint32_t written;
    };
    const Case cases[] = {
        {{0, 0}, 5, 0, 5},   {{8, 2}, 5, 0, 2},  {{0, 0}, 1000, 0, 30},
        {{10, 0}, 1, 87, 0}, {{0, 3}, 1, 87, 0}, {{-1, 0}, 1, 87, 0},
    };
    for (const Case& c : cases) {
        ScreenBuffer b = small();
        const char16_t ch = u'#';
        const uint16_t attr = 0x1F;
        auto r = b.fill(c.at, c.count, &ch, &attr);
        EXPECT_EQ(r.status, c.status) << c.at.x << "," << c.at.y;
        if (r.ok()) {
            EXPECT_EQ(r.value, c.written);
            EXPECT_EQ(b.at(c.at.x, c.at.y), (Cell{u'#', 0x1F}));
        }
    }
}

TEST(ScreenBufferTest, RefusedChangesLeaveTheBufferAsItWas) {
    ScreenBuffer b({80, 300}, {80, 25}, {132, 50});
    b.write(u"kept");
    const auto before = [&] {
        return std::tuple(b.size(), b.cursor(), b.window(), b.cursor_info().size);
    };
    const auto start = before();
    EXPECT_EQ(b.resize({0, 300}), st::kInvalidParameter);
    EXPECT_EQ(b.resize({79, 300}), st::kInvalidParameter);  // below the window
    EXPECT_EQ(b.resize({80, -1}), st::kInvalidParameter);
    EXPECT_EQ(b.resize({32767, 32767}), st::kNotEnoughMemory);
    EXPECT_EQ(b.move_cursor({80, 0}), st::kInvalidParameter);
    EXPECT_EQ(b.move_cursor({0, -1}), st::kInvalidParameter);
    EXPECT_EQ(b.set_cursor_info({0, true}), st::kInvalidParameter);
    EXPECT_EQ(b.set_cursor_info({101, true}), st::kInvalidParameter);
    EXPECT_EQ(b.set_window({0, 0, 80, 24}), st::kInvalidParameter);  // leaves the buffer
    EXPECT_EQ(b.set_window({5, 0, 4, 24}), st::kInvalidParameter);   // empty
    EXPECT_EQ(b.set_window({0, 0, 79, 60}), st::kInvalidParameter);  // beyond the largest
    EXPECT_EQ(b.set_mode(0x20), st::kInvalidParameter);
    EXPECT_EQ(before(), start);
    EXPECT_EQ(b.row(0).substr(0, 4), u"kept");

    // Growing keeps the text; the window moves back inside a shrunk buffer.
    ASSERT_EQ(b.set_window({0, 270, 79, 294}), 0u);
    ASSERT_EQ(b.resize({9999, 280}), 0u);
    EXPECT_EQ(b.row(0).substr(0, 4), u"kept");
    EXPECT_EQ(b.window(), (SmallRect{0, 255, 79, 279}));
    EXPECT_EQ(b.maximum_window(), (Coord{132, 50}));
}

TEST(SimConsoleTest, LineReadsEchoAndHandOutTheRest) {
    SimConsole c(u"t");
    c.type(u"ab\bc\r");
    EXPECT_EQ(c.read(1024), u"ac\r\n");
    EXPECT_EQ(c.screen.row(0).substr(0, 3), u"ac ");
    EXPECT_EQ(c.screen.cursor(), (Coord{0, 1}));

    c.type(u"abcdef\r");
    EXPECT_EQ(c.read(4), u"abcd");
    EXPECT_EQ(c.read(4), u"ef\r\n");

    // Nobody at the keyboard: the read ends with what was typed.
    c.type(u"half");
    EXPECT_EQ(c.read(1024), u"half");
    EXPECT_EQ(c.read(1024), u"");

    ASSERT_EQ(c.set_input_mode(con::kProcessedInput), 0u);
    c.type(u"xy");
    EXPECT_EQ(c.read(1024), u"xy");
    EXPECT_EQ(c.screen.row(2).substr(0, 6), u"half  ");                   // nothing echoed
    EXPECT_EQ(c.set_input_mode(con::kEchoInput), st::kInvalidParameter);  // echo needs lines
    EXPECT_EQ(c.set_input_mode(0x100), st::kInvalidParameter);
}

class SimConsoleAreaTest : public testing_support::SimulatedTest {
  protected:
    platform::Console& c = platform::current().console();
    size_t open() { return net->handles().open_count(HandleKind::Console); }
};

TEST_F(SimConsoleAreaTest, TheHostStartsWithAConsoleAndItsStandardHandles) {
    auto out = c.std_handle(false);
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(open(), 2u);
    EXPECT_EQ(c.alloc_console(), st::kAccessDenied);
    auto conout = c.open_console(false);
    ASSERT_TRUE(conout.ok());
    EXPECT_EQ(open(), 3u);
    EXPECT_EQ(c.write(conout.value, u"hi").value, 2u);
    EXPECT_EQ(host_console(*net)->screen.row(0).substr(0, 2), u"hi");
    EXPECT_EQ(c.write(c.std_handle(true).value, u"x").status,
              st::kInvalidHandle);  // an input handle
    EXPECT_EQ(c.close_handle(conout.value), 0u);
    EXPECT_EQ(c.close_handle(conout.value), st::kInvalidHandle);
    EXPECT_EQ(open(), 2u);

    EXPECT_EQ(c.free_console(), 0u);
    EXPECT_EQ(c.write(out.value, u"x").status, st::kInvalidHandle);  // the console is gone
    EXPECT_EQ(c.input_code_page().status, st::kInvalidHandle);
    EXPECT_EQ(c.alloc_console(), 0u);
    EXPECT_NE(c.std_handle(false).value, out.value);
    EXPECT_EQ(c.set_output_code_page(65536), st::kInvalidParameter);
    EXPECT_EQ(c.set_output_code_page(0), st::kInvalidParameter);
    EXPECT_EQ(c.set_output_code_page(932), 0u);
    EXPECT_EQ(c.set_title(StringView(u"a\0b", 3)), st::kInvalidName);
}

std::atomic<int> g_signals{0};
std::atomic<bool> g_other_thread{false};
std::thread::id g_test_thread;
bool counting_handler(uint32_t signal) noexcept {
    g_signals += static_cast<int>(signal) + 1;
    g_other_thread = std::this_thread::get_id() != g_test_thread;
    return true;
}

TEST_F(SimConsoleAreaTest, SignalsReachTheHandlersOnAThreadOfTheirOwn) {
    const uint32_t pid = process_table(*net, net->local()).current_pid;
    g_test_thread = std::this_thread::get_id();
    ASSERT_EQ(c.set_control_handler(&counting_handler, true), 0u);
    EXPECT_TRUE(raise_control_signal(*net, pid, con::kCtrlBreak));
    EXPECT_EQ(g_signals.load(), 2);
    EXPECT_TRUE(g_other_thread.load());

    // Ctrl+C typed with processed input is a signal, not a record.
    platform::InputRecord ctrl_c;
    ctrl_c.type = con::kKeyEvent;
    ctrl_c.key_down = 1;
    ctrl_c.character = 3;
    ctrl_c.control = con::kLeftCtrl;
    push_input(*net, pid, ctrl_c);
    EXPECT_EQ(g_signals.load(), 3);
    EXPECT_TRUE(host_console(*net)->input.empty());

    ASSERT_EQ(c.set_control_handler(&counting_handler, false), 0u);
    EXPECT_EQ(c.set_control_handler(&counting_handler, false), st::kInvalidParameter);
    EXPECT_FALSE(raise_control_signal(*net, pid, con::kCtrlC));
    EXPECT_EQ(process_table(*net, net->local()).find(pid)->exit_code, 0xC000013Au);
}

}  // namespace
}  // namespace vorlek::sim
