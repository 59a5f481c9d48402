// UserManager: the user accounts of a machine or domain. One object describes
// one account; InitUsers fills Users with one object per account of a
// machine, a global group or a local group. Writable properties write
// through to the account at once.
#pragma once

#include <memory>
#include <vector>

#include "automation/collection.h"
#include "platform/accounts.h"
#include "users/account_text.h"

namespace vorlek {

class UserManager : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    static constexpr StringView kPasswordShown = u"**************";
    static constexpr size_t kMaxPassword = 14;
    static constexpr size_t kMaxName = 256;

    Ref<Collection> Users();
    void SetComputer(String value);
    String Computer() const { return computer_; }
    void SetUserName(String value);
    String UserName() const { return user_name_; }
    void SetUserComment(String value);
    String UserComment() const { return user_comment_; }
    void SetUserDescription(String value);
    String UserDescription() const { return description_; }
    void SetUserFullName(String value);
    String UserFullName() const { return full_name_; }
    int32_t LastError() const { return last_error_; }
    void SetWorkstations(String value);
    String Workstations() const { return workstations_; }
    void SetParameters(String value);
    String Parameters() const { return parameters_; }
    void SetProfilePath(String value);
    String ProfilePath() const { return profile_path_; }
    void SetHomeDirectory(String value);
    String HomeDirectory() const { return home_directory_; }
    void SetHomeDirDrive(String value);
    String HomeDirDrive() const { return home_dir_drive_; }
    void SetLogonScriptPath(String value);
    String LogonScriptPath() const { return script_path_; }
    void SetPassword(String value);
    String Password() const { return String(kPasswordShown); }
    void SetLogonHours(String value);
    String LogonHours() const { return logon_hours_ ? *logon_hours_ : String(); }
    void SetPasswordExpired(bool value);
    bool PasswordExpired() const { return password_expired_; }
    void SetAccountType(int32_t value);
    int32_t AccountType() const { return account_type_; }
    void SetAccountExpires(Date value);
    Date AccountExpires() const { return account_expires_; }
    int32_t Authority() const { return authority_; }
    int32_t Privilege() const { return privilege_; }
    void SetMaxStorage(int32_t value);
    int32_t MaxStorage() const { return max_storage_; }
    void SetCountryCode(int32_t value);
    int32_t CountryCode() const { return country_code_; }
    void SetCodePage(int32_t value);
    int32_t CodePage() const { return code_page_; }
    void SetPrimaryGroupID(int32_t value);
    int32_t PrimaryGroupID() const { return primary_group_id_; }
    void SetPasswordNotRequired(bool value) { set_flag(users::kFlagPasswordNotRequired, value); }
    bool PasswordNotRequired() const { return flag(users::kFlagPasswordNotRequired); }
    void SetPasswordCannotChange(bool value) { set_flag(users::kFlagPasswordCannotChange, value); }
    bool PasswordCannotChange() const { return flag(users::kFlagPasswordCannotChange); }
    void SetPasswordDontExpire(bool value) { set_flag(users::kFlagPasswordDontExpire, value); }
    bool PasswordDontExpire() const { return flag(users::kFlagPasswordDontExpire); }
    void SetHomeDirRequired(bool value) { set_flag(users::kFlagHomeDirRequired, value); }
    bool HomeDirRequired() const { return flag(users::kFlagHomeDirRequired); }
    void SetAccountDisabled(bool value) { set_flag(users::kFlagDisabled, value); }
    bool AccountDisabled() const { return flag(users::kFlagDisabled); }
    void SetAccountLocked(bool value) { set_flag(users::kFlagLocked, value); }
    bool AccountLocked() const { return flag(users::kFlagLocked); }
    void SetLogonScriptExecuted(bool value) { set_flag(users::kFlagScript, value); }
    bool LogonScriptExecuted() const { return flag(users::kFlagScript); }
    template <size_t K>
    String Workstation() const {
        return stations_ ? stations_->names[K] : String();
    }
    template <size_t D>
    String LogonHoursDay() const {
        return hours_ ? hours_->days[D] : String();
    }
    int32_t PasswordAge() const { return password_age_; }
    int32_t BadPasswordCount() const { return bad_password_count_; }
    int32_t UnitsPerWeek() const { return units_per_week_; }
    int32_t NumLogons() const { return num_logons_; }
    int32_t UserID() const { return user_id_; }
    String PrivilegeStr() const { return String(privilege_text_); }
    String AccountTypeStr() const { return String(account_type_text_); }
    String AuthorityStr() const {
        return authority_read_ ? users::authority_text(static_cast<uint32_t>(authority_))
                               : String();
    }
    String LogonServer() const { return logon_server_; }
    Date PasswordLastModified() const { return password_last_modified_; }
    Date LastLogon() const { return last_logon_; }
    Date LastLogoff() const { return last_logoff_; }
    String DomainName() const { return domain_name_; }
    bool Valid() const { return valid_; }

    // Users may come to hold this object (a script adds it to its own list).
    void visit_references(ReferenceVisitor& visit) const override {
        if (users_) visit(*users_);
    }
    void drop_references() noexcept override { auto dropped = std::move(users_); }

    int32_t InitUsers(String strComputer, int32_t lngFilter, String strGroup, bool booHoursBinary);
    int32_t GetUserInfo(String strUserName, String strComputer, bool booHoursBinary);
    int32_t Create();
    int32_t GetSeparateInfos(String strComputer, bool booSynchronize);
    int32_t DeleteUser(String strUserName, String strComputer);
    String GetCurrentUser(String strDefault);

  private:
    // Every field of the account to its reset value; the error, the kept
    // record and the collection stay.
    void reset();
    // What the items of one InitUsers have in common, found once.
    class Listing;
    // Reads the account `user_name_` of `computer_` into the fields; 0 or
    // the status that stopped it. An item of a listing takes what it shares
    // with the others from `listing`.
    int32_t load(bool hours_binary, StringView machine_domain, StringView account_domain,
                 Listing* listing = nullptr);
    // The frame of every let but Computer's: LastError 0; an object not
    // bound to an account keeps the value for Create when the property
    // `prepares` one, else nothing happens; a valid object sends it with
    // `write` (0 or the status) and on success `keep` shows it.
    template <class Write, class Keep>
    void let(bool prepares, Write&& write, Keep&& keep);
    // Sends the kept record with one field changed, or a whole record, at
    // `level`; on success the record is kept as sent.
    template <class T>
    int32_t send(uint32_t level, T platform::UserInfo::*field, T value);
    int32_t send_record(uint32_t level, const platform::UserInfo& record);
    void text_let(uint32_t level, String platform::UserInfo::*field, String& shown, String value,
                  bool prepares);
    void number_let(uint32_t level, uint32_t platform::UserInfo::*field, int32_t& shown,
                    int32_t value);
    bool flag(uint32_t bit) const { return (flags_shown_ & bit) != 0; }
    void set_flag(uint32_t bit, bool value);

    Ref<Collection> users_;
    String computer_;
    String user_name_;
    String user_comment_;
    String description_;
    String full_name_;
    // Null when the account names no workstation.
    std::unique_ptr<const users::Workstations> stations_;
    String workstations_;
    String parameters_;
    String profile_path_;
    String home_directory_;
    String home_dir_drive_;
    String script_path_;
    // What a client set; a load shows kPasswordShown instead.
    String password_;
    bool password_shown_ = false;
    // The week's hours as read (shared with the day texts) or as set, and the
    // day texts as read: most accounts of a listing share one set of them.
    std::shared_ptr<const String> logon_hours_;
    std::shared_ptr<const users::WeekHours> hours_;
    int32_t max_storage_ = 0;
    int32_t authority_ = 0;
    int32_t privilege_ = 0;
    int32_t account_type_ = 0;
    Date account_expires_;
    int32_t country_code_ = 0;
    int32_t code_page_ = 0;
    uint32_t flags_shown_ = 0;  // the seven Booleans
    int32_t primary_group_id_ = 0;
    bool password_expired_ = false;
    Date password_last_modified_;
    int32_t password_age_ = 0;
    int32_t bad_password_count_ = 0;
    // Names from the constant tables, not copied into every item.
    StringView privilege_text_;
    StringView account_type_text_;
    bool authority_read_ = false;  // AuthorityStr names the bits once read
    Date last_logon_;
    Date last_logoff_;
    int32_t units_per_week_ = 0;
    int32_t num_logons_ = 0;
    String logon_server_;
    int32_t user_id_ = 0;
    String domain_name_;
    bool valid_ = false;
    int32_t last_error_ = 0;
    uint32_t account_flags_ = 0;
    // The account as last read or sent, for the lets that send a whole
    // record: its numbers and the texts not shown as they are sent. The
    // other texts are the ones shown above, each kept once; as_record()
    // makes the record from both, and keep_record() takes one that was sent.
    struct Record {
        uint32_t password_age = 0;
        uint32_t priv = 0;
        uint32_t flags = 0;
        uint32_t auth_flags = 0;
        uint32_t last_logon = 0;
        uint32_t last_logoff = 0;
        uint32_t acct_expires = 0;
        uint32_t max_storage = 0;
        uint32_t units_per_week = 0;
        uint32_t bad_pw_count = 0;
        uint32_t num_logons = 0;
        uint32_t country_code = 0;
        uint32_t code_page = 0;
        uint32_t user_id = 0;
        uint32_t primary_group_id = 0;
        uint32_t password_expired = 0;
        bool script_path_cleared = false;  // an account-type change sends none
        std::vector<uint8_t> logon_hours;
        String password;
        String workstations;    // the whole list; the shown one is cut to eight
        String home_dir_drive;  // as sent ("D:"), not as set
    };
    platform::UserInfo as_record() const;
    void keep_record(const platform::UserInfo& sent);
    Record record_;
    // Latest logon and logoff seen by GetSeparateInfos, in platform seconds.
    int64_t latest_logon_ = 0;
    int64_t latest_logoff_ = 0;
};

}  // namespace vorlek
