// UserManager: the user accounts of a machine or domain. One object describes
// one account; InitUsers fills Users with one object per account of a
// machine, a global group or a local group. Writable properties write
// through to the account at once.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "automation/collection.h"
#include "automation/packed_texts.h"
#include "platform/accounts.h"
#include "system/dll_class.h"
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
    String Computer() const { return place_ ? place_->computer : String(); }
    void SetUserName(String value);
    String UserName() const { return String(texts_[kName]); }
    void SetUserComment(String value);
    String UserComment() const { return String(texts_[kUserComment]); }
    void SetUserDescription(String value);
    String UserDescription() const { return String(texts_[kDescription]); }
    void SetUserFullName(String value);
    String UserFullName() const { return String(texts_[kFullName]); }
    int32_t LastError() const { return last_error_; }
    void SetWorkstations(String value);
    String Workstations() const { return String(texts_[kWorkstations]); }
    void SetParameters(String value);
    String Parameters() const { return String(texts_[kParameters]); }
    void SetProfilePath(String value);
    String ProfilePath() const { return String(texts_[kProfile]); }
    void SetHomeDirectory(String value);
    String HomeDirectory() const { return String(texts_[kHomeDir]); }
    void SetHomeDirDrive(String value);
    String HomeDirDrive() const { return String(texts_[kDrive]); }
    void SetLogonScriptPath(String value);
    String LogonScriptPath() const { return String(texts_[kScript]); }
    void SetPassword(String value);
    String Password() const { return String(kPasswordShown); }
    void SetLogonHours(String value);
    String LogonHours() const;
    void SetPasswordExpired(bool value);
    bool PasswordExpired() const { return record_.password_expired != 0; }
    void SetAccountType(int32_t value);
    int32_t AccountType() const { return account_type_; }
    void SetAccountExpires(Date value);
    Date AccountExpires() const { return times_ ? times_->account_expires : no_date(); }
    int32_t Authority() const { return as_long(record_.auth_flags); }
    int32_t Privilege() const { return as_long(record_.priv); }
    void SetMaxStorage(int32_t value);
    int32_t MaxStorage() const { return as_long(record_.max_storage); }
    void SetCountryCode(int32_t value);
    int32_t CountryCode() const { return as_long(record_.country_code); }
    void SetCodePage(int32_t value);
    int32_t CodePage() const { return as_long(record_.code_page); }
    void SetPrimaryGroupID(int32_t value);
    int32_t PrimaryGroupID() const { return as_long(record_.primary_group_id); }
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
        return workstation(K);
    }
    template <size_t D>
    String LogonHoursDay() const {
        return hours_ ? hours_->second.days[D] : String();
    }
    int32_t PasswordAge() const { return as_long(record_.password_age); }
    int32_t BadPasswordCount() const {
        return times_ ? times_->bad_password_count : as_long(record_.bad_pw_count);
    }
    int32_t UnitsPerWeek() const { return as_long(record_.units_per_week); }
    int32_t NumLogons() const { return times_ ? times_->num_logons : as_long(record_.num_logons); }
    int32_t UserID() const { return as_long(record_.user_id); }
    String PrivilegeStr() const {
        return read_ ? String(users::privilege_text(record_.priv)) : String();
    }
    String AccountTypeStr() const { return String(users::account_type(type_read_).name); }
    String AuthorityStr() const {
        return read_ ? users::authority_text(record_.auth_flags) : String();
    }
    String LogonServer() const { return String(texts_[kLogonServer]); }
    Date PasswordLastModified() const { return password_last_modified_; }
    Date LastLogon() const { return times_ ? times_->last_logon_shown : no_date(); }
    Date LastLogoff() const { return times_ ? times_->last_logoff_shown : no_date(); }
    String DomainName() const { return place_ ? place_->domain : String(); }
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
    // The account's texts as shown, in one block (most are empty on most
    // accounts, the ones most have first). The workstations as read stay for Workstation1 to 8,
    // which a later let of the list does not change.
    enum Text : uint8_t {
        kName,
        kLogonServer,
        kUserComment,
        kDescription,
        kFullName,
        kWorkstations,
        kStationsRead,
        kParameters,
        kProfile,
        kHomeDir,
        kDrive,
        kScript,
        kTextCount
    };
    // Every field of the account to its reset value; the error, the kept
    // record and the collection stay.
    void reset();
    // What the items of one InitUsers have in common, found once.
    class Listing;
    // The computer and domain an object names, shared by the items of a
    // listing, and the logon-hours texts made for them: an item points at
    // the texts of its bitmap, which most accounts share.
    using HoursEntry = std::pair<const users::HoursBitmap, users::WeekHours>;
    struct Place {
        String computer;
        String domain;
        std::map<users::HoursBitmap, users::WeekHours> binary, texts;
        mutable uint32_t refs = 0;
        void add_ref() const noexcept { ++refs; }
        void release_ref() const noexcept {
            if (--refs == 0) delete this;
        }
    };
    // Reads the account named by UserName on Computer into the fields; 0 or
    // the status that stopped it. An item of a listing takes what it shares
    // with the others from `listing` and reads the account `listed_name`
    // (its UserName is then the one the read gives).
    int32_t load(bool hours_binary, StringView machine_domain, StringView account_domain,
                 Listing* listing = nullptr, StringView listed_name = {});
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
    void text_let(uint32_t level, String platform::UserInfo::*field, Text shown, String value,
                  bool prepares);
    void number_let(uint32_t level, uint32_t platform::UserInfo::*field, int32_t value);
    bool flag(uint32_t bit) const { return (record_.flags & bit) != 0; }
    void set_flag(uint32_t bit, bool value);
    String workstation(size_t k) const;
    void set_place(String computer, String domain);

    // The account's numbers as last read or sent; the properties show them,
    // but for the two counters GetSeparateInfos sums.
    struct Record {
        uint32_t password_age = 0;
        uint32_t priv = 0;
        uint32_t flags = 0;
        uint32_t auth_flags = 0;
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
    };
    // What few objects hold: a password a client set, the texts last read or
    // sent that differ from the ones shown, a logon-hours bitmap other than
    // the one of the shared texts, the week's hours as a client set them.
    struct Rare {
        String password;
        String sent_password;
        std::optional<String> sent_stations;  // the whole list; the shown one is cut to eight
        std::optional<String> sent_drive;     // as sent ("D:"), not as set
        std::vector<uint8_t> sent_hours;
        std::optional<String> week_set;
    };
    // The logon times, the expiry and the counters: none on most listed
    // accounts (never logged on, never expiring), and then 0 and 1970-01-01.
    // The counters shown are the record's until GetSeparateInfos sums them.
    struct Times {
        uint32_t last_logon = 0;  // the record's
        uint32_t last_logoff = 0;
        // Latest logon and logoff seen by GetSeparateInfos, in platform seconds.
        uint32_t latest_logon = 0;
        uint32_t latest_logoff = 0;
        int32_t bad_password_count = 0;
        int32_t num_logons = 0;
        Date account_expires;
        Date last_logon_shown;
        Date last_logoff_shown;
    };
    // A date not read: 1970-01-01 once the object was reset, 0 before.
    Date no_date() const { return Date{cleared_ ? DllClass::kDate19700101 : 0}; }
    Rare& rare();
    Times& times();
    platform::UserInfo as_record() const;
    void keep_record(const platform::UserInfo& sent);

    Ref<Collection> users_;
    PackedTexts<kTextCount> texts_;
    Ref<const Place> place_;
    // The hours of the bitmap as read, in place_; null when the account
    // counts its logon hours in other units.
    const HoursEntry* hours_ = nullptr;
    std::unique_ptr<Rare> rare_;
    std::unique_ptr<Times> times_;
    Record record_;
    int32_t account_type_ = 0;
    int32_t last_error_ = 0;
    Date password_last_modified_;
    uint16_t type_read_ = 0;  // the type bit as read, for AccountTypeStr
    bool valid_ = false;
    bool cleared_ = false;              // reset once: the dates not read are 1970-01-01
    bool password_shown_ = false;       // a load shows kPasswordShown
    bool read_ = false;                 // PrivilegeStr and AuthorityStr name what was read
    bool hours_shared_ = false;         // the record's bitmap is the one of hours_
    bool script_path_cleared_ = false;  // an account-type change sent none
};

}  // namespace vorlek
