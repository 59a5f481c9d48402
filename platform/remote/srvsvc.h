// The requests and replies of the server service (srvsvc) and the
// workstation service (wkssvc) that the backend makes: share records and
// the server's and workstation's own. Requests are the NDR of a call's [in]
// parameters; readers take the [out] parameters apart and answer the call's
// status (the services answer Windows codes themselves; 1783 for a reply
// that does not parse).
#pragma once

#include <cstdint>
#include <vector>

#include "automation/string.h"
#include "platform/remote/ndr.h"
#include "platform/remote/session.h"
#include "platform/servers.h"
#include "platform/shares.h"

namespace vorlek::platform::remote::srvsvc {

// Operation numbers of srvsvc, and wkssvc's NetrWkstaGetInfo.
constexpr uint32_t kShareAdd = 0x0E, kShareEnum = 0x0F, kShareGetInfo = 0x10, kShareSetInfo = 0x11,
                   kShareDel = 0x12, kServerGetInfo = 0x15, kServerSetInfo = 0x16,
                   kWkstaGetInfo = 0x00;

constexpr Status kBadReply = 1783;  // RPC_X_BAD_STUB_DATA

// The status Windows answers for a share call `opnum` where a Samba server
// answered `server` (the same for any other).
Status windows_status(uint32_t opnum, Status server);

// `host` as the services take a server's name: "\\host".
String unc(const std::string& host);

// NetrShareEnum at level 0 (names) or 502 (full records), from
// `resume_handle`; the reply's status is 234 while more follow.
Bytes share_enum(const String& server, uint32_t level, uint32_t resume_handle);
Status read_share_enum(const Bytes& reply, uint32_t level, std::vector<ShareInfo>& shares,
                       uint32_t& total_entries, uint32_t& resume_handle);

// NetrShareGetInfo at level 502 or 1005 (the flags land in `flags`).
Bytes share_get_info(const String& server, StringView name, uint32_t level);
Status read_share_get_info(const Bytes& reply, uint32_t level, ShareInfo& share, uint32_t& flags);

// NetrShareAdd and NetrShareSetInfo at level 502; NetrShareDel.
Bytes share_add(const String& server, const ShareInfo& record);
Bytes share_set_info(const String& server, StringView name, const ShareInfo& record);
Status read_parm_error(const Bytes& reply, uint32_t& parm_error);
Bytes share_del(const String& server, StringView name);
Status read_status(const Bytes& reply);

// NetrServerGetInfo at level 101 or 102; NetrServerSetInfo at 1005 (the
// comment) or 1016 (hidden).
Bytes server_get_info(const String& server, uint32_t level);
Status read_server_get_info(const Bytes& reply, uint32_t level, ServerInfo& info);
Bytes server_set_comment(const String& server, StringView comment);
Bytes server_set_hidden(const String& server, bool hidden);

// NetrWkstaGetInfo at level 102, or 101 (the same without the logged-on
// users).
Bytes wksta_get_info(const String& server, uint32_t level);
Status read_wksta_get_info(const Bytes& reply, uint32_t level, WorkstationInfo& info);

}  // namespace vorlek::platform::remote::srvsvc
