// Sharer: the shares of a local or remote machine, one share per object.
// InitShares fills Shares with one loaded Sharer per share; GetShareInfo
// loads the object itself. A loaded object's remark, password, maximum uses
// and permissions write through to the server; an unloaded one prepares a
// Create. NetUse and NetUseDel connect and disconnect network drives, and
// InitShareRights lists who may use the share (or its printer) and how.
#pragma once

#include <memory>

#include "automation/collection.h"
#include "automation/packed_texts.h"
#include "platform/shares.h"

namespace vorlek {

class Sharer : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    static constexpr StringView kPasswordMask = u"********";
    // The -897 of a share whose list cannot be read.
    static constexpr int32_t kInvalidAcl = -897;

    Ref<Collection> Shares() const { return or_empty(shares_); }
    Ref<Collection> ShareRights() const { return or_empty(share_rights_); }
    // The listings may come to hold this object (a script adds it).
    void visit_references(ReferenceVisitor& visit) const override {
        for (const Ref<Collection>* c : {&shares_, &share_rights_})
            if (*c) visit(**c);
    }
    void drop_references() noexcept override {
        auto a = std::move(shares_), b = std::move(share_rights_);
    }

    String Computer() const { return computer_; }
    String ShName() const { return name_; }
    String ShRemark() const { return String(texts_[kRemark]); }
    String ShTypeStr() const { return String(texts_[kTypeText]); }
    String ShPassword() const { return String(kPasswordMask); }
    String ShPath() const { return String(texts_[kPath]); }
    String ShRightUser() const { return rights_ ? rights_->user : String(); }
    String ShRightDomain() const { return rights_ ? rights_->domain : String(); }
    String ShRightTypeStr() const { return rights_ ? rights_->type_text : String(); }
    String ShRightStr() const { return rights_ ? rights_->right_text : String(); }
    int32_t ShType() const { return type_; }
    int32_t ShCurUses() const { return cur_uses_; }
    int32_t ShMaxUses() const { return max_uses_; }
    int32_t ShPermissions() const { return permissions_; }
    String ShPermissionsStr() const { return String(texts_[kPermissionsText]); }
    int32_t ShDFSFlag() const { return dfs_flags_; }
    int32_t LastError() const { return last_error_; }
    bool Valid() const { return valid_; }

    void SetComputer(String value);
    void SetShName(String value);
    void SetShPath(String value);
    void SetShType(int32_t value);
    void SetShRemark(String value);
    void SetShPassword(String value);
    void SetShMaxUses(int32_t value);
    void SetShPermissions(int32_t value);

    int32_t InitShares(String strMachine);
    int32_t GetShareInfo(String strComputer, String strShare);
    int32_t NetUse(String strLocal, String strRemote, String strUser, String strPassword,
                   bool booRemember);
    int32_t NetUseDel(String strLocal, bool booForce, bool booRemember);
    int32_t Create();
    Variant RemoveShare(String strComputer, String strShare);
    int32_t InitShareRights();

    // The texts of a share's type and permission bits, and of an allowed
    // entry's access mask on a share or a printer.
    static StringView type_text(uint32_t type);
    static String permissions_text(uint32_t permissions);
    static String share_right_text(uint32_t mask);
    static StringView printer_right_text(uint32_t mask);

  private:
    // What an item of ShareRights shows; other objects never have it.
    struct RightTexts {
        String user, domain, type_text, right_text;
    };

    static Ref<Collection> or_empty(const Ref<Collection>& c) { return c ? c : make<Collection>(); }
    void reset();
    // Loads the share named by the computer and share-name fields from the
    // server; 0 or the failing call's status.
    int32_t load(StringView server, const String* local_name = nullptr);
    // A write-through let on a loaded object: the share's record with one
    // field changed goes to the server, and the object is loaded again.
    template <class Change>
    void write_through(Change&& change);
    // The descriptor InitShareRights reads: the printer's for a printer
    // share, else the share's own; 0 or the status of the call that failed.
    int32_t read_descriptor(std::optional<platform::SecurityDescriptor>& sd);
    String unc_name() const;
    void add_right(RightTexts texts);

    // The texts besides the two names, the ones most shares have first.
    enum Text : size_t { kPath, kRemark, kTypeText, kPassword, kPermissionsText, kTexts };
    void set_text(Text which, StringView value) { texts_.set({{which, value}}); }

    String computer_, name_;
    PackedTexts<kTexts> texts_;
    int32_t type_ = 0, cur_uses_ = 0, max_uses_ = 0, permissions_ = 0, dfs_flags_ = 0;
    int32_t last_error_ = 0;
    bool valid_ = false;
    // The share's descriptor as the last load read it; none when the share
    // has none. The rest of the record the fields above keep.
    std::unique_ptr<const platform::SecurityDescriptor> security_;
    std::unique_ptr<RightTexts> rights_;
    Ref<Collection> shares_, share_rights_;
};

}  // namespace vorlek
