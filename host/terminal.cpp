#include "host/terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/sim/machine.h"
#include "platform/sim/processes.h"

namespace vorlek::host {

namespace {

namespace con = platform::con;
using platform::InputRecord;

constexpr int kCtrlCExit = 130;  // as a shell reports a program ended by Ctrl+C

// Console colour bits (blue 1, green 2, red 4) to the terminal's (red 1,
// green 2, blue 4).
int ansi_colour(unsigned bits) {
    return static_cast<int>(((bits & 1) << 2) | (bits & 2) | ((bits & 4) >> 2));
}

std::string sgr(uint16_t a) {
    const int fg = ansi_colour(a & 7) + ((a & 0x08) ? 90 : 30);
    const int bg = ansi_colour((a >> 4) & 7) + ((a & 0x80) ? 100 : 40);
    return "\x1b[0;" + std::to_string(fg) + ";" + std::to_string(bg) + "m";
}

void write_all(int fd, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        const ssize_t n = ::write(fd, s.data() + done, s.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

InputRecord key(char16_t c, uint16_t vk, uint32_t control = 0) {
    InputRecord r;
    r.type = con::kKeyEvent;
    r.key_down = 1;
    r.repeat = 1;
    r.virtual_key = vk;
    r.character = c;
    r.control = control;
    return r;
}

// Keys of the "CSI n ~" form by n.
struct TildeKey {
    int n;
    uint16_t vk;
};
constexpr TildeKey kTildeKeys[] = {
    {1, 0x24},  {2, 0x2D},  {3, 0x2E},  {4, 0x23},  {5, 0x21},  {6, 0x22},  {15, 0x74},
    {17, 0x75}, {18, 0x76}, {19, 0x77}, {20, 0x78}, {21, 0x79}, {23, 0x7A}, {24, 0x7B},
};
// Keys of the "CSI x" and "SS3 x" forms by final byte.
struct LetterKey {
    char final;
    uint16_t vk;
};
constexpr LetterKey kLetterKeys[] = {
    {'A', 0x26}, {'B', 0x28}, {'C', 0x27}, {'D', 0x25}, {'H', 0x24},
    {'F', 0x23}, {'P', 0x70}, {'Q', 0x71}, {'R', 0x72}, {'S', 0x73},
};

// One SGR mouse report: "<b;x;y" and M (pressed, moved) or m (released).
InputRecord mouse(const std::string& params, char final) {
    int b = 0, x = 1, y = 1;
    std::sscanf(params.c_str(), "<%d;%d;%d", &b, &x, &y);
    InputRecord r;
    r.type = con::kMouseEvent;
    r.position = {static_cast<int16_t>(std::clamp(x - 1, 0, 0x7FFF)),
                  static_cast<int16_t>(std::clamp(y - 1, 0, 0x7FFF))};
    if (b & 4) r.control |= con::kShift;
    if (b & 8) r.control |= con::kLeftAlt;
    if (b & 16) r.control |= con::kLeftCtrl;
    if (b & 64) {  // a wheel: its turn in the high word
        r.flags = con::kMouseWheeled;
        r.buttons = (b & 1) ? 0xFF880000u : 0x00780000u;
        return r;
    }
    static constexpr uint32_t kButtons[] = {0x1, 0x4, 0x2, 0};
    if (final == 'M' && (b & 3) != 3) r.buttons = kButtons[b & 3];
    if (b & 32) r.flags = con::kMouseMoved;
    return r;
}

}  // namespace

struct Terminal::Saved {
    termios mode;
};

std::vector<InputRecord> Terminal::records_of(std::string& pending) {
    std::vector<InputRecord> out;
    size_t i = 0;
    while (i < pending.size()) {
        const auto b = static_cast<unsigned char>(pending[i]);
        if (b == 0x1B) {
            if (i + 1 == pending.size()) {  // Escape by itself
                out.push_back(key(0x1B, 0x1B));
                ++i;
                continue;
            }
            const char kind = pending[i + 1];
            if (kind != '[' && kind != 'O') {  // Alt and a key: the key
                out.push_back(key(0x1B, 0x1B));
                ++i;
                continue;
            }
            size_t end = i + 2;
            while (end < pending.size() && !(pending[end] >= 0x40 && pending[end] <= 0x7E))
                ++end;
            if (end == pending.size()) break;  // the rest is still to come
            const std::string params = pending.substr(i + 2, end - i - 2);
            const char final = pending[end];
            i = end + 1;
            if (!params.empty() && params[0] == '<') {
                out.push_back(mouse(params, final));
            } else if (final == '~') {
                const int n = std::atoi(params.c_str());
                // The editing keys are the enhanced ones, the function keys not.
                for (const TildeKey& k : kTildeKeys)
                    if (k.n == n) out.push_back(key(0, k.vk, n <= 6 ? con::kEnhancedKey : 0));
            } else {
                for (const LetterKey& k : kLetterKeys)
                    if (k.final == final)
                        out.push_back(key(0, k.vk, k.vk < 0x70 ? con::kEnhancedKey : 0));
            }
            continue;
        }
        if (b == '\r' || b == '\n') {
            out.push_back(key(u'\r', 0x0D));
        } else if (b == 0x7F || b == 0x08) {
            out.push_back(key(u'\b', 0x08));
        } else if (b == '\t') {
            out.push_back(key(u'\t', 0x09));
        } else if (b >= 1 && b <= 26) {
            out.push_back(key(b, static_cast<uint16_t>('A' + b - 1), con::kLeftCtrl));
        } else if (b >= 0x20) {
            // One UTF-8 character.
            const size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
            if (i + length > pending.size()) break;
            const String text = from_utf8(pending.substr(i, length));
            i += length;
            for (char16_t c : text) {
                uint16_t vk = 0;
                uint32_t control = 0;
                if (c >= u'a' && c <= u'z') vk = static_cast<uint16_t>(c - u'a' + u'A');
                if (c >= u'A' && c <= u'Z') {
                    vk = static_cast<uint16_t>(c);
                    control = con::kShift;
                }
                if ((c >= u'0' && c <= u'9') || c == u' ') vk = static_cast<uint16_t>(c);
                out.push_back(key(c, vk, control));
            }
            continue;
        }
        ++i;
    }
    pending.erase(0, i);
    return out;
}

Terminal::Terminal(std::shared_ptr<sim::Network> network, int fd_in, int fd_out)
    : network_(std::move(network)), in_(fd_in), out_(fd_out), saved_(std::make_unique<Saved>()) {
    {
        auto call = network_->hold();
        pid_ = sim::process_table(*network_, call.machine()).current_pid;
    }
    console_ = sim::host_console(*network_);
    if (::tcgetattr(in_, &saved_->mode) == 0) {
        termios raw = saved_->mode;
        ::cfmakeraw(&raw);
        raw_ = ::tcsetattr(in_, TCSANOW, &raw) == 0;
    }
    winsize ws{};
    int16_t cols = 80, rows = 25;
    if (::ioctl(out_, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        cols = static_cast<int16_t>(std::min<int>(ws.ws_col, 0x7FFF));
        rows = static_cast<int16_t>(std::min<int>(ws.ws_row, 0x7FFF));
    }
    if (console_) {
        auto call = network_->hold();
        sim::ScreenBuffer& b = console_->screen;
        b.set_largest({cols, rows});
        b.set_window({0, 0, static_cast<int16_t>(std::min(cols, b.size().x) - 1),
                      static_cast<int16_t>(std::min(rows, b.size().y) - 1)});
        console_->terminal = this;
    }
    // Mouse reports in the SGR form, then a clear screen.
    write_all(out_, "\x1b[?1000h\x1b[?1002h\x1b[?1006h\x1b[2J");
    if (console_) draw(*console_);
}

Terminal::~Terminal() {
    if (console_) {
        auto call = network_->hold();
        console_->terminal = nullptr;
    }
    restore();
}

void Terminal::restore() {
    if (restored_) return;
    restored_ = true;
    write_all(out_, "\x1b[?1006l\x1b[?1002l\x1b[?1000l\x1b[0m\x1b[?25h\r\n");
    if (raw_) ::tcsetattr(in_, TCSANOW, &saved_->mode);
}

void Terminal::changed(sim::SimConsole& console) {
    draw(console);
}

void Terminal::draw(sim::SimConsole& console) {
    const sim::ScreenBuffer& b = console.screen;
    const platform::SmallRect w = b.window();
    std::string out = "\x1b[?25l";
    const std::string title = to_utf8(console.title);
    if (title != title_) {
        out += "\x1b]2;" + title + "\x07";
        title_ = title;
    }
    int last = -1;
    for (int16_t y = w.top; y <= w.bottom; ++y) {
        out += "\x1b[" + std::to_string(y - w.top + 1) + ";1H";
        String row;
        for (int16_t x = w.left; x <= w.right; ++x) {
            const sim::Cell& cell = b.at(x, y);
            if (cell.attributes != last) {
                if (!row.empty()) out += to_utf8(row);
                row.clear();
                out += sgr(cell.attributes);
                last = cell.attributes;
            }
            const char16_t c = cell.character;
            row.push_back(c < 0x20 || (c >= 0xD800 && c < 0xE000) ? u' ' : c);
        }
        out += to_utf8(row);
    }
    out += "\x1b[0m";
    const platform::Coord cur = b.cursor();
    if (cur.x >= w.left && cur.x <= w.right && cur.y >= w.top && cur.y <= w.bottom) {
        out += "\x1b[" + std::to_string(cur.y - w.top + 1) + ";" +
               std::to_string(cur.x - w.left + 1) + "H";
        if (b.cursor_info().visible) out += "\x1b[?25h";
    }
    write_all(out_, out);
}

bool Terminal::take(int timeout_ms) {
    if (ended_) return false;
    pollfd p{in_, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeout_ms);
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return true;
    char buffer[256];
    const ssize_t n = ::read(in_, buffer, sizeof buffer);
    if (n <= 0) {
        ended_ = true;
        return false;
    }
    pending_.append(buffer, static_cast<size_t>(n));
    for (const InputRecord& down : records_of(pending_)) {
        const bool wanted = down.type != con::kMouseEvent ||
                            (console_ && (console_->input_mode & con::kMouseInput));
        if (!wanted) continue;
        sim::push_input(*network_, pid_, down);
        if (down.type == con::kKeyEvent) {
            InputRecord up = down;
            up.key_down = 0;
            sim::push_input(*network_, pid_, up);
        }
        auto call = network_->hold();
        const sim::SimProcess* self = sim::process_table(*network_, call.machine()).find(pid_);
        if (self && !self->running()) {
            // No handler took Ctrl+C: the process ends, as on the system.
            restore();
            std::_Exit(kCtrlCExit);
        }
    }
    return true;
}

void Terminal::poll(sim::SimConsole&) {
    take(0);
}

bool Terminal::wait(sim::SimConsole& console) {
    const size_t before = console.input.size();
    while (console.input.size() == before)
        if (!take(-1)) return false;
    return true;
}

void Terminal::sleep(uint32_t ms) {
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::milliseconds(ms);
    for (auto now = clock::now(); now < end; now = clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
        const int slice = static_cast<int>(std::min<int64_t>(left.count() + 1, 100));
        if (!take(slice)) ::poll(nullptr, 0, slice);  // no more input: the time still passes
    }
}

void Terminal::echo(const std::string& utf8) {
    if (!console_) return;
    auto call = network_->hold();
    console_->screen.write(from_utf8(utf8));
    console_->changed();
}

TerminalOutput::int_type TerminalOutput::overflow(int_type c) {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    line_.push_back(static_cast<char>(c));
    if (c == '\n') sync();
    return c;
}

int TerminalOutput::sync() {
    if (!line_.empty()) terminal_.echo(line_);
    line_.clear();
    return 0;
}

}  // namespace vorlek::host
