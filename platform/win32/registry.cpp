// The registry of the real system, through the single-byte ("A") calls the
// classes are described with: names go out in the system code page and
// string data comes back in it.
#include "platform/registry.h"

#include <vector>

#include "platform/win32/areas.h"
#include "platform/win32/handle.h"
#include "platform/win32/status.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

// A handle as the classes keep it (a Long) and back; predefined roots are
// sign-extended, as the system defines them.
HKEY hkey_of(RegKey key) {
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(key)));
}
RegKey key_of(HKEY key) {
    return static_cast<RegKey>(reinterpret_cast<uintptr_t>(key));
}

// The longest sub-key name and class, and the longest value name, for the
// sizes a 234 of an enumeration does not report.
struct Longest {
    DWORD sub_key = 0, class_name = 0, value_name = 0;
};
Longest longest(HKEY key) {
    Longest l;
    ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, &l.sub_key, &l.class_name, nullptr,
                       &l.value_name, nullptr, nullptr, nullptr);
    return l;
}

FileTime file_time(const FILETIME& ft) {
    return FileTime{ft.dwLowDateTime} | FileTime{ft.dwHighDateTime} << 32;
}

class Win32Registry final : public Registry {
  public:
    Result<RegKey> connect(StringView machine, RegKey root) override {
        CStrings c;
        const LPCSTR name = c.ansi_or_null(machine);
        if (c.status()) return Result<RegKey>::failure(c.status());
        HKEY out = nullptr;
        const Status s = status_from_lstatus(::RegConnectRegistryA(name, hkey_of(root), &out));
        if (s) return Result<RegKey>::failure(s);
        return {status::kSuccess, key_of(out)};
    }

    Result<RegKey> open_key(RegKey parent, StringView path, uint32_t access) override {
        CStrings c;
        const LPCSTR name = c.ansi(path);
        if (c.status()) return Result<RegKey>::failure(c.status());
        HKEY out = nullptr;
        const Status s =
            status_from_lstatus(::RegOpenKeyExA(hkey_of(parent), name, 0, access, &out));
        if (s) return Result<RegKey>::failure(s);
        return {status::kSuccess, key_of(out)};
    }

    Result<CreatedKey> create_key(RegKey parent, StringView path, StringView class_name,
                                  uint32_t options, uint32_t access) override {
        CStrings c;
        const LPCSTR name = c.ansi(path);
        const LPSTR cls = c.ansi(class_name);
        if (c.status()) return Result<CreatedKey>::failure(c.status());
        HKEY out = nullptr;
        DWORD disposition = 0;
        const Status s = status_from_lstatus(::RegCreateKeyExA(
            hkey_of(parent), name, 0, cls, options, access, nullptr, &out, &disposition));
        if (s) return Result<CreatedKey>::failure(s);
        return {status::kSuccess, {key_of(out), disposition}};
    }

    Status close_key(RegKey key) override {
        return status_from_lstatus(::RegCloseKey(hkey_of(key)));
    }

    Result<KeyInfo> query_info(RegKey key, uint32_t class_capacity) override {
        std::string cls(class_capacity, '\0');
        DWORD class_length = class_capacity;
        KeyInfo info;
        DWORD sub_keys = 0, max_sub = 0, max_class = 0, values = 0, max_name = 0, max_data = 0,
              sd = 0;
        FILETIME written{};
        const Status s = status_from_lstatus(
            ::RegQueryInfoKeyA(hkey_of(key), class_capacity ? cls.data() : nullptr,
                               class_capacity ? &class_length : nullptr, nullptr, &sub_keys,
                               &max_sub, &max_class, &values, &max_name, &max_data, &sd, &written));
        if (s) return Result<KeyInfo>::failure(s);
        info.class_name = unicode(cls.data(), class_capacity ? class_length : 0);
        info.sub_keys = sub_keys;
        info.max_sub_key_len = max_sub;
        info.max_class_len = max_class;
        info.values = values;
        info.max_value_name_len = max_name;
        info.max_value_len = max_data;
        info.security_descriptor_size = sd;
        info.write_time = file_time(written);
        return {status::kSuccess, std::move(info)};
    }

    Result<SubKey> enum_key(RegKey key, uint32_t index, Buffers buffers) override {
        std::string name(buffers.name, '\0'), cls(buffers.class_name, '\0');
        DWORD name_length = buffers.name, class_length = buffers.class_name;
        FILETIME written{};
        const Status s = status_from_lstatus(
            ::RegEnumKeyExA(hkey_of(key), index, name.data(), &name_length, nullptr,
                            buffers.class_name ? cls.data() : nullptr,
                            buffers.class_name ? &class_length : nullptr, &written));
        if (s == status::kMoreData) {
            const Longest l = longest(hkey_of(key));
            SubKey out;
            out.needed = std::max(l.sub_key, l.class_name) + 1;
            return {s, std::move(out)};
        }
        if (s) return Result<SubKey>::failure(s);
        return {
            status::kSuccess,
            {unicode(name.data(), name_length),
             unicode(cls.data(), buffers.class_name ? class_length : 0), file_time(written), 0}};
    }

    Result<Value> enum_value(RegKey key, uint32_t index, Buffers buffers) override {
        std::string name(buffers.name, '\0');
        DWORD name_length = buffers.name, type = 0;
        std::vector<uint8_t> data(buffers.data.value_or(0));
        DWORD size = buffers.data.value_or(0);
        const Status s = status_from_lstatus(
            ::RegEnumValueA(hkey_of(key), index, name.data(), &name_length, nullptr, &type,
                            buffers.data && !data.empty() ? data.data() : nullptr, &size));
        Value out;
        out.type = type;
        out.size = size;
        if (s == status::kMoreData) {
            // The data's size is reported; the name's is not, so the key's
            // longest name stands for it.
            if (!buffers.data || size <= *buffers.data)
                out.name_needed = longest(hkey_of(key)).value_name + 1;
            return {s, std::move(out)};
        }
        if (s) return Result<Value>::failure(s);
        out.name = unicode(name.data(), name_length);
        if (buffers.data) {
            data.resize(size);
            out.data = std::move(data);
        }
        return {status::kSuccess, std::move(out)};
    }

    Result<Value> query_value(RegKey key, StringView name,
                              std::optional<uint32_t> data_capacity) override {
        CStrings c;
        const LPCSTR value_name = c.ansi(name);
        if (c.status()) return Result<Value>::failure(c.status());
        DWORD type = 0, size = data_capacity.value_or(0);
        std::vector<uint8_t> data(size);
        const Status s = status_from_lstatus(
            ::RegQueryValueExA(hkey_of(key), value_name, nullptr, &type,
                               data_capacity && !data.empty() ? data.data() : nullptr, &size));
        Value out;
        out.name = String(name);
        out.type = type;
        out.size = size;
        if (s == status::kMoreData) return {s, std::move(out)};
        if (s) return Result<Value>::failure(s);
        if (data_capacity) {
            data.resize(size);
            out.data = std::move(data);
        }
        return {status::kSuccess, std::move(out)};
    }

    Status set_value(RegKey key, StringView name, uint32_t type,
                     const std::vector<uint8_t>& data) override {
        CStrings c;
        const LPCSTR value_name = c.ansi(name);
        if (c.status()) return c.status();
        if (data.size() > 0xFFFFFFFFu) return status::kInvalidParameter;
        static const BYTE kNothing = 0;
        return status_from_lstatus(::RegSetValueExA(hkey_of(key), value_name, 0, type,
                                                    data.empty() ? &kNothing : data.data(),
                                                    static_cast<DWORD>(data.size())));
    }

    Status delete_key(RegKey key, StringView sub_key) override {
        CStrings c;
        const LPCSTR name = c.ansi(sub_key);
        if (c.status()) return c.status();
        return status_from_lstatus(::RegDeleteKeyA(hkey_of(key), name));
    }

    Status delete_value(RegKey key, StringView name) override {
        CStrings c;
        const LPCSTR value_name = c.ansi(name);
        if (c.status()) return c.status();
        return status_from_lstatus(::RegDeleteValueA(hkey_of(key), value_name));
    }

    Result<SecurityDescriptor> key_security(RegKey key, uint32_t information) override {
        using R = Result<SecurityDescriptor>;
        // Asked for the size first: the call answers 122 and sets it.
        DWORD size = 0;
        BYTE probe = 0;
        Status s =
            status_from_lstatus(::RegGetKeySecurity(hkey_of(key), information, &probe, &size));
        if (s != status::kSuccess && s != status::kInsufficientBuffer) return R::failure(s);
        std::vector<uint8_t> buffer(size ? size : 1);
        s = status_from_lstatus(
            ::RegGetKeySecurity(hkey_of(key), information, buffer.data(), &size));
        if (s) return R::failure(s);
        auto sd = SecurityDescriptor::from_bytes(buffer.data(), size);
        if (!sd) return R::failure(status::kInvalidParameter);
        return {status::kSuccess, std::move(*sd)};
    }

    Status save_key(RegKey key, StringView file) override {
        CStrings c;
        const LPCSTR path = c.ansi(file);
        if (c.status()) return c.status();
        return status_from_lstatus(::RegSaveKeyA(hkey_of(key), path, nullptr));
    }

    Status load_key(RegKey root, StringView sub_key, StringView file) override {
        CStrings c;
        const LPCSTR name = c.ansi(sub_key), path = c.ansi(file);
        if (c.status()) return c.status();
        return status_from_lstatus(::RegLoadKeyA(hkey_of(root), name, path));
    }

    Status unload_key(RegKey root, StringView sub_key) override {
        CStrings c;
        const LPCSTR name = c.ansi(sub_key);
        if (c.status()) return c.status();
        return status_from_lstatus(::RegUnLoadKeyA(hkey_of(root), name));
    }

    Status restore_key(RegKey key, StringView file, uint32_t flags) override {
        CStrings c;
        const LPCSTR path = c.ansi(file);
        if (c.status()) return c.status();
        return status_from_lstatus(::RegRestoreKeyA(hkey_of(key), path, flags));
    }
};

}  // namespace

std::shared_ptr<Registry> make_registry() {
    return std::make_shared<Win32Registry>();
}

}  // namespace vorlek::platform::win32
