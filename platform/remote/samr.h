// The account database of a remote server over the SAM remote protocol
// (and the LSA's name and SID look-ups), for what the network management
// library does not do or does wrongly: local-group members, memberships of
// local groups, account control bits. The request encoders and reply
// decoders are pure functions; `SamClient` makes the calls and closes every
// handle it opens.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "automation/string.h"
#include "platform/remote/ndr.h"
#include "platform/remote/session.h"
#include "platform/security.h"

namespace vorlek::platform::remote::sam {

// Operation numbers of the SAM interface.
namespace op {
constexpr uint32_t kClose = 1;
constexpr uint32_t kLookupDomain = 5;
constexpr uint32_t kEnumDomains = 6;
constexpr uint32_t kOpenDomain = 7;
constexpr uint32_t kEnumAliases = 15;
constexpr uint32_t kGetAliasMembership = 16;
constexpr uint32_t kLookupNames = 17;
constexpr uint32_t kOpenAlias = 27;
constexpr uint32_t kAddMemberToAlias = 31;
constexpr uint32_t kRemoveMemberFromAlias = 32;
constexpr uint32_t kGetMembersInAlias = 33;
constexpr uint32_t kOpenUser = 34;
constexpr uint32_t kSetUserInfo = 37;
constexpr uint32_t kGetGroupsForUser = 39;
constexpr uint32_t kConnect2 = 57;
}  // namespace op

constexpr uint32_t kMaximumAllowed = 0x02000000;
constexpr uint16_t kUserControlInformation = 16;        // SAMPR_USER_CONTROL_INFORMATION
constexpr uint16_t kUserAllInformation = 21;            // SAMPR_USER_ALL_INFORMATION
constexpr uint32_t kFieldPasswordExpired = 0x08000000;  // USER_ALL_PASSWORDEXPIRED

// The account control bits of a usri_flags value and back. Bits that have no
// counterpart (UF_SCRIPT, UF_PASSWD_CANT_CHANGE, which is the account's
// security descriptor) are dropped.
uint32_t acb_from_uf(uint32_t uf);
uint32_t uf_from_acb(uint32_t acb);

// --- Requests (the [in] parameters)
Bytes connect_request(StringView server);
Bytes handle_request(const ContextHandle& h);  // CloseHandle, GetMembersInAlias, GetGroupsForUser
Bytes enum_request(const ContextHandle& h, uint32_t context);  // EnumDomains, EnumAliases
Bytes lookup_domain_request(const ContextHandle& h, StringView name);
Bytes open_domain_request(const ContextHandle& h, const Sid& domain);
Bytes open_rid_request(const ContextHandle& h, uint32_t rid);  // OpenAlias, OpenUser
Bytes lookup_names_request(const ContextHandle& h, const std::vector<String>& names);
Bytes sid_request(const ContextHandle& h, const Sid& sid);  // AddMemberToAlias, Remove...
Bytes alias_membership_request(const ContextHandle& h, const std::vector<Sid>& sids);
Bytes set_control_request(const ContextHandle& h, uint32_t acb);
// SetUserInfo, level 21 (SAMPR_USER_ALL_INFORMATION) with only the
// password's expiry present: expired now, or not (set this moment).
Bytes set_expired_request(const ContextHandle& h, bool expired);

// --- Replies. A reply cut short or malformed answers 1783
// (RPC_X_BAD_STUB_DATA); a failure the server reports, its Windows code.
constexpr Status kBadStubData = 1783;

Status status_reply(const Bytes& reply);
Result<ContextHandle> handle_reply(const Bytes& reply);
Result<Sid> sid_reply(const Bytes& reply);  // LookupDomain

struct RidName {
    uint32_t rid = 0;
    String name;
};
// EnumDomains / EnumAliases: `context` continues the walk; `more` when the
// server has more to give.
Result<std::vector<RidName>> enum_reply(const Bytes& reply, uint32_t& context, bool& more);
struct RidUse {
    uint32_t rid = 0;
    SidUsage use = SidUsage::Unknown;
};
// LookupNamesInDomain: one per name asked; a name the domain does not know
// has use Unknown (the status is then 1332, or 0x107's code when some map).
Result<std::vector<RidUse>> lookup_names_reply(const Bytes& reply);
Result<std::vector<Sid>> sids_reply(const Bytes& reply);         // GetMembersInAlias
Result<std::vector<uint32_t>> ulongs_reply(const Bytes& reply);  // GetAliasMembership
Result<std::vector<uint32_t>> groups_reply(const Bytes& reply);  // GetGroupsForUser

struct Translated {
    SidUsage use = SidUsage::Unknown;
    String domain;  // the referenced domain's name; empty when none
    String name;
    Sid sid;  // the account's SID (LookupNames)
};

// A remote handle closed when this goes.
class Handle {
  public:
    Handle(Session& session, const std::string& host, Pipe pipe, uint32_t close_op)
        : session_(session), host_(host), pipe_(pipe), close_op_(close_op) {}
    ~Handle();
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ContextHandle h;

  private:
    Session& session_;
    std::string host_;
    Pipe pipe_;
    uint32_t close_op_;
};

// The SAM of one server, domain handles opened on first use.
class SamClient {
  public:
    SamClient(Session& session, std::string host);
    // The account domain (builtin false) or BUILTIN.
    Result<const ContextHandle*> domain(bool builtin);
    Result<Sid> domain_sid(bool builtin);
    // A local group by name in the account domain or BUILTIN: which domain,
    // and its RID; 2220 when neither has one.
    struct Found {
        bool builtin = false;
        uint32_t rid = 0;
        SidUsage use = SidUsage::Unknown;
    };
    Result<Found> find(StringView name, bool alias);
    // Opens the object `rid` of a domain (OpenAlias / OpenUser).
    Status open(bool builtin, uint32_t open_op, uint32_t rid, Handle& out);
    // A call whose reply is a status only.
    Result<Bytes> call(uint32_t opnum, const Bytes& request);

  private:
    Session& session_;
    std::string host_;
    Handle connect_;
    Handle account_, builtin_;
    Sid account_sid_;
};

// The LSA of one server: names of SIDs and SIDs of names, an entry per one
// asked (`use` Unknown for those the server does not know).
Result<std::vector<Translated>> lookup_sids(Session& session, const std::string& host,
                                            const std::vector<Sid>& sids);
Result<std::vector<Translated>> lookup_names(Session& session, const std::string& host,
                                             const std::vector<String>& names);

}  // namespace vorlek::platform::remote::sam
