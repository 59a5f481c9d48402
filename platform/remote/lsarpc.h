// The requests and replies of the local security authority's interface
// (lsarpc) that the backend makes: policies, account rights and the
// translation between names and SIDs. Each request is the NDR of the call's
// [in] parameters; each reader takes the [out] parameters apart and answers
// the call's status as a Windows code (1783 for a reply that does not parse).
#pragma once

#include <cstdint>
#include <vector>

#include "automation/string.h"
#include "platform/remote/ndr.h"
#include "platform/remote/session.h"
#include "platform/security.h"

namespace vorlek::platform::remote::lsarpc {

// Operation numbers.
constexpr uint32_t kClose = 0x00, kLookupNames = 0x0E, kLookupSids = 0x0F,
                   kEnumAccountsWithUserRight = 0x23, kEnumAccountRights = 0x24,
                   kAddAccountRights = 0x25, kRemoveAccountRights = 0x26, kOpenPolicy2 = 0x2C,
                   kLookupNames3 = 0x44;

// RPC_X_BAD_STUB_DATA: what a reply that does not parse answers.
constexpr Status kBadReply = 1783;
// The most names or SIDs one lookup takes.
constexpr size_t kMaxLookup = 1000;

Bytes open_policy2(StringView system, uint32_t access);
Status read_open_policy2(const Bytes& reply, ContextHandle& handle);

Bytes close(const ContextHandle& handle);
// A reply of the call's status alone (close's handle is skipped).
Status read_close(const Bytes& reply);
Status read_status(const Bytes& reply);

Bytes enum_accounts_with_right(const ContextHandle& policy, StringView right);
Status read_enum_accounts_with_right(const Bytes& reply, std::vector<Sid>& sids);

// The rights an account holds; 2 for one that holds none there.
Bytes enum_account_rights(const ContextHandle& policy, const Sid& account);
Status read_enum_account_rights(const Bytes& reply, std::vector<String>& rights);

Bytes add_account_rights(const ContextHandle& policy, const Sid& account,
                         const std::vector<String>& rights);
Bytes remove_account_rights(const ContextHandle& policy, const Sid& account, bool all,
                            const std::vector<String>& rights);

// One translated name or SID: the account with its domain; `usage` Unknown
// (and the status 1332 when none is mapped) for what the server did not know.
Bytes lookup_names3(const ContextHandle& policy, const std::vector<String>& names);
Status read_lookup_names3(const Bytes& reply, std::vector<Account>& accounts);
// The same for servers older than LsarLookupNames3 (NT 4.0, Windows 2000):
// each SID is its domain's and a relative id.
Bytes lookup_names(const ContextHandle& policy, const std::vector<String>& names);
Status read_lookup_names(const Bytes& reply, std::vector<Account>& accounts);
Bytes lookup_sids(const ContextHandle& policy, const std::vector<Sid>& sids);
Status read_lookup_sids(const Bytes& reply, std::vector<Account>& accounts);

}  // namespace vorlek::platform::remote::lsarpc

namespace vorlek::platform::remote {

// Has the session's security area translate `sids` at `host` in one call,
// for the name lookups that follow (a listing of the holders of a right).
void prefetch_names(const Session& session, const std::string& host, const std::vector<Sid>& sids);

}  // namespace vorlek::platform::remote
