// LocalSecurer: the account rights of a machine's local security authority.
// InitPolicies fills Policies with one item per account that holds a right;
// AddPolicyRight grants the right named by the object's own properties to
// the account named there; DeletePolicyRight takes a right away.
#pragma once

#include "automation/collection.h"

namespace vorlek {

class LocalSecurer : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    // Results of the class's own.
    static constexpr int32_t kNoPolicy = -541;       // InitPolicies without a right name
    static constexpr int32_t kNoController = -544;   // no primary controller for the domain
    static constexpr int32_t kNoAccount = -545;      // no account named
    static constexpr int32_t kBadAccountSid = -546;  // the account's SID is not valid
    // What the listing and the changes open the policy for.
    static constexpr uint32_t kListAccess = 0x20801;
    static constexpr uint32_t kChangeAccess = 0x20FF9;
    // The text "(localhost)" and the domain "\??\" stand for no name.
    static constexpr StringView kLocalhost = u"(localhost)";
    static constexpr StringView kNoDomain = u"\\??\\";
    static constexpr StringView kNoneMapped = u"NONE_MAPPED";

    String GetPolicyStrings(String strSeperator);
    int32_t InitPolicies(String strPolicy, String strMachine);
    Variant AddPolicyRight();
    int32_t DeletePolicyRight(String strPolicy, String strAccount, String strDomain,
                              String strMachine);

    Ref<Collection> Policies();
    void SetPolicies(Ref<Collection> collection) {
        policies_ = std::move(collection);
        referenced(policies_.get());
    }
    // Policies may come to hold this object (a script adds it to its own list).
    void visit_references(ReferenceVisitor& visit) const override {
        if (policies_) visit(*policies_);
    }
    void drop_references() noexcept override { auto dropped = std::move(policies_); }

    String PolicyAccount() const { return account_; }
    void SetPolicyAccount(String value) { prepare(account_, std::move(value)); }
    String PolicyAccountType() const { return type_text_; }
    String PolicyAccountDomain() const { return domain_; }
    void SetPolicyAccountDomain(String value) { prepare(domain_, std::move(value)); }
    void SetComputer(String value) { prepare(computer_, std::move(value)); }
    String Computer() const { return computer_; }
    bool Valid() const { return valid_; }
    String PolicyString() const { return right_; }
    void SetPolicyString(String value) { prepare(right_, std::move(value)); }

  private:
    // The lets prepare AddPolicyRight: a loaded object keeps its fields.
    void prepare(String& field, String value) {
        if (!valid_) field = std::move(value);
    }
    void load(const String& computer, const String& right, const String& account,
              const String& domain, const String& type_text, bool valid);

    Ref<Collection> policies_;
    String account_;
    String type_text_;
    String domain_;
    String computer_;
    String right_;
    bool valid_ = false;
};

}  // namespace vorlek
