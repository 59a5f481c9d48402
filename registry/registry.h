// Registry: one object opens one hive (a predefined root, locally or on
// another machine), then one key below it at a time; it lists the key's
// sub-keys and values as collections of further Registry objects, reads,
// writes, creates and deletes values and keys, and reads and writes string
// values in one shot by their full path.
#pragma once

#include <memory>

#include "automation/collection.h"
#include "automation/packed_texts.h"
#include "platform/registry.h"

namespace vorlek {

class DllClass;

class Registry : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    static constexpr int32_t kAlreadyOpen = 17;
    static constexpr int32_t kExisted = -9999;
    static constexpr size_t kEnumBuffer = 1024;
    static constexpr uint32_t kClassBuffer = 255;
    static constexpr uint8_t kNoTypeText = 0xFF, kUnknownText = 0xFE;

    // The listings may hold this object (a client can add it), so they are
    // reported for the cycle collector.
    void visit_references(ReferenceVisitor& visit) const override {
        for (const Ref<Collection>* c : {&sub_keys_, &values_}) {
            if (*c) visit(**c);
        }
        if (security_) {
            for (const Ref<Collection>* c : {&security_->rights, &security_->audits}) {
                if (*c) visit(**c);
            }
        }
    }
    void drop_references() noexcept override {
        auto a = std::move(sub_keys_), b = std::move(values_);
        if (security_) {
            auto c = std::move(security_->rights), d = std::move(security_->audits);
        }
    }

    int32_t RegKeyRootHandle() const { return root_handle_; }
    String RegKeyPath() const;
    String RegKeyRoot() const { return place_ ? place_->root_name : String(); }
    String RegMachine() const { return place_ ? place_->machine : String(); }
    String RegKeyClass() const { return stats_ ? stats_->key_class : String(); }
    String RegKeyName() const { return String(names_[kKeyName]); }
    String RegOwner() const { return text_of(&SecurityText::owner); }
    String RegOwnerDomain() const { return text_of(&SecurityText::owner_domain); }
    String RegPrimaryGroup() const { return text_of(&SecurityText::group); }
    String RegPrimaryGroupDomain() const { return text_of(&SecurityText::group_domain); }
    int32_t RegKeyNumSubKeys() const { return stat(&KeyStats::sub_keys); }
    int32_t RegKeyMaxSubKeyLen() const { return stat(&KeyStats::max_sub_key_len); }
    int32_t RegKeyMaxClassLen() const { return stat(&KeyStats::max_class_len); }
    int32_t RegKeyNumValues() const { return stat(&KeyStats::values); }
    int32_t RegKeyMaxValueNameLen() const { return stat(&KeyStats::max_value_name_len); }
    int32_t RegKeyMaxValueLen() const { return stat(&KeyStats::max_value_len); }
    Date RegKeyWriteTime() const { return write_time_; }
    String RegValueName() const { return String(names_[kValueName]); }
    Variant RegValue() const { return value_; }
    int32_t RegValueType() const { return value_type_; }
    String RegValueTypeStr() const;
    String RegRightUser() const { return text_of(&SecurityText::right_user); }
    String RegRightUserDomain() const { return text_of(&SecurityText::right_user_domain); }
    String RegRightStr() const { return text_of(&SecurityText::right_text); }
    String RegRightTypeStr() const { return text_of(&SecurityText::right_type_text); }
    String RegRightFlagsStr() const { return text_of(&SecurityText::right_flags_text); }
    Ref<Collection> RegSubKeys() const { return or_empty(sub_keys_); }
    Ref<Collection> RegValues() const { return or_empty(values_); }
    Ref<Collection> RegRights() const { return or_empty(security_ ? security_->rights : nullptr); }
    Ref<Collection> RegAudits() const { return or_empty(security_ ? security_->audits : nullptr); }

    int32_t OpenRegistry(int32_t lngHKey, String strMachine);
    int32_t OpenRegKey(int32_t lngDesAccess, String strKey);
    int32_t CloseRegKey();
    int32_t CloseRegistry();
    Variant InitRegSubKeys();
    Variant InitRegValues();
    int32_t SaveRegKey(String strPath);
    int32_t LoadRegKey(String strPath, String strKeyName);
    int32_t UnloadRegKey(String strKeyName);
    int32_t RestoreRegKey(String strPath, bool booVolatile);
    int32_t SetRegValue(String strName, int32_t lngType, Variant varData);
    int32_t GetRegValueInfo(String strName);
    int32_t DeleteRegSubKey(String strKeyName);
    int32_t DeleteRegValue(String strValueName);
    int32_t CreateRegSubKey(String strKeyName, bool booVolatile, String strClass);
    int32_t GetRegKeyOwner();
    int32_t InitRegRights();
    int32_t InitRegAudits();
    int32_t GetRegKeyPrimaryGroup();
    String GetRegValueSZ(String strComputer, String strKey, String strValue, String strDefault);
    int32_t SetRegValueSZ(String strComputer, String strKey, String strValueName, String strValue,
                          int32_t lngType);

    // The text of a value-type code ("R_SZ", ..., "unknown").
    static StringView value_type_name(int32_t type);
    // Its place in the type names, kept by objects instead of the text.
    static uint8_t type_text_index(int32_t type);
    // The letters of an access mask as the rights (or audits) list shows it.
    static String rights_text(uint8_t ace_type, uint32_t mask, bool audits);
    static String flags_text(uint8_t flags, bool audits);
    // The name of an entry type ("ACCESS_ALLOWED_ACE_TYPE", ...).
    static StringView ace_type_name(uint8_t type);

  private:
    // The texts of the key's security, which most objects (the items of a
    // large listing) never fill: kept apart, made on first use.
    struct SecurityText {
        String owner, owner_domain, group, group_domain;
        String right_user, right_user_domain, right_text, right_type_text, right_flags_text;
        Ref<Collection> rights, audits;
    };
    // The hive's names, shared by the items of a listing with the object
    // that listed them; a sub-key item's path is `parent_path`\its name
    // until something sets a path of its own.
    struct Place {
        String root_name;
        String machine;
        String parent_path;
    };
    // What the key information query reads; only an object with a key open
    // for queries, or a sub-key item with a class, has it.
    struct KeyStats {
        String key_class;
        int32_t sub_keys = 0, max_sub_key_len = 0, max_class_len = 0;
        int32_t values = 0, max_value_name_len = 0, max_value_len = 0;
    };
    int32_t stat(int32_t KeyStats::*field) const { return stats_ ? (*stats_).*field : 0; }
    KeyStats& stats() {
        if (!stats_) stats_ = std::make_unique<KeyStats>();
        return *stats_;
    }
    String key_path() const { return RegKeyPath(); }
    // A path, root name or machine of the object's own; a derived path is
    // kept as it reads.
    void set_key_path(String path);
    void set_place(String root_name, String machine);
    String text_of(String SecurityText::*field) const {
        return security_ ? (*security_).*field : String();
    }
    SecurityText& security() {
        if (!security_) security_ = std::make_unique<SecurityText>();
        return *security_;
    }

    static Ref<Collection> or_empty(const Ref<Collection>& c) { return c ? c : make<Collection>(); }
    platform::RegKey key() const { return static_cast<platform::RegKey>(key_handle_); }
    platform::RegKey root() const { return static_cast<platform::RegKey>(root_handle_); }
    int32_t query_key_info(DllClass& dll);
    // Loads the value fields (of this object or an item) from a value's type
    // and data as the platform gave them.
    void load_value(String name, uint32_t type, const std::vector<uint8_t>& data);
    void load_unknown(String name, uint32_t type);
    // The owner or group part of the key's descriptor as account and domain,
    // into `user` and `domain`; they keep their values on failure.
    int32_t read_account(uint32_t information, String& user, String& domain);
    // An item for one entry of the rights or audits list: its type, account
    // and texts; null when the account cannot be looked up (`status` says why).
    static Ref<Registry> entry_item(const platform::Ace& a, bool audits, int32_t& status);
    // A hive-file call under `privilege` (see SaveRegKey).
    template <class Call>
    int32_t privileged(StringView privilege, Call call);

    // Listings hold many of these objects: rarely set state lives apart,
    // made when first set, and what every item of a listing has in common
    // is shared.
    int32_t root_handle_ = 0;
    int32_t key_handle_ = 0;
    std::shared_ptr<const Place> place_;
    // The key path when it is the object's own (not a listed sub-key's).
    std::unique_ptr<String> key_path_;
    bool path_below_place_ = false;
    // Index into the type names; kNoTypeText: none, kUnknownText: "unknown".
    uint8_t value_type_text_ = kNoTypeText;
    int32_t value_type_ = 0;
    std::unique_ptr<KeyStats> stats_;
    std::unique_ptr<SecurityText> security_;
    Date write_time_;
    // The key's name and the value's: one block (a listed item has one of them).
    enum Name : size_t { kKeyName, kValueName };
    PackedTexts<2> names_;
    Variant value_;
    Ref<Collection> sub_keys_, values_;
};

}  // namespace vorlek
