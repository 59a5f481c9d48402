// The server service's share calls as the remote backend makes them: the
// enumeration request, level-502 records with their descriptors taken
// apart, malformed replies refused whole, and Samba's statuses turned into
// the ones Windows gives.
#include <gtest/gtest.h>

#include "platform/remote/srvsvc.h"

namespace vorlek::platform::remote {
namespace {

namespace sh = platform::share;

Bytes words(std::initializer_list<uint32_t> values) {
    Bytes out;
    for (uint32_t v : values)
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}

SecurityDescriptor everyone_reads() {
    SecurityDescriptor sd;
    sd.owner = sid::builtin_alias(sid::rid::kAdmins);
    sd.dacl = Acl{};
    sd.dacl->aces.push_back({ace::kAccessAllowed, 0, 0x1200A9, sid::everyone()});
    return sd;
}

// A level-502 enumeration reply holding `shares`.
Bytes enum_reply(const std::vector<ShareInfo>& shares, uint32_t total, uint32_t status) {
    NdrWriter w;
    w.u32(502);
    w.u32(502);
    w.pointer(true);
    w.u32(static_cast<uint32_t>(shares.size()));
    w.pointer(true);
    w.u32(static_cast<uint32_t>(shares.size()));
    for (const ShareInfo& s : shares) {
        w.pointer(true);
        w.defer([n = s.name](NdrWriter& w) { w.wide_string(n); });
        w.u32(s.type);
        w.pointer(true);
        w.defer([r = s.remark](NdrWriter& w) { w.wide_string(r); });
        w.u32(s.permissions);
        w.u32(static_cast<uint32_t>(s.max_uses));
        w.u32(static_cast<uint32_t>(s.current_uses));
        w.pointer(true);
        w.defer([p = s.path](NdrWriter& w) { w.wide_string(p); });
        w.pointer(false);
        const Bytes sd = s.security ? s.security->bytes() : Bytes();
        w.u32(static_cast<uint32_t>(sd.size()));
        w.pointer(!sd.empty());
        if (!sd.empty())
            w.defer([sd](NdrWriter& w) {
                w.u32(static_cast<uint32_t>(sd.size()));
                w.raw(sd.data(), sd.size());
            });
    }
    w.flush();
    w.u32(total);
    w.pointer(true);
    w.u32(7);  // resume handle
    w.u32(status);
    return w.bytes();
}

std::vector<ShareInfo> two_shares() {
    ShareInfo data{u"data", sh::kDiskTree,   u"Test data", 0, -1, 2, u"C:\\data",
                   {},      everyone_reads()};
    ShareInfo ipc{u"IPC$", sh::kSpecial | sh::kIpc, u"IPC Service", 0, -1, 0, u"", {}, {}};
    return {data, ipc};
}

TEST(RemoteSharesWire, TheEnumerationAsksForEverythingFromTheResumePoint) {
    const Bytes name = {'\\', 0, '\\', 0, 'D', 0, 'C', 0, '1', 0, 0, 0};
    Bytes expected = words({0x20000, 6, 0, 6});
    expected.insert(expected.end(), name.begin(), name.end());
    const Bytes rest = words({502, 502, 0x20004, 0, 0, 0xFFFFFFFF, 0x20008, 5});
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(srvsvc::share_enum(u"\\\\DC1", 502, 5), expected);
}

TEST(RemoteSharesWire, FullRecordsComeWithTheirDescriptors) {
    const auto shares = two_shares();
    std::vector<ShareInfo> read;
    uint32_t total = 0, resume = 0;
    ASSERT_EQ(srvsvc::read_share_enum(enum_reply(shares, 5, 234), 502, read, total, resume), 234u)
        << "more data passes through";
    EXPECT_EQ(total, 5u);
    EXPECT_EQ(resume, 7u);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].name, u"data");
    EXPECT_EQ(read[0].remark, u"Test data");
    EXPECT_EQ(read[0].max_uses, -1);
    EXPECT_EQ(read[0].current_uses, 2);
    EXPECT_EQ(read[0].path, u"C:\\data");
    ASSERT_TRUE(read[0].security.has_value());
    EXPECT_EQ(read[0].security->bytes(), everyone_reads().bytes());
    EXPECT_EQ(read[1].type, sh::kSpecial | sh::kIpc);
    EXPECT_FALSE(read[1].security.has_value());
}

TEST(RemoteSharesWire, MalformedEnumerationsAddNothing) {
    const Bytes good = enum_reply(two_shares(), 2, 0);
    auto refused = [](const Bytes& reply, uint32_t level) {
        std::vector<ShareInfo> read(1);  // what an earlier batch brought stays
        uint32_t total = 0, resume = 0;
        const Status s = srvsvc::read_share_enum(reply, level, read, total, resume);
        return s == srvsvc::kBadReply && read.size() == 1;
    };
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + n), 502)) << n;
    EXPECT_TRUE(refused(good, 0)) << "a level other than the one asked for";
    Bytes lying = good;
    lying[20] = 9;  // the array's count against the container's 2
    EXPECT_TRUE(refused(lying, 502));
}

TEST(RemoteSharesWire, SambaStatusesBecomeWindowsOnes) {
    struct Case {
        uint32_t opnum;
        Status server, windows;
    };
    for (const Case& c : {
             Case{srvsvc::kShareGetInfo, 123, 2310},  // a deleted share
             Case{srvsvc::kShareSetInfo, 123, 2310},
             Case{srvsvc::kShareDel, 123, 2310},
             Case{srvsvc::kShareDel, 67, 2310},
             Case{srvsvc::kShareAdd, 2, 2116},  // a path the server does not have
             Case{srvsvc::kShareAdd, 80, 2118},
             Case{srvsvc::kShareAdd, 123, 123},  // a bad name stays one where it is added
             Case{srvsvc::kShareGetInfo, 5, 5},
         })
        EXPECT_EQ(srvsvc::windows_status(c.opnum, c.server), c.windows)
            << c.opnum << " " << c.server;
}

}  // namespace
}  // namespace vorlek::platform::remote
