#include "platform/sim/console.h"

#include <algorithm>
#include <thread>

#include "platform/sim/codepages.h"
#include "platform/sim/machine.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"

namespace vorlek::sim {

namespace {

namespace st = platform::status;
namespace con = platform::con;
using platform::ConsoleHandle;
using platform::Coord;
using platform::InputRecord;
using platform::Result;
using platform::SmallRect;
using platform::Status;

constexpr Coord kBufferSize{80, 300};
constexpr Coord kWindowSize{80, 25};
constexpr Coord kScreen{132, 50};
constexpr uint32_t kControlCExit = 0xC000013A;  // STATUS_CONTROL_C_EXIT
// Input modes beyond the library's five that the console takes: insert,
// quick edit and extended flags.
constexpr uint32_t kInputModes = 0x1F | 0x20 | 0x40 | 0x80;
constexpr uint32_t kOutputModes = 0x1F;
constexpr uint16_t kVkBack = 0x08, kVkReturn = 0x0D;

template <class T>
Result<T> fail(Status s) {
    return Result<T>::failure(s);
}

int16_t clamp16(int32_t v, int32_t lo, int32_t hi) {
    return static_cast<int16_t>(std::clamp(v, lo, hi));
}

bool inside(Coord at, Coord size) {
    return at.x >= 0 && at.y >= 0 && at.x < size.x && at.y < size.y;
}

// The virtual key of a typed character, and whether Shift makes it.
std::pair<uint16_t, uint32_t> key_of(char16_t c) {
    if (c >= u'a' && c <= u'z') return {static_cast<uint16_t>(c - u'a' + u'A'), 0};
    if (c >= u'A' && c <= u'Z') return {static_cast<uint16_t>(c), con::kShift};
    if (c >= u'0' && c <= u'9') return {static_cast<uint16_t>(c), 0};
    if (c >= 1 && c <= 26 && c != u'\b' && c != u'\t' && c != u'\r')
        return {static_cast<uint16_t>(u'A' + c - 1), con::kLeftCtrl};
    if (c == u'\r' || c == u'\n') return {kVkReturn, 0};
    if (c == u'\b') return {kVkBack, 0};
    if (c == u'\t' || c == u' ' || c == 0x1B) return {static_cast<uint16_t>(c), 0};
    return {0, 0};
}

bool known_code_page(uint32_t cp) {
    return cp != 0 && encode(cp, u"", std::nullopt).ok();
}

}  // namespace

// --- The screen buffer

ScreenBuffer::ScreenBuffer(Coord size, Coord window, Coord largest)
    : size_(size),
      window_{0, 0, static_cast<int16_t>(window.x - 1), static_cast<int16_t>(window.y - 1)},
      largest_(largest),
      cells_(static_cast<size_t>(size.x) * static_cast<size_t>(size.y)) {}

Coord ScreenBuffer::maximum_window() const noexcept {
    return {std::min(size_.x, largest_.x), std::min(size_.y, largest_.y)};
}

String ScreenBuffer::row(int16_t y) const {
    String out;
    if (y < 0 || y >= size_.y) return out;
    out.reserve(static_cast<size_t>(size_.x));
    for (int16_t x = 0; x < size_.x; ++x)
        out.push_back(at(x, y).character);
    return out;
}

void ScreenBuffer::scroll_up() {
    const auto first = cells_.begin() + static_cast<ptrdiff_t>(index(0, 0));
    std::fill(first, first + size_.x, Cell{u' ', attributes_});
    top_ = (top_ + 1) % static_cast<size_t>(size_.y);
}

void ScreenBuffer::new_line() {
    cursor_.x = 0;
    if (cursor_.y + 1 < size_.y)
        ++cursor_.y;
    else
        scroll_up();
}

void ScreenBuffer::put(char16_t c) {
    cells_[index(cursor_.x, cursor_.y)] = {c, attributes_};
    if (cursor_.x + 1 < size_.x)
        ++cursor_.x;
    else if (mode_ & con::kWrapAtEolOutput)
        new_line();
}

void ScreenBuffer::show_cursor() {
    const int16_t width = static_cast<int16_t>(window_.right - window_.left);
    const int16_t height = static_cast<int16_t>(window_.bottom - window_.top);
    if (cursor_.x < window_.left) window_.left = cursor_.x;
    if (cursor_.x > window_.right) window_.left = static_cast<int16_t>(cursor_.x - width);
    if (cursor_.y < window_.top) window_.top = cursor_.y;
    if (cursor_.y > window_.bottom) window_.top = static_cast<int16_t>(cursor_.y - height);
    window_.right = static_cast<int16_t>(window_.left + width);
    window_.bottom = static_cast<int16_t>(window_.top + height);
}

void ScreenBuffer::write(StringView text) {
    const bool processed = mode_ & con::kProcessedOutput;
    for (char16_t c : text) {
        if (processed) {
            switch (c) {
                case u'\r':
                    cursor_.x = 0;
                    continue;
                case u'\n':
                    new_line();
                    continue;
                case u'\b':
                    if (cursor_.x > 0) --cursor_.x;
                    continue;
                case u'\a':
                    continue;
                case u'\t':
                    do
                        put(u' ');
                    while (cursor_.x % 8 != 0 && cursor_.x + 1 < size_.x);
                    continue;
                default:
                    break;
            }
        }
        put(c);
    }
    show_cursor();
}

Result<uint32_t> ScreenBuffer::fill(Coord at, uint32_t count, const char16_t* character,
                                    const uint16_t* attributes) {
    if (!inside(at, size_)) return fail<uint32_t>(st::kInvalidParameter);
    const auto width = static_cast<size_t>(size_.x);
    const size_t start = static_cast<size_t>(at.y) * width + static_cast<size_t>(at.x);
    const auto n = static_cast<uint32_t>(std::min<size_t>(count, cells_.size() - start));
    // Row by row: each row's cells lie together in the ring.
    for (size_t k = start; k < start + n;) {
        const auto y = static_cast<int16_t>(k / width);
        const size_t x = k % width;
        const size_t run = std::min(width - x, start + n - k);
        Cell* cell = &cells_[index(static_cast<int16_t>(x), y)];
        for (size_t i = 0; i < run; ++i, ++cell) {
            if (character) cell->character = *character;
            if (attributes) cell->attributes = *attributes;
        }
        k += run;
    }
    return {st::kSuccess, n};
}

Status ScreenBuffer::set_mode(uint32_t mode) {
    if (mode & ~kOutputModes) return st::kInvalidParameter;
    mode_ = mode;
    return st::kSuccess;
}

Status ScreenBuffer::resize(Coord size) {
    const int32_t width = window_.right - window_.left + 1;
    const int32_t height = window_.bottom - window_.top + 1;
    if (size.x < width || size.y < height) return st::kInvalidParameter;
    if (static_cast<size_t>(size.x) * static_cast<size_t>(size.y) > kMaxCells)
        return st::kNotEnoughMemory;
    std::vector<Cell> cells(static_cast<size_t>(size.x) * static_cast<size_t>(size.y),
                            Cell{u' ', attributes_});
    for (int16_t y = 0; y < std::min(size.y, size_.y); ++y)
        for (int16_t x = 0; x < std::min(size.x, size_.x); ++x)
            cells[static_cast<size_t>(y) * static_cast<size_t>(size.x) + static_cast<size_t>(x)] =
                at(x, y);
    cells_ = std::move(cells);
    top_ = 0;
    size_ = size;
    cursor_ = {std::min<int16_t>(cursor_.x, static_cast<int16_t>(size.x - 1)),
               std::min<int16_t>(cursor_.y, static_cast<int16_t>(size.y - 1))};
    // The window keeps its size and moves back inside the buffer.
    window_.left = clamp16(window_.left, 0, size.x - width);
    window_.top = clamp16(window_.top, 0, size.y - height);
    window_.right = static_cast<int16_t>(window_.left + width - 1);
    window_.bottom = static_cast<int16_t>(window_.top + height - 1);
    return st::kSuccess;
}

Status ScreenBuffer::move_cursor(Coord at) {
    if (!inside(at, size_)) return st::kInvalidParameter;
    cursor_ = at;
    show_cursor();
    return st::kSuccess;
}

Status ScreenBuffer::set_cursor_info(platform::CursorInfo info) {
    if (info.size < 1 || info.size > 100) return st::kInvalidParameter;
    cursor_info_ = info;
    return st::kSuccess;
}

Status ScreenBuffer::set_window(SmallRect w) {
    const Coord largest = maximum_window();
    if (w.left < 0 || w.top < 0 || w.left > w.right || w.top > w.bottom || w.right >= size_.x ||
        w.bottom >= size_.y || w.right - w.left + 1 > largest.x || w.bottom - w.top + 1 > largest.y)
        return st::kInvalidParameter;
    window_ = w;
    return st::kSuccess;
}

// --- The console

SimConsole::SimConsole(String console_title)
    : screen(kBufferSize, kWindowSize, kScreen), title(std::move(console_title)) {}

Status SimConsole::set_input_mode(uint32_t mode) {
    if (mode & ~kInputModes) return st::kInvalidParameter;
    if ((mode & con::kEchoInput) && !(mode & con::kLineInput)) return st::kInvalidParameter;
    input_mode = mode;
    return st::kSuccess;
}

void SimConsole::type_key(char16_t character, uint16_t virtual_key, uint32_t control) {
    InputRecord r;
    r.type = con::kKeyEvent;
    r.key_down = 1;
    r.repeat = 1;
    r.virtual_key = virtual_key;
    r.character = character;
    r.control = control;
    input.push_back(r);
    r.key_down = 0;
    input.push_back(r);
}

void SimConsole::type(StringView text) {
    for (char16_t c : text) {
        auto [vk, control] = key_of(c == u'\n' ? u'\r' : c);
        type_key(c == u'\n' ? u'\r' : c, vk, control);
    }
}

String SimConsole::read(uint32_t max_chars) {
    const bool line = input_mode & con::kLineInput;
    const bool echo = line && (input_mode & con::kEchoInput);
    String out;
    if (max_chars == 0) return out;
    // A line read ends at the carriage return; what it holds beyond the
    // caller's buffer waits for the next read.
    auto from_pending = [&] {
        const size_t n = std::min<size_t>(max_chars, pending_line_.size());
        out = pending_line_.substr(0, n);
        pending_line_.erase(0, n);
        return out;
    };
    if (line && line_done_) {
        if (pending_line_.size() <= max_chars) line_done_ = false;
        return from_pending();
    }
    for (;;) {
        if (input.empty()) {
            if (!line && !out.empty()) return out;
            if (terminal && terminal->wait(*this)) continue;
            // Nobody at the keyboard: the read ends with what was typed.
            if (!line) return out;
            line_done_ = pending_line_.size() > max_chars;
            return from_pending();
        }
        const InputRecord r = input.front();
        input.pop_front();
        if (r.type != con::kKeyEvent || !r.key_down || r.character == 0) continue;
        for (uint16_t k = 0; k < std::max<uint16_t>(r.repeat, 1); ++k) {
            const char16_t c = r.character;
            if (!line) {
                out.push_back(c);
                if (out.size() == max_chars) return out;
                continue;
            }
            if (c == u'\b') {
                if (!pending_line_.empty()) {
                    pending_line_.pop_back();
                    if (echo) screen.write(u"\b \b");
                }
            } else if (c == u'\r') {
                pending_line_.append(u"\r\n");
                if (echo) screen.write(u"\r\n");
                changed();
                line_done_ = pending_line_.size() > max_chars;
                return from_pending();
            } else {
                pending_line_.push_back(c);
                if (echo) screen.write(StringView(&c, 1));
            }
        }
        if (echo) changed();
    }
}

// --- The machine's consoles

ProcessConsole::ProcessConsole(const ProcessConsole& other)
    : console(other.console ? std::make_shared<SimConsole>(*other.console) : nullptr),
      serial(other.serial),
      std_input(other.std_input),
      std_output(other.std_output),
      handlers(other.handlers) {
    if (console) console->terminal = nullptr;
}

ProcessConsole& ProcessConsole::operator=(const ProcessConsole& other) {
    if (this != &other) *this = ProcessConsole(other);
    return *this;
}

namespace {

ProcessConsole& attach(Network& net, ConsoleState& s, SimProcess& p, const Machine& m) {
    ProcessConsole& pc = s.processes[p.pid];
    pc.console = std::make_shared<SimConsole>(p.path);
    pc.console->input_code_page = m.locale.ansi_code_page;
    pc.console->output_code_page = m.locale.ansi_code_page;
    pc.serial = s.next_serial++;
    for (bool input : {true, false}) {
        const Handle h = net.handles().open(HandleKind::Console);
        s.handles[h] = {p.pid, pc.serial, input};
        (input ? pc.std_input : pc.std_output) = h;
    }
    return pc;
}

}  // namespace

ConsoleState& console_state(Network& net, Machine& m) {
    ConsoleState& s = m.console;
    if (!s.started) {
        s.started = true;
        ProcessesState& t = process_table(net, m);
        if (SimProcess* host = t.find(t.current_pid)) attach(net, s, *host, m);
    }
    return s;
}

std::shared_ptr<SimConsole> process_console(Network& net, uint32_t pid) {
    auto call = net.hold();
    ConsoleState& s = console_state(net, call.machine());
    auto it = s.processes.find(pid);
    return it == s.processes.end() ? nullptr : it->second.console;
}

std::shared_ptr<SimConsole> host_console(Network& net) {
    auto call = net.hold();
    return process_console(net, process_table(net, call.machine()).current_pid);
}

bool raise_control_signal(Network& net, uint32_t pid, uint32_t signal) {
    std::vector<platform::ControlHandler> handlers;
    {
        auto call = net.hold();
        ConsoleState& s = console_state(net, call.machine());
        auto it = s.processes.find(pid);
        if (it != s.processes.end()) handlers = it->second.handlers;
    }
    // The console calls the handlers on a thread it starts in the process.
    bool handled = false;
    std::thread([&] {
        for (auto h = handlers.rbegin(); h != handlers.rend() && !handled; ++h)
            handled = (*h)(signal);
    }).join();
    if (!handled) {
        auto call = net.hold();
        ProcessesState& t = process_table(net, call.machine());
        if (SimProcess* p = t.find(pid); p && p->running()) t.end(*p, kControlCExit);
    }
    return handled;
}

void push_input(Network& net, uint32_t pid, const InputRecord& record) {
    auto console = process_console(net, pid);
    if (!console) return;
    if ((console->input_mode & con::kProcessedInput) && record.type == con::kKeyEvent &&
        record.character == 3 && (record.control & (con::kLeftCtrl | con::kRightCtrl))) {
        if (record.key_down) raise_control_signal(net, pid, con::kCtrlC);
        return;
    }
    auto call = net.hold();
    console->input.push_back(record);
}

// --- The operations

namespace {

class SimConsoleArea : public platform::Console {
  public:
    explicit SimConsoleArea(Network& net) : net_(net) {}

    Status alloc_console() override {
        auto call = net_.enter(op::AllocConsole);
        if (!call) return call.status();
        ConsoleState& s = state(call);
        SimProcess& p = self(call);
        if (s.processes[p.pid].console) return st::kAccessDenied;
        attach(net_, s, p, call.machine());
        return st::kSuccess;
    }

    Status free_console() override {
        auto call = net_.enter(op::FreeConsole);
        if (!call) return call.status();
        ProcessConsole& pc = mine(call);
        if (!pc.console) return st::kInvalidHandle;
        pc.console.reset();
        return st::kSuccess;
    }

    Result<ConsoleHandle> std_handle(bool input) override {
        auto call = net_.enter(op::GetStdHandle);
        if (!call) return call.failure<ConsoleHandle>();
        ProcessConsole& pc = mine(call);
        return {st::kSuccess, input ? pc.std_input : pc.std_output};
    }

    Result<ConsoleHandle> open_console(bool input) override {
        auto call = net_.enter(op::CreateFileConsole);
        if (!call) return call.failure<ConsoleHandle>();
        ProcessConsole& pc = mine(call);
        if (!pc.console) return fail<ConsoleHandle>(st::kInvalidHandle);
        const Handle h = net_.handles().open(HandleKind::Console);
        state(call).handles[h] = {self(call).pid, pc.serial, input};
        return {st::kSuccess, h};
    }

    Status close_handle(ConsoleHandle h) override {
        auto call = net_.enter(op::CloseHandle);
        if (!call) return call.status();
        ConsoleState& s = state(call);
        auto it = s.handles.find(h);
        if (it == s.handles.end()) return st::kInvalidHandle;
        s.handles.erase(it);
        net_.handles().close(h);
        return st::kSuccess;
    }

    Result<uint32_t> write(ConsoleHandle h, StringView text) override {
        auto call = net_.enter(op::WriteConsole);
        if (!call) return call.failure<uint32_t>();
        SimConsole* c = resolve(call, h, Buffer::Output);
        if (!c) return fail<uint32_t>(st::kInvalidHandle);
        c->screen.write(text);
        c->changed();
        return {st::kSuccess, static_cast<uint32_t>(text.size())};
    }

    Result<String> read(ConsoleHandle h, uint32_t max_chars) override {
        auto call = net_.enter(op::ReadConsole);
        if (!call) return call.failure<String>();
        SimConsole* c = resolve(call, h, Buffer::Input);
        if (!c) return fail<String>(st::kInvalidHandle);
        return {st::kSuccess, c->read(max_chars)};
    }

    Result<uint32_t> fill_character(ConsoleHandle h, char16_t ch, uint32_t count,
                                    Coord at) override {
        auto call = net_.enter(op::FillConsoleOutputCharacter);
        if (!call) return call.failure<uint32_t>();
        SimConsole* c = resolve(call, h, Buffer::Output);
        if (!c) return fail<uint32_t>(st::kInvalidHandle);
        auto r = c->screen.fill(at, count, &ch, nullptr);
        c->changed();
        return r;
    }

    Result<uint32_t> fill_attribute(ConsoleHandle h, uint16_t attribute, uint32_t count,
                                    Coord at) override {
        auto call = net_.enter(op::FillConsoleOutputAttribute);
        if (!call) return call.failure<uint32_t>();
        SimConsole* c = resolve(call, h, Buffer::Output);
        if (!c) return fail<uint32_t>(st::kInvalidHandle);
        auto r = c->screen.fill(at, count, nullptr, &attribute);
        c->changed();
        return r;
    }

    Result<uint32_t> input_code_page() override { return code_page(op::GetConsoleCP, true); }
    Result<uint32_t> output_code_page() override {
        return code_page(op::GetConsoleOutputCP, false);
    }
    Status set_input_code_page(uint32_t cp) override {
        return set_code_page(op::SetConsoleCP, true, cp);
    }
    Status set_output_code_page(uint32_t cp) override {
        return set_code_page(op::SetConsoleOutputCP, false, cp);
    }

    Result<String> title(uint32_t buffer_chars) override {
        auto call = net_.enter(op::GetConsoleTitle);
        if (!call) return call.failure<String>();
        SimConsole* c = mine(call).console.get();
        if (!c) return fail<String>(st::kInvalidHandle);
        if (buffer_chars == 0) return fail<String>(st::kInsufficientBuffer);
        return {st::kSuccess, c->title.substr(0, buffer_chars - 1)};
    }

    Status set_title(StringView title) override {
        auto call = net_.enter(op::SetConsoleTitle, {title});
        if (!call) return call.status();
        SimConsole* c = mine(call).console.get();
        if (!c) return st::kInvalidHandle;
        c->title = String(title);
        c->changed();
        return st::kSuccess;
    }

    Result<uint32_t> mode(ConsoleHandle h) override {
        auto call = net_.enter(op::GetConsoleMode);
        if (!call) return call.failure<uint32_t>();
        bool input = false;
        SimConsole* c = resolve(call, h, Buffer::Either, &input);
        if (!c) return fail<uint32_t>(st::kInvalidHandle);
        return {st::kSuccess, input ? c->input_mode : c->screen.mode()};
    }

    Status set_mode(ConsoleHandle h, uint32_t mode) override {
        auto call = net_.enter(op::SetConsoleMode);
        if (!call) return call.status();
        bool input = false;
        SimConsole* c = resolve(call, h, Buffer::Either, &input);
        if (!c) return st::kInvalidHandle;
        return input ? c->set_input_mode(mode) : c->screen.set_mode(mode);
    }

    Status set_text_attribute(ConsoleHandle h, uint16_t attribute) override {
        return on_screen(op::SetConsoleTextAttribute, h, [&](ScreenBuffer& b) {
            b.set_attributes(attribute);
            return st::kSuccess;
        });
    }

    Result<platform::ScreenBufferInfo> screen_buffer_info(ConsoleHandle h) override {
        auto call = net_.enter(op::GetConsoleScreenBufferInfo);
        if (!call) return call.failure<platform::ScreenBufferInfo>();
        SimConsole* c = resolve(call, h, Buffer::Output);
        if (!c) return fail<platform::ScreenBufferInfo>(st::kInvalidHandle);
        const ScreenBuffer& b = c->screen;
        return {st::kSuccess,
                {b.size(), b.cursor(), b.attributes(), b.window(), b.maximum_window()}};
    }

    Status set_screen_buffer_size(ConsoleHandle h, Coord size) override {
        return on_screen(op::SetConsoleScreenBufferSize, h,
                         [&](ScreenBuffer& b) { return b.resize(size); });
    }

    Status set_cursor_position(ConsoleHandle h, Coord at) override {
        return on_screen(op::SetConsoleCursorPosition, h,
                         [&](ScreenBuffer& b) { return b.move_cursor(at); });
    }

    Result<platform::CursorInfo> cursor_info(ConsoleHandle h) override {
        auto call = net_.enter(op::GetConsoleCursorInfo);
        if (!call) return call.failure<platform::CursorInfo>();
        SimConsole* c = resolve(call, h, Buffer::Output);
        if (!c) return fail<platform::CursorInfo>(st::kInvalidHandle);
        return {st::kSuccess, c->screen.cursor_info()};
    }

    Status set_cursor_info(ConsoleHandle h, platform::CursorInfo info) override {
        return on_screen(op::SetConsoleCursorInfo, h,
                         [&](ScreenBuffer& b) { return b.set_cursor_info(info); });
    }

    Status set_window_info(ConsoleHandle h, SmallRect window) override {
        return on_screen(op::SetConsoleWindowInfo, h,
                         [&](ScreenBuffer& b) { return b.set_window(window); });
    }

    Result<uint32_t> input_count(ConsoleHandle h) override {
        auto call = net_.enter(op::GetNumberOfConsoleInputEvents);
        if (!call) return call.failure<uint32_t>();
        SimConsole* c = input_of(call, h);
        if (!c) return fail<uint32_t>(st::kInvalidHandle);
        return {st::kSuccess, static_cast<uint32_t>(c->input.size())};
    }

    Result<std::vector<InputRecord>> peek_input(ConsoleHandle h, uint32_t max) override {
        return take(op::PeekConsoleInput, h, max, false);
    }
    Result<std::vector<InputRecord>> read_input(ConsoleHandle h, uint32_t max) override {
        return take(op::ReadConsoleInput, h, max, true);
    }

    Status flush_input(ConsoleHandle h) override {
        auto call = net_.enter(op::FlushConsoleInputBuffer);
        if (!call) return call.status();
        SimConsole* c = input_of(call, h);
        if (!c) return st::kInvalidHandle;
        c->input.clear();
        return st::kSuccess;
    }

    Result<uint32_t> mouse_buttons() override {
        auto call = net_.enter(op::GetNumberOfConsoleMouseButtons);
        if (!call) return call.failure<uint32_t>();
        SimConsole* c = mine(call).console.get();
        if (!c) return fail<uint32_t>(st::kInvalidHandle);
        return {st::kSuccess, c->mouse_buttons};
    }

    Status set_control_handler(platform::ControlHandler handler, bool add) override {
        auto call = net_.enter(op::SetConsoleCtrlHandler);
        if (!call) return call.status();
        auto& handlers = mine(call).handlers;
        if (add) {
            handlers.push_back(handler);
            return st::kSuccess;
        }
        auto it = std::find(handlers.rbegin(), handlers.rend(), handler);
        if (it == handlers.rend()) return st::kInvalidParameter;
        handlers.erase(std::next(it).base());
        return st::kSuccess;
    }

  private:
    enum class Buffer { Input, Output, Either };

    ConsoleState& state(Call& call) { return console_state(net_, call.machine()); }
    SimProcess& self(Call& call) {
        ProcessesState& t = process_table(net_, call.machine());
        return t.current();
    }
    ProcessConsole& mine(Call& call) { return state(call).processes[self(call).pid]; }

    // The console a handle of the calling process stands for, if it is
    // still the process's console and the handle is of the kind asked for.
    SimConsole* resolve(Call& call, ConsoleHandle h, Buffer want, bool* input = nullptr) {
        ConsoleState& s = state(call);
        auto it = s.handles.find(h);
        if (it == s.handles.end() || it->second.pid != self(call).pid) return nullptr;
        const ConsoleHandleEntry& e = it->second;
        if ((want == Buffer::Input && !e.input) || (want == Buffer::Output && e.input))
            return nullptr;
        ProcessConsole& pc = s.processes[e.pid];
        if (!pc.console || pc.serial != e.console) return nullptr;
        if (input) *input = e.input;
        return pc.console.get();
    }

    // The input buffer, with what a terminal has typed meanwhile.
    SimConsole* input_of(Call& call, ConsoleHandle h) {
        SimConsole* c = resolve(call, h, Buffer::Input);
        if (c && c->terminal) c->terminal->poll(*c);
        return c;
    }

    template <class Change>
    Status on_screen(const Operation& operation, ConsoleHandle h, Change change) {
        auto call = net_.enter(operation);
        if (!call) return call.status();
        SimConsole* c = resolve(call, h, Buffer::Output);
        if (!c) return st::kInvalidHandle;
        const Status s = change(c->screen);
        if (s == st::kSuccess) c->changed();
        return s;
    }

    Result<uint32_t> code_page(const Operation& operation, bool input) {
        auto call = net_.enter(operation);
        if (!call) return call.failure<uint32_t>();
        SimConsole* c = mine(call).console.get();
        if (!c) return fail<uint32_t>(st::kInvalidHandle);
        return {st::kSuccess, input ? c->input_code_page : c->output_code_page};
    }

    Status set_code_page(const Operation& operation, bool input, uint32_t cp) {
        auto call = net_.enter(operation);
        if (!call) return call.status();
        SimConsole* c = mine(call).console.get();
        if (!c) return st::kInvalidHandle;
        if (!known_code_page(cp)) return st::kInvalidParameter;
        (input ? c->input_code_page : c->output_code_page) = cp;
        return st::kSuccess;
    }

    Result<std::vector<InputRecord>> take(const Operation& operation, ConsoleHandle h, uint32_t max,
                                          bool remove) {
        auto call = net_.enter(operation);
        if (!call) return call.failure<std::vector<InputRecord>>();
        SimConsole* c = input_of(call, h);
        if (!c) return fail<std::vector<InputRecord>>(st::kInvalidHandle);
        const auto n = static_cast<ptrdiff_t>(std::min<size_t>(max, c->input.size()));
        std::vector<InputRecord> out(c->input.begin(), c->input.begin() + n);
        if (remove) c->input.erase(c->input.begin(), c->input.begin() + n);
        return {st::kSuccess, std::move(out)};
    }

    Network& net_;
};

}  // namespace

std::shared_ptr<platform::Console> make_console(Network& net) {
    return std::make_shared<SimConsoleArea>(net);
}

}  // namespace vorlek::sim
