#include "registry/registry.h"

#include <algorithm>
#include <span>

#include "automation/checked.h"
#include "platform/c_strings.h"
#include "platform/locale.h"
#include "platform/platform.h"
#include "platform/security.h"
#include "processes/process.h"
#include "strings/stringer.h"
#include "system/dll_class.h"

namespace vorlek {

namespace {

namespace reg = platform::reg;
namespace hk = platform::hkey;
namespace ace = platform::ace;
using platform::Status;

struct Root {
    int32_t handle;
    StringView name;
};
// In the order OpenRegistry and the one-shot calls compare them.
constexpr Root kRoots[] = {
    {as_long(hk::kClassesRoot), u"HKEY_CLASSES_ROOT"},
    {as_long(hk::kCurrentConfig), u"HKEY_CURRENT_CONFIG"},
    {as_long(hk::kCurrentUser), u"HKEY_CURRENT_USER"},
    {as_long(hk::kLocalMachine), u"HKEY_LOCAL_MACHINE"},
    {as_long(hk::kPerformanceData), u"HKEY_PERFORMANCE_DATA"},
    {as_long(hk::kUsers), u"HKEY_USERS"},
};

constexpr StringView kTypeNames[] = {
    u"R_NONE",
    u"R_SZ",
    u"R_EXPAND_SZ",
    u"R_BINARY",
    u"R_DWORD",
    u"R_DWORD_BIG_ENDIAN",
    u"R_LINK",
    u"R_MULTI_SZ",
    u"R_RESOURCE_LIST",
    u"R_FULL_RESOURCE_DESCRIPTOR",
    u"R_RESOURCE_REQUIREMENTS_LIST",
};
constexpr StringView kUnknown = u"unknown";

// The privileges the key-security and hive-file members switch on.
constexpr StringView kSecurityPrivilege = u"SeSecurityPrivilege";  // SE_SECURITY_NAME
constexpr StringView kBackupPrivilege = u"SeBackupPrivilege";      // SE_BACKUP_NAME
constexpr StringView kRestorePrivilege = u"SeRestorePrivilege";    // SE_RESTORE_NAME

// A privilege of the calling process, switched through a private Process
// as a script would.
int32_t switch_privilege(Process& process, StringView privilege, bool on) {
    return process.SetMyTokenPrivileges(String(privilege), on);
}

struct Letter {
    char16_t letter;
    uint32_t bits;
    bool rights_only;
};
constexpr Letter kLetters[] = {
    {u'Q', reg::kQueryValue, false},   {u'S', reg::kSetValue, false},
    {u'C', reg::kCreateSubKey, false}, {u'E', reg::kEnumerateSubKeys, false},
    {u'N', reg::kNotify, false},       {u'L', reg::kCreateLink, false},
    {u'D', reg::kDelete, false},       {u'P', reg::kWriteDac, false},
    {u'O', reg::kWriteOwner, true},    {u'R', reg::kReadControl, false},
};

struct Flag {
    uint8_t bit;
    StringView name;
};
constexpr Flag kRightFlags[] = {
    {ace::kContainerInherit, u"CONTAINER_INHERIT_ACE;"},
    {ace::kInheritOnly, u"INHERIT_ONLY_ACE;"},
    {ace::kNoPropagateInherit, u"NO_PROPAGATE_INHERIT_ACE;"},
    {ace::kObjectInherit, u"OBJECT_INHERIT_ACE;"},
};
constexpr Flag kAuditFlags[] = {
    {ace::kFailedAccess, u"FAILED_ACCESS_ACE_FLAG;"},
    {ace::kSuccessfulAccess, u"SUCCESSFUL_ACCESS_ACE_FLAG;"},
};

constexpr StringView kAceTypeNames[] = {u"ACCESS_ALLOWED_ACE_TYPE", u"ACCESS_DENIED_ACE_TYPE",
                                        u"SYSTEM_AUDIT_ACE_TYPE"};

constexpr int32_t kGermanLcid = 1031;
constexpr int32_t kMaxBuildLength = 32767;  // the one-shot read counts its buffer in an Integer

platform::Registry& registry() {
    return platform::current().registry();
}

bool array_type(uint32_t type) {
    return type == reg::kBinary || type == reg::kResourceList ||
           type == reg::kFullResourceDescriptor || type == reg::kResourceRequirementsList;
}
bool long_type(uint32_t type) {
    return type == reg::kDword || type == reg::kDwordBigEndian;
}

// Single-byte text of the system code page and back.
String from_ansi(const std::vector<uint8_t>& bytes) {
    auto r = platform::current().locale().multibyte_to_wide(platform::kCodePageAnsi, bytes);
    if (!r.ok()) raise(r.status);
    return r.value;
}
std::vector<uint8_t> to_ansi(StringView text) {
    auto r =
        platform::current().locale().wide_to_multibyte(platform::kCodePageAnsi, text, std::nullopt);
    if (!r.ok()) raise(r.status);
    return r.value;
}

// The text of string data without its terminator. Only a NUL that is
// there is cut: data written without one (as SetRegValue writes it) keeps
// its last character.
String string_data(const std::vector<uint8_t>& bytes) {
    String text = from_ansi(bytes);
    if (!text.empty() && text.back() == u'\0') text.pop_back();
    return text;
}

// Calls `read` with a buffer size until it does not answer 234, growing
// the buffer to what `needed` says the answer asks for (at least one unit
// more each time, as the buffers always grew). A 234 that asks for no more
// than the buffer already holds cannot be met by growing, so it ends the
// loop with that status instead of holding the caller forever.
template <class Read, class Needed>
auto negotiate(uint32_t& size, Read&& read, Needed&& needed) {
    for (;;) {
        auto r = read(size);
        if (r.status != platform::status::kMoreData) return r;
        const uint32_t need = needed(r);
        if (need <= size) return r;
        size = std::max<uint32_t>(size + 1, need);
    }
}

uint32_t name_needs(const platform::Result<platform::Value>& r) {
    return r.value.name_needed;
}
uint32_t data_needs(const platform::Result<platform::Value>& r) {
    return r.value.size;
}

// A predefined root named anywhere in a one-shot key text, and the path
// after it; nullopt when none is named.
std::optional<std::pair<platform::RegKey, String>> resolve_key_text(const String& text) {
    for (const Root& r : kRoots) {
        if (text.find(r.name) == String::npos) continue;
        // The path is what follows the root's name and one separator when
        // the text starts with them; any other text keeps as many of its
        // last characters.
        const int64_t keep =
            static_cast<int64_t>(text.size()) - static_cast<int64_t>(r.name.size()) - 1;
        if (keep < 0) raise(err::kInvalidCall);
        return std::make_pair(static_cast<platform::RegKey>(r.handle),
                              text.substr(text.size() - static_cast<size_t>(keep)));
    }
    return std::nullopt;
}

// A root for the one-shot calls, connected on another machine; closes what
// it connected when it goes, on every path.
class OneShotRoot {
  public:
    OneShotRoot(const String& computer, platform::RegKey root) : key_(root) {
        if (computer.empty()) return;
        auto r = registry().connect(u"\\\\" + computer, root);
        status_ = r.status;
        if (r.ok()) {
            key_ = r.value;
            connected_ = true;
        }
    }
    ~OneShotRoot() {
        if (connected_) registry().close_key(key_);
    }
    OneShotRoot(const OneShotRoot&) = delete;
    OneShotRoot& operator=(const OneShotRoot&) = delete;
    Status status() const { return status_; }
    platform::RegKey key() const { return key_; }

  private:
    platform::RegKey key_;
    Status status_ = 0;
    bool connected_ = false;
};

// A key a one-shot call opened, closed when it goes.
struct OpenedKey {
    platform::RegKey key = 0;
    ~OpenedKey() {
        if (key) registry().close_key(key);
    }
};

Date file_time_date(DllClass& dll, platform::FileTime time) {
    return dll.FileTimeToLocFileTime(dll.FileTimeToDateTime(static_cast<int32_t>(time & 0xFFFFFFFF),
                                                            static_cast<int32_t>(time >> 32)));
}

}  // namespace

const ClassInfo& Registry::info() {
    static const ClassInfo info = [] {
        ClassBuilder<Registry> b(u"Registry");
        constexpr StringView kHive = u"Returns a handle to a registry hive";
        constexpr StringView kAccess = u"Returns a property how to access a registry key";
        constexpr StringView kType = u"Property which returns a value type";
        b.constant(u"HK_CLASSES_ROOT", as_long(hk::kClassesRoot), kHive)
            .constant(u"HK_CURRENT_CONFIG", as_long(hk::kCurrentConfig), kHive)
            .constant(u"HK_CURRENT_USER", as_long(hk::kCurrentUser), kHive)
            .constant(u"HK_LOCAL_MACHINE", as_long(hk::kLocalMachine), kHive)
            .constant(u"HK_PERFORMANCE_DATA", as_long(hk::kPerformanceData), kHive)
            .constant(u"HK_USERS", as_long(hk::kUsers), kHive)
            .constant(u"K_ACCESS_SYSTEM_SECURITY", as_long(reg::kAccessSystemSecurity), kAccess)
            .constant(u"K_READ_CONTROL", as_long(reg::kReadControl), kAccess)
            .constant(u"K_READ", as_long(reg::kRead), kAccess)
            .constant(u"K_WRITE", as_long(reg::kWrite), kAccess)
            .constant(u"K_WRITE_DAC", as_long(reg::kWriteDac), kAccess)
            .constant(u"K_WRITE_OWNER", as_long(reg::kWriteOwner), kAccess)
            .constant(u"K_QUERY_VALUE", as_long(reg::kQueryValue), kAccess)
            .constant(u"K_SET_VALUE", as_long(reg::kSetValue), kAccess)
            .constant(u"K_ALL_ACCESS", as_long(reg::kAllAccess), kAccess)
            .constant(u"K_ENUMERATE_SUB_KEYS", as_long(reg::kEnumerateSubKeys), kAccess)
            .constant(u"K_CREATE_SUB_KEY", as_long(reg::kCreateSubKey), kAccess)
            .constant(u"K_CREATE_LINK", as_long(reg::kCreateLink), kAccess)
            .constant(u"K_DELETE", as_long(reg::kDelete), kAccess)
            .constant(u"K_NOTIFY", as_long(reg::kNotify), kAccess)
            .constant(u"R_NONE", as_long(reg::kNone), kType)
            .constant(u"R_DWORD_BIG_ENDIAN", as_long(reg::kDwordBigEndian), kType)
            .constant(u"R_DWORD_LITTLE_ENDIAN", as_long(reg::kDword), kType)
            .constant(u"R_RESOURCE_LIST", as_long(reg::kResourceList), kType)
            .constant(u"R_FULL_RESOURCE_DESCRIPTOR", as_long(reg::kFullResourceDescriptor), kType)
            .constant(u"R_RESOURCE_REQUIREMENTS_LIST", as_long(reg::kResourceRequirementsList),
                      kType)
            .get<&Registry::RegKeyRootHandle>(u"RegKeyRootHandle", {},
                                              u"Returns parent hive of a RegKey as a long handle")
            .get<&Registry::RegKeyPath>(u"RegKeyPath")
            .get<&Registry::RegKeyRoot>(u"RegKeyRoot")
            .get<&Registry::RegMachine>(u"RegMachine")
            .get<&Registry::RegKeyClass>(u"RegKeyClass")
            .get<&Registry::RegKeyName>(u"RegKeyName")
            .get<&Registry::RegOwner>(u"RegOwner", {}, u"Returns the owner of a RegKey")
            .get<&Registry::RegOwnerDomain>(u"RegOwnerDomain", {},
                                            u"Returns the doamin of a RegKey owner")
            .get<&Registry::RegPrimaryGroup>(u"RegPrimaryGroup", {},
                                             u"Returns the primary group of a RegKey")
            .get<&Registry::RegPrimaryGroupDomain>(u"RegPrimaryGroupDomain", {},
                                                   u"Returns the domain of a RegKeys primary group")
            .get<&Registry::RegKeyNumSubKeys>(u"RegKeyNumSubKeys", {},
                                              u"Returns the number of subkeys of the open RegKey")
            .get<&Registry::RegKeyMaxSubKeyLen>(
                u"RegKeyMaxSubKeyLen", {},
                u"Returns the length of the longest string specifying a subkey name of an "
                u"opened RegKey")
            .get<&Registry::RegKeyMaxClassLen>(
                u"RegKeyMaxClassLen", {},
                u"Returns the length of the longest string specifying a subkey class of an "
                u"opened RegKey")
            .get<&Registry::RegKeyNumValues>(u"RegKeyNumValues", {},
                                             u"Returns the number of values of the open RegKey")
            .get<&Registry::RegKeyMaxValueNameLen>(
                u"RegKeyMaxValueNameLen", {},
                u"Returns the length of the longest string specifying a value name of an "
                u"opened RegKey")
            .get<&Registry::RegKeyMaxValueLen>(
                u"RegKeyMaxValueLen", {},
                u"Returns the data length in bytes of the longest data among the values of an "
                u"opened RegKey")
            .get<&Registry::RegKeyWriteTime>(u"RegKeyWriteTime")
            .get<&Registry::RegValueName>(u"RegValueName")
            .get<&Registry::RegValue>(u"RegValue")
            .get<&Registry::RegValueType>(u"RegValueType")
            .get<&Registry::RegValueTypeStr>(u"RegValueTypeStr")
            .get<&Registry::RegRightUser>(u"RegRightUser")
            .get<&Registry::RegRightUserDomain>(u"RegRightUserDomain")
            .get<&Registry::RegRightStr>(u"RegRightStr")
            .get<&Registry::RegRightTypeStr>(u"RegRightTypeStr")
            .get<&Registry::RegRightFlagsStr>(u"RegRightFlagsStr")
            .get<&Registry::RegSubKeys>(u"RegSubKeys", {},
                                        u"Collection of subkeys of an opened RegKey")
            .get<&Registry::RegValues>(u"RegValues", {},
                                       u"Collection of values of an opened RegKey")
            .get<&Registry::RegRights>(
                u"RegRights", {},
                u"Collection of properties about access rights defined on an opened RegKey")
            .get<&Registry::RegAudits>(
                u"RegAudits", {},
                u"Collection of properties about defined audits inside an opened registry key")
            .method<&Registry::OpenRegistry>(u"OpenRegistry",
                                             {param(u"lngHKey"), optional(u"strMachine")},
                                             u"Opens a registry hive local or remote")
            .method<&Registry::OpenRegKey>(u"OpenRegKey",
                                           {param(u"lngDesAccess"), optional(u"strKey")},
                                           u"Opens a registry key local or remote")
            .method<&Registry::CloseRegKey>(u"CloseRegKey", {},
                                            u"Closes an open (local or remote) registry key")
            .method<&Registry::CloseRegistry>(u"CloseRegistry", {},
                                              u"Closes an open  (local or remote) Registry hive")
            .method<&Registry::InitRegSubKeys>(u"InitRegSubKeys", {},
                                               u"Initializes the collection RegSubKeys")
            .method<&Registry::InitRegValues>(u"InitRegValues", {},
                                              u"Initializes the collection RegValues")
            .method<&Registry::SaveRegKey>(u"SaveRegKey", {param(u"strPath")},
                                           u"Saves a Regkey into a file")
            .method<&Registry::LoadRegKey>(u"LoadRegKey", {param(u"strPath"), param(u"strKeyName")},
                                           u"Loads a file into an opened registry hive")
            .method<&Registry::UnloadRegKey>(u"UnloadRegKey", {param(u"strKeyName")},
                                             u"Unloads a RegKey")
            .method<&Registry::RestoreRegKey>(u"RestoreRegKey",
                                              {param(u"strPath"), optional(u"booVolatile", false)},
                                              u"Restores a saved file into the Registry")
            .method<&Registry::SetRegValue>(
                u"SetRegValue", {param(u"strName"), param(u"lngType"), param(u"varData")},
                u"Sets the data of a regkey by overwriting an creating, if the value does not "
                u"exist")
            .method<&Registry::GetRegValueInfo>(
                u"GetRegValueInfo", {param(u"strName")},
                u"Sets several properties about value infos in this class")
            .method<&Registry::DeleteRegSubKey>(u"DeleteRegSubKey", {param(u"strKeyName")},
                                                u"Deletes a subkey of an open RegKey")
            .method<&Registry::DeleteRegValue>(u"DeleteRegValue", {param(u"strValueName")},
                                               u"Deletes a value of an open RegKey")
            .method<&Registry::CreateRegSubKey>(
                u"CreateRegSubKey",
                {param(u"strKeyName"), optional(u"booVolatile", false), optional(u"strClass", u"")},
                u"Creates a subkey of an open RegKey")
            .method<&Registry::GetRegKeyOwner>(
                u"GetRegKeyOwner", {},
                u"Sets the properties RegOwnerand RegOwnerDomain of this class")
            .method<&Registry::InitRegRights>(u"InitRegRights", {},
                                              u"Initializes the collection RegRights")
            .method<&Registry::InitRegAudits>(u"InitRegAudits", {},
                                              u"Initializes the collection RegAudits")
            .method<&Registry::GetRegKeyPrimaryGroup>(
                u"GetRegKeyPrimaryGroup", {},
                u"Sets the properties RegPrimaryGroup and RegPrimaryGroupDomain of this class")
            .method<&Registry::GetRegValueSZ>(
                u"GetRegValueSZ",
                {param(u"strComputer"), param(u"strKey"), param(u"strValue"), param(u"strDefault")},
                u"Returns the value of a registry SZ, EXPAND_SZ or MULTI_SZ")
            .constant(u"R_DWORD", as_long(reg::kDword), kType)
            .constant(u"R_BINARY", as_long(reg::kBinary), kType)
            .constant(u"R_EXPAND_SZ", as_long(reg::kExpandSz), kType)
            .constant(u"R_MULTI_SZ", as_long(reg::kMultiSz), kType)
            .constant(u"R_SZ", as_long(reg::kSz), kType)
            .method<&Registry::SetRegValueSZ>(
                u"SetRegValueSZ",
                {param(u"strComputer"), param(u"strKey"), param(u"strValueName"),
                 param(u"strValue"), param(u"lngType")},
                u"Writes an SZ, EXPAND_SZ or MULTI_SZ to the registry");
        return b.build();
    }();
    return info;
}

StringView Registry::value_type_name(int32_t type) {
    if (type < 0 || type >= static_cast<int32_t>(std::size(kTypeNames))) return kUnknown;
    return kTypeNames[type];
}

uint8_t Registry::type_text_index(int32_t type) {
    if (type < 0 || type >= static_cast<int32_t>(std::size(kTypeNames))) return kUnknownText;
    return static_cast<uint8_t>(type);
}

String Registry::RegValueTypeStr() const {
    if (value_type_text_ == kNoTypeText) return {};
    if (value_type_text_ == kUnknownText) return String(kUnknown);
    return String(kTypeNames[value_type_text_]);
}

String Registry::RegKeyPath() const {
    if (path_below_place_) {
        const String& parent = place_->parent_path;
        String path(parent);
        if (!path.empty()) path += u'\\';
        path += names_[kKeyName];
        return path;
    }
    return key_path_ ? *key_path_ : String();
}

void Registry::set_key_path(String path) {
    path_below_place_ = false;
    if (path.empty())
        key_path_.reset();
    else if (key_path_)
        *key_path_ = std::move(path);
    else
        key_path_ = std::make_unique<String>(std::move(path));
}

void Registry::set_place(String root_name, String machine) {
    // A listed sub-key's path stays what it read.
    if (path_below_place_) set_key_path(RegKeyPath());
    if (root_name.empty() && machine.empty())
        place_.reset();
    else
        place_ = std::make_shared<const Place>(Place{std::move(root_name), std::move(machine), {}});
}

StringView Registry::ace_type_name(uint8_t type) {
    return type < std::size(kAceTypeNames) ? kAceTypeNames[type] : u"ACCESS_UNKNOWN_ACE_TYPE";
}

String Registry::rights_text(uint8_t ace_type, uint32_t mask, bool audits) {
    if (ace_type == ace::kAccessDenied) return u"ZERO";
    String text;
    for (const Letter& l : kLetters) {
        if (l.rights_only && audits) continue;
        if ((mask & l.bits) == l.bits) text.push_back(l.letter);
    }
    if (audits) return text;
    if ((mask & reg::kAllAccess) == reg::kAllAccess) text = u"ALL";
    if (text == u"QENR") text = u"READ";
    return text;
}

String Registry::flags_text(uint8_t flags, bool audits) {
    String text;
    for (const Flag& f :
         audits ? std::span<const Flag>(kAuditFlags) : std::span<const Flag>(kRightFlags)) {
        if (flags & f.bit) text += f.name;
    }
    if (!text.empty()) text.pop_back();
    return text;
}

int32_t Registry::OpenRegistry(int32_t lngHKey, String strMachine) {
    int32_t result = 0;
    const int32_t error = attempt([&] {
        if (root_handle_ != 0) raise(kAlreadyOpen);
        for (const Root& r : kRoots) {
            if (r.handle == lngHKey) {
                set_place(String(r.name), RegMachine());
                break;
            }
        }
        if (strMachine.empty()) {
            root_handle_ = lngHKey;
            set_place(RegKeyRoot(), u"local");
            return;
        }
        auto r = registry().connect(u"\\\\" + strMachine, static_cast<platform::RegKey>(lngHKey));
        if (!r.ok()) {
            result = as_long(r.status);
            return;
        }
        root_handle_ = as_long(r.value);
        set_place(RegKeyRoot(), std::move(strMachine));
    });
    return error ? error : result;
}

int32_t Registry::OpenRegKey(int32_t lngDesAccess, String strKey) {
    int32_t result = 0;
    const int32_t error = attempt([&] {
        if (key_handle_ != 0) raise(kAlreadyOpen);
        String path = key_path();
        if (path.empty()) path = std::move(strKey);
        // The system list can only be opened under the security privilege.
        auto process = make<Process>();
        if (static_cast<uint32_t>(lngDesAccess) & reg::kAccessSystemSecurity) {
            if (int32_t s = switch_privilege(*process, kSecurityPrivilege, true)) {
                result = s;
                return;
            }
        }
        auto r = registry().open_key(root(), path, static_cast<uint32_t>(lngDesAccess));
        if (!r.ok()) {
            result = as_long(r.status);
            return;
        }
        switch_privilege(*process, kSecurityPrivilege, false);
        key_handle_ = as_long(r.value);
        set_key_path(path);
        if (path.empty()) {
            names_.set({{kKeyName, RegKeyRoot()}});
        } else if (path.find(u'\\') == String::npos) {
            names_.set({{kKeyName, path}});
        } else {
            auto splitter = make<Stringer>();
            if (int32_t s = splitter->InitSeperator(path, u"\\", true)) {
                result = s;
                return;
            }
            auto parts = splitter->SepStrings();
            names_.set({{kKeyName, parts->object_at<Stringer>(parts->size() - 1)->SepString()}});
        }
        if (static_cast<uint32_t>(lngDesAccess) & reg::kQueryValue) {
            auto dll = make<DllClass>();
            result = query_key_info(*dll);
        }
    });
    return error ? error : result;
}

int32_t Registry::query_key_info(DllClass& dll) {
    auto r = registry().query_info(key(), kClassBuffer);
    if (!r.ok()) return as_long(r.status);
    const platform::KeyInfo& info = r.value;
    KeyStats& s = stats();
    s.key_class = info.class_name;
    s.sub_keys = as_long(info.sub_keys);
    s.max_sub_key_len = as_long(info.max_sub_key_len);
    s.max_class_len = as_long(info.max_class_len);
    s.values = as_long(info.values);
    s.max_value_name_len = as_long(info.max_value_name_len);
    s.max_value_len = as_long(info.max_value_len);
    write_time_ = file_time_date(dll, info.write_time);
    return 0;
}

int32_t Registry::CloseRegKey() {
    if (Status s = registry().close_key(key())) return as_long(s);
    key_handle_ = 0;
    set_key_path({});
    stats_.reset();
    write_time_ = Date{};
    names_.set({{kValueName, {}}});
    value_ = Variant(String());
    value_type_ = 0;
    value_type_text_ = kNoTypeText;
    security_.reset();  // with the rights and audits
    values_ = nullptr;
    return 0;
}

int32_t Registry::CloseRegistry() {
    if (!RegMachine().empty()) {
        if (Status s = registry().close_key(root())) return as_long(s);
    }
    registry().close_key(key());
    key_handle_ = 0;
    set_key_path({});
    set_place({}, {});
    root_handle_ = 0;
    sub_keys_ = nullptr;
    values_ = nullptr;
    return 0;
}

Variant Registry::InitRegSubKeys() {
    int32_t result = 0;
    const int32_t error = attempt([&] {
        sub_keys_ = make<Collection>();
        if (stats_) sub_keys_->reserve(static_cast<size_t>(std::max(stats_->sub_keys, 0)));
        auto dll = make<DllClass>();
        // The items' hive names and the path their names go under.
        auto place = std::make_shared<Place>(Place{RegKeyRoot(), RegMachine(), key_path()});
        uint32_t size = kEnumBuffer;
        platform::FileTime last_time = 0;
        Date last_date;
        for (uint32_t index = 0;; ++index) {
            // Name and class buffers are the same size and grow together.
            auto r = negotiate(
                size,
                [&](uint32_t n) {
                    return registry().enum_key(key(), index, {n, n, std::nullopt});
                },
                [](const platform::Result<platform::SubKey>& e) { return e.value.needed; });
            if (r.status == platform::status::kNoMoreItems) return;
            if (!r.ok()) {
                result = as_long(r.status);
                return;
            }
            const platform::SubKey& sub = r.value;
            auto item = make<Registry>();
            item->names_.set({{kKeyName, sub.name}});
            item->place_ = place;
            item->path_below_place_ = true;
            if (!sub.class_name.empty()) item->stats().key_class = sub.class_name;
            // Keys made together share their write time: converted once.
            if (sub.write_time != last_time || index == 0) {
                last_time = sub.write_time;
                last_date = file_time_date(*dll, sub.write_time);
            }
            item->write_time_ = last_date;
            item->root_handle_ = root_handle_;
            sub_keys_->add(Variant(Ref<Object>(item)), sub.name);
        }
    });
    return Variant(error ? error : result);
}

void Registry::load_value(String name, uint32_t type, const std::vector<uint8_t>& data) {
    names_.set({{kValueName, name}});
    value_type_ = as_long(type);
    value_type_text_ = type_text_index(value_type_);
    if (reg::is_string(type)) {
        value_ = Variant(string_data(data));
    } else if (array_type(type)) {
        value_ = Variant::byte_array(data);
    } else {
        uint32_t v = 0;
        for (size_t i = 0; i < 4 && i < data.size(); ++i)
            v |= uint32_t{data[i]} << (8 * i);
        value_ = Variant(as_long(v));
    }
}

void Registry::load_unknown(String name, uint32_t type) {
    names_.set({{kValueName, name}});
    value_ = Variant(String(kUnknown));
    value_type_text_ = type_text_index(as_long(type));
    // A code outside the table is shown as type 0.
    value_type_ = type <= reg::kResourceRequirementsList ? as_long(type) : 0;
}

namespace {

// The data buffer the class hands the second read of a value, by type;
// nullopt for the types whose data is not read.
std::optional<uint32_t> data_buffer(uint32_t type, uint32_t length, bool enumerating) {
    if (type == reg::kSz || type == reg::kExpandSz) return enumerating ? length + 1 : length;
    if (type == reg::kMultiSz || array_type(type)) return length;
    if (long_type(type)) return 4;
    return std::nullopt;
}

}  // namespace

Variant Registry::InitRegValues() {
    int32_t result = 0;
    const int32_t error = attempt([&] {
        values_ = make<Collection>();
        const int32_t count = RegKeyNumValues();
        if (count < 1) return;
        values_->reserve(static_cast<size_t>(count));
        const String default_name = make<DllClass>()->SystemDefaultLCID() == kGermanLcid
                                        ? String(u"Standard")
                                        : String(u"Default");
        const uint32_t name_buffer = static_cast<uint32_t>(RegKeyMaxValueNameLen()) + 1;
        for (int32_t index = 0; index < count; ++index) {
            const auto at = static_cast<uint32_t>(index);
            uint32_t name_size = name_buffer;
            auto head = negotiate(
                name_size,
                [&](uint32_t n) {
                    return registry().enum_value(key(), at, {n, 0, std::nullopt});
                },
                name_needs);
            if (head.status == platform::status::kNoMoreItems) return;
            if (!head.ok()) {
                result = as_long(head.status);
                return;
            }
            String name = head.value.name.empty() ? default_name : head.value.name;
            const uint32_t type = head.value.type;
            auto item = make<Registry>();
            uint32_t length = head.value.size;
            auto buffer = data_buffer(type, length, true);
            if (!buffer) {
                item->load_unknown(std::move(name), type);
            } else {
                // The data is read with the name buffer the first read
                // needed, so that a name longer than the key's longest at
                // open time is read too.
                uint32_t size = *buffer;
                auto full =
                    long_type(type)
                        ? registry().enum_value(key(), at, {name_size, 0, size})
                        : negotiate(
                              size,
                              [&](uint32_t n) {
                                  return registry().enum_value(key(), at, {name_size, 0, n});
                              },
                              data_needs);
                if (!full.ok()) {
                    result = as_long(full.status);
                    return;
                }
                item->load_value(std::move(name), type, full.value.data);
            }
            values_->add(Variant(Ref<Object>(item)), item->names_[kValueName]);
        }
    });
    return Variant(error ? error : result);
}

int32_t Registry::GetRegValueInfo(String strName) {
    int32_t result = 0;
    const int32_t error = attempt([&] {
        auto head = registry().query_value(key(), strName, std::nullopt);
        if (!head.ok()) {
            result = as_long(head.status);
            return;
        }
        const uint32_t type = head.value.type;
        value_type_ = as_long(type);
        auto buffer = data_buffer(type, head.value.size, false);
        if (!buffer) {
            load_unknown(std::move(strName), type);
            return;
        }
        uint32_t size = *buffer;
        auto full =
            long_type(type)
                ? registry().query_value(key(), strName, size)
                : negotiate(
                      size, [&](uint32_t n) { return registry().query_value(key(), strName, n); },
                      data_needs);
        if (!full.ok()) {
            result = as_long(full.status);
            return;
        }
        load_value(std::move(strName), type, full.value.data);
    });
    return error ? error : result;
}

int32_t Registry::SetRegValue(String strName, int32_t lngType, Variant varData) {
    int32_t result = 0;
    const int32_t error = attempt([&] {
        const auto type = static_cast<uint32_t>(lngType);
        std::vector<uint8_t> data;
        Variant shown;
        if (long_type(type)) {
            const auto v = static_cast<uint32_t>(varData.to_long());
            data = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                    static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
            shown = Variant(as_long(v));
        } else if (reg::is_string(type)) {
            String text = varData.to_string();
            data = to_ansi(text);
            shown = Variant(std::move(text));
        } else if (array_type(type)) {
            const Array* a = varData.if_array();
            if (!a) raise(err::kTypeMismatch);
            data.reserve(a->size());
            for (int32_t i = a->lower_bound; i <= a->upper_bound(); ++i)
                data.push_back(a->at(i).to_byte());
            shown = Variant::byte_array(data);
        } else {
            raise(err::kBadArgument);
        }
        if (Status s = registry().set_value(key(), strName, type, data)) {
            result = as_long(s);
            return;
        }
        value_ = std::move(shown);
        names_.set({{kValueName, strName}});
        value_type_ = lngType;
        value_type_text_ = type_text_index(lngType);
    });
    return error ? error : result;
}

int32_t Registry::DeleteRegSubKey(String strKeyName) {
    return as_long(registry().delete_key(key(), strKeyName));
}

int32_t Registry::DeleteRegValue(String strValueName) {
    return as_long(registry().delete_value(key(), strValueName));
}

int32_t Registry::CreateRegSubKey(String strKeyName, bool booVolatile, String strClass) {
    auto r = registry().create_key(key(), strKeyName, strClass,
                                   booVolatile ? reg::kOptionVolatile : 0, reg::kRead);
    registry().close_key(r.ok() ? r.value.key : 0);
    if (!r.ok()) return as_long(r.status);
    return r.value.disposition == reg::kOpenedExistingKey ? kExisted : 0;
}

// Saving, loading, unloading and restoring hives each switch a privilege of
// the calling process on around the call, and off again after a success;
// after a failure it stays on, as a script that retries expects.
template <class Call>
int32_t Registry::privileged(StringView privilege, Call call) {
    int32_t result = 0;
    const int32_t error = attempt([&] {
        auto process = make<Process>();
        if ((result = switch_privilege(*process, privilege, true))) return;
        if (Status s = call()) {
            result = as_long(s);
            return;
        }
        switch_privilege(*process, privilege, false);
    });
    return error ? error : result;
}

int32_t Registry::SaveRegKey(String strPath) {
    return privileged(kBackupPrivilege, [&] { return registry().save_key(key(), strPath); });
}

int32_t Registry::LoadRegKey(String strPath, String strKeyName) {
    return privileged(kRestorePrivilege,
                      [&] { return registry().load_key(root(), strKeyName, strPath); });
}

int32_t Registry::UnloadRegKey(String strKeyName) {
    return privileged(kRestorePrivilege, [&] { return registry().unload_key(root(), strKeyName); });
}

int32_t Registry::RestoreRegKey(String strPath, bool booVolatile) {
    return privileged(kRestorePrivilege, [&] {
        return registry().restore_key(key(), strPath, booVolatile ? reg::kWholeHiveVolatile : 0);
    });
}

int32_t Registry::read_account(uint32_t information, String& user, String& domain) {
    auto sd = registry().key_security(key(), information);
    if (!sd.ok()) return as_long(sd.status);
    const auto& sid =
        information == platform::security_info::kOwner ? sd.value.owner : sd.value.group;
    if (!sid) return as_long(platform::status::kInvalidSid);
    auto account = platform::current().security().lookup_account_sid(u"", *sid);
    if (!account.ok()) return as_long(account.status);
    // The fields change only when both texts are there.
    user = account.value.name;
    domain = account.value.domain;
    return 0;
}

int32_t Registry::GetRegKeyOwner() {
    auto& texts = security();
    return read_account(platform::security_info::kOwner, texts.owner, texts.owner_domain);
}

int32_t Registry::GetRegKeyPrimaryGroup() {
    auto& texts = security();
    return read_account(platform::security_info::kGroup, texts.group, texts.group_domain);
}

Ref<Registry> Registry::entry_item(const platform::Ace& a, bool audits, int32_t& status) {
    auto account = platform::current().security().lookup_account_sid(u"", a.sid);
    if (!account.ok()) {
        status = as_long(account.status);
        return nullptr;
    }
    auto item = make<Registry>();
    SecurityText& t = item->security();
    t.right_type_text = String(ace_type_name(a.type));
    t.right_user = account.value.name;
    t.right_user_domain = account.value.domain;
    t.right_text = rights_text(a.type, a.mask, audits);
    t.right_flags_text = flags_text(a.flags, audits);
    return item;
}

int32_t Registry::InitRegRights() {
    int32_t result = 0;
    const int32_t error = attempt([&] {
        auto& rights = security().rights;
        rights = make<Collection>();
        auto sd = registry().key_security(key(), platform::security_info::kDacl);
        if (!sd.ok()) {
            result = as_long(sd.status);
            return;
        }
        if (!sd.value.dacl && !sd.value.null_dacl) raise(err::kNotAvailable);
        if (!sd.value.dacl) return;  // a null list: nothing to list
        for (const platform::Ace& a : sd.value.dacl->aces) {
            auto item = entry_item(a, false, result);
            if (!item) return;
            SecurityText& t = item->security();
            const String key = t.right_user_domain.empty()
                                   ? t.right_user
                                   : t.right_user_domain + u"\\" + t.right_user;
            const Variant* existing = rights->find(key);
            if (!existing) {
                rights->add(Variant(Ref<Object>(item)), key);
                continue;
            }
            // A second entry for one account: it replaces the first where
            // it says more (flags where there were none, rights narrower
            // than all, anything but a denial after a denial).
            SecurityText& old = ref_cast<Registry>(existing->object())->security();
            const bool replace =
                (old.right_flags_text.empty() && !t.right_flags_text.empty()) ||
                (old.right_text == u"ALL" && t.right_text != u"ZERO" && t.right_text != u"ALL") ||
                (old.right_text == u"ZERO" && t.right_text != u"ZERO");
            if (replace) {
                old.right_flags_text = t.right_flags_text;
                old.right_text = t.right_text;
                old.right_type_text = t.right_type_text;
            }
        }
    });
    return error ? error : result;
}

// The audits list is read under the security privilege; each entry is an
// item of its own, keyed by its place in the list.
int32_t Registry::InitRegAudits() {
    int32_t result = 0;
    const int32_t error = attempt([&] {
        auto& audits = security().audits;
        audits = make<Collection>();
        auto process = make<Process>();
        if ((result = switch_privilege(*process, kSecurityPrivilege, true))) return;
        auto sd = registry().key_security(key(), platform::security_info::kSacl);
        if (!sd.ok()) {
            result = as_long(sd.status);
            return;
        }
        if (!sd.value.sacl && !sd.value.null_sacl) raise(err::kNotAvailable);
        switch_privilege(*process, kSecurityPrivilege, false);
        if (!sd.value.sacl) return;  // a null list: nothing to list
        const auto& aces = sd.value.sacl->aces;
        for (size_t i = 0; i < aces.size(); ++i) {
            const platform::Ace& a = aces[i];
            auto item = entry_item(a, true, result);
            if (!item) return;
            audits->add(Variant(Ref<Object>(item)), u"#" + decimal(static_cast<int64_t>(i)));
        }
    });
    return error ? error : result;
}

String Registry::GetRegValueSZ(String strComputer, String strKey, String strValue,
                               String strDefault) {
    String out = strDefault;
    attempt([&] {
        auto resolved = resolve_key_text(strKey);
        if (!resolved) return;
        OneShotRoot root(strComputer, resolved->first);
        if (root.status()) return;
        OpenedKey opened;
        auto k = registry().open_key(root.key(), resolved->second, reg::kQueryValue);
        if (!k.ok()) return;
        opened.key = k.value;
        auto head = registry().query_value(opened.key, strValue, std::nullopt);
        if (!head.ok() || !reg::is_string(head.value.type)) return;
        if (head.value.size > kMaxBuildLength) raise(err::kOverflow);
        auto full = registry().query_value(opened.key, strValue, head.value.size);
        if (!full.ok()) return;
        String text = string_data(full.value.data);
        if (head.value.type == reg::kMultiSz && text.size() > 1)
            std::replace(text.begin(), text.end() - 1, u'\0', u'^');
        out = std::move(text);
    });
    return out;
}

int32_t Registry::SetRegValueSZ(String strComputer, String strKey, String strValueName,
                                String strValue, int32_t lngType) {
    int32_t written = 0;
    attempt([&] {
        auto resolved = resolve_key_text(strKey);
        if (!resolved) return;
        // A value name the write would refuse (123) makes no key for it.
        if (!platform::fits_c_string(strValueName)) return;
        OneShotRoot root(strComputer, resolved->first);
        if (root.status()) return;
        OpenedKey opened;
        auto k = registry().open_key(root.key(), resolved->second, reg::kAllAccess);
        if (k.ok()) {
            opened.key = k.value;
        } else {
            auto made =
                registry().create_key(root.key(), resolved->second, u"", 0, reg::kAllAccess);
            if (!made.ok()) return;
            opened.key = made.value.key;
        }
        // The write's own status counts: a value that was not written is
        // not reported as written.
        if (registry().set_value(opened.key, strValueName, static_cast<uint32_t>(lngType),
                                 to_ansi(strValue)))
            return;
        const Status closed = registry().close_key(std::exchange(opened.key, 0));
        if (closed) return;
        written = 1;
    });
    return written;
}

}  // namespace vorlek
