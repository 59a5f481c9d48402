// ModalsManager: the account policy of a machine or domain (password and
// lockout rules), with its role, primary domain controller and account
// domain; every writable property writes through at once.
#pragma once

#include "automation/object.h"
#include "platform/accounts.h"

namespace vorlek {

class ModalsManager : public Object {
  public:
    static const ClassInfo& info();
    const ClassInfo& class_info() const noexcept override { return info(); }

    static constexpr int32_t kTimeqForever = -1;  // TIMEQ_FOREVER
    static constexpr int32_t kOneDay = 86400;     // seconds

    void SetMinPasswordLen(int32_t value);
    int32_t MinPasswordLen() const { return min_password_len_; }
    void SetMaxPasswordAge(int32_t value);
    int32_t MaxPasswordAge() const { return max_password_age_; }
    void SetMinPasswordAge(int32_t value);
    int32_t MinPasswordAge() const { return min_password_age_; }
    void SetPasswordHistLen(int32_t value);
    int32_t PasswordHistLen() const { return password_hist_len_; }
    void SetForceLogoff(int32_t value);
    int32_t ForceLogoff() const { return force_logoff_; }
    void SetLockoutDuration(int32_t value);
    int32_t LockoutDuration() const { return lockout_duration_; }
    void SetLockoutObservationWindow(int32_t value);
    int32_t LockoutObservationWindow() const { return lockout_window_; }
    void SetLockoutThreshold(int32_t value);
    int32_t LockoutThreshold() const { return lockout_threshold_; }
    int32_t LastError() const { return last_error_; }
    String DomainName() const { return domain_name_; }
    String LogonServerRoleStr() const { return role_text_; }
    String PDCName() const { return pdc_name_; }
    String Computer() const { return computer_; }
    bool Valid() const { return valid_; }
    int32_t GetModalsInfo(String strComputer);

  private:
    // The level-3 record as last read and as changed since through this object.
    struct Lockout {
        int32_t duration = 0;
        int32_t window = 0;
        int32_t threshold = 0;
    };

    void reset(const String& computer);
    // The common frame of the lets: writes `level` with `record` filled by
    // `fill`, then lets `keep` take the value on success.
    template <class Fill, class Keep>
    void write_through(uint32_t level, Fill&& fill, Keep&& keep);
    void write_password(uint32_t level, uint32_t platform::ModalsInfo::*field, int32_t value,
                        int32_t& into);
    void write_lockout(int32_t Lockout::*field, int32_t value, int32_t& into);

    int32_t min_password_len_ = 0;
    int32_t max_password_age_ = 0;
    int32_t min_password_age_ = 0;
    int32_t password_hist_len_ = 0;
    int32_t force_logoff_ = 0;
    int32_t lockout_duration_ = 0;
    int32_t lockout_window_ = 0;
    int32_t lockout_threshold_ = 0;
    String computer_;
    String role_text_;
    String pdc_name_;
    String domain_name_;
    bool valid_ = false;
    int32_t last_error_ = 0;
    Lockout lockout_;
};

// The account domain of a machine as a private ModalsManager reads it, the
// first step of the account classes: 0 and the domain, or the read's status.
int32_t read_account_domain(StringView computer, String& domain);

}  // namespace vorlek
