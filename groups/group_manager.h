// GroupManager: the global groups of a domain and the local groups of a
// machine. One object describes one group; InitGroups fills Groups with the
// groups of a machine, of a user, or the group members of a local group.
#pragma once

#include <memory>

#include "automation/collection.h"
#include "computers/machine_names.h"
#include "platform/accounts.h"

namespace vorlek {

class GroupManager : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    static constexpr size_t kMaxName = 256;
    // AddMember and RemoveMember on an object that describes no group.
    static constexpr int32_t kGroupNotValid = 425;

    Ref<Collection> Groups();
    void SetGroupName(String value);
    String GroupName() const { return name_; }
    void SetGroupComment(String value);
    String GroupComment() const { return comment_; }
    void SetComputer(String value);
    String Computer() const { return computer(); }
    void SetIsLocal(bool value);
    bool IsLocal() const { return is_local_; }
    bool Manatory() const { return mandatory_; }
    bool Enabled() const { return enabled_; }
    bool EnabledByDefault() const { return enabled_by_default_; }
    int32_t GroupID() const { return group_id_; }
    String DomainName() const { return domain_name(); }
    int32_t LastError() const { return last_error_; }
    bool Valid() const { return valid_; }

    // Groups may come to hold this object (a script adds it to its own list).
    void visit_references(ReferenceVisitor& visit) const override {
        if (groups_) visit(*groups_);
    }
    void drop_references() noexcept override { auto dropped = std::move(groups_); }

    int32_t InitGroups(String strComputer, String strLocalGroup, String strUser,
                       bool booEnumIndirectMembership);
    int32_t GetGroupInfo(String strGroupName, String strComputer);
    int32_t Create();
    int32_t DeleteGroup(String strGroupName, String strComputer);
    int32_t AddMember(Ref<Object> objAccount) { return change_member(objAccount, true); }
    int32_t RemoveMember(Ref<Object> objAccount) { return change_member(objAccount, false); }

  private:
    void reset();
    struct Place;
    // Reads the group `name_` of Computer as a global or a local group; 0 or
    // the status that stopped it. The items of one listing share `names`,
    // and `shared` the place the item before took.
    int32_t load(bool local, StringView domain, machines::ListingNames* names = nullptr,
                 std::shared_ptr<const Place>* shared = nullptr);
    int32_t change_member(const Ref<Object>& account, bool add);
    // NetLocalGroupSetInfo or NetGroupSetInfo, as the group is.
    int32_t set_info(uint32_t level, const platform::GroupInfo& record);

    // The computer and domain a group names, shared by the items of a listing.
    struct Place {
        String computer;
        String domain;
    };
    const String& computer() const;
    const String& domain_name() const;
    void set_place(StringView computer, StringView domain);

    Ref<Collection> groups_;
    String name_;
    String comment_;
    std::shared_ptr<const Place> place_;
    int32_t group_id_ = 0;
    int32_t last_error_ = 0;
    bool is_local_ = false;
    bool mandatory_ = false;
    bool enabled_ = false;
    bool enabled_by_default_ = false;
    bool valid_ = false;
};

}  // namespace vorlek
