#include "shares/sharer.h"

#include "automation/text.h"
#include "computers/machine_names.h"
#include "platform/batches.h"
#include "platform/platform.h"
#include "platform/security.h"
#include "registry/registry.h"
#include "system/dll_class.h"

namespace vorlek {

namespace {

namespace sh = platform::share;
namespace nu = platform::net_use;
using platform::SecurityDescriptor;

platform::Shares& shares() {
    return platform::current().shares();
}

struct TypeName {
    uint32_t type;
    StringView text;
};
constexpr TypeName kTypeNames[] = {
    {sh::kDiskTree, u"STYPE_DISKTREE"},      {sh::kPrintQueue, u"STYPE_PRINTQ"},
    {sh::kDevice, u"STYPE_DEVICE"},          {sh::kIpc, u"STYPE_IPC"},
    {sh::kSpecial | sh::kIpc, u"STYPE_IPC"}, {sh::kSpecial | sh::kDevice, u"STYPE_DEVICE"},
    {sh::kSpecial, u"STYPE_SPECIAL"},
};

struct Bit {
    uint32_t bit;
    StringView text;
};
constexpr Bit kPermissionNames[] = {
    {0x1, u"ACCESS_READ"},  {0x2, u"ACCESS_WRITE"},   {0x4, u"ACCESS_CREATE"},
    {0x8, u"ACCESS_EXEC"},  {0x10, u"ACCESS_DELETE"}, {0x20, u"ACCESS_ATRIB"},
    {0x40, u"ACCESS_PERM"},
};

// The letters of a share right, each for a group of mask bits all present.
constexpr Bit kShareRightLetters[] = {
    {0x120089, u"R"}, {0x120116, u"W"}, {0x1200A0, u"X"},
    {0x10000, u"D"},  {0x40000, u"P"},  {0x80000, u"O"},
};
constexpr uint32_t kShareFull = 0x1F01FF;
constexpr uint32_t kPrinterManageDocuments = 0x20000, kPrinterPrint = 0x20008,
                   kPrinterFull = 0xF000C;

constexpr StringView kAdministrativeShare = u"Administrative Share";
constexpr StringView kEveryoneSid = u"S-1-1-0";
constexpr StringView kUnknown = u"UNKNOWN";
constexpr char16_t kFirstSearchedDrive = u'D', kLastDrive = u'Z';

bool has_all(uint32_t mask, uint32_t bits) {
    return (mask & bits) == bits;
}

// The account of a SID as the share's machine names it: "UNKNOWN" twice
// when nothing is mapped or the name is empty, nothing when the lookup
// fails otherwise (the listing goes on either way).
void look_up_account(StringView system, const platform::Sid& sid, String& user, String& domain) {
    auto account = platform::current().security().lookup_account_sid(system, sid);
    if (account.status == platform::status::kNoneMapped ||
        (account.ok() && account.value.name.empty())) {
        user = domain = String(kUnknown);
        return;
    }
    if (!account.ok()) return;
    user = std::move(account.value.name);
    domain = std::move(account.value.domain);
}

}  // namespace

const ClassInfo& Sharer::info() {
    static const ClassInfo info = [] {
        static constexpr StringView kComputerHelp =
            u"Returnes or sets the computername of a Sharer object";
        static constexpr StringView kNameHelp = u"Returnes or sets the name of a Sharer object";
        static constexpr StringView kRemarkHelp = u"Returns or sets the remark of a Sharer object";
        static constexpr StringView kPasswordHelp =
            u"Returnes or sets the password of a valid Sharer object when the machine uses "
            u"share-level security";
        static constexpr StringView kPathHelp =
            u"Returnes or sets the local path of a Sharer object";
        static constexpr StringView kTypeHelp = u"Returnes or sets the type of a Sharer object";
        static constexpr StringView kMaxUsesHelp =
            u"Returnes or sets the max allowed connections to a Sharer object";
        static constexpr StringView kPermissionsHelp =
            u"Returnes or sets the permissions on a Sharer object when the machine uses "
            u"share-level security";
        static constexpr StringView kTypeConstantHelp = u"Used to read or set the property ShType";
        static constexpr StringView kAccessHelp =
            u"Returnes an access right for shares on machines with share-level security";
        static constexpr StringView kDfsHelp = u"Used to read the property ShDFSFlag";
        ClassBuilder<Sharer> b(u"Sharer");
        b.get<&Sharer::Shares>(u"Shares", {}, u"Collection of Sharer objects")
            .get<&Sharer::ShareRights>(u"ShareRights", {},
                                       u"Collection of share access permissions")
            .let<&Sharer::SetComputer>(u"Computer", kComputerHelp)
            .get<&Sharer::Computer>(u"Computer", {}, kComputerHelp)
            .let<&Sharer::SetShName>(u"ShName", kNameHelp)
            .get<&Sharer::ShName>(u"ShName", {}, kNameHelp)
            .let<&Sharer::SetShRemark>(u"ShRemark", kRemarkHelp)
            .get<&Sharer::ShRemark>(u"ShRemark", {}, kRemarkHelp)
            .get<&Sharer::ShTypeStr>(
                u"ShTypeStr", {}, u"Returnes or sets the type of a Sharer object in textual form")
            .let<&Sharer::SetShPassword>(u"ShPassword", kPasswordHelp)
            .get<&Sharer::ShPassword>(u"ShPassword", {}, kPasswordHelp)
            .let<&Sharer::SetShPath>(u"ShPath", kPathHelp)
            .get<&Sharer::ShPath>(u"ShPath", {}, kPathHelp)
            .get<&Sharer::ShRightUser>(
                u"ShRightUser", {},
                u"Returnes the user of an access right as a member of collection ShareRights")
            .get<&Sharer::ShRightDomain>(u"ShRightDomain", {},
                                         u"Returnes the domain of a returned permission (member "
                                         u"of collection ShareRights)")
            .get<&Sharer::ShRightTypeStr>(
                u"ShRightTypeStr", {},
                u"Returnes the type of a access right as a member of collection ShareRights")
            .get<&Sharer::ShRightStr>(
                u"ShRightStr", {},
                u"Returnes a access right as string as a member of collection ShareRights")
            .let<&Sharer::SetShType>(u"ShType", kTypeHelp)
            .get<&Sharer::ShType>(u"ShType", {}, kTypeHelp)
            .get<&Sharer::ShCurUses>(
                u"ShCurUses", {},
                u"Returnes the number of current connected users to a Sharer object")
            .let<&Sharer::SetShMaxUses>(u"ShMaxUses", kMaxUsesHelp)
            .get<&Sharer::ShMaxUses>(u"ShMaxUses", {}, kMaxUsesHelp)
            .let<&Sharer::SetShPermissions>(u"ShPermissions", kPermissionsHelp)
            .get<&Sharer::ShPermissions>(u"ShPermissions", {}, kPermissionsHelp)
            .get<&Sharer::ShPermissionsStr>(
                u"ShPermissionsStr", {},
                u"Returnes the permissions on a Sharer object in textual form when the machine "
                u"uses share-level security")
            .get<&Sharer::ShDFSFlag>(u"ShDFSFlag", {}, u"Returnes whether a share is used as DFS")
            .constant(u"STYPE_DISKTREE", sh::kDiskTree, kTypeConstantHelp)
            .constant(u"STYPE_PRINTQ", sh::kPrintQueue, kTypeConstantHelp)
            .constant(u"STYPE_DEVICE", sh::kDevice, kTypeConstantHelp)
            .constant(u"STYPE_IPC", sh::kIpc, kTypeConstantHelp)
            .constant(u"STYPE_SPECIAL", static_cast<int32_t>(sh::kSpecial), kTypeConstantHelp)
            .constant(u"MAX_USES_UNLIMITED", -1,
                      u"Used to read or set the property ShMaxUses of this class")
            .constant(u"ACCESS_READ", 0x1, kAccessHelp)
            .constant(u"ACCESS_ATRIB", 0x20, kAccessHelp)
            .constant(u"ACCESS_DELETE", 0x10, kAccessHelp)
            .constant(u"ACCESS_EXEC", 0x8, kAccessHelp)
            .constant(u"ACCESS_CREATE", 0x4, kAccessHelp)
            .constant(u"ACCESS_WRITE", 0x2, kAccessHelp)
            .constant(u"ACCESS_PERM", 0x40, kAccessHelp)
            .constant(u"ACCESS_ALL", sh::kAccessAll, kAccessHelp)
            .get<&Sharer::LastError>(u"LastError", {}, u"Common property of this class")
            .get<&Sharer::Valid>(u"Valid", {},
                                 u"Specifies whether a Sharer object represents a valid object")
            .constant(u"FLAGS_DFS", sh::kFlagsDfs, kDfsHelp)
            .constant(u"FLAGS_DFS_ROOT", sh::kFlagsDfsRoot, kDfsHelp)
            .method<&Sharer::InitShares>(u"InitShares", {param(u"strMachine")},
                                         u"Inits the collection Shares of this class")
            .method<&Sharer::GetShareInfo>(u"GetShareInfo",
                                           {param(u"strComputer"), param(u"strShare")},
                                           u"Inits the properties of a Sharer object")
            .method<&Sharer::NetUse>(
                u"NetUse",
                {param(u"strLocal"), param(u"strRemote"), optional(u"strUser", u""),
                 optional(u"strPassword", u""), optional(u"booRemember", true)},
                u"Function to map a network drive to a remote resource")
            .method<&Sharer::NetUseDel>(
                u"NetUseDel",
                {param(u"strLocal"), optional(u"booForce", false), optional(u"booRemember", true)},
                u"Function to delete a mapped network resource")
            .method<&Sharer::Create>(u"Create", {}, u"Creates a share on a local or remote machine")
            .method<&Sharer::RemoveShare>(u"RemoveShare",
                                          {param(u"strComputer"), param(u"strShare")},
                                          u"Removes a share from a local or remote machine")
            .method<&Sharer::InitShareRights>(u"InitShareRights", {},
                                              u"Inits the collection ShareRights of this class");
        return b.build();
    }();
    return info;
}

// ---------------------------------------------------------------------------
// Texts

StringView Sharer::type_text(uint32_t type) {
    for (const TypeName& t : kTypeNames)
        if (t.type == type) return t.text;
    return {};
}

String Sharer::permissions_text(uint32_t permissions) {
    if (has_all(permissions, sh::kAccessAll)) return u"ACCESS_ALL";
    String out;
    for (const Bit& b : kPermissionNames) {
        if (!(permissions & b.bit)) continue;
        if (!out.empty()) out += u';';
        out += b.text;
    }
    return out;
}

String Sharer::share_right_text(uint32_t mask) {
    if (has_all(mask, kShareFull)) return u"FULL";
    String letters;
    for (const Bit& b : kShareRightLetters)
        if (has_all(mask, b.bit)) letters += b.text;
    if (letters == u"RX") return u"READ";
    if (letters == u"RWXD") return u"CHANGE";
    return letters.empty() ? String(u"ZERO") : letters;
}

StringView Sharer::printer_right_text(uint32_t mask) {
    StringView text;
    if (mask & kPrinterManageDocuments) text = u"MANAGE DOCUMENTS";
    if (has_all(mask, kPrinterPrint)) text = u"RWX";
    if (has_all(mask, kPrinterFull)) text = u"FULL";
    if (text == u"RWX") return u"PRINT";
    return text.empty() ? u"ZERO" : text;
}

// ---------------------------------------------------------------------------
// Loading a share

void Sharer::reset() {
    computer_.clear();
    name_.clear();
    texts_.clear();
    rights_.reset();
    type_ = cur_uses_ = max_uses_ = permissions_ = dfs_flags_ = 0;
    valid_ = false;
}

int32_t Sharer::load(StringView server, const String* local_name) {
    auto read = shares().share_info(server, name_);
    if (!read.ok()) return as_long(read.status);
    platform::ShareInfo& record = read.value;
    type_ = as_long(record.type);
    name_ = std::move(record.name);
    const String permissions = permissions_text(record.permissions);
    texts_.set({{kPath, record.path},
                {kRemark, record.remark},
                {kTypeText, type_text(record.type)},
                {kPassword, kPasswordMask},
                {kPermissionsText, permissions}});
    cur_uses_ = record.current_uses;
    max_uses_ = record.max_uses;
    permissions_ = as_long(record.permissions);
    security_.reset();
    if (record.security)
        security_ = std::make_unique<platform::SecurityDescriptor>(std::move(*record.security));
    auto flags = shares().share_flags(server, name_);
    if (!flags.ok()) return as_long(flags.status);
    dfs_flags_ = as_long(flags.value);
    if (computer_.empty()) computer_ = local_name ? *local_name : machines::local_machine_name();
    valid_ = true;
    return 0;
}

int32_t Sharer::InitShares(String strMachine) {
    shares_ = make<Collection>();
    referenced(shares_.get());
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        const String server = machines::plain_target(strMachine);
        std::optional<String> local_name;
        if (strMachine.empty()) local_name = machines::local_machine_name();
        auto& list = *shares_;
        const platform::Status walked = platform::walk_batches(
            [&](uint32_t& resume) {
                auto batch = shares().enumerate(server, resume);
                if (batch.ok())
                    list.make_room_for(batch.value, [](const String& e) { return e.size(); });
                return batch;
            },
            [&](const String& entry) {
                auto item = make<Sharer>();
                item->name_ = trim_spaces(entry);
                item->computer_ = strMachine;
                status = item->load(server, local_name ? &*local_name : nullptr);
                if (status != 0) return false;
                const String key = item->name_;
                list.add(Variant(Ref<Object>(item)), key);
                return true;
            });
        if (status == 0) status = as_long(walked);
    });
    return rc != 0 ? rc : status;
}

int32_t Sharer::GetShareInfo(String strComputer, String strShare) {
    reset();
    if (strShare.empty()) return err::kBadArgument;
    name_ = std::move(strShare);
    computer_ = std::move(strComputer);
    int32_t status = 0;
    const int32_t rc = attempt([&] { status = load(machines::plain_target(computer_)); });
    return rc != 0 ? rc : status;
}

// ---------------------------------------------------------------------------
// The lets

void Sharer::SetComputer(String value) {
    last_error_ = 0;
    if (!valid_) computer_ = std::move(value);
}

void Sharer::SetShName(String value) {
    last_error_ = 0;
    if (!valid_) name_ = std::move(value);
}

void Sharer::SetShPath(String value) {
    last_error_ = 0;
    if (!valid_) set_text(kPath, value);
}

void Sharer::SetShType(int32_t value) {
    last_error_ = 0;
    if (!valid_) type_ = value;
}

template <class Change>
void Sharer::write_through(Change&& change) {
    // The share as it stands with the one field changed, so that the write
    // leaves the other fields as they are; no password and no descriptor
    // keep the server's own.
    platform::ShareInfo record;
    record.name = name_;
    record.type = static_cast<uint32_t>(type_);
    record.remark = String(texts_[kRemark]);
    record.permissions = static_cast<uint32_t>(permissions_);
    record.max_uses = max_uses_;
    record.current_uses = cur_uses_;
    record.path = String(texts_[kPath]);
    change(record);
    uint32_t parm_error = 0;
    int32_t status = 0;
    last_error_ = attempt([&] {
        status = as_long(shares().set_share_info(machines::normalized_target(computer_), name_,
                                                 record, parm_error));
        if (status == 0) status = load(machines::plain_target(computer_));
    });
    if (last_error_ == 0) last_error_ = status;
}

void Sharer::SetShRemark(String value) {
    last_error_ = 0;
    if (!valid_) {
        set_text(kRemark, value);
        return;
    }
    write_through([&](platform::ShareInfo& r) { r.remark = value; });
}

void Sharer::SetShPassword(String value) {
    last_error_ = 0;
    if (valid_ && value.size() > sh::kMaxPassword) {
        last_error_ = err::kBadArgument;
        return;
    }
    if (!valid_) {
        set_text(kPassword, value);
        return;
    }
    write_through([&](platform::ShareInfo& r) { r.password = value; });
}

void Sharer::SetShMaxUses(int32_t value) {
    last_error_ = 0;
    if (!valid_) {
        max_uses_ = value;
        return;
    }
    write_through([&](platform::ShareInfo& r) { r.max_uses = value; });
}

void Sharer::SetShPermissions(int32_t value) {
    last_error_ = 0;
    if (!valid_) {
        permissions_ = value;
        return;
    }
    write_through([&](platform::ShareInfo& r) { r.permissions = static_cast<uint32_t>(value); });
}

// ---------------------------------------------------------------------------
// Creating and removing shares

int32_t Sharer::Create() {
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        const String server = machines::normalized_target(computer_);
        if (texts_[kPath].empty() || name_.empty()) raise(err::kBadArgument);
        if (texts_[kPassword].size() > sh::kMaxPassword) raise(err::kBadArgument);
        if (max_uses_ == 0) max_uses_ = -1;
        platform::ShareInfo record;
        record.name = name_;
        record.type = static_cast<uint32_t>(type_);
        record.remark = String(texts_[kRemark]);
        record.permissions = static_cast<uint32_t>(permissions_);
        record.max_uses = max_uses_;
        record.path = String(texts_[kPath]);
        record.password = String(texts_[kPassword]);
        uint32_t parm_error = 0;
        status = as_long(shares().add_share(server, record, parm_error));
        if (status != 0) return;
        String name = std::move(name_), computer = std::move(computer_);
        reset();
        name_ = std::move(name);
        computer_ = std::move(computer);
        status = load(machines::plain_target(computer_));
    });
    return rc != 0 ? rc : status;
}

Variant Sharer::RemoveShare(String strComputer, String strShare) {
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        status = as_long(shares().delete_share(machines::normalized_target(strComputer), strShare));
    });
    if (rc != 0) return Variant(rc);
    if (status != 0) return Variant(status);
    return Variant(int16_t{0});
}

// ---------------------------------------------------------------------------
// Drive connections

int32_t Sharer::NetUse(String strLocal, String strRemote, String strUser, String strPassword,
                       bool booRemember) {
    if (strRemote.empty()) return err::kBadArgument;
    if (!strRemote.starts_with(u"\\\\")) return as_long(platform::status::kBadNetName);
    const StringView rest = StringView(strRemote).substr(2);
    const size_t slash = rest.find(u'\\');
    if (slash == StringView::npos) return as_long(platform::status::kBadNetName);
    const uint32_t flags = booRemember && !strLocal.empty() ? nu::kUpdateProfile : 0;

    auto probe = make<Sharer>();
    if (int32_t rc =
            probe->GetShareInfo(String(rest.substr(0, slash)), String(rest.substr(slash + 1))))
        return rc;
    platform::NetResource resource;
    switch (static_cast<uint32_t>(probe->ShType())) {
        case sh::kDiskTree:
        case sh::kSpecial | sh::kDiskTree:
            resource.type = nu::kDisk;
            break;
        case sh::kPrintQueue:
        case sh::kSpecial | sh::kPrintQueue:
            resource.type = nu::kPrint;
            break;
        default:
            resource.type = nu::kAny;
    }
    resource.remote_name = strRemote;
    const bool search = strLocal == u"*";
    if (!strLocal.empty() && !search) resource.local_name = strLocal;
    const auto user = strUser.empty() ? std::nullopt : std::optional<StringView>(strUser);
    const auto password =
        strPassword.empty() ? std::nullopt : std::optional<StringView>(strPassword);
    if (!search) return as_long(shares().add_connection(resource, password, user, flags));
    platform::Status status = 0;
    for (char16_t letter = kFirstSearchedDrive; letter <= kLastDrive; ++letter) {
        resource.local_name = String(1, letter) + u":";
        status = shares().add_connection(resource, password, user, flags);
        if (status != platform::status::kAlreadyAssigned &&
            status != platform::status::kDeviceAlreadyRemembered)
            break;
    }
    return as_long(status);
}

int32_t Sharer::NetUseDel(String strLocal, bool booForce, bool booRemember) {
    if (strLocal.empty()) raise(err::kBadArgument);
    return as_long(
        shares().cancel_connection(strLocal, booRemember ? nu::kUpdateProfile : 0, booForce));
}

// ---------------------------------------------------------------------------
// Share and printer rights

String Sharer::unc_name() const {
    const String computer = computer_.empty() ? machines::local_machine_name() : computer_;
    return machines::plain_target(computer) + u"\\" + name_;
}

int32_t Sharer::read_descriptor(std::optional<SecurityDescriptor>& sd) {
    if (texts_[kTypeText] == u"STYPE_PRINTQ") {
        auto printer = shares().open_printer(unc_name());
        if (!printer.ok()) return as_long(printer.status);
        auto read = shares().printer_info(printer.value);
        shares().close_printer(printer.value);
        if (!read.ok()) return as_long(read.status);
        sd = std::move(read.value.security);
        return 0;
    }
    if (security_) {
        sd = *security_;
        return 0;
    }
    auto named = shares().share_security(unc_name());
    if (!named.ok()) return as_long(named.status);
    sd = std::move(named.value);
    return 0;
}

void Sharer::add_right(RightTexts texts) {
    const String key = texts.domain.empty() ? texts.user : texts.domain + u"\\" + texts.user;
    if (const Variant* existing = share_rights_->find(key)) {
        // A second entry for one account takes the place of the first where
        // the first shows full rights and the second grants some, or the
        // first shows none.
        RightTexts& old = *ref_cast<Sharer>(existing->object())->rights_;
        if ((old.right_text == u"FULL" && texts.right_text != u"ZERO") || old.right_text == u"ZERO")
            old = std::move(texts);
        return;
    }
    auto item = make<Sharer>();
    item->rights_ = std::make_unique<RightTexts>(std::move(texts));
    share_rights_->add(Variant(Ref<Object>(item)), key);
}

int32_t Sharer::InitShareRights() {
    share_rights_ = make<Collection>();
    referenced(share_rights_.get());
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        std::optional<SecurityDescriptor> sd;
        status = read_descriptor(sd);
        if (status != 0) return;
        if (!sd || !sd->dacl) {
            if (texts_[kTypeText] == u"STYPE_DEVICE" || texts_[kTypeText] == u"STYPE_IPC" ||
                texts_[kTypeText] == u"STYPE_SPECIAL") {
                const String a(kAdministrativeShare);
                add_right({a, a, a, a});
                return;
            }
            const String everyone =
                make<DllClass>()->GetDomName(computer_, String(kEveryoneSid), u"error");
            if (everyone == u"error") throw RuntimeError(kInvalidAcl, u"Invalid aclPtr");
            add_right({everyone,
                       {},
                       String(Registry::ace_type_name(platform::ace::kAccessAllowed)),
                       u"FULL"});
            return;
        }
        const bool printer = texts_[kTypeText] == u"STYPE_PRINTQ";
        const String system = computer_.empty() ? String() : machines::plain_target(computer_);
        const String allowed(Registry::ace_type_name(platform::ace::kAccessAllowed));
        const String denied(Registry::ace_type_name(platform::ace::kAccessDenied));
        for (const platform::Ace& a : sd->dacl->aces) {
            RightTexts t;
            if (a.type == platform::ace::kAccessAllowed) {
                t.type_text = allowed;
                t.right_text =
                    printer ? String(printer_right_text(a.mask)) : share_right_text(a.mask);
            } else {
                t.type_text = denied;
                t.right_text = u"ZERO";
            }
            look_up_account(system, a.sid, t.user, t.domain);
            add_right(std::move(t));
        }
    });
    return rc != 0 ? rc : status;
}

}  // namespace vorlek
