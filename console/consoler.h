// Consoler: the console of the host process. ConsoleOpen attaches to it (or
// makes one) and keeps its input and output handles; the members write and
// read text, fill cells, and read and set code pages, title, modes, the
// text attribute, the buffer size, the cursor and the window, the mode and
// attribute words also as flag texts. InitConsoleEvents turns the waiting
// input records into items with key, mouse and control-key texts; the
// control handler records the last control signal for the thread's objects.
#pragma once

#include "automation/collection.h"
#include "platform/console.h"

namespace vorlek {

class Consoler : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    Ref<Collection> ConsoleEvents() const { return events_; }
    void SetConsoleEvents(Ref<Collection> collection) {
        events_ = std::move(collection);
        referenced(events_.get());
    }
    void visit_references(ReferenceVisitor& visit) const override {
        if (events_) visit(*events_);
    }
    void drop_references() noexcept override { auto dropped = std::move(events_); }

    int32_t SetControlHandler();
    int32_t ReleaseControlHandler();
    int32_t ConsoleOpen();
    int32_t ConsoleClose();
    int32_t ConsoleWrite(String strString);
    int32_t FillConsoleWithChar(String strChar, int32_t lngRepeat, int16_t intPosX,
                                int16_t intPosY);
    int32_t FillConsoleWithAttribute(int32_t lngAttribute, int32_t lngRepeat, int16_t intPosX,
                                     int16_t intPosY);
    String ConsoleRead(String strDefault);
    int32_t ConsoleUnread();
    int32_t ConsoleEventsFlush();
    int32_t InitConsoleEvents(bool booPeek);
    int32_t ConsoleMouseButtons();
    String ConsoleLastCTRLEvent() const;

    String ConsoleEventType() const { return event_type_; }
    bool ConsoleEventKeyDown() const { return key_down_; }
    String ConsoleEventKey() const { return key_; }
    int32_t ConsoleEventKeyRepeat() const { return repeat_; }
    String ConsoleEventControlKey() const { return control_key_; }
    String ConsoleEventMouseButtonState() const { return mouse_button_; }
    String ConsoleEventMouse() const { return mouse_action_; }
    int16_t ConsoleEventX() const { return x_; }
    int16_t ConsoleEventY() const { return y_; }
    int32_t ConsoleEventCommandID() const { return command_id_; }
    bool ConsoleEventFocus() const { return focus_; }

    void SetConsoleInputCP(int32_t value);
    int32_t ConsoleInputCP();
    void SetConsoleOutputCP(int32_t value);
    int32_t ConsoleOutputCP();
    void SetConsoleTitle(String value);
    String ConsoleTitle();
    void SetConsoleInputMode(int32_t value);
    int32_t ConsoleInputMode();
    String ConsoleInputModeStr();
    int32_t ConsoleOutputMode();
    void SetConsoleOutputMode(int32_t value);
    String ConsoleOutputModeStr();
    void SetConsoleTextMode(int32_t value);
    int32_t ConsoleTextMode();
    String ConsoleTextModeStr();
    void SetConsoleScreenBufferSizeX(int16_t value);
    int16_t ConsoleScreenBufferSizeX();
    void SetConsoleScreenBufferSizeY(int16_t value);
    int16_t ConsoleScreenBufferSizeY();
    int16_t ConsoleMaxWindowSizeX();
    int16_t ConsoleMaxWindowSizeY();
    void SetConsoleCursorPosX(int16_t value);
    void SetConsoleCursorSize(int32_t value);
    int32_t ConsoleCursorSize();
    void SetConsoleCursorVisible(bool value);
    bool ConsoleCursorVisible();
    int16_t ConsoleCursorPosX();
    void SetConsoleCursorPosY(int16_t value);
    int16_t ConsoleCursorPosY();
    void SetConsoleWindowPosLeft(int16_t value);
    int16_t ConsoleWindowPosLeft();
    void SetConsoleWindowPosTop(int16_t value);
    int16_t ConsoleWindowPosTop();
    void SetConsoleWindowPosRight(int16_t value);
    int16_t ConsoleWindowPosRight();
    void SetConsoleWindowPosBottom(int16_t value);
    int16_t ConsoleWindowPosBottom();
    int32_t ConsoleLastError() const { return last_error_; }

    // Loads an item of ConsoleEvents from one input record.
    void load_event(const platform::InputRecord& record);

  private:
    platform::ConsoleHandle output() const;
    platform::ConsoleHandle input() const;
    // The status of a property member's platform call, kept as the error.
    bool record(platform::Status s);
    platform::Result<platform::ScreenBufferInfo> buffer_info();
    platform::Result<platform::CursorInfo> cursor_info();
    void set_window_edge(int16_t platform::SmallRect::*edge, int16_t value);
    int16_t window_edge(int16_t platform::SmallRect::*edge);

    Ref<Collection> events_;
    int32_t last_error_ = 0;
    platform::ConsoleHandle output_ = 0;
    platform::ConsoleHandle input_ = 0;
    uint64_t platform_id_ = 0;  // the platform the handles belong to

    String event_type_;
    bool key_down_ = false;
    String key_;
    int32_t repeat_ = 0;
    String control_key_;
    String mouse_button_;
    String mouse_action_;
    int16_t x_ = 0;
    int16_t y_ = 0;
    int32_t command_id_ = 0;
    bool focus_ = false;
};

// The flag texts of a word: each listed flag that is set, in the table's
// order, joined by ";".
String input_mode_text(uint32_t mode);
String output_mode_text(uint32_t mode);
String attribute_text(uint32_t attributes);
// "NO_CONTROLKEY_PRESSED", or the set bits' names joined by "+".
String control_key_text(uint32_t state);
String mouse_button_text(uint32_t buttons);
String mouse_action_text(uint32_t flags);
String control_event_text(uint32_t signal);

}  // namespace vorlek
