#include "groups/group_manager.h"

#include "automation/text.h"
#include "computers/machine_names.h"
#include "platform/accounts.h"
#include "platform/batches.h"
#include "platform/platform.h"
#include "policy/modals_manager.h"
#include "users/account_text.h"
#include "users/user_manager.h"

namespace vorlek {

namespace {

constexpr uint32_t kLevelName = 0, kLevelNameComment = 1, kLevelAll = 2, kLevelComment = 1002;
// Global group attributes (SE_GROUP_...).
constexpr uint32_t kMandatory = 0x1, kEnabledByDefault = 0x2, kEnabled = 0x4;

platform::Accounts& accounts() {
    return platform::current().accounts();
}

bool name_fits(StringView name) {
    return !name.empty() && name.size() <= GroupManager::kMaxName;
}

}  // namespace

const ClassInfo& GroupManager::info() {
    static const ClassInfo info = [] {
        static constexpr StringView kComputerHelp =
            u"Returns or sets the computername of a GroupManager object";
        static constexpr StringView kLocalHelp = u"Specifies whether a group is local or global";
        static constexpr StringView kAttributeHelp = u"Hard-coded attribute of a global group";
        ClassBuilder<GroupManager> b(u"GroupManager");
        b.get<&GroupManager::Groups>(
             u"Groups", {}, u"Collection of GroupManager objects on a local or remote machine")
            .let<&GroupManager::SetGroupName>(u"GroupName", u"Name of a group")
            .get<&GroupManager::GroupName>(u"GroupName", {}, u"Name of a group")
            .let<&GroupManager::SetGroupComment>(u"GroupComment",
                                                 u"Comment of a local or global group")
            .get<&GroupManager::GroupComment>(u"GroupComment", {},
                                              u"Comment of a local or global group")
            .let<&GroupManager::SetComputer>(u"Computer", kComputerHelp)
            .get<&GroupManager::Computer>(u"Computer", {}, kComputerHelp)
            .let<&GroupManager::SetIsLocal>(u"IsLocal", kLocalHelp)
            .get<&GroupManager::IsLocal>(u"IsLocal", {}, kLocalHelp)
            .get<&GroupManager::Manatory>(u"Manatory", {}, kAttributeHelp)
            .get<&GroupManager::Enabled>(u"Enabled", {}, kAttributeHelp)
            .get<&GroupManager::EnabledByDefault>(u"EnabledByDefault", {}, kAttributeHelp)
            .get<&GroupManager::GroupID>(u"GroupID", {}, u"Unique ID of a global group")
            .get<&GroupManager::DomainName>(
                u"DomainName", {}, u"Returns the domain name of a valid GroupManager object")
            .get<&GroupManager::LastError>(u"LastError", {}, u"Common property of this class")
            .get<&GroupManager::Valid>(
                u"Valid", {}, u"Specifies whether a GroupManger object represents a valid group")
            .method<&GroupManager::InitGroups>(
                u"InitGroups",
                {optional(u"strComputer", u""), optional(u"strLocalGroup", u""),
                 optional(u"strUser", u""), optional(u"booEnumIndirectMembership", false)},
                u"Inits the collection Groups of this class")
            .method<&GroupManager::GetGroupInfo>(
                u"GetGroupInfo", {param(u"strGroupName"), optional(u"strComputer", u"")},
                u"Inits the properties of a GroupManager object ")
            .method<&GroupManager::Create>(u"Create", {},
                                           u"Create a group on the specified computer")
            .method<&GroupManager::DeleteGroup>(
                u"DeleteGroup", {param(u"strGroupName"), optional(u"strComputer", u"")},
                u"Deletes a group on the specified computer")
            .method<&GroupManager::AddMember>(u"AddMember", {param(u"objAccount")},
                                              u"Adds a member to the specified group")
            .method<&GroupManager::RemoveMember>(u"RemoveMember", {param(u"objAccount")},
                                                 u"Removes a member from a group");
        return b.build();
    }();
    return info;
}

Ref<Collection> GroupManager::Groups() {
    return groups_ ? groups_ : make<Collection>();
}

// ---------------------------------------------------------------------------
// Reading a group

const String& GroupManager::computer() const {
    static const String none;
    return place_ ? place_->computer : none;
}

const String& GroupManager::domain_name() const {
    static const String none;
    return place_ ? place_->domain : none;
}

void GroupManager::set_place(StringView computer, StringView domain) {
    if (place_ && place_->computer == computer && place_->domain == domain) return;
    place_ = std::make_shared<const Place>(Place{String(computer), String(domain)});
}

void GroupManager::reset() {
    name_.clear();
    comment_.clear();
    place_.reset();
    is_local_ = mandatory_ = enabled_ = enabled_by_default_ = false;
    group_id_ = 0;
    valid_ = false;
}

int32_t GroupManager::load(bool local, StringView domain, machines::ListingNames* names,
                           std::shared_ptr<const Place>* shared) {
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        valid_ = false;
        is_local_ = local;
        std::optional<machines::ListingNames> own;
        if (!names) names = &own.emplace();
        const String asked = computer();
        const String& target = names->normalized_target(asked);
        // Items of a listing take the place of the item before when it names
        // the same computer and domain.
        if (shared && *shared) place_ = *shared;
        set_place(asked.empty() ? StringView(names->local_machine_name()) : StringView(asked),
                  domain);
        if (shared) *shared = place_;
        auto read = local ? accounts().local_group_info(target, name_, kLevelNameComment)
                          : accounts().group_info(target, name_, kLevelAll);
        if (!read.ok()) {
            status = as_long(read.status);
            return;
        }
        const auto& g = read.value;
        // A load only ever sets the attributes; the reset before it clears them.
        if (!local) {
            if (g.attributes & kEnabled) enabled_ = true;
            if (g.attributes & kEnabledByDefault) enabled_by_default_ = true;
            if (g.attributes & kMandatory) mandatory_ = true;
            group_id_ = as_long(g.group_id);
        }
        comment_ = g.comment;
        name_ = g.name;
        valid_ = true;
    });
    return rc != 0 ? rc : status;
}

int32_t GroupManager::GetGroupInfo(String strGroupName, String strComputer) {
    String domain;
    if (int32_t rc = read_account_domain(strComputer, domain)) return rc;
    reset();
    if (strGroupName.empty()) return err::kBadArgument;
    name_ = std::move(strGroupName);
    set_place(strComputer, {});
    int32_t status = load(false, domain);
    if (status == as_long(platform::status::kGroupNotFound)) {
        set_place(strComputer, {});
        status = load(true, domain);
    }
    return status;
}

int32_t GroupManager::InitGroups(String strComputer, String strLocalGroup, String strUser,
                                 bool booEnumIndirectMembership) {
    groups_ = make<Collection>();
    String domain;
    if (int32_t rc = read_account_domain(strComputer, domain)) return rc;
    const String target = machines::plain_target(strComputer);
    const bool members_mode = !strLocalGroup.empty();
    const bool user_mode = !members_mode && !strUser.empty();
    auto& store = accounts();

    int32_t status = 0;
    machines::ListingNames names;
    // The place every item starts from, and the one the last item took.
    const auto asked = std::make_shared<const Place>(Place{strComputer, {}});
    std::shared_ptr<const Place> shared;
    String key_text;  // one buffer for the keys of all items
    // One item per group; false when it ends the enumeration. `unknown_ok`
    // keeps a group the machine does not know (of another domain) as a named
    // item that is not valid.
    const auto add_item = [&](StringView name, bool local, StringView group_domain, StringView key,
                              bool unknown_ok) {
        auto item = make<GroupManager>();
        item->name_ = String(name);
        item->place_ = asked;
        const int32_t rc = item->load(local, group_domain, &names, &shared);
        if (rc != 0 && !(unknown_ok && rc == as_long(platform::status::kGroupNotFound))) {
            status = rc;
            return false;
        }
        if (key.empty() && local) {
            key = item->name_;
        } else if (key.empty()) {
            key_text.assign(item->domain_name());
            key_text += u'\\';
            key_text += item->name_;
            key = key_text;
        }
        status = attempt([&] { groups_->add(Variant(std::move(item)), key); });
        return status == 0;
    };
    const auto global_entry = [&](const String& entry) {
        return add_item(trim_spaces(entry), false, domain, {}, false);
    };
    const auto local_entry = [&](const String& entry) {
        return add_item(trim_spaces(entry), true, domain, {}, false);
    };
    // Room for a batch's items and their keys (a global group's with the
    // domain and a backslash) before they are added.
    const auto with_room = [&](auto batch, bool local) {
        const size_t prefix = local ? 0 : domain.size() + 1;
        groups_->make_room_for(batch.value, [&](const String& e) { return prefix + e.size(); });
        return batch;
    };

    platform::Status listed;
    if (members_mode) {
        listed = platform::walk_batches(
            [&](uint32_t& resume) {
                return store.local_group_members(target, strLocalGroup,
                                                 platform::kMaxPreferredLength, resume);
            },
            [&](const platform::LocalGroupMember& m) {
                using platform::SidUsage;
                if (m.usage != SidUsage::Group && m.usage != SidUsage::WellKnownGroup &&
                    m.usage != SidUsage::DeletedAccount && m.usage != SidUsage::Invalid &&
                    m.usage != SidUsage::Unknown)
                    return true;
                const String name = trim_spaces(m.domain_and_name);
                if (name.find(u'\\') == String::npos) {
                    status = err::kInvalidCall;
                    return false;
                }
                const auto [group_domain, group] = users::split_account(name);
                return add_item(group, false, group_domain, name, true);
            });
        if (status != 0) return status;
        return as_long(listed);
    }
    if (user_mode) {
        listed = platform::walk_batches(
            [&](uint32_t&) {
                return with_room(store.user_groups(target, strUser, platform::kMaxPreferredLength),
                                 false);
            },
            global_entry);
    } else {
        listed = platform::walk_batches(
            [&](uint32_t& resume) {
                return with_room(store.enum_groups(target, platform::kMaxPreferredLength, resume),
                                 false);
            },
            global_entry);
    }
    if (status != 0) return status;
    if (listed != platform::status::kSuccess) return as_long(listed);
    if (user_mode) {
        const uint32_t flags = booEnumIndirectMembership ? platform::kLgIncludeIndirect : 0;
        listed = platform::walk_batches(
            [&](uint32_t&) {
                return with_room(
                    store.user_local_groups(target, strUser, flags, platform::kMaxPreferredLength),
                    true);
            },
            local_entry);
    } else {
        listed = platform::walk_batches(
            [&](uint32_t& resume) {
                return with_room(
                    store.enum_local_groups(target, platform::kMaxPreferredLength, resume), true);
            },
            local_entry);
    }
    if (status != 0) return status;
    return as_long(listed);
}

// ---------------------------------------------------------------------------
// Writing through, creating and deleting

int32_t GroupManager::set_info(uint32_t level, const platform::GroupInfo& record) {
    const String target = machines::normalized_target(computer());
    uint32_t parm_err = 0;
    return as_long(is_local_
                       ? accounts().set_local_group_info(target, name_, level, record, parm_err)
                       : accounts().set_group_info(target, name_, level, record, parm_err));
}

void GroupManager::SetComputer(String value) {
    last_error_ = 0;
    if (domain_name().empty() && !valid_) set_place(value, {});
}

void GroupManager::SetIsLocal(bool value) {
    last_error_ = 0;
    if (domain_name().empty() && !valid_) is_local_ = value;
}

void GroupManager::SetGroupName(String value) {
    const String old = name_;
    last_error_ = 0;
    if (!valid_) {
        if (domain_name().empty()) name_ = std::move(value);
        return;
    }
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        if (!name_fits(value)) {
            status = err::kBadArgument;
            return;
        }
        platform::GroupInfo record;
        record.name = value;
        status = set_info(kLevelName, record);
        if (status != 0) return;
        name_ = value;
        status = load(is_local_, String(domain_name()));
    });
    if (rc != 0) status = rc;
    if (status != 0) {
        name_ = old;
        last_error_ = status;
    }
}

void GroupManager::SetGroupComment(String value) {
    last_error_ = 0;
    if (!valid_) {
        if (domain_name().empty()) comment_ = std::move(value);
        return;
    }
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        platform::GroupInfo record;
        record.comment = value;
        status = set_info(kLevelComment, record);
        if (status == 0) status = load(is_local_, String(domain_name()));
    });
    if (rc != 0) status = rc;
    if (status != 0) last_error_ = status;
}

int32_t GroupManager::Create() {
    const String target = machines::normalized_target(computer());
    String domain;
    if (int32_t rc = read_account_domain(target, domain)) return rc;
    if (!name_fits(name_)) return err::kBadArgument;
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        platform::GroupInfo record;
        record.name = name_;
        record.comment = comment_;
        uint32_t parm_err = 0;
        status = as_long(
            is_local_ ? accounts().add_local_group(target, kLevelNameComment, record, parm_err)
                      : accounts().add_group(target, kLevelNameComment, record, parm_err));
        if (status != 0) return;
        const String name = name_, asked = computer();
        const bool local = is_local_;
        reset();
        name_ = name;
        set_place(asked, {});
        is_local_ = local;
        status = load(local, domain);
    });
    return rc != 0 ? rc : status;
}

int32_t GroupManager::DeleteGroup(String strGroupName, String strComputer) {
    if (strGroupName.empty()) return err::kBadArgument;
    const String target = machines::normalized_target(strComputer);
    auto status = accounts().delete_group(target, strGroupName);
    if (status == platform::status::kGroupNotFound)
        status = accounts().delete_local_group(target, strGroupName);
    return as_long(status);
}

int32_t GroupManager::change_member(const Ref<Object>& account, bool add) {
    String name, domain;
    bool account_valid = false;
    if (auto user = ref_cast<UserManager>(account)) {
        name = user->UserName();
        domain = user->DomainName();
        account_valid = user->Valid();
    } else if (auto group = ref_cast<GroupManager>(account)) {
        name = group->name_;
        domain = group->domain_name();
        account_valid = group->valid_;
    }
    if (!account_valid) return err::kBadArgument;  // no object, a foreign one, or not valid
    if (!valid_) return kGroupNotValid;
    const String target = machines::normalized_target(computer());
    platform::Status status;
    if (is_local_) {
        const std::vector<String> members{domain + u"\\" + name};
        status = add ? accounts().add_local_group_members(target, name_, members)
                     : accounts().delete_local_group_members(target, name_, members);
    } else {
        status = add ? accounts().add_group_user(target, name_, name)
                     : accounts().delete_group_user(target, name_, name);
    }
    return as_long(status);
}

}  // namespace vorlek
