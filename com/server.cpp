// The four entry points of the in-process server, the class factories and
// the load entry point.
#include <ole2.h>
#include <windows.h>

#include <new>
#include <string>

#include "com/com_ptr.h"
#include "com/dispatch.h"
#include "com/registration.h"
#include "com/typelib.h"
#include "library/library.h"

namespace vorlek::com {

namespace {

HMODULE g_module = nullptr;

class ClassFactory final : public IClassFactory, private Counted {
  public:
    explicit ClassFactory(const ClassInfo& info) : info_(info) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(this); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        try {
            Ref<Object> object = info_.create();
            if (!object) return E_OUTOFMEMORY;
            auto dispatch = ComPtr<IDispatch>::adopt(dispatch_for(object));
            return dispatch->QueryInterface(riid, out);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            ++server_locks();
        else
            --server_locks();
        return S_OK;
    }

  private:
    ~ClassFactory() = default;
    friend class Counted;
    const ClassInfo& info_;
};

}  // namespace

std::wstring module_path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace vorlek::com

using namespace vorlek;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        com::g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        for (const ClassInfo* info : library().classes()) {
            if (!info->create || com::class_id(*info) != clsid) continue;
            auto factory = com::ComPtr<IClassFactory>::adopt(new com::ClassFactory(*info));
            return factory->QueryInterface(riid, out);
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    if (Object::live_count() != 0 || com::live_com_objects() != 0 || com::server_locks() != 0)
        return S_FALSE;
    com::release_type_library();
    return S_OK;
}

STDAPI DllRegisterServer() {
    return com::register_server(com::module_path());
}

STDAPI DllUnregisterServer() {
    return com::unregister_server(com::module_path());
}

}  // extern "C"
