// Account rights in the real system's local security authority.
#include "platform/lsa.h"

#include <limits>
#include <vector>

#include "platform/tokens.h"
#include "platform/win32/areas.h"
#include "platform/win32/handle.h"
#include "platform/win32/security.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

// The authority's counted strings hold at most this many characters.
constexpr size_t kMaxCountedChars = std::numeric_limits<USHORT>::max() / 2 - 1;

// A counted string over one of `c`'s copies: length in bytes without the
// NUL, the maximum with it.
LSA_UNICODE_STRING counted(CStrings& c, StringView text) {
    LSA_UNICODE_STRING out{};
    out.Buffer = c.wide(text);
    out.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
    out.MaximumLength = static_cast<USHORT>((text.size() + 1) * sizeof(wchar_t));
    return out;
}

// The rights as counted strings; 123 for one with a NUL inside, 1313 for
// one longer than any right (it could not be one).
Status counted_rights(CStrings& c, const std::vector<String>& rights,
                      std::vector<LSA_UNICODE_STRING>& out) {
    for (const String& r : rights) {
        if (r.size() > kMaxCountedChars) return status::kNoSuchPrivilege;
        out.push_back(counted(c, r));
    }
    return c.status();
}

LSA_HANDLE handle_of(PolicyHandle policy) {
    return reinterpret_cast<LSA_HANDLE>(static_cast<uintptr_t>(policy));
}

class Win32Lsa : public Lsa {
  public:
    Result<PolicyHandle> open_policy(StringView system, uint32_t access) override {
        using R = Result<PolicyHandle>;
        if (system.size() > kMaxCountedChars) return R::failure(status::kInvalidName);
        CStrings c;
        LSA_UNICODE_STRING name{};
        if (!system.empty()) name = counted(c, system);
        if (c.status()) return R::failure(c.status());
        LSA_OBJECT_ATTRIBUTES attributes{};
        LsaHandle policy;
        const Status rc = status_from_ntstatus(
            ::LsaOpenPolicy(system.empty() ? nullptr : &name, &attributes, access, policy.put()));
        if (rc != status::kSuccess) return R::failure(rc);
        return {status::kSuccess,
                static_cast<PolicyHandle>(reinterpret_cast<uintptr_t>(policy.release()))};
    }

    Status close(PolicyHandle policy) override {
        return status_from_ntstatus(::LsaClose(handle_of(policy)));
    }

    Result<std::vector<Sid>> accounts_with_right(PolicyHandle policy, StringView right) override {
        using R = Result<std::vector<Sid>>;
        if (right.size() > kMaxCountedChars) return R::failure(status::kNoSuchPrivilege);
        CStrings c;
        LSA_UNICODE_STRING name = counted(c, right);
        if (c.status()) return R::failure(c.status());
        LsaBuffer<LSA_ENUMERATION_INFORMATION> buffer;
        ULONG count = 0;
        const Status rc = status_from_ntstatus(::LsaEnumerateAccountsWithUserRight(
            handle_of(policy), &name, reinterpret_cast<PVOID*>(buffer.put()), &count));
        if (rc != status::kSuccess) return R::failure(rc);
        std::vector<Sid> out;
        out.reserve(count);
        for (ULONG i = 0; i < count; ++i) {
            // An entry that holds no valid SID stays one, for the caller to skip.
            out.push_back(sid_from(buffer.get()[i].Sid).value_or(Sid(0, {}, 0)));
        }
        return {status::kSuccess, std::move(out)};
    }

    Status add_account_rights(PolicyHandle policy, const Sid& account,
                              const std::vector<String>& rights) override {
        return change(policy, account, false, rights, true);
    }

    Status remove_account_rights(PolicyHandle policy, const Sid& account, bool all,
                                 const std::vector<String>& rights) override {
        return change(policy, account, all, rights, false);
    }

  private:
    static Status change(PolicyHandle policy, const Sid& account, bool all,
                         const std::vector<String>& rights, bool add) {
        if (!account.valid()) return status::kInvalidSid;
        CStrings c;
        std::vector<LSA_UNICODE_STRING> names;
        if (Status s = counted_rights(c, rights, names)) return s;
        std::vector<uint8_t> sid = account.bytes();
        LSA_UNICODE_STRING* list = names.empty() ? nullptr : names.data();
        const auto n = static_cast<ULONG>(names.size());
        return status_from_ntstatus(
            add ? ::LsaAddAccountRights(handle_of(policy), sid.data(), list, n)
                : ::LsaRemoveAccountRights(handle_of(policy), sid.data(), all ? TRUE : FALSE, list,
                                           n));
    }
};

}  // namespace

std::shared_ptr<Lsa> make_lsa() {
    return std::make_shared<Win32Lsa>();
}

}  // namespace vorlek::platform::win32
