// Names and SIDs on the real system.
#include "platform/security.h"

#include <vector>

#include "platform/win32/areas.h"
#include "platform/win32/handle.h"
#include "platform/win32/security.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

std::optional<Sid> sid_from(PSID sid) {
    if (!sid || !::IsValidSid(sid)) return std::nullopt;
    return Sid::from_bytes(static_cast<const uint8_t*>(sid), ::GetLengthSid(sid));
}

namespace {

class Win32Security : public Security {
  public:
    Result<Account> lookup_account_name(StringView system, StringView name) override {
        CStrings c;
        const LPCWSTR machine = c.wide_or_null(system), account = c.wide(name);
        if (c.status()) return Result<Account>::failure(c.status());
        DWORD sid_size = 0, domain_size = 0;
        SID_NAME_USE use{};
        // Asked for the sizes first: the call fails with 122 and sets both.
        ::LookupAccountNameW(machine, account, nullptr, &sid_size, nullptr, &domain_size, &use);
        std::vector<uint8_t> sid(sid_size ? sid_size : 1);
        std::wstring domain(domain_size ? domain_size : 1, L'\0');
        const Status rc = status_from_bool(::LookupAccountNameW(
            machine, account, sid.data(), &sid_size, domain.data(), &domain_size, &use));
        if (rc != status::kSuccess) return Result<Account>::failure(rc);
        auto value = sid_from(sid.data());
        if (!value) return Result<Account>::failure(status::kInvalidSid);
        // The call names the domain but not the account: the system's
        // spelling comes from the SID, else the name as given.
        const size_t slash = name.find(u'\\');
        Account out{std::move(*value),
                    String(slash == StringView::npos ? name : name.substr(slash + 1)),
                    from_wide(domain.c_str()), static_cast<SidUsage>(use)};
        if (auto spelt = lookup_account_sid(system, out.sid); spelt.ok())
            out.name = std::move(spelt.value.name);
        return {status::kSuccess, std::move(out)};
    }

    Result<Account> lookup_account_sid(StringView system, const Sid& sid) override {
        if (!sid.valid()) return Result<Account>::failure(status::kInvalidSid);
        CStrings c;
        const LPCWSTR machine = c.wide_or_null(system);
        if (c.status()) return Result<Account>::failure(c.status());
        std::vector<uint8_t> binary = sid.bytes();
        DWORD name_size = 0, domain_size = 0;
        SID_NAME_USE use{};
        ::LookupAccountSidW(machine, binary.data(), nullptr, &name_size, nullptr, &domain_size,
                            &use);
        std::wstring name(name_size ? name_size : 1, L'\0');
        std::wstring domain(domain_size ? domain_size : 1, L'\0');
        const Status rc = status_from_bool(::LookupAccountSidW(
            machine, binary.data(), name.data(), &name_size, domain.data(), &domain_size, &use));
        if (rc != status::kSuccess) return Result<Account>::failure(rc);
        return {status::kSuccess, Account{sid, from_wide(name.c_str()), from_wide(domain.c_str()),
                                          static_cast<SidUsage>(use)}};
    }

    Result<String> user_name() override {
        // Asked for the length first: the call fails with 122 and sets it.
        DWORD size = 0;
        ::GetUserNameW(nullptr, &size);
        std::wstring name(size ? size : 1, L'\0');
        const Status rc = status_from_bool(::GetUserNameW(name.data(), &size));
        if (rc != status::kSuccess) return Result<String>::failure(rc);
        return {status::kSuccess, from_wide(name.c_str())};
    }
};

}  // namespace

std::shared_ptr<Security> make_security() {
    return std::make_shared<Win32Security>();
}

}  // namespace vorlek::platform::win32
