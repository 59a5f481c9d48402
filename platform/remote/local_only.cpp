// The areas that act only on the machine a script runs on: the console,
// dialogs and the message window, sound, dial-up connections, NetBIOS and
// the sockets library. Under the remote backend that machine is the Linux
// host, which has none of them: every operation answers 50 (NetBIOS its
// "not installed" code, sound its "cannot load driver").
#include "platform/console.h"
#include "platform/desktop.h"
#include "platform/multimedia.h"
#include "platform/netbios.h"
#include "platform/ras.h"
#include "platform/sockets.h"

#include "platform/remote/areas.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace vorlek::platform::remote {

namespace {

class LocalConsole final : public platform::Console {
  public:
    Status alloc_console() override { return kNotSupported; }
    Status free_console() override { return kNotSupported; }
    Result<ConsoleHandle> std_handle(bool input) override { return {kNotSupported, {}}; }
    Result<ConsoleHandle> open_console(bool input) override { return {kNotSupported, {}}; }
    Status close_handle(ConsoleHandle h) override { return kNotSupported; }
    Result<uint32_t> write(ConsoleHandle h, StringView text) override {
        return {kNotSupported, {}};
    }
    Result<String> read(ConsoleHandle h, uint32_t max_chars) override {
        return {kNotSupported, {}};
    }
    Result<uint32_t> fill_character(ConsoleHandle h, char16_t c, uint32_t count,
                                    Coord at) override {
        return {kNotSupported, {}};
    }
    Result<uint32_t> fill_attribute(ConsoleHandle h, uint16_t attribute, uint32_t count,
                                    Coord at) override {
        return {kNotSupported, {}};
    }
    Result<uint32_t> input_code_page() override { return {kNotSupported, {}}; }
    Status set_input_code_page(uint32_t code_page) override { return kNotSupported; }
    Result<uint32_t> output_code_page() override { return {kNotSupported, {}}; }
    Status set_output_code_page(uint32_t code_page) override { return kNotSupported; }
    Result<String> title(uint32_t buffer_chars) override { return {kNotSupported, {}}; }
    Status set_title(StringView title) override { return kNotSupported; }
    Result<uint32_t> mode(ConsoleHandle h) override { return {kNotSupported, {}}; }
    Status set_mode(ConsoleHandle h, uint32_t mode) override { return kNotSupported; }
    Status set_text_attribute(ConsoleHandle h, uint16_t attribute) override {
        return kNotSupported;
    }
    Result<ScreenBufferInfo> screen_buffer_info(ConsoleHandle h) override {
        return {kNotSupported, {}};
    }
    Status set_screen_buffer_size(ConsoleHandle h, Coord size) override { return kNotSupported; }
    Status set_cursor_position(ConsoleHandle h, Coord at) override { return kNotSupported; }
    Result<CursorInfo> cursor_info(ConsoleHandle h) override { return {kNotSupported, {}}; }
    Status set_cursor_info(ConsoleHandle h, CursorInfo info) override { return kNotSupported; }
    Status set_window_info(ConsoleHandle h, SmallRect window) override { return kNotSupported; }
    Result<uint32_t> input_count(ConsoleHandle h) override { return {kNotSupported, {}}; }
    Result<std::vector<InputRecord>> peek_input(ConsoleHandle h, uint32_t max) override {
        return {kNotSupported, {}};
    }
    Result<std::vector<InputRecord>> read_input(ConsoleHandle h, uint32_t max) override {
        return {kNotSupported, {}};
    }
    Status flush_input(ConsoleHandle h) override { return kNotSupported; }
    Result<uint32_t> mouse_buttons() override { return {kNotSupported, {}}; }
    Status set_control_handler(ControlHandler handler, bool add) override { return kNotSupported; }
};

class LocalDesktop final : public platform::Desktop {
  public:
    Status connection_dialog(uint32_t resource_type) override { return kNotSupported; }
    Status disconnect_dialog(uint32_t resource_type) override { return kNotSupported; }
    Status printer_connection_dialog() override { return kNotSupported; }
    Status show_properties(StringView path) override { return kNotSupported; }
    Status message_box(StringView text, StringView caption) override { return kNotSupported; }
    Status show_message_window(const MessageLook& look) override { return kNotSupported; }
    void unload_message_window() override {}
};

class LocalMultimedia final : public platform::Multimedia {
  public:
    MciError send_string(StringView command) override { return mci::kCannotLoadDriver; }
};

class LocalRas final : public platform::Ras {
  public:
    Result<std::vector<String>> enum_connections(uint32_t capacity) override {
        return {kNotSupported, {}};
    }
};

class LocalNetBios final : public platform::NetBios {
  public:
    uint8_t reset(uint8_t lana) override { return nrc::kEnvironment; }
    AdapterStatus adapter_status(uint8_t lana, StringView call_name) override {
        return {nrc::kEnvironment, {}};
    }
};

class LocalSockets final : public platform::Sockets {
  public:
    Result<SocketsSession> startup(uint16_t requested) override { return {kNotSupported, {}}; }
    Status cleanup() override { return kNotSupported; }
    Result<std::vector<Ip4Address>> host_addresses(StringView name) override {
        return {kNotSupported, {}};
    }
};

}  // namespace

std::shared_ptr<Console> make_console(const Context&) {
    return std::make_shared<LocalConsole>();
}

std::shared_ptr<Desktop> make_desktop(const Context&) {
    return std::make_shared<LocalDesktop>();
}

std::shared_ptr<Multimedia> make_multimedia(const Context&) {
    return std::make_shared<LocalMultimedia>();
}

std::shared_ptr<Ras> make_ras(const Context&) {
    return std::make_shared<LocalRas>();
}

std::shared_ptr<NetBios> make_netbios(const Context&) {
    return std::make_shared<LocalNetBios>();
}

std::shared_ptr<Sockets> make_sockets(const Context&) {
    return std::make_shared<LocalSockets>();
}

}  // namespace vorlek::platform::remote
