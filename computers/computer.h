// Computer: the network browse list with server and workstation details,
// write-through of a server's comment and hidden flag, and the names of the
// local machine and the domain controllers.
#pragma once

#include <memory>

#include "automation/collection.h"

namespace vorlek {

class Computer : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    static constexpr int32_t kEnumOnly = 4711;      // SV_ENUM_ONLY
    static constexpr int32_t kEnumWithInfo = 1234;  // SV_ENUM_WITH_INFO
    // What the enumeration asks for per batch; it only sets the batch size.
    static constexpr uint32_t kPreferredBatchBytes = 255;

    Computer();

    Ref<Collection> Computers();
    void SetComputers(Ref<Collection> collection) {
        computers_ = std::move(collection);
        referenced(computers_.get());
    }
    int32_t InitComputerInfo(String strName, int32_t lngType, String strDefault, int32_t lngLevel,
                             String strServer, String strDomain);
    String CompName() const { return name_; }
    int32_t CompPlatformID() const { return platform_id_; }
    int32_t CompVerMinor() const { return version_minor_; }
    int32_t CompVerMajor() const { return version_major_; }
    String CompLanroot() const { return detail_text(&Details::lan_root); }
    String CompLangroup() const { return detail_text(&Details::lan_group); }
    int32_t CompLoggedOnUsers() const { return detail_number(&Details::logged_on_users); }
    String CompType() const;
    void SetCompComment(String value);
    String CompComment() const { return comment_; }
    int32_t CompUsers() const { return detail_number(&Details::users); }
    int32_t CompAutoDisconnect() const { return detail_number(&Details::auto_disconnect); }
    void SetCompHidden(bool value);
    bool CompHidden() const { return hidden_; }
    int32_t CompAnnounceRate() const { return detail_number(&Details::announce_rate); }
    int32_t CompAnnounceDelta() const { return detail_number(&Details::announce_delta); }
    int32_t CompLicenses() const { return detail_number(&Details::licenses); }
    String CompUserPath() const { return detail_text(&Details::user_path); }
    bool CompAvailable() const { return available_; }
    int32_t CompEntriesRead() const { return entries_read_; }
    int32_t CompTotalEntries() const { return total_entries_; }
    String GetMachineName(const Variant& strDefault);
    String LastError() const { return decimal(last_error_); }
    String GetPDCName(String strMachine, String strDomain, String strDefault);
    String GetDCName(String strMachine, String strDomain, String strDefault);

    void visit_references(ReferenceVisitor& visit) const override {
        if (computers_) visit(*computers_);
    }
    void drop_references() noexcept override { auto dropped = std::move(computers_); }

  private:
    // What only a machine's own records give (the default for a text they
    // leave empty); without them each shows what an unread value shows.
    struct Details {
        String lan_group;
        String lan_root;
        String user_path;
        int32_t logged_on_users;
        int32_t users;
        int32_t auto_disconnect;
        int32_t announce_rate;
        int32_t announce_delta;
        int32_t licenses;
    };

    String detail_text(String Details::*text) const;
    int32_t detail_number(int32_t Details::*number) const;
    // What a text or number not read shows: the default and -9999 after a
    // reset, "" and 0 on a new object or an item of a listing with details.
    const String& unread() const;
    int32_t unread_number() const;
    Details& details();
    // Sets every detail to "not available" (-9999, strDefault, not hidden).
    void reset_details(StringView no_text);
    // Loads the server and workstation records of `name`; returns the status
    // of the last call made.
    uint32_t load_details(StringView name, bool name_from_record, StringView no_text);
    // The machine a write-through goes to: "" for the local one.
    String write_target();
    template <class Write>
    void write_through(Write&& write);
    template <class Lookup>
    String controller_name(Lookup&& lookup, StringView machine, StringView domain,
                           String strDefault);

    // Small fields first: they fill what the base leaves over.
    bool type_read_ = false;
    bool unread_blank_ = true;
    bool hidden_ = false;
    bool available_ = false;
    int32_t platform_id_ = 0;
    int32_t version_major_ = 0;
    int32_t version_minor_ = 0;
    uint32_t type_ = 0;
    int32_t entries_read_ = 0;
    int32_t total_entries_ = 0;
    int32_t last_error_ = 0;
    Ref<Collection> computers_;
    String name_;
    String comment_;
    std::unique_ptr<Details> details_;
    // The caller's default, shared by the items of a listing.
    std::shared_ptr<const String> no_text_;
};

// The name matches the pattern: "?" one character, "*" any run, "#" one
// digit, "[abc]" / "[a-f]" one of a list, "[!...]" one not in it. Both are
// compared as given (callers upper-case them).
bool matches_pattern(StringView name, StringView pattern);

// The server-type bits as constant names joined by ";", highest first;
// `no_text` when no named bit is set.
String server_type_text(uint32_t type, StringView no_text);

}  // namespace vorlek
