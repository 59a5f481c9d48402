// Shares, printers and drive connections on the real system: netapi32,
// winspool and mpr.
#include "platform/shares.h"

#include <aclapi.h>
#include <winnetwk.h>

#include <cstdint>
#include <vector>

#include "platform/win32/areas.h"
#include "platform/win32/handle.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

constexpr DWORD kLevelName = 0, kLevelFull = 502, kLevelFlags = 1005, kPrinterLevel = 2;

// A descriptor the system handed out, in the self-relative form the model
// reads; none for a null pointer or one that is not valid.
std::optional<SecurityDescriptor> descriptor_of(PSECURITY_DESCRIPTOR sd) {
    if (!sd || !::IsValidSecurityDescriptor(sd)) return std::nullopt;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(sd, &control, &revision)) return std::nullopt;
    if (control & SE_SELF_RELATIVE)
        return SecurityDescriptor::from_bytes(static_cast<const uint8_t*>(sd),
                                              ::GetSecurityDescriptorLength(sd));
    DWORD size = 0;
    ::MakeSelfRelativeSD(sd, nullptr, &size);
    std::vector<uint8_t> buffer(size ? size : 1);
    if (!::MakeSelfRelativeSD(sd, buffer.data(), &size)) return std::nullopt;
    return SecurityDescriptor::from_bytes(buffer.data(), size);
}

// The texts and the descriptor of a level-502 record, living as long as it.
struct Record502 {
    SHARE_INFO_502 info{};
    std::vector<uint8_t> security;
};

Record502 record_of(CStrings& c, const ShareInfo& r) {
    Record502 out;
    out.info.shi502_netname = c.wide_or_null(r.name);
    out.info.shi502_type = r.type;
    out.info.shi502_remark = c.wide_or_null(r.remark);
    out.info.shi502_permissions = r.permissions;
    out.info.shi502_max_uses = static_cast<DWORD>(r.max_uses);
    out.info.shi502_current_uses = 0;
    out.info.shi502_path = c.wide_or_null(r.path);
    out.info.shi502_passwd = c.wide_or_null(r.password);
    if (r.security) {
        out.security = r.security->bytes();
        out.info.shi502_security_descriptor = out.security.data();
    }
    return out;
}

HANDLE printer_of(PrinterHandle printer) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(printer));
}

class Win32Shares : public Shares {
  public:
    Result<ShareBatch> enumerate(StringView server, uint32_t& resume_handle) override {
        CStrings c;
        const LPWSTR name = c.wide_or_null(server);
        if (c.status()) return Result<ShareBatch>::failure(c.status());
        NetBuffer<SHARE_INFO_0> buffer;
        DWORD read = 0, total = 0, resume = resume_handle;
        const Status rc = status_from_net(::NetShareEnum(
            name, kLevelName, buffer.put_bytes(), MAX_PREFERRED_LENGTH, &read, &total, &resume));
        if (rc != status::kSuccess && rc != status::kMoreData)
            return Result<ShareBatch>::failure(rc);
        resume_handle = resume;
        ShareBatch batch;
        batch.total_entries = total;
        batch.entries.reserve(read);
        for (DWORD i = 0; i < read; ++i)
            batch.entries.push_back(from_wide(buffer.get()[i].shi0_netname));
        return {rc, std::move(batch)};
    }

    Result<ShareInfo> share_info(StringView server, StringView share) override {
        CStrings c;
        const LPWSTR name = c.wide_or_null(server);
        const LPWSTR net_name = c.wide(share);
        if (c.status()) return Result<ShareInfo>::failure(c.status());
        NetBuffer<SHARE_INFO_502> buffer;
        const Status rc =
            status_from_net(::NetShareGetInfo(name, net_name, kLevelFull, buffer.put_bytes()));
        if (rc != status::kSuccess) return Result<ShareInfo>::failure(rc);
        const SHARE_INFO_502& s = *buffer;
        ShareInfo out;
        out.name = from_wide(s.shi502_netname);
        out.type = s.shi502_type;
        out.remark = from_wide(s.shi502_remark);
        out.permissions = s.shi502_permissions;
        out.max_uses = static_cast<int32_t>(s.shi502_max_uses);
        out.current_uses = static_cast<int32_t>(s.shi502_current_uses);
        out.path = from_wide(s.shi502_path);
        out.security = descriptor_of(s.shi502_security_descriptor);
        return {status::kSuccess, std::move(out)};
    }

    Result<uint32_t> share_flags(StringView server, StringView share) override {
        CStrings c;
        const LPWSTR name = c.wide_or_null(server);
        const LPWSTR net_name = c.wide(share);
        if (c.status()) return Result<uint32_t>::failure(c.status());
        NetBuffer<SHARE_INFO_1005> buffer;
        const Status rc =
            status_from_net(::NetShareGetInfo(name, net_name, kLevelFlags, buffer.put_bytes()));
        if (rc != status::kSuccess) return Result<uint32_t>::failure(rc);
        return {status::kSuccess, buffer->shi1005_flags};
    }

    Status set_share_info(StringView server, StringView share, const ShareInfo& record,
                          uint32_t& parm_error) override {
        CStrings c;
        const LPWSTR name = c.wide_or_null(server);
        const LPWSTR net_name = c.wide(share);
        Record502 r = record_of(c, record);
        if (c.status()) return c.status();
        DWORD parm = 0;
        const Status rc = status_from_net(::NetShareSetInfo(
            name, net_name, kLevelFull, reinterpret_cast<LPBYTE>(&r.info), &parm));
        parm_error = parm;
        return rc;
    }

    Status add_share(StringView server, const ShareInfo& record, uint32_t& parm_error) override {
        CStrings c;
        const LPWSTR name = c.wide_or_null(server);
        Record502 r = record_of(c, record);
        if (c.status()) return c.status();
        DWORD parm = 0;
        const Status rc = status_from_net(
            ::NetShareAdd(name, kLevelFull, reinterpret_cast<LPBYTE>(&r.info), &parm));
        parm_error = parm;
        return rc;
    }

    Status delete_share(StringView server, StringView share) override {
        CStrings c;
        const LPWSTR name = c.wide_or_null(server);
        const LPWSTR net_name = c.wide(share);
        if (c.status()) return c.status();
        return status_from_net(::NetShareDel(name, net_name, 0));
    }

    Result<SecurityDescriptor> share_security(StringView unc_name) override {
        using R = Result<SecurityDescriptor>;
        CStrings c;
        const LPWSTR name = c.wide(unc_name);
        if (c.status()) return R::failure(c.status());
        PACL dacl = nullptr;
        LocalBuffer<void> sd;
        const Status rc = ::GetNamedSecurityInfoW(name, SE_LMSHARE, DACL_SECURITY_INFORMATION,
                                                  nullptr, nullptr, &dacl, nullptr, sd.put());
        if (rc != status::kSuccess) return R::failure(rc);
        auto read = descriptor_of(sd.get());
        if (!read) return R::failure(status::kInvalidParameter);
        return {status::kSuccess, std::move(*read)};
    }

    Result<PrinterHandle> open_printer(StringView name) override {
        using R = Result<PrinterHandle>;
        CStrings c;
        const LPWSTR printer = c.wide(name);
        if (c.status()) return R::failure(c.status());
        OpenedPrinter handle;
        if (!::OpenPrinterW(printer, handle.put(), nullptr)) return R::failure(last_error());
        return {status::kSuccess,
                static_cast<PrinterHandle>(reinterpret_cast<uintptr_t>(handle.release()))};
    }

    Result<PrinterInfo> printer_info(PrinterHandle printer) override {
        using R = Result<PrinterInfo>;
        DWORD needed = 0;
        if (::GetPrinterW(printer_of(printer), kPrinterLevel, nullptr, 0, &needed))
            return R::failure(status::kInvalidParameter);
        const Status first = last_error();
        if (first != status::kInsufficientBuffer) return R::failure(first);
        // PRINTER_INFO_2 holds pointers: the buffer keeps their alignment.
        std::vector<uint64_t> buffer(needed / sizeof(uint64_t) + 1);
        if (!::GetPrinterW(printer_of(printer), kPrinterLevel,
                           reinterpret_cast<LPBYTE>(buffer.data()),
                           static_cast<DWORD>(buffer.size() * sizeof(uint64_t)), &needed))
            return R::failure(last_error());
        const auto& p = *reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
        PrinterInfo out;
        out.server = from_wide(p.pServerName);
        out.printer_name = from_wide(p.pPrinterName);
        out.share_name = from_wide(p.pShareName);
        out.port_name = from_wide(p.pPortName);
        out.driver_name = from_wide(p.pDriverName);
        out.comment = from_wide(p.pComment);
        out.security = descriptor_of(p.pSecurityDescriptor);
        return {status::kSuccess, std::move(out)};
    }

    Status close_printer(PrinterHandle printer) override {
        return status_from_bool(::ClosePrinter(printer_of(printer)));
    }

    Status add_connection(const NetResource& resource, std::optional<StringView> password,
                          std::optional<StringView> user, uint32_t flags) override {
        CStrings c;
        NETRESOURCEW r{};
        r.dwScope = 0;
        r.dwType = resource.type;
        r.lpLocalName = resource.local_name ? c.wide(*resource.local_name) : nullptr;
        r.lpRemoteName = c.wide(resource.remote_name);
        const LPCWSTR pass = password ? c.wide(*password) : nullptr;
        const LPCWSTR name = user ? c.wide(*user) : nullptr;
        if (c.status()) return c.status();
        return ::WNetAddConnection2W(&r, pass, name, flags);
    }

    Status cancel_connection(StringView name, uint32_t flags, bool force) override {
        CStrings c;
        const LPCWSTR device = c.wide(name);
        if (c.status()) return c.status();
        return ::WNetCancelConnection2W(device, flags, force ? TRUE : FALSE);
    }
};

}  // namespace

std::shared_ptr<Shares> make_shares() {
    return std::make_shared<Win32Shares>();
}

}  // namespace vorlek::platform::win32
