// DllClass's network address, dial-up, dialog, sound, message-window and
// scrambling members on the simulated network.
#include <gtest/gtest.h>

#include "tests/support/simulated.h"

#include <thread>

#include "library/client.h"
#include "platform/locale.h"
#include "platform/platform.h"
#include "platform/sim/messages.h"
#include "platform/sim/registry.h"
#include "platform/sim/shares.h"

namespace vorlek {
namespace {

class HelpersTest : public testing_support::SimulatedTest {
  protected:
    client::Dispatch d = client::create(u"Vorlek.DllClass");
    sim::DesktopState& desktop() { return net->local().desktop; }
    size_t open(sim::HandleKind kind) { return net->handles().open_count(kind); }
    // The text of ANSI codes on the simulated machine.
    static String ansi(const std::vector<uint8_t>& codes) {
        return platform::current().locale().multibyte_to_wide(platform::kCodePageAnsi, codes).value;
    }
    std::vector<Variant> ras(std::vector<Variant> cursor) {
        cursor.resize(3);
        result_ = d.call_ref(u"GetRasConnections", cursor).to_long();
        return cursor;
    }
    int32_t result_ = 0;
};

TEST_F(HelpersTest, AddressesAndTheirFallbacks) {
    struct Case {
        const char* what;
        std::function<void(sim::Machine&, sim::Faults&)> change;
        const char16_t* ip;
        const char16_t* mac;
    };
    const Case cases[] = {
        {"first adapter", [](sim::Machine&, sim::Faults&) {}, u"192.168.1.15",
         u"00-A0-C9-12-34-0F"},
        {"no adapter", [](sim::Machine& m, sim::Faults&) { m.sockets.adapters.clear(); }, u"d",
         u"d"},
        {"no NetBIOS", [](sim::Machine& m, sim::Faults&) { m.netbios.installed = false; },
         u"192.168.1.15", u"d"},
        {"no sockets to give", [](sim::Machine& m, sim::Faults&) { m.sockets.max_sockets = 0; },
         u"d", u"00-A0-C9-12-34-0F"},
        {"start fails", [](sim::Machine&, sim::Faults& f) { f.fail(sim::op::WSAStartup, 10091); },
         u"d", u"00-A0-C9-12-34-0F"},
        {"name unknown",
         [](sim::Machine&, sim::Faults& f) { f.fail(sim::op::gethostbyname, 11001); }, u"d",
         u"00-A0-C9-12-34-0F"},
        {"adapter status fails",
         [](sim::Machine&, sim::Faults& f) { f.fail(sim::op::NetbiosAdapterStatus, 0x34); },
         u"192.168.1.15", u"d"},
        {"all-zero address", [](sim::Machine& m, sim::Faults&) { m.sockets.adapters[0].mac = {}; },
         u"192.168.1.15", u"d"},
    };
    for (const auto& c : cases) {
        auto fresh = sim::make_network(u"default");
        c.change(fresh->local(), fresh->faults());
        platform::ScopedPlatform scoped(std::make_shared<sim::SimPlatform>(fresh));
        EXPECT_EQ(d.call(u"GetLocalIP", {u"d"}).to_string(), c.ip) << c.what;
        EXPECT_EQ(d.call(u"GetMacAddress", {u"d"}).to_string(), c.mac) << c.what;
        EXPECT_EQ(fresh->handles().open_count(), 0u) << c.what;
    }
    EXPECT_EQ(d.get(u"LastError").to_long(), 0);
}

TEST_F(HelpersTest, DialUpCursor) {
    struct Case {
        std::vector<String> connections;
        std::vector<Variant> cursor;  // entries read, total, name
        int32_t result;
        Variant read, total, name;
    };
    const std::vector<String> one = {u"Zentrale"}, three = {u"A", u"B", u"C"};
    const Case cases[] = {
        {one, {0, 0}, 0, 1, 1, u"Zentrale"},
        {one, {1, 1}, 0, 1, 1, u"Zentrale"},  // stays on the last
        {three, {0, 0}, 0, 1, 3, u"A"},
        {three, {1, 3}, 0, 2, 3, u"B"},
        {three, {2, 3}, 0, 3, 3, u"C"},
        {three, {3, 3}, 0, 3, 3, u"C"},
        {three, {-1, 0}, 0, 1, 3, u"A"},  // below 0 starts again
        {three, {4, 0}, 0, 1, 3, u"A"},   // past the end too
        {three, {u"1", u"x3"}, -9999, u"1", u"x3", u"---ERROR---"},
        {three, {Variant(), Variant()}, 0, 1, 3, u"A"},  // Empty counts as 0
        {three, {Variant(Ref<Object>()), 0}, -9999, Variant(Ref<Object>()), 0, u"---ERROR---"},
        {{}, {0, 7}, 0, 0, 7, u""},  // none: the total keeps its value
    };
    for (const auto& c : cases) {
        net->local().ras.connections = c.connections;
        auto out = ras(c.cursor);
        EXPECT_EQ(result_, c.result);
        EXPECT_EQ(out[0], c.read);
        EXPECT_EQ(out[1], c.total);
        EXPECT_EQ(out[2], c.name);
    }
    net->faults().fail(sim::op::RasEnumConnections, 632);
    auto out = ras({0, 0, u"x"});
    EXPECT_EQ(result_, 632);
    EXPECT_EQ(out[2], Variant(u"---ERROR---"));
}

TEST_F(HelpersTest, ScramblingRoundTripForEveryAnsiCode) {
    for (int code = 0; code < 256; ++code) {
        const String text = ansi({static_cast<uint8_t>(code)});
        const String s = d.call(u"GetCryptedString", {text, u"d"}).to_string();
        auto codes = platform::current().locale().wide_to_multibyte(platform::kCodePageAnsi, s,
                                                                    std::nullopt);
        ASSERT_EQ(codes.value.size(), 2u) << code;
        const int high = code & 0xF0, low = (code & 0x0F) << 4;
        EXPECT_GE(codes.value[0], high) << code;
        EXPECT_LE(codes.value[0], high + 15) << code;
        EXPECT_GE(codes.value[1], low) << code;
        EXPECT_LE(codes.value[1], low + 15) << code;
        for (uint8_t b : codes.value)
            EXPECT_TRUE(b != 10 && b != 13 && b != 26) << code;
        EXPECT_EQ(d.call(u"GetDecryptedString", {s, u"d"}).to_string(), text) << code;
    }
}

TEST_F(HelpersTest, ScramblingLengthsAndOddTexts) {
    const String all = [] {
        std::vector<uint8_t> codes(256);
        for (int i = 0; i < 256; ++i)
            codes[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
        return ansi(codes);
    }();
    const String s = d.call(u"GetCryptedString", {all, u"d"}).to_string();
    EXPECT_EQ(s.size(), 512u);
    EXPECT_EQ(d.call(u"GetDecryptedString", {s, u"d"}).to_string(), all);
    // The same text scrambles differently from call to call.
    EXPECT_NE(d.call(u"GetCryptedString", {all, u"d"}).to_string(), s);

    struct Case {
        String in;
        const char16_t* out;
    };
    const String ab = d.call(u"GetCryptedString", {u"AB", u"d"}).to_string();
    const Case cases[] = {
        {u"", u""},
        {u"A", u"D"},               // paired with itself: 0x40 | 0x4
        {ab + u"\x70", u"AB\x27"},  // the last pair is the last two characters
        {u"\xF0\x10\x20", u"\xF1\x12"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(d.call(u"GetDecryptedString", {c.in, u"d"}).to_string(), c.out);

    const String longest(32767, u'x');
    EXPECT_EQ(d.call(u"GetCryptedString", {longest, u"d"}).to_string().size(), 65534u);
    EXPECT_EQ(d.call(u"GetCryptedString", {longest + u"x", u"d"}).to_string(), u"d");
    // Characters without an ANSI code scramble as the code page's default.
    const String euro = d.call(u"GetCryptedString", {u"\u20AC\u4E00", u"d"}).to_string();
    EXPECT_EQ(d.call(u"GetDecryptedString", {euro, u"d"}).to_string(), u"\u20AC?");
}

TEST_F(HelpersTest, DialogsAnswerFromTheScript) {
    // Nobody answers: cancelled.
    EXPECT_EQ(d.call(u"ShowNetConnectionDialog", {1}).to_long(), 1223);
    desktop().answer({0, u"Z:", u"\\\\SRV01\\public"});
    EXPECT_EQ(d.call(u"ShowNetConnectionDialog", {1}).to_long(), 0);
    ASSERT_EQ(desktop().connected.size(), 1u);
    EXPECT_EQ(desktop().connected[0].remote, u"\\\\SRV01\\public");
    // It is a drive connection of the session like any other: Z: is taken
    // now, and the connection is remembered in the profile.
    {
        client::Dispatch s = client::create(u"Vorlek.Sharer");
        EXPECT_EQ(s.call(u"NetUse", {u"Z:", u"\\\\SRV01\\public", u"", u"", false}).to_long(), 85);
        auto& session = sim::session_connections(*net, net->local());
        ASSERT_EQ(session.size(), 1u);
        EXPECT_EQ(session[0].local, u"Z:");
        auto hive = sim::predefined_key(*net, net->local(), platform::hkey::kCurrentUser);
        sim::KeyNode* network = hive->child(u"Network");
        ASSERT_NE(network, nullptr);
        EXPECT_NE(network->child(u"Z"), nullptr);
    }
    desktop().answer({0, u"Y:", u"\\\\SRV03\\old"});  // switched off
    EXPECT_EQ(d.call(u"ShowNetConnectionDialog", {1}).to_long(), 53);
    EXPECT_EQ(d.call(u"ShowNetConnectionDialog", {0}).to_long(), 87);
    desktop().answer({0, u"Z:", u""});
    EXPECT_EQ(d.call(u"ShowNetDisconnectDialog", {1}).to_long(), 0);
    EXPECT_EQ(desktop().disconnected.size(), 1u);
    desktop().answer({0, u"Z:", u""});  // gone already
    EXPECT_EQ(d.call(u"ShowNetDisconnectDialog", {1}).to_long(), 2250);
    EXPECT_EQ(desktop().disconnected.size(), 1u);
    // The printer dialog: cancelling is no error.
    EXPECT_EQ(d.call(u"ShowPrinterConnectionDialog").to_long(), 0);
    desktop().answer({0, u"", u"\\\\SRV02\\laser"});
    EXPECT_EQ(d.call(u"ShowPrinterConnectionDialog").to_long(), 0);
    desktop().answer({5});
    EXPECT_EQ(d.call(u"ShowPrinterConnectionDialog").to_long(), 5);
    EXPECT_EQ(desktop().shown.size(), 8u);  // the refused type shows nothing
    EXPECT_EQ(d.get(u"LastError").to_long(), 0);
}

TEST_F(HelpersTest, PropertyDialogAndItsMessageBox) {
    struct Case {
        String path;
        const char16_t* box;  // the message box shown, if any
    };
    const Case cases[] = {
        {u"C:\\WINNT\\Media\\chord.wav", nullptr},
        {u"c:\\winnt\\media", nullptr},
        {u"C:\\nowhere.txt", u"Fehler 2 in ShellExecuteEx"},
        {u"\"C:\\WINNT\\Media\\chord.wav\"", u"Fehler 2 in ShellExecuteEx"},
        {String(u"C:\\WINNT\0x", 10), u"Fehler 123 in ShellExecuteEx"},
    };
    for (const auto& c : cases) {
        desktop().shown.clear();
        EXPECT_TRUE(d.call(u"ShowPropertyDialog", {c.path}).is_empty());
        const auto& shown = desktop().shown;
        ASSERT_FALSE(shown.empty());
        if (c.box) {
            EXPECT_EQ(shown.back().call, u"MessageBox");
            EXPECT_EQ(shown.back().text, c.box);
        } else {
            EXPECT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].result, 0u);
        }
    }
}

TEST_F(HelpersTest, PlaySoundRanges) {
    constexpr StringView kChord = u"C:\\WINNT\\Media\\chord.wav";  // 11025 samples at 22050 Hz
    net->local().files[u"C:\\bad.wav"] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    struct Case {
        StringView path;
        int32_t from, to, result;
        uint64_t ms;  // time the call took on the simulated clock
    };
    const Case cases[] = {
        {kChord, 0, 0, 0, 500},          {kChord, 100, 200, 0, 5},
        {kChord, 11025, 0, 0, 0},        {kChord, 1000, 500, -87, 0},
        {kChord, 0, 11026, 282, 0},      {kChord, 12000, 0, 282, 0},
        {kChord, -5, 0, 270, 0},         {kChord, 500, 500, 0, 0},
        {u"C:\\none.wav", 0, 0, 281, 0}, {u"C:\\bad.wav", 0, 0, 281, 0},
        {u"C:\\a\"b.wav", 0, 0, 281, 0},
    };
    for (const auto& c : cases) {
        const auto before = net->local().time.clock;
        EXPECT_EQ(d.call(u"PlaySound", {String(c.path), c.from, c.to}).to_long(), c.result)
            << c.from << " " << c.to;
        EXPECT_EQ((net->local().time.clock - before) / 10'000, c.ms) << c.from << " " << c.to;
        EXPECT_EQ(open(sim::HandleKind::MciDevice), 0u);
    }
    // -87 is answered before the device is asked.
    EXPECT_EQ(net->local().multimedia.played.size(), 4u);
    // The device opened but its time format could not be set: it is closed
    // all the same, and the next call finds the alias free.
    net->faults().fail(sim::op::mciSendString, 277, 1, 1);
    EXPECT_EQ(d.call(u"PlaySound", {String(kChord)}).to_long(), 277);
    EXPECT_EQ(open(sim::HandleKind::MciDevice), 0u);
    EXPECT_EQ(d.call(u"PlaySound", {String(kChord)}).to_long(), 0);
}

TEST_F(HelpersTest, MessageWindowSettings) {
    auto show = [&](const char16_t* color, const char16_t* alignment, StringView font = u"Arial",
                    int32_t size = 12) {
        d.call(u"ShowMessage", {u"Caption", String(font), color, size, true, alignment, u"Hi"});
        return *desktop().message_window(std::this_thread::get_id());
    };
    struct Case {
        const char16_t* color;
        uint32_t expected;  // after the previous case
    };
    const Case colors[] = {
        {u"255,0,0", 0x0000FF}, {u" 0 , 128 , 255 ", 0xFF8000}, {u"255;0;0", 0xFF8000},
        {u"300,0,0", 0x0000FF}, {u"-1,0,0", 0x0000FF},          {u"a,b,c", 0x0000FF},
        {u"1,2", 0x0000FF},     {u"0,0,0,0", 0x0000FF},         {u"0,0,0", 0},
    };
    for (const auto& c : colors)
        EXPECT_EQ(show(c.color, u"").color, c.expected) << to_utf8(c.color);
    struct Align {
        const char16_t* text;
        platform::TextAlignment expected;
    };
    using platform::TextAlignment;
    const Align aligns[] = {{u"center", TextAlignment::Center},
                            {u"RIGHT", TextAlignment::Right},
                            {u"middle", TextAlignment::Right},
                            {u"Left", TextAlignment::Left}};
    for (const auto& a : aligns)
        EXPECT_EQ(show(u"", a.text).alignment, a.expected) << to_utf8(a.text);

    auto w = show(u"", u"", u"No Such Font", -5);
    EXPECT_EQ(w.font, u"Arial");
    EXPECT_EQ(w.font_size, 12);
    EXPECT_TRUE(w.bold);
    EXPECT_EQ(w.caption, u"Caption");
    EXPECT_EQ(w.left, (1024 - w.width) / 2);
    EXPECT_EQ(w.top, (768 - w.height) / 2);
    const String big(1 << 20, u'x');
    d.call(u"ShowMessage", {big, u"", u"", 0, false, u"", big});
    w = *desktop().message_window(std::this_thread::get_id());
    EXPECT_EQ(w.text.size(), big.size());
    EXPECT_FALSE(w.bold);
    EXPECT_EQ(open(sim::HandleKind::Window), 1u);
    d.call(u"UnloadMessage");
    EXPECT_EQ(open(sim::HandleKind::Window), 0u);
    d.call(u"UnloadMessage");  // nothing to unload
}

TEST_F(HelpersTest, OneMessageWindowPerThread) {
    d.call(u"ShowMessage", {u"main"});
    std::thread other([&] {
        platform::ScopedPlatform scoped(std::make_shared<sim::SimPlatform>(net));
        auto mine = client::create(u"Vorlek.DllClass");
        mine.call(u"ShowMessage", {u"other"});
        mine.call(u"ShowMessage", {u"other again"});
        EXPECT_EQ(desktop().message_windows.size(), 2u);
        EXPECT_EQ(desktop().message_window(std::this_thread::get_id())->caption, u"other again");
        mine.call(u"UnloadMessage");
    });
    other.join();
    ASSERT_EQ(desktop().message_windows.size(), 1u);
    EXPECT_EQ(desktop().message_windows[0].caption, u"main");
    EXPECT_EQ(open(sim::HandleKind::Window), 1u);
}

}  // namespace
}  // namespace vorlek
