// The server's and the workstation's records as the remote backend reads
// them: levels 101 and 102, the workstation's 102, statuses passed through,
// and replies of another level or cut short refused.
#include <gtest/gtest.h>

#include "platform/remote/srvsvc.h"

namespace vorlek::platform::remote {
namespace {

void text(NdrWriter& w, StringView s) {
    w.pointer(true);
    w.defer([copy = String(s)](NdrWriter& w) { w.wide_string(copy); });
}

Bytes server_reply(uint32_t level, uint32_t status) {
    NdrWriter w;
    w.u32(level);
    w.pointer(true);
    w.u32(500);
    text(w, u"DC1");
    w.u32(6);
    w.u32(1);
    w.u32(0x0080102B);
    text(w, u"Samba 4.17");
    if (level == 102) {
        for (uint32_t v : {0xFFFFFFFFu, 15u, 0u, 240u, 3000u, 0u})
            w.u32(v);
        text(w, u"C:\\");
    }
    w.flush();
    w.u32(status);
    return w.bytes();
}

TEST(RemoteServersWire, ServerRecordsAtBothLevels) {
    for (uint32_t level : {101u, 102u}) {
        ServerInfo info;
        ASSERT_EQ(srvsvc::read_server_get_info(server_reply(level, 0), level, info), 0u);
        EXPECT_EQ(info.platform_id, 500u);
        EXPECT_EQ(info.name, u"DC1");
        EXPECT_EQ(info.version_major, 6u);
        EXPECT_EQ(info.type, 0x0080102Bu);
        EXPECT_EQ(info.comment, u"Samba 4.17");
        EXPECT_EQ(info.user_path, level == 102 ? u"C:\\" : u"");
        EXPECT_EQ(info.auto_disconnect, level == 102 ? 15 : 0);
    }
    // A refusal has no record, and its status is the server's.
    NdrWriter refusal;
    refusal.u32(102);
    refusal.pointer(false);
    refusal.u32(5);
    ServerInfo info;
    EXPECT_EQ(srvsvc::read_server_get_info(refusal.bytes(), 102, info), 5u);
}

TEST(RemoteServersWire, MalformedRecordsAreRefused) {
    ServerInfo info;
    EXPECT_EQ(srvsvc::read_server_get_info(server_reply(101, 0), 102, info), srvsvc::kBadReply);
    const Bytes good = server_reply(102, 0);
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_EQ(srvsvc::read_server_get_info(Bytes(good.begin(), good.begin() + n), 102, info),
                  srvsvc::kBadReply)
            << n;
    NdrWriter empty;  // success without a record
    empty.u32(102);
    empty.pointer(false);
    empty.u32(0);
    EXPECT_EQ(srvsvc::read_server_get_info(empty.bytes(), 102, info), srvsvc::kBadReply);
}

TEST(RemoteServersWire, WorkstationRecord) {
    NdrWriter w;
    w.u32(102);
    w.pointer(true);
    w.u32(500);
    text(w, u"DC1");
    text(w, u"CORP");
    w.u32(6);
    w.u32(1);
    w.pointer(false);  // no LAN root
    w.u32(3);
    w.flush();
    w.u32(0);
    WorkstationInfo info;
    ASSERT_EQ(srvsvc::read_wksta_get_info(w.bytes(), 102, info), 0u);
    EXPECT_EQ(info.computer_name, u"DC1");
    EXPECT_EQ(info.lan_group, u"CORP");
    EXPECT_EQ(info.lan_root, u"");
    EXPECT_EQ(info.logged_on_users, 3u);
    const Bytes cut(w.bytes().begin(), w.bytes().end() - 6);
    EXPECT_EQ(srvsvc::read_wksta_get_info(cut, 102, info), srvsvc::kBadReply);
    EXPECT_EQ(srvsvc::read_wksta_get_info(w.bytes(), 101, info), srvsvc::kBadReply)
        << "a record of another level";
}

}  // namespace
}  // namespace vorlek::platform::remote
