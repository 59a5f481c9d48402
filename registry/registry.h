// Registry: one object opens one hive (a predefined root, locally or on
// another machine), then one key below it at a time; it lists the key's
// sub-keys and values as collections of further Registry objects, reads,
// writes, creates and deletes values and keys, and reads and writes string
// values in one shot by their full path.
#pragma once

#include <memory>

#include "automation/collection.h"
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

    // The listings may hold this object (a client can add it), so they are
    // reported for the cycle collector.
    void visit_references(ReferenceVisitor& visit) const override {
        for (const Ref<Collection>* c : {&sub_keys_, &values_, &rights_, &audits_}) {
            if (*c) visit(**c);
        }
    }
    void drop_references() noexcept override {
        auto a = std::move(sub_keys_), b = std::move(values_), c = std::move(rights_),
             d = std::move(audits_);
    }

    int32_t RegKeyRootHandle() const { return root_handle_; }
    String RegKeyPath() const { return key_path_; }
    String RegKeyRoot() const { return root_name_; }
    String RegMachine() const { return machine_; }
    String RegKeyClass() const { return key_class_; }
    String RegKeyName() const { return key_name_; }
    String RegOwner() const { return text_of(&SecurityText::owner); }
    String RegOwnerDomain() const { return text_of(&SecurityText::owner_domain); }
    String RegPrimaryGroup() const { return text_of(&SecurityText::group); }
    String RegPrimaryGroupDomain() const { return text_of(&SecurityText::group_domain); }
    int32_t RegKeyNumSubKeys() const { return num_sub_keys_; }
    int32_t RegKeyMaxSubKeyLen() const { return max_sub_key_len_; }
    int32_t RegKeyMaxClassLen() const { return max_class_len_; }
    int32_t RegKeyNumValues() const { return num_values_; }
    int32_t RegKeyMaxValueNameLen() const { return max_value_name_len_; }
    int32_t RegKeyMaxValueLen() const { return max_value_len_; }
    Date RegKeyWriteTime() const { return write_time_; }
    String RegValueName() const { return value_name_; }
    Variant RegValue() const { return value_; }
    int32_t RegValueType() const { return value_type_; }
    String RegValueTypeStr() const { return value_type_text_; }
    String RegRightUser() const { return text_of(&SecurityText::right_user); }
    String RegRightUserDomain() const { return text_of(&SecurityText::right_user_domain); }
    String RegRightStr() const { return text_of(&SecurityText::right_text); }
    String RegRightTypeStr() const { return text_of(&SecurityText::right_type_text); }
    String RegRightFlagsStr() const { return text_of(&SecurityText::right_flags_text); }
    Ref<Collection> RegSubKeys() const { return or_empty(sub_keys_); }
    Ref<Collection> RegValues() const { return or_empty(values_); }
    Ref<Collection> RegRights() const { return or_empty(rights_); }
    Ref<Collection> RegAudits() const { return or_empty(audits_); }

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
    // The letters of an access mask as the rights (or audits) list shows it.
    static String rights_text(uint8_t ace_type, uint32_t mask, bool audits);
    static String flags_text(uint8_t flags, bool audits);

  private:
    // The texts of the key's security, which most objects (the items of a
    // large listing) never fill: kept apart, made on first use.
    struct SecurityText {
        String owner, owner_domain, group, group_domain;
        String right_user, right_user_domain, right_text, right_type_text, right_flags_text;
    };
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

    int32_t root_handle_ = 0;
    int32_t key_handle_ = 0;
    String key_path_;
    String root_name_;
    String machine_;
    String key_name_;
    std::unique_ptr<SecurityText> security_;
    String key_class_;
    int32_t num_sub_keys_ = 0;
    int32_t max_sub_key_len_ = 0;
    int32_t max_class_len_ = 0;
    int32_t num_values_ = 0;
    int32_t max_value_name_len_ = 0;
    int32_t max_value_len_ = 0;
    Date write_time_;
    String value_name_;
    Variant value_;
    int32_t value_type_ = 0;
    String value_type_text_;
    Ref<Collection> sub_keys_, values_, rights_, audits_;
};

}  // namespace vorlek
