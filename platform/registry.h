// The registry of a machine: predefined roots, keys with classes and write
// times, values of every type, key security, remote connections and hive
// files. Names are the single-byte ("A") calls' view: the classes pass
// Unicode text and the backend converts it as those calls do; string data
// comes back as the A calls give it, in the system code page.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "automation/string.h"
#include "platform/security_descriptor.h"
#include "platform/status.h"
#include "platform/time.h"

namespace vorlek::platform {

namespace status {
constexpr Status kBadDb = 1009;                // ERROR_BADDB
constexpr Status kBadKey = 1010;               // ERROR_BADKEY
constexpr Status kCantOpen = 1011;             // ERROR_CANTOPEN
constexpr Status kCantRead = 1012;             // ERROR_CANTREAD
constexpr Status kCantWrite = 1013;            // ERROR_CANTWRITE
constexpr Status kKeyDeleted = 1018;           // ERROR_KEY_DELETED
constexpr Status kChildMustBeVolatile = 1021;  // ERROR_CHILD_MUST_BE_VOLATILE
constexpr Status kFileCorrupt = 1392;          // ERROR_FILE_CORRUPT
constexpr Status kAlreadyExists = 183;         // ERROR_ALREADY_EXISTS
}  // namespace status

// An open key: a predefined root (sign-extended 0x8000000x) or a handle the
// platform handed out. Values a client keeps as a Long fit.
using RegKey = uint32_t;

namespace hkey {
constexpr RegKey kClassesRoot = 0x80000000;
constexpr RegKey kCurrentUser = 0x80000001;
constexpr RegKey kLocalMachine = 0x80000002;
constexpr RegKey kUsers = 0x80000003;
constexpr RegKey kPerformanceData = 0x80000004;
constexpr RegKey kCurrentConfig = 0x80000005;
constexpr bool predefined(RegKey key) noexcept {
    return key >= kClassesRoot && key <= kCurrentConfig;
}
}  // namespace hkey

// Value types.
namespace reg {
constexpr uint32_t kNone = 0;
constexpr uint32_t kSz = 1;
constexpr uint32_t kExpandSz = 2;
constexpr uint32_t kBinary = 3;
constexpr uint32_t kDword = 4;
constexpr uint32_t kDwordBigEndian = 5;
constexpr uint32_t kLink = 6;
constexpr uint32_t kMultiSz = 7;
constexpr uint32_t kResourceList = 8;
constexpr uint32_t kFullResourceDescriptor = 9;
constexpr uint32_t kResourceRequirementsList = 10;
constexpr bool is_string(uint32_t type) noexcept {
    return type == kSz || type == kExpandSz || type == kMultiSz;
}

// Access rights.
constexpr uint32_t kQueryValue = 0x1;
constexpr uint32_t kSetValue = 0x2;
constexpr uint32_t kCreateSubKey = 0x4;
constexpr uint32_t kEnumerateSubKeys = 0x8;
constexpr uint32_t kNotify = 0x10;
constexpr uint32_t kCreateLink = 0x20;
constexpr uint32_t kDelete = 0x10000;
constexpr uint32_t kReadControl = 0x20000;
constexpr uint32_t kWriteDac = 0x40000;
constexpr uint32_t kWriteOwner = 0x80000;
constexpr uint32_t kAccessSystemSecurity = 0x1000000;
constexpr uint32_t kRead = 0x20019;
constexpr uint32_t kWrite = 0x20006;
constexpr uint32_t kAllAccess = 0xF003F;

// RegCreateKeyEx options and dispositions; RegRestoreKey flags.
constexpr uint32_t kOptionVolatile = 0x1;
constexpr uint32_t kCreatedNewKey = 1;
constexpr uint32_t kOpenedExistingKey = 2;
constexpr uint32_t kWholeHiveVolatile = 0x1;

// The longest key name (characters) and value name the system takes.
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;
}  // namespace reg

// RegQueryInfoKey. Lengths are in characters without the terminator (data
// in bytes), as the A call counts them.
struct KeyInfo {
    String class_name;
    uint32_t sub_keys = 0;
    uint32_t max_sub_key_len = 0;
    uint32_t max_class_len = 0;
    uint32_t values = 0;
    uint32_t max_value_name_len = 0;
    uint32_t max_value_len = 0;
    uint32_t security_descriptor_size = 0;
    FileTime write_time = 0;
};

// One entry of RegEnumKeyEx; with status 234, `needed` is the buffer size
// (characters with the terminator) that name and class need.
struct SubKey {
    String name;
    String class_name;
    FileTime write_time = 0;
    uint32_t needed = 0;
};

// A value's type and data (RegEnumValue, RegQueryValueEx). `size` is the
// data length: of `data` when the data was asked for and fitted, else the
// length the data needs (with status 234 when a buffer was too small).
// With 234 for the name, `name_needed` is the name buffer it needs.
struct Value {
    String name;
    uint32_t type = reg::kNone;
    uint32_t size = 0;
    std::vector<uint8_t> data;
    uint32_t name_needed = 0;
};

struct CreatedKey {
    RegKey key = 0;
    uint32_t disposition = 0;
};

// How big a caller's buffers are: the name and class buffers in characters
// with room for the terminator, the data buffer in bytes; no data buffer
// means the data is not asked for.
struct Buffers {
    uint32_t name = 0;
    uint32_t class_name = 0;
    std::optional<uint32_t> data;
};

class Registry {
  public:
    virtual ~Registry() = default;

    // RegConnectRegistry("\\NAME" or "", root): a handle to the root of that
    // machine's registry (only HKLM, HKU and HKPD on another machine; 6 for
    // the others). 53 when it does not answer.
    virtual Result<RegKey> connect(StringView machine, RegKey root) = 0;
    // RegOpenKeyEx: 2 for a missing key, 5 for denied access, 6 for a bad
    // handle, 1018 for a handle of a deleted key. Separators: a path may
    // not start with "\"; doubled or trailing ones are tolerated.
    virtual Result<RegKey> open_key(RegKey parent, StringView path, uint32_t access) = 0;
    // RegCreateKeyEx: creates every missing key of the path.
    virtual Result<CreatedKey> create_key(RegKey parent, StringView path, StringView class_name,
                                          uint32_t options, uint32_t access) = 0;
    // RegCloseKey: 6 for a handle that is not open. Closing a predefined
    // root succeeds and changes nothing.
    virtual Status close_key(RegKey key) = 0;
    // RegQueryInfoKey; the class in a buffer of `class_capacity` characters
    // (234 with the length when it does not fit).
    virtual Result<KeyInfo> query_info(RegKey key, uint32_t class_capacity) = 0;
    // RegEnumKeyEx: 259 past the last, 234 when name or class do not fit
    // (the sizes then tell what they need).
    virtual Result<SubKey> enum_key(RegKey key, uint32_t index, Buffers buffers) = 0;
    // RegEnumValue: 259 past the last; 234 when the name or the data do not fit.
    virtual Result<Value> enum_value(RegKey key, uint32_t index, Buffers buffers) = 0;
    // RegQueryValueEx ("" is the default value): 2 when there is none.
    virtual Result<Value> query_value(RegKey key, StringView name,
                                      std::optional<uint32_t> data_capacity) = 0;
    // RegSetValueEx: the data as the A call takes it (strings in the system
    // code page, as many bytes as given).
    virtual Status set_value(RegKey key, StringView name, uint32_t type,
                             const std::vector<uint8_t>& data) = 0;
    // RegDeleteKey: 5 for a key with sub-keys, 2 for a missing one.
    virtual Status delete_key(RegKey key, StringView sub_key) = 0;
    // RegDeleteValue: 2 for a missing value.
    virtual Status delete_value(RegKey key, StringView name) = 0;
    // RegGetKeySecurity: the parts `information` names; the SACL needs a
    // key opened with ACCESS_SYSTEM_SECURITY (else 5).
    virtual Result<SecurityDescriptor> key_security(RegKey key, uint32_t information) = 0;
    // RegSaveKey: the key and everything below it as a hive file (183 when
    // the file exists); needs the backup privilege.
    virtual Status save_key(RegKey key, StringView file) = 0;
    // RegLoadKey under HKLM or HKU (87 for another key) as `sub_key`;
    // RegUnLoadKey of such a hive; both need the restore privilege.
    virtual Status load_key(RegKey root, StringView sub_key, StringView file) = 0;
    virtual Status unload_key(RegKey root, StringView sub_key) = 0;
    // RegRestoreKey: the file's contents replace the key's values and
    // sub-keys, all or nothing; needs the restore privilege.
    virtual Status restore_key(RegKey key, StringView file, uint32_t flags) = 0;
};

}  // namespace vorlek::platform
