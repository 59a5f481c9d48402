// Accounts on a remote server: not reached yet; every operation answers 50.
#include "platform/accounts.h"

#include "platform/remote/areas.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace vorlek::platform::remote {

namespace {

class RemoteAccounts final : public platform::Accounts {
  public:
    Result<Batch<String>> enum_users(StringView server, uint32_t filter, uint32_t preferred_bytes,
                                     uint32_t& resume_handle) override {
        return {kNotSupported, {}};
    }
    Result<UserInfo> user_info(StringView server, StringView user, uint32_t level) override {
        return {kNotSupported, {}};
    }
    Status set_user_info(StringView server, StringView user, uint32_t level, const UserInfo& record,
                         uint32_t& parm_err) override {
        return kNotSupported;
    }
    Status add_user(StringView server, uint32_t level, const UserInfo& record,
                    uint32_t& parm_err) override {
        return kNotSupported;
    }
    Status delete_user(StringView server, StringView user) override { return kNotSupported; }
    Result<Batch<String>> user_groups(StringView server, StringView user,
                                      uint32_t preferred_bytes) override {
        return {kNotSupported, {}};
    }
    Result<Batch<String>> user_local_groups(StringView server, StringView user, uint32_t flags,
                                            uint32_t preferred_bytes) override {
        return {kNotSupported, {}};
    }
    Result<Batch<String>> enum_groups(StringView server, uint32_t preferred_bytes,
                                      uint32_t& resume_handle) override {
        return {kNotSupported, {}};
    }
    Result<GroupInfo> group_info(StringView server, StringView group, uint32_t level) override {
        return {kNotSupported, {}};
    }
    Status set_group_info(StringView server, StringView group, uint32_t level,
                          const GroupInfo& record, uint32_t& parm_err) override {
        return kNotSupported;
    }
    Status add_group(StringView server, uint32_t level, const GroupInfo& record,
                     uint32_t& parm_err) override {
        return kNotSupported;
    }
    Status delete_group(StringView server, StringView group) override { return kNotSupported; }
    Status add_group_user(StringView server, StringView group, StringView user) override {
        return kNotSupported;
    }
    Status delete_group_user(StringView server, StringView group, StringView user) override {
        return kNotSupported;
    }
    Result<Batch<String>> group_users(StringView server, StringView group, uint32_t preferred_bytes,
                                      uint32_t& resume_handle) override {
        return {kNotSupported, {}};
    }
    Result<Batch<String>> enum_local_groups(StringView server, uint32_t preferred_bytes,
                                            uint32_t& resume_handle) override {
        return {kNotSupported, {}};
    }
    Result<GroupInfo> local_group_info(StringView server, StringView group,
                                       uint32_t level) override {
        return {kNotSupported, {}};
    }
    Status set_local_group_info(StringView server, StringView group, uint32_t level,
                                const GroupInfo& record, uint32_t& parm_err) override {
        return kNotSupported;
    }
    Status add_local_group(StringView server, uint32_t level, const GroupInfo& record,
                           uint32_t& parm_err) override {
        return kNotSupported;
    }
    Status delete_local_group(StringView server, StringView group) override {
        return kNotSupported;
    }
    Status add_local_group_members(StringView server, StringView group,
                                   const std::vector<String>& members) override {
        return kNotSupported;
    }
    Status delete_local_group_members(StringView server, StringView group,
                                      const std::vector<String>& members) override {
        return kNotSupported;
    }
    Result<Batch<LocalGroupMember>> local_group_members(StringView server, StringView group,
                                                        uint32_t preferred_bytes,
                                                        uint32_t& resume_handle) override {
        return {kNotSupported, {}};
    }
    Result<ModalsInfo> user_modals(StringView server, uint32_t level) override {
        return {kNotSupported, {}};
    }
    Status set_user_modals(StringView server, uint32_t level, const ModalsInfo& record,
                           uint32_t& parm_err) override {
        return kNotSupported;
    }
};

}  // namespace

std::shared_ptr<Accounts> make_accounts(const Context&) {
    return std::make_shared<RemoteAccounts>();
}

}  // namespace vorlek::platform::remote
