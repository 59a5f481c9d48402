#include "policy/modals_manager.h"

#include "automation/member.h"
#include "computers/machine_names.h"
#include "platform/platform.h"
#include "platform/system.h"

#include <iterator>

namespace vorlek {

namespace {

constexpr StringView kRoleTexts[] = {
    u"UAS_ROLE_STANDALONE",
    u"UAS_ROLE_MEMBER",
    u"UAS_ROLE_BACKUP",
    u"UAS_ROLE_PRIMARY",
};

// The text of a logon server's role; empty for any other value.
String role_text(uint32_t role) {
    return role < std::size(kRoleTexts) ? String(kRoleTexts[role]) : String();
}

}  // namespace

const ClassInfo& ModalsManager::info() {
    static const ClassInfo info = [] {
        using M = ModalsManager;
        static constexpr StringView kMinLen =
            u"Returns or sets the minimum allowable password length between zero and 256";
        static constexpr StringView kMaxAge =
            u"Returns or sets the time in seconds of the maximum allowable password age";
        static constexpr StringView kMinAge =
            u"Returns or sets the time in seconds of the minimum allowable password age";
        static constexpr StringView kHistory =
            u"Returns or sets the length of password history maintained";
        static constexpr StringView kLogoff =
            u"Returns or sets the time in seconds between the end of logon time and the forced "
            u"log off";
        static constexpr StringView kDuration =
            u"Returns or sets the time in seconds how long a locked account remains locked "
            u"before  it's unlocked";
        static constexpr StringView kWindow =
            u"Returns or sets the max time in seconds between any two failed logon attempts "
            u"before lockout occurs";
        static constexpr StringView kThreshold =
            u"Returns or sets the number of invalid authentications that can occur before an "
            u"account is locked out";
        ClassBuilder<M> b(u"ModalsManager");
        b.let<&M::SetMinPasswordLen>(u"MinPasswordLen", kMinLen)
            .get<&M::MinPasswordLen>(u"MinPasswordLen", {}, kMinLen)
            .let<&M::SetMaxPasswordAge>(u"MaxPasswordAge", kMaxAge)
            .get<&M::MaxPasswordAge>(u"MaxPasswordAge", {}, kMaxAge)
            .let<&M::SetMinPasswordAge>(u"MinPasswordAge", kMinAge)
            .get<&M::MinPasswordAge>(u"MinPasswordAge", {}, kMinAge)
            .let<&M::SetPasswordHistLen>(u"PasswordHistLen", kHistory)
            .get<&M::PasswordHistLen>(u"PasswordHistLen", {}, kHistory)
            .let<&M::SetForceLogoff>(u"ForceLogoff", kLogoff)
            .get<&M::ForceLogoff>(u"ForceLogoff", {}, kLogoff)
            .let<&M::SetLockoutDuration>(u"LockoutDuration", kDuration)
            .get<&M::LockoutDuration>(u"LockoutDuration", {}, kDuration)
            .let<&M::SetLockoutObservationWindow>(u"LockoutObservationWindow", kWindow)
            .get<&M::LockoutObservationWindow>(u"LockoutObservationWindow", {}, kWindow)
            .let<&M::SetLockoutThreshold>(u"LockoutThreshold", kThreshold)
            .get<&M::LockoutThreshold>(u"LockoutThreshold", {}, kThreshold)
            .get<&M::LastError>(u"LastError", {}, u"Common property of this class")
            .get<&M::DomainName>(u"DomainName", {},
                                 u"Returns the domain name of a ModalsManager object")
            .get<&M::LogonServerRoleStr>(u"LogonServerRoleStr", {},
                                         u"Returns the role of the logon server")
            .get<&M::PDCName>(u"PDCName", {}, u"Returnes the name of the primary domain controller")
            .get<&M::Computer>(u"Computer", {},
                               u"Returns the computername of a ModalsManager object")
            .get<&M::Valid>(u"Valid", {},
                            u"Specifies whether a ModalsManger object represents a valid object.")
            .constant(u"TIMEQ_FOREVER", kTimeqForever,
                      u"Used for setting some properties of this class")
            .constant(u"ONE_DAY", kOneDay, u"Returnes the time in seconds of one day")
            .method<&M::GetModalsInfo>(u"GetModalsInfo", {optional(u"strComputer", u"")},
                                       u"Inits the properties of this class");
        return b.build();
    }();
    return info;
}

// ---------------------------------------------------------------------------
// GetModalsInfo

void ModalsManager::reset(const String& computer) {
    min_password_len_ = max_password_age_ = min_password_age_ = password_hist_len_ = force_logoff_ =
        lockout_duration_ = lockout_window_ = lockout_threshold_ = 0;
    lockout_ = Lockout{};
    computer_ = computer;
    role_text_.clear();
    pdc_name_.clear();
    domain_name_.clear();
    valid_ = false;
}

int32_t ModalsManager::GetModalsInfo(String strComputer) {
    int32_t result = 0;
    const int32_t error = attempt([&] {
        reset(strComputer);
        const String target = machines::normalized_target(strComputer);
        auto& accounts = platform::current().accounts();
        auto read = [&](uint32_t level) {
            auto r = accounts.user_modals(target, level);
            if (!r.ok()) result = static_cast<int32_t>(r.status);
            return r;
        };
        auto passwords = read(0);
        if (!passwords.ok()) return;
        min_password_len_ = as_long(passwords.value.min_passwd_len);
        max_password_age_ = as_long(passwords.value.max_passwd_age);
        min_password_age_ = as_long(passwords.value.min_passwd_age);
        password_hist_len_ = as_long(passwords.value.password_hist_len);
        force_logoff_ = as_long(passwords.value.force_logoff);
        auto role = read(1);
        if (!role.ok()) return;
        role_text_ = role_text(role.value.role);
        pdc_name_ = role.value.primary;
        auto domain = read(2);
        if (!domain.ok()) return;
        domain_name_ = domain.value.domain_name;
        auto lockout = read(3);
        if (!lockout.ok()) return;
        lockout_ = {as_long(lockout.value.lockout_duration),
                    as_long(lockout.value.lockout_observation_window),
                    as_long(lockout.value.lockout_threshold)};
        lockout_duration_ = lockout_.duration;
        lockout_window_ = lockout_.window;
        lockout_threshold_ = lockout_.threshold;
        if (computer_.empty()) computer_ = machines::local_machine_name();
        valid_ = true;
    });
    return error != 0 ? error : result;
}

// ---------------------------------------------------------------------------
// Write-through

template <class Fill, class Keep>
void ModalsManager::write_through(uint32_t level, Fill&& fill, Keep&& keep) {
    last_error_ = 0;
    if (!valid_) return;
    const int32_t error = attempt([&] {
        platform::ModalsInfo record;
        fill(record);
        uint32_t parm_err = 0;
        const platform::Status s = platform::current().accounts().set_user_modals(
            machines::normalized_target(computer_), level, record, parm_err);
        if (s == platform::status::kSuccess) {
            keep();
        } else {
            last_error_ = static_cast<int32_t>(s);
        }
    });
    if (error != 0) last_error_ = error;
}

void ModalsManager::write_password(uint32_t level, uint32_t platform::ModalsInfo::*field,
                                   int32_t value, int32_t& into) {
    write_through(
        level, [&](platform::ModalsInfo& r) { r.*field = as_dword(value); }, [&] { into = value; });
}

void ModalsManager::write_lockout(int32_t Lockout::*field, int32_t value, int32_t& into) {
    Lockout changed = lockout_;
    changed.*field = value;
    write_through(
        3,
        [&](platform::ModalsInfo& r) {
            r.lockout_duration = as_dword(changed.duration);
            r.lockout_observation_window = as_dword(changed.window);
            r.lockout_threshold = as_dword(changed.threshold);
        },
        [&] {
            lockout_ = changed;
            into = value;
        });
}

void ModalsManager::SetMinPasswordLen(int32_t value) {
    write_password(1001, &platform::ModalsInfo::min_passwd_len, value, min_password_len_);
}
void ModalsManager::SetMaxPasswordAge(int32_t value) {
    write_password(1002, &platform::ModalsInfo::max_passwd_age, value, max_password_age_);
}
void ModalsManager::SetMinPasswordAge(int32_t value) {
    write_password(1003, &platform::ModalsInfo::min_passwd_age, value, min_password_age_);
}
void ModalsManager::SetForceLogoff(int32_t value) {
    write_password(1004, &platform::ModalsInfo::force_logoff, value, force_logoff_);
}
void ModalsManager::SetPasswordHistLen(int32_t value) {
    write_password(1005, &platform::ModalsInfo::password_hist_len, value, password_hist_len_);
}
void ModalsManager::SetLockoutDuration(int32_t value) {
    write_lockout(&Lockout::duration, value, lockout_duration_);
}
void ModalsManager::SetLockoutObservationWindow(int32_t value) {
    write_lockout(&Lockout::window, value, lockout_window_);
}
void ModalsManager::SetLockoutThreshold(int32_t value) {
    write_lockout(&Lockout::threshold, value, lockout_threshold_);
}

int32_t read_account_domain(StringView computer, String& domain) {
    auto modals = make<ModalsManager>();
    const int32_t rc = modals->GetModalsInfo(String(computer));
    if (rc == 0) domain = modals->DomainName();
    return rc;
}

}  // namespace vorlek
