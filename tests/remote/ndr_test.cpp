// The remote backend's wire layer: NDR as the protocol documents lay it out,
// replies that are cut short or lie about their counts, the status mapping
// and the server names a script may give.
#include <gtest/gtest.h>

#include "platform/remote/ndr.h"
#include "platform/remote/session.h"

namespace vorlek::platform::remote {
namespace {

std::vector<uint8_t> le32(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> out;
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return out;
}

TEST(RemoteNdr, CountedStringsDeferTheirCharactersDepthFirst) {
    // The request of an event-log open for "Ab": no server name, the name
    // as a counted string whose characters follow it, an empty module name
    // and the two version numbers.
    NdrWriter w;
    w.pointer(false);
    w.counted_string(u"Ab");
    w.flush();
    w.counted_string(u"");
    w.flush();
    w.u32(1);
    w.u32(1);
    std::vector<uint8_t> expected = le32({0});
    for (uint8_t b : {4, 0, 4, 0})
        expected.push_back(b);  // length and size in bytes
    auto rest = le32({0x20000, 2, 0, 2});
    expected.insert(expected.end(), rest.begin(), rest.end());
    for (uint8_t b : {0x41, 0, 0x62, 0})
        expected.push_back(b);
    auto tail = le32({0, 0, 1, 1});  // empty string: lengths 0 and a null pointer
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(w.bytes(), expected);

    // An array of pointers to counted strings: every pointer first, then
    // each string's structure followed at once by its characters.
    NdrWriter a;
    a.u32(2);
    for (StringView s : {StringView(u"x"), StringView(u"yz")}) {
        a.pointer(true);
        a.defer([s](NdrWriter& d) { d.counted_string(s); });
    }
    a.flush();
    NdrReader r(a.bytes());
    EXPECT_EQ(r.u32(), 2u);
    const uint32_t first = r.pointer(), second = r.pointer();
    EXPECT_TRUE(first && second && first != second);
    String x, yz;
    r.counted_string(x);
    r.flush();
    r.counted_string(yz);
    r.flush();
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(x, u"x");
    EXPECT_EQ(yz, u"yz");
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(RemoteNdr, ValuesRoundTripWithTheirAlignment) {
    NdrWriter w;
    w.u8(7);
    w.u16(0x1234);                 // padded to 2
    w.u64(0x0102030405060708ULL);  // padded to 8
    w.wide_string(u"hi");
    const Sid sid = *Sid::parse(u"S-1-5-21-1-2-3-500");
    w.sid(sid);
    ContextHandle h;
    h.bytes[0] = 9;
    h.bytes[19] = 1;
    w.handle(h);
    EXPECT_EQ(w.bytes().size() % 4, 0u);
    EXPECT_EQ(w.bytes()[1], 0);  // the padding byte

    NdrReader r(w.bytes());
    EXPECT_EQ(r.u8(), 7);
    EXPECT_EQ(r.u16(), 0x1234);
    EXPECT_EQ(r.u64(), 0x0102030405060708ULL);
    EXPECT_EQ(r.wide_string(), u"hi");  // the terminating NUL is dropped
    EXPECT_EQ(r.sid(), sid);
    EXPECT_EQ(r.handle().bytes, h.bytes);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_TRUE(ContextHandle{}.empty());
    EXPECT_FALSE(h.empty());
}

TEST(RemoteNdr, MalformedRepliesFailWithoutReadingPastTheirEnd) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::function<void(NdrReader&)> read;
    };
    const std::vector<Case> cases = {
        {"a word cut short", {1, 2, 3}, [](NdrReader& r) { r.u32(); }},
        {"a string longer than the reply", le32({0x40000000, 0, 0x40000000}),
         [](NdrReader& r) { r.wide_string(); }},
        {"a string whose offset passes its maximum", le32({2, 3, 1, 0x41}),
         [](NdrReader& r) { r.wide_string(); }},
        {"a count of more elements than bytes", le32({1000, 0}), [](NdrReader& r) { r.count(4); }},
        {"a SID with more sub-authorities than it says", le32({2, 0x0101, 0x05000000, 7}),
         [](NdrReader& r) { r.sid(); }},
        {"a SID of 16 sub-authorities", le32({16, 0x1001, 0x05000000}),
         [](NdrReader& r) { r.sid(); }},
        {"a handle cut short", std::vector<uint8_t>(19, 1), [](NdrReader& r) { r.handle(); }},
        {"bytes beyond the end", le32({1}), [](NdrReader& r) { EXPECT_EQ(r.bytes(5), nullptr); }},
    };
    for (const auto& c : cases) {
        NdrReader r(c.bytes);
        c.read(r);
        EXPECT_FALSE(r.ok()) << c.what;
        EXPECT_EQ(r.u32(), 0u) << c.what << ": reads after a failure answer zero";
        EXPECT_EQ(r.remaining(), 0u) << c.what;
    }
    // A deferred read of a reply that ends early stops there.
    auto bytes = le32({4, 4 << 16 | 4, 0x20000});  // a counted string whose characters are missing
    NdrReader r(bytes.data() + 4, bytes.size() - 4);
    String out = u"old";
    r.counted_string(out);
    r.flush();
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(out, u"");
}

TEST(RemoteSession, StatusesAreTheOnesWindowsGives) {
    struct Case {
        uint32_t nt;
        Status win32;
    };
    for (auto [nt, win32] :
         {Case{0, 0}, Case{0xC0000022, 5}, Case{0xC000006D, 1326}, Case{0xC0000236, 1722},
          Case{0xC00000B5, 1722}, Case{0xC0000011, 38}, Case{0xC0000035, 183},
          Case{0xC0000039, 161}, Case{0xC002002E, 1745}, Case{0xC0020001, kRpcCallFailed},
          Case{0xC0030009, kRpcCallFailed}, Case{0xC0001234, 0xC0001234}})
        EXPECT_EQ(win32_from_ntstatus(nt), win32) << std::hex << nt;
}

TEST(RemoteSession, ServerNamesAddressTheTargetOrTheNamedMachine) {
    Credentials c;
    c.server = "10.0.0.1";
    c.user = "admin";
    c.password = "x";
    auto opened = Session::open(c);
    ASSERT_TRUE(opened.ok());
    Session& s = *opened.value;
    EXPECT_EQ(s.host(u"").value, "10.0.0.1");
    EXPECT_EQ(s.host(u"\\\\SRV2").value, "SRV2");
    EXPECT_EQ(s.host(u"srv2.corp.test").value, "srv2.corp.test");
    EXPECT_EQ(s.host(u"DC1").value, "DC1");
    s.set_target_name(u"dc1");
    EXPECT_EQ(s.host(u"\\\\DC1").value, "10.0.0.1");
    EXPECT_TRUE(s.is_target(s.host(u"dc1").value));
    EXPECT_EQ(s.host(String(u"DC1\0x", 5)).status, status::kInvalidName);
    EXPECT_EQ(s.host(String(256, u'a')).status, status::kInvalidName);
    EXPECT_EQ(s.host(u"\\\\a\\b").status, status::kInvalidName);

    c.password = std::string("pass\0word", 9);
    EXPECT_EQ(Session::open(c).status, status::kInvalidParameter);
}

}  // namespace
}  // namespace vorlek::platform::remote
