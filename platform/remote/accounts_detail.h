// The machine-free parts of the remote accounts area, for its tests.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/accounts.h"
#include "platform/remote/samr.h"

namespace vorlek::platform::remote::detail {

// What a name the library could not resolve names, for the code Windows
// gives: a user (2221), a global group or a local group (2220), or nothing
// (the library's code stays).
enum class Absent { User, Group, LocalGroup, Keep };
// The library's 1003 (it could not connect) stays for the caller to tell why.
Status library_status(uint32_t rc, Absent absent);
// NetGroupAddUser / DelUser: which name is missing (the library does not
// say), 2236 / 2237 for a member that already is / is not one.
Status group_user_status(uint32_t rc, bool group_exists);
// A creation's status: 2224 / 2223 where the SAM says a user / group has
// the name.
Status taken_status(uint32_t rc);

// A member of a local group as NetLocalGroupGetMembers level 2 gives it:
// "DOMAIN\name", the SID's text for an account nobody knows.
LocalGroupMember member_of(const Sid& sid, const sam::Translated& name);
// What a batch of `preferred` bytes holds from `resume_handle` on (at least
// one entry); 234 while more follow.
uint32_t batch_bytes(const LocalGroupMember& m);
Result<Batch<LocalGroupMember>> slice(std::vector<LocalGroupMember> all, uint32_t preferred,
                                      uint32_t& resume_handle);
// Why a name cannot be a local group's member: 1387 nobody knows it, 1388 it
// is a local group, a domain or otherwise no account; 0 when it can.
Status member_refusal(SidUsage use);
// 1378 when adding a member already there, 1377 when removing one that is
// not; 0 when every change applies.
Status membership_conflict(const std::vector<Sid>& current, const std::vector<Sid>& asked,
                           bool add);

}  // namespace vorlek::platform::remote::detail
