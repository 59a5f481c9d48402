// The service manager's requests and replies as bytes: request layouts
// against hand-built bytes, replies decoded, and malformed replies refused.
#include <gtest/gtest.h>

#include "platform/remote/connection.h"
#include "platform/remote/svcctl.h"
#include "tests/remote/wire.h"

namespace vorlek::platform::remote {
namespace {

namespace sc = svcctl;

using wire::handle_of;
using wire::put16;
using wire::put32;

TEST(SvcctlRequests, OpenServiceIsHandleNameInPlaceAndAccess) {
    Bytes expected(20, 0xAB);
    put32(expected, 3);  // max, offset, actual: "Sp" and its NUL
    put32(expected, 0);
    put32(expected, 3);
    for (char16_t c : StringView(u"Sp"))
        put16(expected, c);
    put16(expected, 0);
    put16(expected, 0);  // pad to 4
    put32(expected, 0x14);
    EXPECT_EQ(sc::open_service(handle_of(0xAB), u"Sp", 0x14), expected);
}

TEST(SvcctlRequests, ListingAsksFromTheResumePointWithoutAGroup) {
    const Bytes ex = sc::enumerate(handle_of(1), 0x30, 3, 4096, 7, true);
    // handle, level 0, type, state, offered, resume pointer and value, no group.
    ASSERT_EQ(ex.size(), 20u + 4 * 7);
    const uint32_t tail[] = {0, 0x30, 3, 4096, 0x20000, 7, 0};
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(ex[20 + 4 * i], static_cast<uint8_t>(tail[i])) << i;
    // The older call has no level and no group.
    EXPECT_EQ(sc::enumerate(handle_of(1), 0x30, 3, 4096, 7, false).size(), 20u + 4 * 5);
}

TEST(SvcctlDependencies, RunsAndWireForms) {
    struct Case {
        StringView wire;
        StringView run;
    };
    const Case cases[] = {
        {StringView(u"", 0), StringView(u"\0", 1)},
        {u"RpcSs", StringView(u"RpcSs\0\0", 7)},
        {u"RpcSs/+Net", StringView(u"RpcSs\0+Net\0\0", 12)},
        {StringView(u"RpcSs\0+Net\0", 11), StringView(u"RpcSs\0+Net\0\0", 12)},
        {u"/RpcSs//", StringView(u"RpcSs\0\0", 7)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sc::dependency_run(c.wire), String(c.run)) << to_utf8(c.wire);
    // Sent as NUL-ended names and one more NUL; none is two NULs.
    const Bytes two = sc::dependency_bytes(StringView(u"A\0B\0\0", 5));
    EXPECT_EQ(two, (Bytes{'A', 0, 0, 0, 'B', 0, 0, 0, 0, 0}));
    EXPECT_EQ(sc::dependency_bytes(StringView(u"\0", 1)), Bytes(4, 0));
}

// A listing reply: entries with offsets into the buffer, strings after them.
Bytes listing(const std::vector<std::pair<String, String>>& names, uint32_t status,
              uint32_t resume = 0, uint32_t claimed = 0, uint32_t bad_offset = 0) {
    const size_t entry = 44;
    Bytes buffer(names.size() * entry, 0);
    for (size_t i = 0; i < names.size(); ++i) {
        const auto put_at = [&](size_t at, uint32_t v) {
            for (int b = 0; b < 4; ++b)
                buffer[at + b] = static_cast<uint8_t>(v >> (8 * b));
        };
        put_at(i * entry, bad_offset ? bad_offset : static_cast<uint32_t>(buffer.size()));
        for (char16_t c : names[i].first)
            put16(buffer, c);
        put16(buffer, 0);
        put_at(i * entry + 4, static_cast<uint32_t>(buffer.size()));
        for (char16_t c : names[i].second)
            put16(buffer, c);
        put16(buffer, 0);
        put_at(i * entry + 8, 0x20);                 // type
        put_at(i * entry + 12, 4);                   // running
        put_at(i * entry + 36, 1234 + uint32_t(i));  // process id
    }
    NdrWriter w;
    w.u32(static_cast<uint32_t>(buffer.size()));
    w.raw(buffer.data(), buffer.size());
    w.u32(0);  // needed
    w.u32(claimed ? claimed : static_cast<uint32_t>(names.size()));
    w.pointer(true);
    w.u32(resume);
    w.u32(status);
    return w.bytes();
}

TEST(SvcctlReplies, ListingEntries) {
    auto r = sc::read_enumeration(listing({{u"Spooler", u"Print Spooler"}, {u"WINS", u"WINS"}}, 0),
                                  true);
    ASSERT_EQ(r.status, 0u);
    ASSERT_EQ(r.entries.size(), 2u);
    EXPECT_EQ(r.entries[0].name, u"Spooler");
    EXPECT_EQ(r.entries[0].display_name, u"Print Spooler");
    EXPECT_EQ(r.entries[1].status.state, 4u);
    EXPECT_EQ(r.entries[1].status.process_id, 1235u);
    // More to come: the entries so far and where to go on.
    auto more = sc::read_enumeration(listing({{u"A", u"B"}}, 234, 9), true);
    EXPECT_EQ(more.status, 234u);
    EXPECT_EQ(more.entries.size(), 1u);
    EXPECT_EQ(more.resume, 9u);
}

TEST(SvcctlReplies, MalformedRepliesAreBadStubData) {
    const Bytes good = listing({{u"Spooler", u"Print Spooler"}}, 0);
    struct Case {
        const char* what;
        Bytes reply;
    };
    const Case cases[] = {
        {"more entries than the buffer holds", listing({{u"A", u"B"}}, 0, 0, 1000)},
        {"a name outside the buffer", listing({{u"A", u"B"}}, 0, 0, 0x7000)},
        {"bytes after the status",
         [&] {
             Bytes b = good;
             put32(b, 0);
             return b;
         }()},
    };
    for (const Case& c : cases) {
        auto r = sc::read_enumeration(c.reply, true);
        EXPECT_EQ(r.status, sc::kBadStubData) << c.what;
        EXPECT_TRUE(r.entries.empty()) << c.what;
    }
    // Each reader refuses every reply of its kind cut short.
    NdrWriter lock;
    lock.u32(1);
    lock.pointer(true);
    lock.u32(30);
    lock.wide_string(u"CORP\\Administrator");
    lock.u32(0);
    lock.u32(0);
    ASSERT_EQ(sc::read_lock_status(lock.bytes()).value.duration, 30u);
    NdrWriter status;
    status.u32(36);
    for (uint32_t i = 0; i < 9; ++i)
        status.u32(i);
    status.u32(36);
    status.u32(0);
    ASSERT_EQ(sc::read_status_process(status.bytes()).value.flags, 8u);
    struct Reader {
        const char* what;
        Bytes reply;
        Status (*read)(const Bytes&);
    };
    const Reader readers[] = {
        {"listing", good, [](const Bytes& b) { return sc::read_enumeration(b, true).status; }},
        {"lock status", lock.bytes(),
         [](const Bytes& b) { return sc::read_lock_status(b).status; }},
        {"status", status.bytes(),
         [](const Bytes& b) { return sc::read_status_process(b).status; }},
    };
    for (const Reader& c : readers) {
        for (size_t n = 0; n < c.reply.size(); ++n) {
            const Bytes cut(c.reply.begin(), c.reply.begin() + static_cast<std::ptrdiff_t>(n));
            EXPECT_EQ(c.read(cut), sc::kBadStubData) << c.what << " cut at " << n;
        }
    }
}

TEST(SvcctlReplies, ConfigurationWithDependenciesAndShortBuffer) {
    NdrWriter w;
    w.u32(0x20);
    w.u32(3);
    w.u32(1);
    w.pointer(true);
    w.pointer(false);
    w.u32(0);
    w.pointer(true);
    w.pointer(true);
    w.pointer(true);
    w.wide_string(u"C:\\spool.exe");
    w.wide_string(u"RpcSs/+Net");
    w.wide_string(u"LocalSystem");
    w.wide_string(u"Print Spooler");
    w.u32(300);
    w.u32(0);
    auto r = sc::read_config(w.bytes());
    ASSERT_EQ(r.status, 0u);
    EXPECT_EQ(r.config.binary_path, u"C:\\spool.exe");
    EXPECT_EQ(r.config.load_order_group, u"");
    EXPECT_EQ(r.config.dependencies, String(StringView(u"RpcSs\0+Net\0\0", 12)));
    EXPECT_EQ(r.config.display_name, u"Print Spooler");

    // Too small a buffer: the size needed, nothing else.
    NdrWriter small;
    for (int i = 0; i < 3; ++i)
        small.u32(0);
    for (int i = 0; i < 6; ++i)
        small.u32(0);
    small.u32(9000);
    small.u32(122);
    auto s = sc::read_config(small.bytes());
    EXPECT_EQ(s.status, 122u);
    EXPECT_EQ(s.needed, 9000u);
}

TEST(SvcctlReplies, HandlesAndStatuses) {
    NdrWriter ok;
    ok.handle(handle_of(7));
    ok.u32(0);
    EXPECT_EQ(sc::read_handle(ok.bytes()).value.bytes[0], 7);
    // Success without a handle is no success; a refusal keeps its code.
    NdrWriter none;
    none.handle(ContextHandle{});
    none.u32(0);
    EXPECT_EQ(sc::read_handle(none.bytes()).status, sc::kBadStubData);
    NdrWriter refused;
    refused.handle(ContextHandle{});
    refused.u32(1060);
    EXPECT_EQ(sc::read_handle(refused.bytes()).status, 1060u);
    // A control that failed still reports the service's status.
    NdrWriter control;
    for (uint32_t v : {0x10u, 1u, 0u, 0u, 0u, 0u, 0u, 1062u})
        control.u32(v);
    auto c = sc::read_service_status(control.bytes());
    EXPECT_EQ(c.status, 1062u);
    EXPECT_EQ(c.value.state, 1u);
}

// What a failed transport says: the server refused one call (its handles
// stay), the connection went (they go), or nothing answered at first contact.
TEST(TransportStatuses, LostRefusedOrUnanswered) {
    struct Case {
        Status status;
        bool lost;
        Status reported;
        bool unanswered;
    };
    const Case cases[] = {
        {1745, false, 1745, false},  // an operation the server does not offer
        {1783, false, 1783, false},  // a reply that did not parse
        {1722, true, 1722, true},
        {1003, true, 1722, true},  // the library's "cannot complete"
        {53, true, 53, true},
        {5, true, 5, false},
        {kLogonFailure, true, kLogonFailure, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(connection_lost(c.status), c.lost) << c.status;
        if (c.lost) {
            EXPECT_EQ(lost_status(c.status), c.reported) << c.status;
        }
        EXPECT_EQ(did_not_answer(c.status), c.unanswered) << c.status;
    }
    EXPECT_FALSE(connection_lost(0));
}

}  // namespace
}  // namespace vorlek::platform::remote
