// The remote registry's requests and replies as bytes: request layouts
// against hand-built bytes, replies decoded, and malformed replies refused.
#include <gtest/gtest.h>

#include "platform/remote/winreg.h"
#include "tests/remote/wire.h"

namespace vorlek::platform::remote {
namespace {

using wire::handle_of;
using wire::put16;
using wire::put32;

TEST(WinregRequests, OpenKeyCountsTheNameWithItsNul) {
    Bytes expected(20, 0x11);
    put16(expected, 6);  // "Ab" and NUL, in bytes
    put16(expected, 6);
    put32(expected, 0x20000);
    put32(expected, 3);
    put32(expected, 0);
    put32(expected, 3);
    for (char16_t c : StringView(u"Ab"))
        put16(expected, c);
    put16(expected, 0);
    put16(expected, 0);  // pad to 4
    put32(expected, 0);  // options
    put32(expected, 0x20019);
    EXPECT_EQ(winreg::open_key(handle_of(0x11), u"Ab", 0x20019), expected);
}

TEST(WinregRequests, DefaultValueIsAnEmptyNameWithItsNul) {
    const Bytes q = winreg::query_value(handle_of(0), u"", 512);
    // The name's counts say two bytes: the NUL alone.
    EXPECT_EQ(q[20], 2);
    EXPECT_EQ(q[22], 2);
}

TEST(WinregRequests, RootsAndTheirCalls) {
    EXPECT_EQ(winreg::root_opnum(hkey::kLocalMachine), winreg::op::kOpenHKLM);
    EXPECT_EQ(winreg::root_opnum(hkey::kCurrentConfig), winreg::op::kOpenHKCC);
    EXPECT_EQ(winreg::root_opnum(hkey::kUsers), winreg::op::kOpenHKU);
    EXPECT_FALSE(winreg::root_opnum(0x1000).has_value());
}

// A value reply: name (for an enumeration), type, data, size and length.
Bytes value_reply(const String* name, uint32_t type, const Bytes& data, uint32_t size,
                  uint32_t length, uint32_t status) {
    NdrWriter w;
    if (name) {
        w.counted_string(*name, true);
        w.flush();
    }
    w.pointer(true);
    w.u32(type);
    w.pointer(true);
    w.u32(static_cast<uint32_t>(data.size()));
    w.u32(0);
    w.u32(static_cast<uint32_t>(data.size()));
    w.raw(data.data(), data.size());
    w.pointer(true);
    w.u32(size);
    w.pointer(true);
    w.u32(length);
    w.u32(status);
    return w.bytes();
}

TEST(WinregReplies, Values) {
    const String name = u"Path";
    const Bytes data{'C', 0, 0, 0};
    struct Case {
        const char* what;
        Bytes reply;
        bool with_name;
        Status status;
        uint32_t size;
    };
    const Case cases[] = {
        {"a value read whole", value_reply(nullptr, 1, data, 4, 4, 0), false, 0, 4},
        {"an enumerated value", value_reply(&name, 1, data, 4, 4, 0), true, 0, 4},
        {"too little room: the size it needs", value_reply(nullptr, 3, {}, 70000, 0, 234), false,
         234, 70000},
        {"a length that is not the data's", value_reply(nullptr, 1, data, 4, 9, 0), false, 1783, 0},
        {"no such value", value_reply(nullptr, 0, {}, 0, 0, 2), false, 2, 0},
    };
    for (const Case& c : cases) {
        auto v = winreg::read_value(c.reply, c.with_name);
        EXPECT_EQ(v.status, c.status) << c.what;
        EXPECT_EQ(v.value.size, c.size) << c.what;
        if (c.status == 0) {
            EXPECT_EQ(v.value.data, data) << c.what;
        }
        if (c.with_name) {
            EXPECT_EQ(v.value.name, name) << c.what;
        }
    }
}

TEST(WinregReplies, EveryReplyCutShortIsRefused) {
    const String name = u"SOFTWARE";
    NdrWriter sub;
    sub.counted_string(name, true);
    sub.flush();
    sub.pointer(true);
    sub.counted_string(u"", true);
    sub.flush();
    sub.pointer(true);
    sub.u32(1);
    sub.u32(2);
    sub.u32(0);
    ASSERT_TRUE(winreg::read_enum_key(sub.bytes()).ok());
    EXPECT_EQ(winreg::read_enum_key(sub.bytes()).value.name, name);
    EXPECT_EQ(winreg::read_enum_key(sub.bytes()).value.write_time, (FileTime{2} << 32) | 1);

    NdrWriter info;
    info.counted_string(u"cls", true);
    info.flush();
    for (int i = 0; i < 9; ++i)
        info.u32(static_cast<uint32_t>(i));
    info.u32(0);
    ASSERT_TRUE(winreg::read_info(info.bytes()).ok());
    EXPECT_EQ(winreg::read_info(info.bytes()).value.class_name, u"cls");

    NdrWriter security;
    security.pointer(true);
    security.u32(4);
    security.u32(4);
    security.u32(4);
    security.u32(0);
    security.u32(4);
    security.raw(Bytes{1, 0, 4, 0x80}.data(), 4);
    security.u32(0);
    ASSERT_EQ(winreg::read_security(security.bytes()).status, 0u);

    // Each reader refuses every reply of its kind cut short.
    const Bytes value = value_reply(&name, 4, {1, 0, 0, 0}, 4, 4, 0);
    struct Case {
        const char* what;
        Bytes reply;
        Status (*read)(const Bytes&);
    };
    const Case cases[] = {
        {"sub-key", sub.bytes(), [](const Bytes& b) { return winreg::read_enum_key(b).status; }},
        {"key information", info.bytes(),
         [](const Bytes& b) { return winreg::read_info(b).status; }},
        {"value", value, [](const Bytes& b) { return winreg::read_value(b, true).status; }},
        {"security", security.bytes(),
         [](const Bytes& b) { return winreg::read_security(b).status; }},
    };
    for (const Case& c : cases) {
        for (size_t n = 0; n < c.reply.size(); ++n) {
            const Bytes cut(c.reply.begin(), c.reply.begin() + static_cast<std::ptrdiff_t>(n));
            EXPECT_EQ(c.read(cut), winreg::kBadStubData) << c.what << " cut at " << n;
        }
    }
}

TEST(WinregReplies, SecurityAndItsSize) {
    NdrWriter small;
    small.pointer(false);
    small.u32(300);
    small.u32(0);
    small.u32(122);
    auto r = winreg::read_security(small.bytes());
    EXPECT_EQ(r.status, 122u);
    EXPECT_EQ(r.size, 300u);
    // A count beyond the array's room is malformed.
    NdrWriter bad;
    bad.pointer(true);
    bad.u32(4);
    bad.u32(4);
    bad.u32(4);
    bad.u32(2);
    bad.u32(3);
    bad.raw(Bytes{1, 2, 3, 0}.data(), 4);
    bad.u32(0);
    EXPECT_EQ(winreg::read_security(bad.bytes()).status, winreg::kBadStubData);
}

}  // namespace
}  // namespace vorlek::platform::remote
