// Shares of a remote server over its server service (srvsvc): the names in
// one enumeration, level-502 records with their descriptors, and the
// changes. An enumeration reads the full records in the same call when the
// caller may see them, and keeps them for the record reads that follow it
// (each once), so that listing N shares takes one round trip, not N + 1.
// Printers and drive connections belong to the machine the script runs on:
// 50.
#include "platform/shares.h"

#include <map>
#include <mutex>

#include "automation/text.h"
#include "platform/c_strings.h"
#include "platform/remote/areas.h"
#include "platform/remote/srvsvc.h"

namespace vorlek::platform::remote {

namespace {

constexpr uint32_t kNames = 0, kFull = 502, kFlags = 1005;

class RemoteShares final : public platform::Shares {
  public:
    explicit RemoteShares(std::shared_ptr<Session> session) : session_(std::move(session)) {}

    Result<ShareBatch> enumerate(StringView server, uint32_t& resume_handle) override {
        using R = Result<ShareBatch>;
        auto host = session_->host(server);
        if (!host.ok()) return R::failure(host.status);
        std::vector<ShareInfo> records;
        uint32_t total = 0, resume = resume_handle;
        // The full records need an administrator; anybody may list names.
        Status s = enumerate_at(host.value, kFull, records, total, resume);
        const bool full = s == status::kSuccess || s == status::kMoreData;
        if (!full && s != status::kBadNetPath && s != kRpcServerUnavailable && s != kLogonFailure) {
            records.clear();
            resume = resume_handle;
            s = enumerate_at(host.value, kNames, records, total, resume);
        }
        if (s != status::kSuccess && s != status::kMoreData) return R::failure(s);
        resume_handle = resume;
        ShareBatch batch;
        batch.total_entries = total;
        batch.entries.reserve(records.size());
        std::lock_guard guard(lock_);
        kept_.clear();
        for (ShareInfo& r : records) {
            batch.entries.push_back(r.name);
            if (full) kept_.emplace(key(host.value, r.name), std::move(r));
        }
        return {s, std::move(batch)};
    }

    Result<ShareInfo> share_info(StringView server, StringView name) override {
        using R = Result<ShareInfo>;
        if (!fits_c_string(name)) return R::failure(status::kInvalidName);
        auto host = session_->host(server);
        if (!host.ok()) return R::failure(host.status);
        {
            std::lock_guard guard(lock_);
            auto it = kept_.find(key(host.value, name));
            if (it != kept_.end()) {
                ShareInfo record = std::move(it->second);
                kept_.erase(it);
                return {status::kSuccess, std::move(record)};
            }
        }
        ShareInfo record;
        uint32_t flags = 0;
        const Status s = get_info(host.value, name, kFull, record, flags);
        if (s != status::kSuccess) return R::failure(s);
        return {status::kSuccess, std::move(record)};
    }

    Result<uint32_t> share_flags(StringView server, StringView name) override {
        using R = Result<uint32_t>;
        if (!fits_c_string(name)) return R::failure(status::kInvalidName);
        auto host = session_->host(server);
        if (!host.ok()) return R::failure(host.status);
        ShareInfo record;
        uint32_t flags = 0;
        const Status s = get_info(host.value, name, kFlags, record, flags);
        if (s != status::kSuccess) return R::failure(s);
        return {status::kSuccess, flags};
    }

    Status set_share_info(StringView server, StringView name, const ShareInfo& record,
                          uint32_t& parm_error) override {
        parm_error = 0;
        if (Status s = c_strings_status({name, record.remark, record.password})) return s;
        auto host = session_->host(server);
        if (!host.ok()) return host.status;
        forget(host.value, name);
        auto reply = session_->call(host.value, Pipe::Srvsvc, srvsvc::kShareSetInfo,
                                    srvsvc::share_set_info(srvsvc::unc(host.value), name, record));
        if (!reply.ok()) return reply.status;
        return srvsvc::windows_status(srvsvc::kShareSetInfo,
                                      srvsvc::read_parm_error(reply.value, parm_error));
    }

    Status add_share(StringView server, const ShareInfo& record, uint32_t& parm_error) override {
        parm_error = 0;
        if (Status s = c_strings_status({record.name, record.remark, record.path, record.password}))
            return s;
        auto host = session_->host(server);
        if (!host.ok()) return host.status;
        auto reply = session_->call(host.value, Pipe::Srvsvc, srvsvc::kShareAdd,
                                    srvsvc::share_add(srvsvc::unc(host.value), record));
        if (!reply.ok()) return reply.status;
        return srvsvc::windows_status(srvsvc::kShareAdd,
                                      srvsvc::read_parm_error(reply.value, parm_error));
    }

    Status delete_share(StringView server, StringView name) override {
        if (!fits_c_string(name)) return status::kInvalidName;
        auto host = session_->host(server);
        if (!host.ok()) return host.status;
        forget(host.value, name);
        auto reply = session_->call(host.value, Pipe::Srvsvc, srvsvc::kShareDel,
                                    srvsvc::share_del(srvsvc::unc(host.value), name));
        if (!reply.ok()) return reply.status;
        return srvsvc::windows_status(srvsvc::kShareDel, srvsvc::read_status(reply.value));
    }

    // The discretionary list of "\\SERVER\share", from the share's record.
    Result<SecurityDescriptor> share_security(StringView unc_name) override {
        using R = Result<SecurityDescriptor>;
        if (!fits_c_string(unc_name)) return R::failure(status::kInvalidName);
        if (!unc_name.starts_with(u"\\\\")) return R::failure(status::kBadNetName);
        const StringView rest = unc_name.substr(2);
        const size_t slash = rest.find(u'\\');
        if (slash == 0 || slash == StringView::npos) return R::failure(status::kBadNetName);
        StringView share = rest.substr(slash + 1);
        share = share.substr(0, share.find(u'\\'));
        if (share.empty()) return R::failure(status::kBadNetName);
        auto host = session_->host(rest.substr(0, slash));
        if (!host.ok()) return R::failure(host.status);
        ShareInfo record;
        uint32_t flags = 0;
        if (Status s = get_info(host.value, share, kFull, record, flags)) return R::failure(s);
        SecurityDescriptor sd;
        if (record.security)
            sd = record.security->part(security_info::kDacl);
        else
            sd.null_dacl = true;  // no descriptor: a list that grants everything
        return {status::kSuccess, std::move(sd)};
    }

    // Printers are reached over the print spooler's own protocol, which this
    // backend does not speak.
    Result<PrinterHandle> open_printer(StringView) override { return {kNotSupported, {}}; }
    Result<PrinterInfo> printer_info(PrinterHandle) override { return {kNotSupported, {}}; }
    Status close_printer(PrinterHandle) override { return kNotSupported; }

    // Drive connections are the logon session's on the machine the script
    // runs on, which is no Windows machine here.
    Status add_connection(const NetResource&, std::optional<StringView>, std::optional<StringView>,
                          uint32_t) override {
        return kNotSupported;
    }
    Status cancel_connection(StringView, uint32_t, bool) override { return kNotSupported; }

  private:
    static std::string key(const std::string& host, StringView name) {
        return host + '\\' + to_utf8(to_upper(name));
    }

    void forget(const std::string& host, StringView name) {
        std::lock_guard guard(lock_);
        kept_.erase(key(host, name));
    }

    Status enumerate_at(const std::string& host, uint32_t level, std::vector<ShareInfo>& records,
                        uint32_t& total, uint32_t& resume) {
        auto reply = session_->call(host, Pipe::Srvsvc, srvsvc::kShareEnum,
                                    srvsvc::share_enum(srvsvc::unc(host), level, resume));
        if (!reply.ok()) return reply.status;
        return srvsvc::read_share_enum(reply.value, level, records, total, resume);
    }

    Status get_info(const std::string& host, StringView name, uint32_t level, ShareInfo& record,
                    uint32_t& flags) {
        auto reply = session_->call(host, Pipe::Srvsvc, srvsvc::kShareGetInfo,
                                    srvsvc::share_get_info(srvsvc::unc(host), name, level));
        if (!reply.ok()) return reply.status;
        return srvsvc::windows_status(
            srvsvc::kShareGetInfo, srvsvc::read_share_get_info(reply.value, level, record, flags));
    }

    std::shared_ptr<Session> session_;
    std::mutex lock_;
    // Records of the last enumeration not read yet, by host and upper-case name.
    std::map<std::string, ShareInfo> kept_;
};

}  // namespace

std::shared_ptr<Shares> make_shares(const Context& context) {
    return std::make_shared<RemoteShares>(context.session);
}

}  // namespace vorlek::platform::remote
