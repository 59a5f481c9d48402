#include "platform/sim/shares.h"

#include <algorithm>

#include "platform/little_endian.h"
#include "platform/registry.h"
#include "platform/servers.h"
#include "platform/sim/areas.h"
#include "platform/sim/machine.h"
#include "platform/sim/network.h"
#include "platform/sim/processes.h"
#include "platform/sim/registry.h"
#include "platform/tokens.h"

namespace vorlek::sim {

namespace {

namespace st = platform::status;
namespace sh = platform::share;
namespace nu = platform::net_use;
using platform::NetResource;
using platform::PrinterHandle;
using platform::PrinterInfo;
using platform::Result;
using platform::SecurityDescriptor;
using platform::ShareBatch;
using platform::ShareInfo;
using platform::Status;

// The limits of the server's share records (NNLEN, MAXCOMMENTSZ, MAX_PATH).
constexpr size_t kMaxShareName = 80, kMaxRemark = 256, kMaxPath = 260;
constexpr StringView kNetworkKey = u"Network";
constexpr StringView kProvider = u"Microsoft Windows Network";
constexpr uint32_t kProviderType = 0x20000;  // WNNC_NET_LANMAN

template <class T>
Result<T> fail(Status s) {
    return Result<T>::failure(s);
}

void add_standard(SharesState& s, StringView name, uint32_t type, StringView remark,
                  StringView path) {
    SimShare share;
    share.name = String(name);
    share.type = type;
    share.remark = String(remark);
    share.path = String(path);
    s.shares[to_upper(name)] = std::move(share);
}

// Whether the caller may change the server's shares and read their records.
bool caller_is_admin(Network& net) {
    return caller_token(net).identity().has(
        platform::sid::builtin_alias(platform::sid::rid::kAdmins));
}

// A folder exists when it is the root of one of the machine's disks or
// holds a file.
bool folder_exists(Machine& m, StringView path) {
    String folder = to_upper(path);
    while (folder.size() > 3 && folder.back() == u'\\')
        folder.pop_back();
    const SharesState& s = m.shares;
    if (folder.size() == 2 || folder.size() == 3) {
        const bool drive = folder[1] == u':' && (folder.size() == 2 || folder[2] == u'\\');
        if (drive) return s.local_drives.find(folder[0]) != String::npos;
    }
    const String prefix = folder + u"\\";
    return std::any_of(m.files.begin(), m.files.end(),
                       [&](const auto& file) { return to_upper(file.first).starts_with(prefix); });
}

bool known_type(uint32_t type) {
    return (type & ~sh::kSpecial) <= sh::kIpc;
}

// The checks NetShareAdd and NetShareSetInfo make of a record's fields: 0,
// or 87 with the index of the first field that is wrong.
Status check_record(const ShareInfo& r, bool adding, uint32_t& parm_error) {
    const auto bad = [&](uint32_t parm) {
        parm_error = parm;
        return st::kInvalidParameter;
    };
    if (adding && (r.name.empty() || r.name.size() > kMaxShareName ||
                   r.name.find_first_of(u"\\/:*?\"<>|") != String::npos))
        return bad(sh::kNetNameParm);
    if (adding && !known_type(r.type)) return bad(sh::kTypeParm);
    if (r.remark.size() > kMaxRemark) return bad(sh::kRemarkParm);
    if (r.permissions & ~sh::kAccessAll) return bad(sh::kPermissionsParm);
    if (r.max_uses < -1) return bad(sh::kMaxUsesParm);
    if (adding && (r.path.empty() || r.path.size() > kMaxPath)) return bad(sh::kPathParm);
    if (r.password.size() > sh::kMaxPassword) return bad(sh::kPasswdParm);
    return st::kSuccess;
}

// "\\SERVER\share[\path]" into its server and share; false when it is not
// a name of that form.
bool split_unc(StringView unc, String& server, String& share) {
    if (!unc.starts_with(u"\\\\")) return false;
    const StringView rest = unc.substr(2);
    const size_t slash = rest.find(u'\\');
    if (slash == 0 || slash == StringView::npos) return false;
    StringView name = rest.substr(slash + 1);
    name = name.substr(0, name.find(u'\\'));
    if (name.empty()) return false;
    server = String(rest.substr(0, slash));
    share = String(name);
    return true;
}

SimShare* find_share(Network& net, Machine& m, StringView name) {
    auto& shares = shares_state(net, m).shares;
    auto it = shares.find(to_upper(name));
    return it == shares.end() ? nullptr : &it->second;
}

// The drive letter a device name stands for ("X:" gives 'X'); 0 for any
// other name.
char16_t drive_letter(StringView device) {
    if (device.size() != 2 || device[1] != u':') return 0;
    const char16_t c = to_upper(device.substr(0, 1))[0];
    return c >= u'A' && c <= u'Z' ? c : 0;
}

std::shared_ptr<KeyNode> user_hive(Network& net, Machine& m) {
    return predefined_key(net, m, platform::hkey::kCurrentUser);
}

bool remembered(Network& net, Machine& m, char16_t letter) {
    auto hive = user_hive(net, m);
    KeyNode* network = hive ? hive->child(kNetworkKey) : nullptr;
    return network && network->child(StringView(&letter, 1));
}

std::vector<uint8_t> dword_bytes(uint32_t v) {
    std::vector<uint8_t> out(4);
    platform::put32(out.data(), v);
    return out;
}

void remember(Network& net, Machine& m, const DriveConnection& c, uint32_t type) {
    auto hive = user_hive(net, m);
    if (!hive) return;
    const char16_t letter = drive_letter(c.local);
    KeyNode& key = hive->add_child(kNetworkKey).add_child(StringView(&letter, 1));
    key.set_value(u"RemotePath", platform::reg::kSz, utf16_bytes(c.remote));
    key.set_value(u"UserName", platform::reg::kSz, utf16_bytes(c.user));
    key.set_value(u"ProviderName", platform::reg::kSz, utf16_bytes(kProvider));
    key.set_value(u"ProviderType", platform::reg::kDword, dword_bytes(kProviderType));
    key.set_value(u"ConnectionType", platform::reg::kDword,
                  dword_bytes(type == nu::kPrint ? nu::kPrint : nu::kDisk));
    key.write_time = m.time.clock;
}

void forget(Network& net, Machine& m, char16_t letter) {
    auto hive = user_hive(net, m);
    KeyNode* network = hive ? hive->child(kNetworkKey) : nullptr;
    if (network) network->remove_child(StringView(&letter, 1));
}

// The credentials a connection brings: 0, 1326 for an account the server
// does not know, 86 for a wrong password.
Status check_credentials(Network& net, Machine& server, StringView user, StringView password) {
    StringView domain, name = user;
    if (const size_t slash = user.find(u'\\'); slash != StringView::npos) {
        domain = user.substr(0, slash);
        name = user.substr(slash + 1);
    }
    AccountDatabase* db = nullptr;
    if (!domain.empty() && !equal_ignore_case(domain, server.name)) {
        db = domain_database(net, domain);
    } else {
        db = &account_database(net, server);
        if (domain.empty() && !db->user(name)) db = domain_database(net, server.servers.lan_group);
    }
    UserAccount* account = db ? db->user(name) : nullptr;
    if (!account) return st::kLogonFailure;
    return account->password == password ? st::kSuccess : st::kInvalidPassword;
}

class SimShares : public platform::Shares {
  public:
    explicit SimShares(Network& net) : net_(net), printers_(net.handles(), HandleKind::Printer) {}

    Result<ShareBatch> enumerate(StringView server, uint32_t& resume_handle) override {
        auto call = net_.enter(op::NetShareEnum, server);
        if (!call) return call.failure<ShareBatch>();
        const auto& shares = shares_state(net_, call.machine()).shares;
        ShareBatch batch;
        batch.total_entries = static_cast<uint32_t>(shares.size());
        if (resume_handle < shares.size()) {
            batch.entries.reserve(shares.size() - resume_handle);
            for (auto it = std::next(shares.begin(), resume_handle); it != shares.end(); ++it)
                batch.entries.push_back(it->second.name);
        }
        batch.total_entries -= std::min<uint32_t>(resume_handle, batch.total_entries);
        resume_handle = static_cast<uint32_t>(shares.size());
        return {st::kSuccess, std::move(batch)};
    }

    Result<ShareInfo> share_info(StringView server, StringView name) override {
        auto call = net_.enter(op::NetShareGetInfo, server, {name});
        if (!call) return call.failure<ShareInfo>();
        // Level 502 shows paths and descriptors: for administrators only.
        if (!caller_is_admin(net_)) return fail<ShareInfo>(st::kAccessDenied);
        const SimShare* s = find_share(net_, call.machine(), name);
        if (!s) return fail<ShareInfo>(st::kNetNameNotFound);
        ShareInfo out;
        out.name = s->name;
        out.type = s->type;
        out.remark = s->remark;
        out.permissions = s->permissions;
        out.max_uses = s->max_uses;
        out.current_uses = s->current_uses;
        out.path = s->path;
        out.security = s->security;
        return {st::kSuccess, std::move(out)};
    }

    Result<uint32_t> share_flags(StringView server, StringView name) override {
        auto call = net_.enter(op::NetShareGetInfo, server, {name});
        if (!call) return call.failure<uint32_t>();
        const SimShare* s = find_share(net_, call.machine(), name);
        if (!s) return fail<uint32_t>(st::kNetNameNotFound);
        return {st::kSuccess, s->dfs_flags};
    }

    Status set_share_info(StringView server, StringView name, const ShareInfo& record,
                          uint32_t& parm_error) override {
        parm_error = 0;
        auto call = net_.enter(op::NetShareSetInfo, server, {name, record.remark, record.password});
        if (!call) return call.status();
        SimShare* s = find_share(net_, call.machine(), name);
        if (!s) return st::kNetNameNotFound;
        if (!caller_is_admin(net_)) return st::kAccessDenied;
        if (Status rc = check_record(record, false, parm_error)) return rc;
        s->remark = record.remark;
        s->permissions = record.permissions;
        s->max_uses = record.max_uses;
        if (!record.password.empty()) s->password = record.password;
        if (record.security) s->security = record.security;
        return st::kSuccess;
    }

    Status add_share(StringView server, const ShareInfo& record, uint32_t& parm_error) override {
        parm_error = 0;
        auto call = net_.enter(op::NetShareAdd, server,
                               {record.name, record.remark, record.path, record.password});
        if (!call) return call.status();
        Machine& m = call.machine();
        if (!caller_is_admin(net_)) return st::kAccessDenied;
        if (Status rc = check_record(record, true, parm_error)) return rc;
        if (find_share(net_, m, record.name)) return st::kDuplicateShare;
        const uint32_t base = record.type & ~sh::kSpecial;
        if ((base == sh::kDiskTree) && !folder_exists(m, record.path)) return st::kUnknownDevDir;
        SimShare s;
        s.name = record.name;
        s.type = record.type;
        s.remark = record.remark;
        s.permissions = record.permissions;
        s.max_uses = record.max_uses;
        s.path = record.path;
        s.password = record.password;
        s.security = record.security;
        shares_state(net_, m).shares[to_upper(record.name)] = std::move(s);
        return st::kSuccess;
    }

    Status delete_share(StringView server, StringView name) override {
        auto call = net_.enter(op::NetShareDel, server, {name});
        if (!call) return call.status();
        auto& shares = shares_state(net_, call.machine()).shares;
        auto it = shares.find(to_upper(name));
        if (it == shares.end()) return st::kNetNameNotFound;
        if (!caller_is_admin(net_)) return st::kAccessDenied;
        shares.erase(it);
        return st::kSuccess;
    }

    Result<SecurityDescriptor> share_security(StringView unc_name) override {
        auto call = net_.enter(op::GetNamedSecurityInfo, {unc_name});
        if (!call) return call.failure<SecurityDescriptor>();
        String server, name;
        if (!split_unc(unc_name, server, name)) return fail<SecurityDescriptor>(st::kBadNetName);
        Machine* m = net_.find(server);
        if (!m || !m->reachable) return fail<SecurityDescriptor>(st::kBadNetPath);
        const SimShare* s = find_share(net_, *m, name);
        if (!s) return fail<SecurityDescriptor>(st::kNetNameNotFound);
        SecurityDescriptor sd;
        if (s->security)
            sd = s->security->part(platform::security_info::kDacl);
        else
            sd.null_dacl = true;  // no descriptor: a list that grants everything
        return {st::kSuccess, std::move(sd)};
    }

    Result<PrinterHandle> open_printer(StringView name) override {
        auto call = net_.enter(op::OpenPrinter, {name});
        if (!call) return call.failure<PrinterHandle>();
        String server, share;
        if (!split_unc(name, server, share)) return fail<PrinterHandle>(st::kInvalidPrinterName);
        Machine* m = net_.find(server);
        if (!m || !m->reachable) return fail<PrinterHandle>(st::kInvalidPrinterName);
        const SimShare* s = find_share(net_, *m, share);
        if (!s || (s->type & ~sh::kSpecial) != sh::kPrintQueue)
            return fail<PrinterHandle>(st::kInvalidPrinterName);
        return {st::kSuccess, printers_.open({m->name, s->name})};
    }

    Result<PrinterInfo> printer_info(PrinterHandle printer) override {
        auto call = net_.enter(op::GetPrinter);
        if (!call) return call.failure<PrinterInfo>();
        const Opened* p = printers_.find(printer);
        if (!p) return fail<PrinterInfo>(st::kInvalidHandle);
        Machine* m = net_.find(p->machine);
        const SimShare* s = m ? find_share(net_, *m, p->share) : nullptr;
        if (!s) return fail<PrinterInfo>(st::kInvalidPrinterName);  // deleted since the open
        PrinterInfo out;
        out.server = u"\\\\" + m->name;
        out.printer_name = s->path;
        out.share_name = s->name;
        out.port_name = s->port;
        out.driver_name = s->driver;
        out.comment = s->remark;
        out.security = s->printer_security;
        return {st::kSuccess, std::move(out)};
    }

    Status close_printer(PrinterHandle printer) override {
        auto call = net_.enter(op::ClosePrinter);
        if (!call) return call.status();
        return printers_.close(printer) ? st::kSuccess : st::kInvalidHandle;
    }

    Status add_connection(const NetResource& resource, std::optional<StringView> password,
                          std::optional<StringView> user, uint32_t flags) override {
        auto call = net_.enter(op::WNetAddConnection2,
                               {resource.local_name.value_or(String()), resource.remote_name,
                                password.value_or(StringView()), user.value_or(StringView())});
        if (!call) return call.status();
        return add_drive_connection(net_, call.machine(), resource, password, user, flags);
    }

    Status cancel_connection(StringView name, uint32_t flags, bool force) override {
        auto call = net_.enter(op::WNetCancelConnection2, {name});
        if (!call) return call.status();
        return cancel_drive_connection(net_, call.machine(), name, flags, force);
    }

  private:
    struct Opened {
        String machine;
        String share;
    };
    Network& net_;
    HandleTable<Opened> printers_;
};

}  // namespace

SharesState& shares_state(Network&, Machine& m) {
    SharesState& s = m.shares;
    if (s.built) return s;
    s.built = true;
    add_standard(s, u"IPC$", sh::kSpecial | sh::kIpc, u"Remote IPC", u"");
    add_standard(s, u"ADMIN$", sh::kSpecial, u"Remote Admin", m.servers.lan_root);
    add_standard(s, u"C$", sh::kSpecial, u"Default share", u"C:\\");
    namespace sv = platform::sv_type;
    const uint32_t type = m.servers.info.type;
    if (type & (sv::kDomainCtrl | sv::kDomainBakCtrl))
        add_standard(s, u"NETLOGON", sh::kDiskTree, u"Logon server share",
                     m.servers.lan_root + u"\\system32\\Repl\\Import\\Scripts");
    if (type & sv::kPrintqServer)
        add_standard(s, u"print$", sh::kDiskTree, u"Printer Drivers",
                     m.servers.lan_root + u"\\system32\\spool\\drivers");
    return s;
}

std::vector<DriveConnection>& session_connections(Network& net, Machine& m) {
    return shares_state(net, m).sessions[caller_token(net).user.text()];
}

Status add_drive_connection(Network& net, Machine& m, const NetResource& resource,
                            std::optional<StringView> password, std::optional<StringView> user,
                            uint32_t flags) {
    String server_name, share_name;
    if (!split_unc(resource.remote_name, server_name, share_name)) return st::kBadNetName;
    const String local = resource.local_name.value_or(String());
    const char16_t letter = drive_letter(local);
    if (!local.empty() && !letter) return st::kBadDevice;
    auto& session = session_connections(net, m);
    if (letter) {
        const bool in_use =
            shares_state(net, m).local_drives.find(letter) != String::npos ||
            std::any_of(session.begin(), session.end(),
                        [&](const DriveConnection& c) { return drive_letter(c.local) == letter; });
        if (in_use) return st::kAlreadyAssigned;
        if (remembered(net, m, letter)) return st::kDeviceAlreadyRemembered;
    }
    Machine* server = net.find(server_name);
    if (!server || !server->reachable) return st::kBadNetPath;
    SimShare* share = find_share(net, *server, share_name);
    if (!share) return st::kBadNetName;
    const String given_user = user ? String(*user) : String();
    if (user) {
        // One set of credentials per server and session.
        const bool conflict =
            std::any_of(session.begin(), session.end(), [&](const DriveConnection& c) {
                return equal_ignore_case(c.server, server->name) &&
                       !equal_ignore_case(c.user, given_user);
            });
        if (conflict) return st::kSessionCredentialConflict;
        if (Status rc = check_credentials(net, *server, *user, password.value_or(StringView())))
            return rc;
    } else if (!share->password.empty() && password.value_or(StringView()) != share->password) {
        return st::kInvalidPassword;
    }
    if (share->max_uses >= 0 && share->current_uses >= share->max_uses)
        return st::kRequestNotAccepted;
    DriveConnection c{letter ? String(1, letter) + u":" : String(), resource.remote_name,
                      server->name, share->name, given_user};
    ++share->current_uses;
    if (letter && (flags & nu::kUpdateProfile))
        remember(net, m, c,
                 (share->type & ~sh::kSpecial) == sh::kPrintQueue ? nu::kPrint : nu::kDisk);
    session.push_back(std::move(c));
    return st::kSuccess;
}

std::shared_ptr<platform::Shares> make_shares(Network& net) {
    return std::make_shared<SimShares>(net);
}

Status cancel_drive_connection(Network& net, Machine& m, StringView name, uint32_t flags,
                               bool force) {
    auto& session = session_connections(net, m);
    const char16_t letter = drive_letter(name);
    auto it = std::find_if(session.begin(), session.end(), [&](const DriveConnection& c) {
        return letter ? equal_ignore_case(c.local, name)
                      : c.local.empty() && equal_ignore_case(c.remote, name);
    });
    if (it == session.end()) {
        // A remembered device that is not connected is only forgotten.
        if (letter && (flags & nu::kUpdateProfile) && remembered(net, m, letter)) {
            forget(net, m, letter);
            return st::kSuccess;
        }
        return st::kNotConnected;
    }
    if (it->open_files > 0 && !force) return st::kOpenFiles;
    if (Machine* server = net.find(it->server)) {
        if (SimShare* s = find_share(net, *server, it->share))
            s->current_uses = std::max(0, s->current_uses - 1);
    }
    session.erase(it);
    if (letter && (flags & nu::kUpdateProfile)) forget(net, m, letter);
    return st::kSuccess;
}

}  // namespace vorlek::sim
