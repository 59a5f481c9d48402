// LocalSecurer: the account rights of a machine's local security authority.
// InitPolicies fills Policies with one item per account that holds a right;
// AddPolicyRight grants the right named by the object's own properties to
// the account named there; DeletePolicyRight takes a right away.
#pragma once

#include "automation/collection.h"
#include "automation/packed_texts.h"

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

    String PolicyAccount() const { return String(texts_[kAccount]); }
    void SetPolicyAccount(String value) { prepare(kAccount, value); }
    String PolicyAccountType() const { return String(texts_[kType]); }
    String PolicyAccountDomain() const { return String(texts_[kDomain]); }
    void SetPolicyAccountDomain(String value) { prepare(kDomain, value); }
    void SetComputer(String value) { prepare(kComputer, value); }
    String Computer() const { return String(texts_[kComputer]); }
    bool Valid() const { return valid_; }
    String PolicyString() const { return String(texts_[kRight]); }
    void SetPolicyString(String value) { prepare(kRight, value); }

  private:
    // The object's texts, kept together (an item of a large listing is
    // mostly these).
    enum Text : size_t { kAccount, kDomain, kType, kComputer, kRight, kTextCount };
    // The lets prepare AddPolicyRight: a loaded object keeps its fields.
    void prepare(Text which, StringView value) {
        if (!valid_) texts_.set({{which, value}});
    }
    void load(StringView computer, StringView right, StringView account, StringView domain,
              StringView type_text, bool valid);

    Ref<Collection> policies_;
    PackedTexts<kTextCount> texts_;
    bool valid_ = false;
};

}  // namespace vorlek
