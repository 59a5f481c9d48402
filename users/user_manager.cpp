#include "users/user_manager.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include "automation/calendar.h"
#include "automation/checked.h"
#include "automation/text.h"
#include "computers/machine_names.h"
#include "platform/batches.h"
#include "platform/platform.h"
#include "platform/security.h"
#include "platform/time.h"
#include "policy/modals_manager.h"
#include "strings/stringer.h"
#include "system/dll_class.h"

namespace vorlek {

namespace {

struct Constant {
    StringView name;
    int32_t value;
    StringView help;
};

constexpr StringView kFilterHelp = u"Used like a constant in the function InitUsers";
constexpr StringView kAuthorityHelp = u"Used like a constant to read the property Authority";
constexpr StringView kTypeHelp = u"Used like a constant to read or set the property AccountType";
constexpr StringView kPrivilegeHelp = u"Used like a constant to read the property Privilege";

constexpr Constant kConstants[] = {
    {u"FILTER_TEMP_DUPLICATE_ACCOUNT", 1, kFilterHelp},
    {u"FILTER_NORMAL_ACCOUNT", 2, kFilterHelp},
    {u"FILTER_INTERDOMAIN_TRUST_ACCOUNT", 8, kFilterHelp},
    {u"FILTER_WORKSTATION_TRUST_ACCOUNT", 0x10, kFilterHelp},
    {u"FILTER_SERVER_TRUST_ACCOUNT", 0x20, kFilterHelp},
    {u"FILTER_ALL_ACCOUNT", 0, kFilterHelp},
    {u"AF_OP_ACCOUNTS", 8, kAuthorityHelp},
    {u"AF_OP_SERVER", 4, kAuthorityHelp},
    {u"AF_OP_COMM", 2, kAuthorityHelp},
    {u"AF_OP_PRINT", 1, kAuthorityHelp},
    {u"AF_OP_NONE", 0, kAuthorityHelp},
    {u"UF_TEMP_DUPLICATE_ACCOUNT", 0x100, kTypeHelp},
    {u"UF_NORMAL_ACCOUNT", 0x200, kTypeHelp},
    {u"UF_INTERDOMAIN_TRUST_ACCOUNT", 0x800, kTypeHelp},
    {u"UF_WORKSTATION_TRUST_ACCOUNT", 0x1000, kTypeHelp},
    {u"UF_SERVER_TRUST_ACCOUNT", 0x2000, kTypeHelp},
    {u"USER_PRIV_GUEST", 0, kPrivilegeHelp},
    {u"USER_PRIV_USER", 1, kPrivilegeHelp},
    {u"USER_PRIV_ADMIN", 2, kPrivilegeHelp},
    {u"USER_PRIV_MASK", 3, kPrivilegeHelp},
    {u"USER_MAXSTORAGE_UNLIMITED", -1,
     u"Used like a constant to read or set the  property MaxStorage"},
};

constexpr Date kDate1970{DllClass::kDate19700101};
constexpr double kSecondsPerDay = 86400;
// NetUserSetInfo levels: 1000 and the number of the one field they carry.
constexpr uint32_t kLevelName = 0, kLevelBasic = 1, kLevelAll = 3, kLevelPassword = 1003,
                   kLevelHomeDir = 1006, kLevelComment = 1007, kLevelFlags = 1008,
                   kLevelScript = 1009, kLevelFullName = 1011, kLevelUserComment = 1012,
                   kLevelParms = 1013, kLevelWorkstations = 1014, kLevelExpires = 1017,
                   kLevelMaxStorage = 1018, kLevelHours = 1020, kLevelCountry = 1024,
                   kLevelCodePage = 1025, kLevelPrimaryGroup = 1051, kLevelProfile = 1052,
                   kLevelDrive = 1053;
// The account-type bits a Create or an AccountType change puts in.
constexpr uint32_t kWorkstationTrust = 0x1000, kServerTrust = 0x2000;
constexpr size_t kMaxTrustName = 16;
// Statuses of the class's own.
constexpr int32_t kNotValid = 380;
constexpr int32_t kPasswordTooLong = -20;
constexpr int32_t kHoursNotWeekly = 17;

// A text of the record as far as its first NUL.
StringView record_text(const String& text) {
    return StringView(text).substr(0, text.find(u'\0'));
}

// Seconds since 1970-01-01 00:00:00 as a Date, in universal time.
Date date_from_seconds(int64_t seconds) {
    return Date{kDate1970.serial + static_cast<double>(seconds) / kSecondsPerDay};
}

// A logon or logoff time: converted to local time when there is one.
Date account_time(DllClass& dll, uint32_t seconds) {
    if (seconds == 0 || as_long(seconds) < 0) return kDate1970;
    return dll.SysTimeToTzLocTime(date_from_seconds(seconds));
}
Date account_time(uint32_t seconds) {
    return account_time(*make<DllClass>(), seconds);
}

Date local_date(DllClass& dll, platform::FileTime time) {
    return dll.FileTimeToLocFileTime(dll.FileTimeToDateTime(static_cast<int32_t>(time & 0xFFFFFFFF),
                                                            static_cast<int32_t>(time >> 32)));
}

int32_t hours_shift(DllClass& dll) {
    return users::hours_shift(dll.GetBias());
}
int32_t hours_shift() {
    return hours_shift(*make<DllClass>());
}

}  // namespace

// The items of one listing name one computer and are read with one set of
// private helpers; the local machine's name, the normalised target and the
// time-zone shift are found once, and accounts with the same logon-hours
// bitmap (most of them) share the texts made from it.
class UserManager::Listing {
  public:
    DllClass& dll() { return *dll_; }
    machines::ListingNames& names() { return names_; }

    int32_t shift() {
        if (!shift_) shift_ = hours_shift(*dll_);
        return *shift_;
    }

    // The current local time; the clock read by one item is converted again
    // only when it has moved on since the one before.
    Date now_local() {
        const platform::FileTime now = platform::current().time().now();
        if (!now_ || now != now_->first) now_.emplace(now, local_date(*dll_, now));
        return now_->second;
    }

    // What the items that name `computer` and `domain` share (a listing's
    // items name one or, with members of other domains, a few).
    Ref<Place> place(StringView computer, StringView domain) {
        for (const auto& p : places_)
            if (p->computer == computer && p->domain == domain) return p;
        return places_.emplace_back(new Place{String(computer), String(domain), {}, {}});
    }

    // 0 and the hours of `bitmap` in `place`, or the status of the step
    // that failed.
    int32_t hours(Place& place, const users::HoursBitmap& bitmap, bool binary,
                  const HoursEntry*& out) {
        auto& made = binary ? place.binary : place.texts;
        if (auto it = made.find(bitmap); it != made.end()) {
            out = &*it;
            return 0;
        }
        users::WeekHours hours;
        if (int32_t status = users::hours_from_bitmap(bitmap, shift(), binary, hours))
            return status;
        out = &*made.emplace(bitmap, std::move(hours)).first;
        return 0;
    }

  private:
    Ref<DllClass> dll_ = make<DllClass>();
    machines::ListingNames names_;
    std::optional<int32_t> shift_;
    std::optional<std::pair<platform::FileTime, Date>> now_;
    std::vector<Ref<Place>> places_;
};

const ClassInfo& UserManager::info() {
    static const ClassInfo info = [] {
        ClassBuilder<UserManager> b(u"UserManager");
        b.get<&UserManager::Users>(u"Users", {}, u"Collection of valid UserManager objects")
            .let<&UserManager::SetComputer>(
                u"Computer", u"Returns or sets the computername where the account exists")
            .get<&UserManager::Computer>(
                u"Computer", {}, u"Returns or sets the computername where the account exists")
            .let<&UserManager::SetUserName>(u"UserName", u"Returns or sets the users name")
            .get<&UserManager::UserName>(u"UserName", {}, u"Returns or sets the users name")
            .let<&UserManager::SetUserComment>(u"UserComment", u"Returns or sets the user comment")
            .get<&UserManager::UserComment>(u"UserComment", {}, u"Returns or sets the user comment")
            .let<&UserManager::SetUserDescription>(u"UserDescription",
                                                   u"Returns or sets the users description")
            .get<&UserManager::UserDescription>(u"UserDescription", {},
                                                u"Returns or sets the users description")
            .let<&UserManager::SetUserFullName>(u"UserFullName",
                                                u"Returns or sets the users full name")
            .get<&UserManager::UserFullName>(u"UserFullName", {},
                                             u"Returns or sets the users full name")
            .get<&UserManager::LastError>(u"LastError", {}, u"Common property of this class");
        static constexpr StringView kWorkstations =
            u"String with comma seperated names of max 8 computers to set the workstation(s) to "
            u"which the logon is limited.";
        b.let<&UserManager::SetWorkstations>(u"Workstations", kWorkstations)
            .get<&UserManager::Workstations>(u"Workstations", {}, kWorkstations)
            .let<&UserManager::SetParameters>(u"Parameters",
                                              u"Returns or sets the parameters as a string")
            .get<&UserManager::Parameters>(u"Parameters", {},
                                           u"Returns or sets the parameters as a string")
            .let<&UserManager::SetProfilePath>(u"ProfilePath",
                                               u"Returns or sets the path of user profile ")
            .get<&UserManager::ProfilePath>(u"ProfilePath", {},
                                            u"Returns or sets the path of user profile ")
            .let<&UserManager::SetHomeDirectory>(u"HomeDirectory",
                                                 u"Returns or sets the home directory")
            .get<&UserManager::HomeDirectory>(u"HomeDirectory", {},
                                              u"Returns or sets the home directory")
            .let<&UserManager::SetHomeDirDrive>(u"HomeDirDrive",
                                                u"Returns or sets the home drive as a string")
            .get<&UserManager::HomeDirDrive>(u"HomeDirDrive", {},
                                             u"Returns or sets the home drive as a string")
            .let<&UserManager::SetLogonScriptPath>(u"LogonScriptPath",
                                                   u"Returns or sets the path of logon script")
            .get<&UserManager::LogonScriptPath>(u"LogonScriptPath", {},
                                                u"Returns or sets the path of logon script")
            .let<&UserManager::SetPassword>(u"Password", u"Sets the password of an account")
            .get<&UserManager::Password>(u"Password", {}, u"Sets the password of an account");
        static constexpr StringView kHours =
            u"Returns or sets the logon hours as a  string of binary digits with length 168";
        b.let<&UserManager::SetLogonHours>(u"LogonHours", kHours)
            .get<&UserManager::LogonHours>(u"LogonHours", {}, kHours);
        static constexpr StringView kExpired =
            u"Returns or sets whether the password must be changed at next logon";
        b.let<&UserManager::SetPasswordExpired>(u"PasswordExpired", kExpired)
            .get<&UserManager::PasswordExpired>(u"PasswordExpired", {}, kExpired)
            .let<&UserManager::SetAccountType>(u"AccountType", u"Returns or sets the account type")
            .get<&UserManager::AccountType>(u"AccountType", {}, u"Returns or sets the account type")
            .let<&UserManager::SetAccountExpires>(
                u"AccountExpires", u"Returns or sets the date when an account expires.")
            .get<&UserManager::AccountExpires>(u"AccountExpires", {},
                                               u"Returns or sets the date when an account expires.")
            .get<&UserManager::Authority>(u"Authority", {}, u"Returns the authority of an account")
            .get<&UserManager::Privilege>(u"Privilege", {}, u"Returns the user privileges")
            .let<&UserManager::SetMaxStorage>(u"MaxStorage",
                                              u"Returns or sets the disk quota of an account")
            .get<&UserManager::MaxStorage>(u"MaxStorage", {},
                                           u"Returns or sets the disk quota of an account")
            .let<&UserManager::SetCountryCode>(u"CountryCode",
                                               u"Returns or sets the country code of an account")
            .get<&UserManager::CountryCode>(u"CountryCode", {},
                                            u"Returns or sets the country code of an account")
            .let<&UserManager::SetCodePage>(u"CodePage",
                                            u"Returns or sets the default codepage of an account")
            .get<&UserManager::CodePage>(u"CodePage", {},
                                         u"Returns or sets the default codepage of an account")
            .let<&UserManager::SetPrimaryGroupID>(u"PrimaryGroupID",
                                                  u"Returns or sets the ID of the primary group")
            .get<&UserManager::PrimaryGroupID>(u"PrimaryGroupID", {},
                                               u"Returns or sets the ID of the primary group");
        // Each Boolean is a let then a get of the same property.
#define VORLEK_FLAG(name, help) \
    b.let<&UserManager::Set##name>(u## #name, help).get<&UserManager::name>(u## #name, {}, help)
        VORLEK_FLAG(PasswordNotRequired, u"Returns or sets whether a password is required");
        VORLEK_FLAG(PasswordCannotChange, u"Returns or sets whether the password can be changed");
        VORLEK_FLAG(PasswordDontExpire, u"Returns or sets whether the password cannot expire");
        VORLEK_FLAG(HomeDirRequired, u"Specifies whether a homedir is required as boolean");
        VORLEK_FLAG(AccountDisabled, u"Returns or sets whether the user account is disabled");
        VORLEK_FLAG(AccountLocked, u"Returns or sets whether an account is locked");
        VORLEK_FLAG(LogonScriptExecuted,
                    u"Returns or sets whether the logon script is to be executed");
#undef VORLEK_FLAG
        b.get<&UserManager::Workstation<0>>(
             u"Workstation1", {}, u"Returns the 1st workstation name to which the logon is limited")
            .get<&UserManager::Workstation<1>>(
                u"Workstation2", {},
                u"Returns the 2nd workstation name to which the logon is limited")
            .get<&UserManager::Workstation<2>>(
                u"Workstation3", {},
                u"Returns the 3rd workstation name to which the logon is limited")
            .get<&UserManager::Workstation<3>>(
                u"Workstation4", {},
                u"Returns the 4th workstation name to which the logon is limited")
            .get<&UserManager::Workstation<4>>(
                u"Workstation5", {},
                u"Returns the 5th workstation name to which the logon is limited")
            .get<&UserManager::Workstation<5>>(
                u"Workstation6", {},
                u"Returns the 6th workstation name to which the logon is limited")
            .get<&UserManager::Workstation<6>>(
                u"Workstation7", {},
                u"Returns the 7th workstation name to which the logon is limited")
            .get<&UserManager::Workstation<7>>(
                u"Workstation8", {},
                u"Returns the 8th workstation name to which the logon is limited");
        // The day fields are kept Sunday first; the interface lists Monday first.
        static constexpr StringView kDayHelp[] = {
            u"Returns the logon hours on monday as a string of binary digits or formatted  like "
            u"h-h;h-h;...",
            u"Returns the logon hours on tuesday as a string of binary digits or formatted  like "
            u"h-h;h-h;...",
            u"Returns the logon hours on wednesday as a string of binary digits or formatted  "
            u"like h-h;h-h;...",
            u"Returns the logon hours on thursday as a string of binary digits or formatted  like "
            u"h-h;h-h;...",
            u"Returns the logon hours on friday as a string of binary digits or formatted  like "
            u"h-h;h-h;...",
            u"Returns the logon hours on saturday as a string of binary digits or formatted  like "
            u"h-h;h-h;...",
            u"Returns the logon hours on sunday as a string of binary digits or formatted  like "
            u"h-h;h-h;...",
        };
        b.get<&UserManager::LogonHoursDay<1>>(u"LogonHoursMon", {}, kDayHelp[0])
            .get<&UserManager::LogonHoursDay<2>>(u"LogonHoursTue", {}, kDayHelp[1])
            .get<&UserManager::LogonHoursDay<3>>(u"LogonHoursWed", {}, kDayHelp[2])
            .get<&UserManager::LogonHoursDay<4>>(u"LogonHoursThu", {}, kDayHelp[3])
            .get<&UserManager::LogonHoursDay<5>>(u"LogonHoursFri", {}, kDayHelp[4])
            .get<&UserManager::LogonHoursDay<6>>(u"LogonHoursSat", {}, kDayHelp[5])
            .get<&UserManager::LogonHoursDay<0>>(u"LogonHoursSun", {}, kDayHelp[6])
            .get<&UserManager::PasswordAge>(u"PasswordAge", {},
                                            u"Returns the age of the password in seconds")
            .get<&UserManager::BadPasswordCount>(u"BadPasswordCount", {},
                                                 u"Returns the number of bad logon attempts")
            .get<&UserManager::UnitsPerWeek>(
                u"UnitsPerWeek", {},
                u"Returns the units per week ahich are used to calculate the logon hours")
            .get<&UserManager::NumLogons>(u"NumLogons", {}, u"Returns the number of logons")
            .get<&UserManager::UserID>(u"UserID", {}, u"Returns the unique user ID")
            .get<&UserManager::PrivilegeStr>(u"PrivilegeStr", {},
                                             u"Returns the user privileges in textual form")
            .get<&UserManager::AccountTypeStr>(u"AccountTypeStr", {},
                                               u"Returns the account type in textual form")
            .get<&UserManager::AuthorityStr>(u"AuthorityStr", {},
                                             u"Returns the authority of an account in textual form")
            .get<&UserManager::LogonServer>(u"LogonServer", {},
                                            u"Returns the defined logon server of an account")
            .get<&UserManager::PasswordLastModified>(u"PasswordLastModified", {},
                                                     u"Returns the date of last password change")
            .get<&UserManager::LastLogon>(u"LastLogon", {},
                                          u"Date of the last logon of an useraccount")
            .get<&UserManager::LastLogoff>(u"LastLogoff", {},
                                           u"Date of the last logoff of an useraccount")
            .get<&UserManager::DomainName>(
                u"DomainName", {}, u"Returns the domain of the machine where the account exists")
            .get<&UserManager::Valid>(
                u"Valid", {}, u"Returns whether the object represents a valid UserManager object");
        for (const auto& c : kConstants)
            b.constant(c.name, c.value, c.help);
        b.method<&UserManager::InitUsers>(
             u"InitUsers",
             {optional(u"strComputer", u""), optional(u"lngFilter", 2), optional(u"strGroup", u""),
              optional(u"booHoursBinary", true)},
             u"Inits the collection Users of this class")
            .method<&UserManager::GetUserInfo>(
                u"GetUserInfo",
                {param(u"strUserName"), optional(u"strComputer", u""),
                 optional(u"booHoursBinary", true)},
                u"Inits the properties of an UserManager object")
            .method<&UserManager::Create>(
                u"Create", {}, u"Creates a new user account on a local or remote machine")
            .method<&UserManager::GetSeparateInfos>(
                u"GetSeparateInfos", {param(u"strComputer"), optional(u"booSynchronize", true)},
                u"Inits only the properties which are different on each BDC")
            .method<&UserManager::DeleteUser>(
                u"DeleteUser", {param(u"strUserName"), optional(u"strComputer", u"")},
                u"Deletes an account on a local or remote machine")
            .method<&UserManager::GetCurrentUser>(u"GetCurrentUser", {optional(u"strDefault", u"")},
                                                  u"Returnes the current logged on user");
        return b.build();
    }();
    return info;
}

Ref<Collection> UserManager::Users() {
    return users_ ? users_ : make<Collection>();
}

// ---------------------------------------------------------------------------
// Reading an account

void UserManager::reset() {
    texts_.clear();
    place_ = nullptr;
    hours_ = nullptr;
    rare_.reset();
    record_ = Record{};
    times_.reset();
    account_type_ = 0;
    password_last_modified_ = kDate1970;
    type_read_ = 0;
    cleared_ = true;
    valid_ = password_shown_ = read_ = hours_shared_ = script_path_cleared_ = false;
}

UserManager::Times& UserManager::times() {
    if (!times_) {
        auto made = std::make_unique<Times>();
        made->bad_password_count = BadPasswordCount();
        made->num_logons = NumLogons();
        made->account_expires = made->last_logon_shown = made->last_logoff_shown = no_date();
        times_ = std::move(made);
    }
    return *times_;
}

UserManager::Rare& UserManager::rare() {
    if (!rare_) rare_ = std::make_unique<Rare>();
    return *rare_;
}

void UserManager::set_place(String computer, String domain) {
    Ref<Place> made(new Place{std::move(computer), std::move(domain), {}, {}});
    // The hours shown stay: the new place holds a copy of them.
    if (hours_) hours_ = &*made->texts.emplace(hours_->first, hours_->second).first;
    place_ = std::move(made);
}

String UserManager::LogonHours() const {
    if (rare_ && rare_->week_set) return *rare_->week_set;
    return hours_ ? hours_->second.week : String();
}

String UserManager::workstation(size_t k) const {
    const StringView read = texts_[kStationsRead];
    return read.empty() ? String() : users::split_workstations(read).names[k];
}

int32_t UserManager::load(bool hours_binary, StringView machine_domain, StringView account_domain,
                          Listing* listing, StringView listed_name) {
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        valid_ = false;
        cleared_ = true;
        std::optional<Listing> own;
        if (!listing) listing = &own.emplace();
        const String asked = Computer();
        // An account of another domain (a member of a local group) is only named.
        if (account_domain != machine_domain) {
            place_ = listing->place(asked, account_domain);
            return;
        }
        DllClass& dll = listing->dll();
        auto place = listing->place(asked.empty() ? listing->names().local_machine_name() : asked,
                                    account_domain);
        place_ = place;
        auto read = platform::current().accounts().user_info(
            listing->names().normalized_target(asked),
            listed_name.empty() ? texts_[kName] : listed_name, kLevelAll);
        if (!read.ok()) {
            status = as_long(read.status);
            return;
        }
        const platform::UserInfo& r = read.value;
        hours_ = nullptr;
        int32_t hours_status = 0;
        if (r.units_per_week == users::kHoursPerWeek) {
            users::HoursBitmap bitmap;
            bitmap.fill(0xFF);  // no bitmap: every hour
            if (r.logon_hours.size() >= bitmap.size())
                std::copy_n(r.logon_hours.begin(), bitmap.size(), bitmap.begin());
            hours_status = listing->hours(*place, bitmap, hours_binary, hours_);
        }
        const StringView listed = record_text(r.workstations);
        const users::Workstations stations =
            listed.empty() ? users::Workstations{} : users::split_workstations(listed);
        texts_.set({{kName, record_text(r.name)},
                    {kUserComment, record_text(r.usr_comment)},
                    {kDescription, record_text(r.comment)},
                    {kFullName, record_text(r.full_name)},
                    {kWorkstations, stations.list},
                    {kStationsRead, stations.list},
                    {kParameters, record_text(r.parms)},
                    {kProfile, record_text(r.profile)},
                    {kHomeDir, record_text(r.home_dir)},
                    {kDrive, record_text(r.home_dir_drive)},
                    {kScript, record_text(r.script_path)},
                    {kLogonServer, record_text(r.logon_server)}});
        keep_record(r);
        if (rare_) rare_->password.clear();
        password_shown_ = true;
        password_last_modified_ =
            Date{listing->now_local().serial - r.password_age / kSecondsPerDay};
        if (r.acct_expires != platform::kTimeqForever || r.last_logon != 0 || r.last_logoff != 0) {
            Times& t = times();
            t.last_logon = t.latest_logon = r.last_logon;
            t.last_logoff = t.latest_logoff = r.last_logoff;
            if (r.acct_expires != platform::kTimeqForever)
                t.account_expires =
                    dll.SysTimeToTzLocTime(date_from_seconds(int64_t{r.acct_expires}));
            t.last_logon_shown = account_time(dll, r.last_logon);
            t.last_logoff_shown = account_time(dll, r.last_logoff);
        }
        read_ = true;
        if (auto type = users::account_type(r.flags); type.bit != 0) {
            account_type_ = type.bit;
            type_read_ = static_cast<uint16_t>(type.bit);
        }
        status = hours_status;
        valid_ = status == 0;
    });
    return rc != 0 ? rc : status;
}

// ---------------------------------------------------------------------------
// Enumeration and single accounts

int32_t UserManager::InitUsers(String strComputer, int32_t lngFilter, String strGroup,
                               bool booHoursBinary) {
    users_ = make<Collection>();
    String domain;
    if (int32_t rc = read_account_domain(strComputer, domain)) return rc;
    auto& accounts = platform::current().accounts();
    const String target = machines::plain_target(strComputer);

    int32_t status = 0;
    Listing listing;
    // The place every item starts from: the computer as asked.
    const Ref<const Place> asked(new Place{strComputer, {}, {}, {}});
    String key_text;  // one buffer for the keys of all items
    // One item per account; false when it ends the enumeration.
    const auto add_item = [&](StringView name, StringView account_domain, StringView key,
                              bool unknown_ok) {
        auto item = make<UserManager>();
        item->place_ = asked;
        const int32_t rc = item->load(booHoursBinary, domain, account_domain, &listing, name);
        if (rc != 0 && !(unknown_ok && rc == as_long(platform::status::kUserNotFound))) {
            status = rc;
            return false;
        }
        // An account not read (of another domain, or unknown) keeps its name
        // as listed; a read one has the record's.
        if (item->texts_[kName].empty()) item->texts_.set({{kName, name}});
        if (key.empty()) {
            key_text.assign(item->place_->domain);
            key_text += u'\\';
            key_text += item->texts_[kName];
            key = key_text;
        }
        status = attempt([&] { users_->add(Variant(std::move(item)), key); });
        return status == 0;
    };
    const auto global_entry = [&](const String& entry) {
        // The name without its leading and trailing spaces, read in place.
        StringView name = entry;
        const size_t first = name.find_first_not_of(u' ');
        name = first == StringView::npos
                   ? StringView()
                   : name.substr(first, name.find_last_not_of(u' ') - first + 1);
        return add_item(name, domain, {}, false);
    };
    // Room for a batch's items and their keys (the domain, a backslash and
    // the name) before they are added.
    const auto with_room = [&](auto batch) {
        users_->make_room_for(batch.value,
                              [&](const String& e) { return domain.size() + 1 + e.size(); });
        return batch;
    };
    platform::Status listed;
    if (strGroup.empty()) {
        listed = platform::walk_batches(
            [&](uint32_t& resume) {
                return with_room(accounts.enum_users(target, static_cast<uint32_t>(lngFilter),
                                                     platform::kMaxPreferredLength, resume));
            },
            global_entry);
    } else {
        listed = platform::walk_batches(
            [&](uint32_t& resume) {
                return with_room(
                    accounts.group_users(target, strGroup, platform::kMaxPreferredLength, resume));
            },
            global_entry);
        // Not a global group: the user members of a local group. Members of
        // other domains, and ones the machine does not know, are only named.
        if (listed == platform::status::kGroupNotFound && status == 0) {
            listed = platform::walk_batches(
                [&](uint32_t& resume) {
                    return accounts.local_group_members(target, strGroup,
                                                        platform::kMaxPreferredLength, resume);
                },
                [&](const platform::LocalGroupMember& m) {
                    using platform::SidUsage;
                    if (m.usage != SidUsage::User && m.usage != SidUsage::DeletedAccount &&
                        m.usage != SidUsage::Invalid && m.usage != SidUsage::Unknown)
                        return true;
                    const String name = trim_spaces(m.domain_and_name);
                    const auto [account_domain, user] = users::split_account(name);
                    return add_item(user, account_domain, name, true);
                });
        }
    }
    if (status != 0) return status;
    return as_long(listed);
}

int32_t UserManager::GetUserInfo(String strUserName, String strComputer, bool booHoursBinary) {
    String domain;
    if (int32_t rc = read_account_domain(strComputer, domain)) return rc;
    reset();
    if (strUserName.empty()) return err::kBadArgument;
    texts_.set({{kName, strUserName}});
    set_place(std::move(strComputer), {});
    return load(booHoursBinary, domain, domain);
}

int32_t UserManager::GetSeparateInfos(String strComputer, bool booSynchronize) {
    if (!valid_) return kNotValid;
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        auto read = platform::current().accounts().user_info(machines::plain_target(strComputer),
                                                             texts_[kName], 2);
        if (!read.ok()) {
            status = as_long(read.status);
            return;
        }
        const auto& r = read.value;
        if (booSynchronize) {
            Times& t = times();
            t.bad_password_count = checked::add(t.bad_password_count, as_long(r.bad_pw_count));
            t.num_logons = checked::add(t.num_logons, as_long(r.num_logons));
            if (r.last_logon > t.latest_logon) {
                t.latest_logon = r.last_logon;
                t.last_logon_shown = account_time(r.last_logon);
            }
            if (r.last_logoff > t.latest_logoff) {
                t.latest_logoff = r.last_logoff;
                t.last_logoff_shown = account_time(r.last_logoff);
            }
        } else {
            Times& t = times();
            t.bad_password_count = as_long(r.bad_pw_count);
            t.num_logons = as_long(r.num_logons);
            t.last_logon_shown = account_time(r.last_logon);
            t.last_logoff_shown = account_time(r.last_logoff);
        }
    });
    return rc != 0 ? rc : status;
}

String UserManager::GetCurrentUser(String strDefault) {
    last_error_ = 0;
    auto name = platform::current().security().user_name();
    if (!name.ok()) {
        last_error_ = as_long(name.status);
        return strDefault;
    }
    return String(record_text(name.value));
}

// ---------------------------------------------------------------------------
// Creating and deleting

int32_t UserManager::Create() {
    String domain;
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        const String computer = Computer();
        const String target = machines::normalized_target(computer);
        if ((status = read_account_domain(target, domain)) != 0) return;
        const String password = password_shown_ ? String(kPasswordShown)
                                : rare_         ? rare_->password
                                                : String();
        if (texts_[kName].empty() || password.size() > kMaxPassword) {
            status = err::kBadArgument;
            return;
        }
        const bool trust =
            account_type_ == as_long(kWorkstationTrust) || account_type_ == as_long(kServerTrust);
        String name(texts_[kName]);
        if (trust && !name.ends_with(u'$')) name += u'$';
        if (trust && name.size() > kMaxTrustName) {
            status = err::kBadArgument;
            return;
        }
        texts_.set({{kName, name}});
        platform::UserInfo record;
        record.name = name;
        record.password = password;
        record.password_age = 3;
        record.priv = 1;
        if (!trust) {
            record.home_dir = texts_[kHomeDir];
            record.comment = texts_[kDescription];
            record.script_path = texts_[kScript];
        }
        record.flags = static_cast<uint32_t>(account_type_) | users::kFlagScript;
        uint32_t parm_err = 0;
        const auto added =
            platform::current().accounts().add_user(target, kLevelBasic, record, parm_err);
        if (added != platform::status::kSuccess) {
            status = as_long(added);
            return;
        }
        reset();
        texts_.set({{kName, name}});
        set_place(computer, {});
        status = load(true, domain, domain);
    });
    if (rc != 0) status = rc;
    if (status != 0) reset();
    return status;
}

int32_t UserManager::DeleteUser(String strUserName, String strComputer) {
    if (strUserName.empty()) return err::kBadArgument;
    return as_long(platform::current().accounts().delete_user(machines::plain_target(strComputer),
                                                              strUserName));
}

// ---------------------------------------------------------------------------
// Writing through

template <class Write, class Keep>
void UserManager::let(bool prepares, Write&& write, Keep&& keep) {
    last_error_ = 0;
    if (!valid_) {
        // Only an object not bound to an account keeps values, for Create.
        if (prepares && DomainName().empty()) keep();
        return;
    }
    int32_t status = 0;
    if (int32_t rc = attempt([&] { status = write(); })) status = rc;
    if (status == 0)
        keep();
    else
        last_error_ = status;
}

template <class T>
int32_t UserManager::send(uint32_t level, T platform::UserInfo::*field, T value) {
    platform::UserInfo record = as_record();
    record.*field = value;
    return send_record(level, record);
}

int32_t UserManager::send_record(uint32_t level, const platform::UserInfo& record) {
    uint32_t parm_err = 0;
    const auto status = platform::current().accounts().set_user_info(
        machines::normalized_target(Computer()), texts_[kName], level, record, parm_err);
    if (status == platform::status::kSuccess) keep_record(record);
    return as_long(status);
}

platform::UserInfo UserManager::as_record() const {
    const Record& k = record_;
    platform::UserInfo r;
    r.name = texts_[kName];
    r.password_age = k.password_age;
    r.priv = k.priv;
    r.home_dir = texts_[kHomeDir];
    r.comment = texts_[kDescription];
    r.flags = k.flags;
    if (!script_path_cleared_) r.script_path = texts_[kScript];
    r.auth_flags = k.auth_flags;
    r.full_name = texts_[kFullName];
    r.usr_comment = texts_[kUserComment];
    r.parms = texts_[kParameters];
    r.workstations = texts_[kWorkstations];
    r.home_dir_drive = texts_[kDrive];
    if (rare_) {
        r.password = rare_->sent_password;
        if (rare_->sent_stations) r.workstations = *rare_->sent_stations;
        if (rare_->sent_drive) r.home_dir_drive = *rare_->sent_drive;
        r.logon_hours = rare_->sent_hours;
    }
    if (hours_shared_) r.logon_hours.assign(hours_->first.begin(), hours_->first.end());
    if (times_) {
        r.last_logon = times_->last_logon;
        r.last_logoff = times_->last_logoff;
    }
    r.acct_expires = k.acct_expires;
    r.max_storage = k.max_storage;
    r.units_per_week = k.units_per_week;
    r.bad_pw_count = k.bad_pw_count;
    r.num_logons = k.num_logons;
    r.logon_server = texts_[kLogonServer];
    r.country_code = k.country_code;
    r.code_page = k.code_page;
    r.user_id = k.user_id;
    r.primary_group_id = k.primary_group_id;
    r.profile = texts_[kProfile];
    r.password_expired = k.password_expired;
    return r;
}

void UserManager::keep_record(const platform::UserInfo& sent) {
    Record& k = record_;
    k.password_age = sent.password_age;
    k.priv = sent.priv;
    k.flags = sent.flags;
    k.auth_flags = sent.auth_flags;
    k.acct_expires = sent.acct_expires;
    k.max_storage = sent.max_storage;
    k.units_per_week = sent.units_per_week;
    k.bad_pw_count = sent.bad_pw_count;
    k.num_logons = sent.num_logons;
    k.country_code = sent.country_code;
    k.code_page = sent.code_page;
    k.user_id = sent.user_id;
    k.primary_group_id = sent.primary_group_id;
    k.password_expired = sent.password_expired;
    // After the counters: a Times made here starts from them.
    if (times_ || sent.last_logon != 0 || sent.last_logoff != 0) {
        Times& t = times();
        t.last_logon = sent.last_logon;
        t.last_logoff = sent.last_logoff;
    }
    // The other texts are the ones shown, or become them once the let that
    // sent them keeps its value; only an account-type change sends the
    // script path empty whatever is shown. The password, the whole
    // workstation list, the drive as sent and a bitmap other than the one
    // of the shared hours are kept apart, on the objects that have them.
    script_path_cleared_ = sent.script_path.empty();
    hours_shared_ = hours_ && std::equal(sent.logon_hours.begin(), sent.logon_hours.end(),
                                         hours_->first.begin(), hours_->first.end());
    const bool stations_shown = sent.workstations == texts_[kWorkstations];
    const bool drive_shown = sent.home_dir_drive == texts_[kDrive];
    if (rare_ || !sent.password.empty() || !stations_shown || !drive_shown ||
        !(hours_shared_ || sent.logon_hours.empty())) {
        Rare& kept = rare();
        kept.sent_password = sent.password;
        kept.sent_stations.reset();
        if (!stations_shown) kept.sent_stations = sent.workstations;
        kept.sent_drive.reset();
        if (!drive_shown) kept.sent_drive = sent.home_dir_drive;
        kept.sent_hours.clear();
        if (!hours_shared_) kept.sent_hours = sent.logon_hours;
    }
}

void UserManager::text_let(uint32_t level, String platform::UserInfo::*field, Text shown,
                           String value, bool prepares) {
    let(
        prepares, [&] { return send(level, field, value); },
        [&] {
            texts_.set({{shown, value}});
        });
}

void UserManager::number_let(uint32_t level, uint32_t platform::UserInfo::*field, int32_t value) {
    // The record kept on success is what the property shows.
    let(
        false, [&] { return send(level, field, static_cast<uint32_t>(value)); }, [] {});
}

void UserManager::SetComputer(String value) {
    last_error_ = 0;
    if (DomainName().empty() && !valid_) set_place(std::move(value), {});
}

void UserManager::SetUserName(String value) {
    let(
        true,
        [&] {
            if (value.empty() || value.size() > kMaxName) return err::kBadArgument;
            platform::UserInfo record = as_record();
            record.name = value;
            return send_record(kLevelName, record);
        },
        [&] {
            texts_.set({{kName, value}});
        });
}

void UserManager::SetUserComment(String value) {
    text_let(kLevelUserComment, &platform::UserInfo::usr_comment, kUserComment, std::move(value),
             false);
}
void UserManager::SetUserDescription(String value) {
    text_let(kLevelComment, &platform::UserInfo::comment, kDescription, std::move(value), true);
}
void UserManager::SetUserFullName(String value) {
    text_let(kLevelFullName, &platform::UserInfo::full_name, kFullName, std::move(value), false);
}
void UserManager::SetWorkstations(String value) {
    text_let(kLevelWorkstations, &platform::UserInfo::workstations, kWorkstations, std::move(value),
             false);
}
void UserManager::SetParameters(String value) {
    text_let(kLevelParms, &platform::UserInfo::parms, kParameters, std::move(value), false);
}
void UserManager::SetProfilePath(String value) {
    text_let(kLevelProfile, &platform::UserInfo::profile, kProfile, std::move(value), false);
}
void UserManager::SetHomeDirectory(String value) {
    text_let(kLevelHomeDir, &platform::UserInfo::home_dir, kHomeDir, std::move(value), true);
}
void UserManager::SetLogonScriptPath(String value) {
    text_let(kLevelScript, &platform::UserInfo::script_path, kScript, std::move(value), true);
}
void UserManager::SetMaxStorage(int32_t value) {
    number_let(kLevelMaxStorage, &platform::UserInfo::max_storage, value);
}
void UserManager::SetCountryCode(int32_t value) {
    number_let(kLevelCountry, &platform::UserInfo::country_code, value);
}
void UserManager::SetCodePage(int32_t value) {
    number_let(kLevelCodePage, &platform::UserInfo::code_page, value);
}
void UserManager::SetPrimaryGroupID(int32_t value) {
    number_let(kLevelPrimaryGroup, &platform::UserInfo::primary_group_id, value);
}

void UserManager::SetPassword(String value) {
    let(
        true,
        [&] {
            if (value.size() > kMaxPassword) return kPasswordTooLong;
            return send(kLevelPassword, &platform::UserInfo::password, value);
        },
        [&] {
            rare().password = value;
            password_shown_ = false;
        });
}

void UserManager::SetHomeDirDrive(String value) {
    let(
        false,
        [&] {
            String drive = to_upper(value).substr(0, 1);
            if (!value.empty()) {
                if (drive[0] < u'C' || drive[0] > u'Z') return err::kBadArgument;
                drive += u':';
            }
            return send(kLevelDrive, &platform::UserInfo::home_dir_drive, drive);
        },
        [&] {
            texts_.set({{kDrive, value}});
        });
}

void UserManager::set_flag(uint32_t bit, bool value) {
    let(
        false,
        [&] {
            if (!value && !(record_.flags & bit)) return 0;  // nothing to clear
            const uint32_t flags = value ? record_.flags | bit : record_.flags & ~bit;
            return send(kLevelFlags, &platform::UserInfo::flags, flags);
        },
        [] {});
}

void UserManager::SetAccountType(int32_t value) {
    const uint32_t type = static_cast<uint32_t>(value);
    // An object of that type already changes nothing and succeeds.
    if (valid_ && (record_.flags & type)) {
        last_error_ = 0;
        return;
    }
    let(
        true,
        [&] {
            const uint32_t flags = (record_.flags & ~users::first_type_bit(record_.flags)) | type;
            platform::UserInfo record = as_record();
            record.flags = flags;
            record.script_path.clear();
            return send_record(kLevelBasic, record);
        },
        [&] { account_type_ = value; });
}

void UserManager::SetPasswordExpired(bool value) {
    if (valid_ && value == PasswordExpired()) {
        last_error_ = 0;
        return;
    }
    let(
        false,
        [&] {
            platform::UserInfo record = as_record();
            record.password_expired = value ? 1 : 0;
            return send_record(kLevelAll, record);
        },
        [] {});
}

void UserManager::SetAccountExpires(Date value) {
    let(
        false,
        [&] {
            uint32_t seconds = platform::kTimeqForever;
            if (value.serial != -1) {
                // A date outside the Date's range has no day: past what the
                // account's seconds hold, as a later date is.
                if (!calendar::in_date_range(value.serial)) raise(err::kOverflow);
                // The start of the value's day in local time, as universal time.
                const auto parts = calendar::parts_from_serial(value.serial);
                const int64_t day = calendar::days_from_civil(parts.year, parts.month, parts.day);
                const Date local = make<DllClass>()->SysTimeToTzLocTime(value);
                const auto offset =
                    static_cast<int64_t>(std::llround((local.serial - value.serial) * 86400));
                seconds = checked::narrow<uint32_t>(day * 86400 - offset);
            }
            return send(kLevelExpires, &platform::UserInfo::acct_expires, seconds);
        },
        [&] { times().account_expires = value; });
}

void UserManager::SetLogonHours(String value) {
    String shown;
    let(
        false,
        [&] {
            if (record_.units_per_week != users::kHoursPerWeek) return kHoursNotWeekly;
            users::HoursBitmap bitmap;
            if (int32_t rc = users::bitmap_from_hours(value, hours_shift(), bitmap, shown))
                return rc;
            platform::UserInfo record = as_record();
            record.units_per_week = users::kHoursPerWeek;
            record.logon_hours.assign(bitmap.begin(), bitmap.end());
            return send_record(kLevelHours, record);
        },
        [&] { rare().week_set = std::move(shown); });
}

}  // namespace vorlek
