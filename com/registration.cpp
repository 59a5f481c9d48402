#include "com/registration.h"

#include <ole2.h>

#include <new>
#include <vector>

#include "com/com_ptr.h"
#include "com/typelib.h"
#include "library/library.h"
#include "platform/win32/handle.h"
#include "platform/win32/status.h"

namespace vorlek::com {

namespace {

using platform::win32::RegistryKey;

constexpr wchar_t kTypeLibraryFile[] = L"vorlek.tlb";
constexpr WORD kMajor = 1, kMinor = 0;
constexpr LCID kLocale = 0x409;

std::wstring wide(std::u16string_view s) {
    return std::wstring(s.begin(), s.end());
}

std::wstring guid_text(const GUID& guid) {
    wchar_t buffer[40] = {};
    StringFromGUID2(guid, buffer, 40);
    return buffer;
}

std::wstring directory_of(const std::wstring& path) {
    auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// Creates HKEY_CLASSES_ROOT\<path> and sets one named (or the default) value.
HRESULT set_value(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    RegistryKey key;
    LSTATUS s =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (s != ERROR_SUCCESS)
        return platform::win32::hresult_from_status(static_cast<platform::Status>(s));
    s = RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return platform::win32::hresult_from_status(static_cast<platform::Status>(s));
}

HRESULT delete_tree(const std::wstring& path) {
    LSTATUS s = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    if (s == ERROR_FILE_NOT_FOUND) return S_OK;
    return platform::win32::hresult_from_status(static_cast<platform::Status>(s));
}

struct ClassKeys {
    std::wstring clsid_key;   // CLSID\{...}
    std::wstring progid_key;  // Vorlek.Stringer
};

ClassKeys keys_of(const ClassInfo& info) {
    return {L"CLSID\\" + guid_text(class_id(info)), wide(info.progid)};
}

HRESULT register_class(const ClassInfo& info, const std::wstring& dll_path) {
    ClassKeys keys = keys_of(info);
    const std::wstring clsid = guid_text(class_id(info));
    const std::wstring name = wide(info.name);
    const std::wstring progid = wide(info.progid);
    const struct {
        std::wstring path;
        const wchar_t* name;
        std::wstring value;
    } entries[] = {
        {keys.clsid_key, nullptr, name},
        {keys.clsid_key + L"\\InprocServer32", nullptr, dll_path},
        {keys.clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {keys.clsid_key + L"\\ProgID", nullptr, progid},
        {keys.clsid_key + L"\\TypeLib", nullptr, guid_text(library_id())},
        {keys.clsid_key + L"\\Version", nullptr, L"1.0"},
        {keys.progid_key, nullptr, name},
        {keys.progid_key + L"\\CLSID", nullptr, clsid},
    };
    for (const auto& e : entries) {
        HRESULT hr = set_value(e.path, e.name, e.value);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT register_all(const std::wstring& dll_path) {
    const std::wstring tlb = directory_of(dll_path) + kTypeLibraryFile;
    ComPtr<ITypeLib> built;
    HRESULT hr = build_type_library(tlb, true, built.put());
    if (FAILED(hr)) return hr;
    built.reset();
    // Register the saved file, so the registry points at what clients load.
    ComPtr<ITypeLib> saved;
    hr = LoadTypeLibEx(tlb.c_str(), REGKIND_NONE, saved.put());
    if (FAILED(hr)) return hr;
    std::wstring tlb_path = tlb, help_dir = directory_of(dll_path);
    hr = RegisterTypeLib(saved.get(), tlb_path.data(), help_dir.data());
    if (FAILED(hr)) return hr;
    for (const ClassInfo* info : library().classes()) {
        if (!info->create) continue;
        hr = register_class(*info, dll_path);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace

HRESULT register_server(const std::wstring& dll_path) {
    if (dll_path.empty()) return E_FAIL;
    HRESULT hr;
    try {
        hr = register_all(dll_path);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    }
    if (FAILED(hr)) unregister_server(dll_path);
    return hr;
}

HRESULT unregister_server(const std::wstring& dll_path) {
    HRESULT result = S_OK;
    try {
        for (const ClassInfo* info : library().classes()) {
            if (!info->create) continue;
            ClassKeys keys = keys_of(*info);
            for (const auto& key : {keys.progid_key, keys.clsid_key}) {
                HRESULT hr = delete_tree(key);
                if (FAILED(hr)) result = hr;
            }
        }
        HRESULT hr = UnRegisterTypeLib(library_id(), kMajor, kMinor, kLocale, SYS_WIN64);
        if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED) result = hr;
        const std::wstring tlb = directory_of(dll_path) + kTypeLibraryFile;
        if (!DeleteFileW(tlb.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
            result = HRESULT_FROM_WIN32(GetLastError());
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return result;
}

}  // namespace vorlek::com
