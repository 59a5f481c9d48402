#include "com/typelib.h"

#include <mutex>
#include <vector>

#include "automation/describe.h"
#include "com/com_ptr.h"
#include "com/variants.h"
#include "library/library.h"

namespace vorlek::com {

namespace {

constexpr LCID kLibraryLocale = 0x409;

INVOKEKIND invoke_kind(MemberKind kind) {
    switch (kind) {
        case MemberKind::Get:
            return INVOKE_PROPERTYGET;
        case MemberKind::Let:
            return INVOKE_PROPERTYPUT;
        case MemberKind::Set:
            return INVOKE_PROPERTYPUTREF;
        default:
            return INVOKE_FUNC;
    }
}

std::wstring wide(StringView s) {
    return std::wstring(s.begin(), s.end());
}

#define VORLEK_CHECK(expr)           \
    do {                             \
        HRESULT hr_ = (expr);        \
        if (FAILED(hr_)) return hr_; \
    } while (0)

// One member as the FUNCDESC of its function-table entry, with the storage
// its pointers refer to: the parameters, then the result as a final
// [out, retval] parameter; every entry returns an HRESULT.
class FunctionDescription {
  public:
    explicit FunctionDescription(const MemberInfo& m)
        : params_(m.params.size() + (m.result == VarType::Empty ? 0 : 1)),
          defaults_(m.params.size()) {
        variant_desc_.vt = VT_VARIANT;
        for (size_t i = 0; i < m.params.size(); ++i) {
            const ParamInfo& p = m.params[i];
            ELEMDESC& e = params_[i];
            e = ELEMDESC{};
            if (p.by_ref) {
                e.tdesc.vt = VT_PTR;
                e.tdesc.lptdesc = &variant_desc_;
            } else {
                e.tdesc.vt = automation_type(p.type);
            }
            USHORT flags = PARAMFLAG_FIN;
            if (p.by_ref) flags |= PARAMFLAG_FOUT;
            if (p.optional) flags |= PARAMFLAG_FOPT;
            if (p.has_default) {
                flags |= PARAMFLAG_FHASDEFAULT;
                PARAMDESCEX& ex = defaults_[i];
                ex.cBytes = sizeof(PARAMDESCEX);
                VariantInit(&ex.varDefaultValue);
                to_variant(p.default_value, &ex.varDefaultValue);
                e.paramdesc.pparamdescex = &ex;
            }
            e.paramdesc.wParamFlags = flags;
        }
        if (m.result != VarType::Empty) {
            result_desc_.vt = result_type(m);
            ELEMDESC& e = params_.back();
            e = ELEMDESC{};
            e.tdesc.vt = VT_PTR;
            e.tdesc.lptdesc = &result_desc_;
            e.paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
        }
        desc_ = FUNCDESC{};
        desc_.memid = m.dispid;
        desc_.funckind = FUNC_PUREVIRTUAL;
        desc_.invkind = invoke_kind(m.kind);
        desc_.callconv = CC_STDCALL;
        desc_.cParams = static_cast<SHORT>(params_.size());
        desc_.lprgelemdescParam = params_.empty() ? nullptr : params_.data();
        desc_.elemdescFunc.tdesc.vt = VT_HRESULT;
        if (m.hidden) desc_.wFuncFlags = FUNCFLAG_FRESTRICTED | FUNCFLAG_FHIDDEN;
    }
    ~FunctionDescription() {
        for (auto& d : defaults_)
            VariantClear(&d.varDefaultValue);
    }
    FunctionDescription(const FunctionDescription&) = delete;
    FunctionDescription& operator=(const FunctionDescription&) = delete;

    FUNCDESC* get() { return &desc_; }

  private:
    TYPEDESC variant_desc_{};
    TYPEDESC result_desc_{};
    std::vector<ELEMDESC> params_;
    std::vector<PARAMDESCEX> defaults_;
    FUNCDESC desc_{};
};

HRESULT add_interface(ICreateTypeLib2* library, ITypeInfo* idispatch, const ClassInfo& info,
                      ComPtr<ITypeInfo>& out) {
    ComPtr<ICreateTypeInfo> type;
    std::wstring name = wide(info.interface_name);
    VORLEK_CHECK(library->CreateTypeInfo(name.data(), TKIND_INTERFACE, type.put()));
    VORLEK_CHECK(type->SetGuid(interface_id(info)));
    HREFTYPE base = 0;
    VORLEK_CHECK(type->AddRefTypeInfo(idispatch, &base));
    VORLEK_CHECK(type->AddImplType(0, base));
    // Dual: the dispatch interface follows from this one, entry for entry.
    VORLEK_CHECK(
        type->SetTypeFlags(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE));

    UINT index = 0;
    for (const MemberInfo& m : info.members) {
        FunctionDescription desc(m);
        VORLEK_CHECK(type->AddFuncDesc(index, desc.get()));
        // The member's name and its parameters' names; a put's assigned
        // value has no name, a result is named for the function-table view.
        std::vector<std::wstring> names{wide(m.name)};
        size_t named = m.params.size();
        if (m.kind == MemberKind::Let || m.kind == MemberKind::Set) --named;
        for (size_t i = 0; i < named; ++i)
            names.push_back(wide(m.params[i].name));
        if (m.result != VarType::Empty)
            names.emplace_back(idl::kResultName.begin(), idl::kResultName.end());
        std::vector<LPOLESTR> pointers;
        for (auto& n : names)
            pointers.push_back(n.data());
        VORLEK_CHECK(
            type->SetFuncAndParamNames(index, pointers.data(), static_cast<UINT>(pointers.size())));
        if (!m.help.empty()) {
            std::wstring help = wide(m.help);
            VORLEK_CHECK(type->SetFuncDocString(index, help.data()));
        }
        ++index;
    }
    VORLEK_CHECK(type->LayOut());
    return type->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(out.put()));
}

HRESULT add_class(ICreateTypeLib2* library, const ClassInfo& info, ITypeInfo* interface_info) {
    ComPtr<ICreateTypeInfo> type;
    std::wstring name = wide(info.name);
    VORLEK_CHECK(library->CreateTypeInfo(name.data(), TKIND_COCLASS, type.put()));
    VORLEK_CHECK(type->SetGuid(class_id(info)));
    VORLEK_CHECK(type->SetTypeFlags(info.create ? TYPEFLAG_FCANCREATE : 0));
    HREFTYPE ref = 0;
    VORLEK_CHECK(type->AddRefTypeInfo(interface_info, &ref));
    VORLEK_CHECK(type->AddImplType(0, ref));
    VORLEK_CHECK(type->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT));
    return type->LayOut();
}

std::mutex g_mutex;
ComPtr<ITypeLib> g_library;

}  // namespace

HRESULT build_type_library(const std::wstring& path, bool save, ITypeLib** out) {
    *out = nullptr;
    ComPtr<ITypeLib> stdole;
    VORLEK_CHECK(LoadTypeLib(L"stdole2.tlb", stdole.put()));
    ComPtr<ITypeInfo> idispatch;
    VORLEK_CHECK(stdole->GetTypeInfoOfGuid(IID_IDispatch, idispatch.put()));

    ComPtr<ICreateTypeLib2> library;
    VORLEK_CHECK(CreateTypeLib2(SYS_WIN64, path.c_str(), library.put()));
    std::wstring name = L"Vorlek";
    VORLEK_CHECK(library->SetName(name.data()));
    VORLEK_CHECK(library->SetGuid(library_id()));
    VORLEK_CHECK(library->SetVersion(1, 0));
    VORLEK_CHECK(library->SetLcid(kLibraryLocale));

    for (const ClassInfo* info : described_classes()) {
        ComPtr<ITypeInfo> interface_info;
        VORLEK_CHECK(add_interface(library.get(), idispatch.get(), *info, interface_info));
        VORLEK_CHECK(add_class(library.get(), *info, interface_info.get()));
    }
    if (save) VORLEK_CHECK(library->SaveAllChanges());
    return library->QueryInterface(IID_ITypeLib, reinterpret_cast<void**>(out));
}

namespace {
HRESULT type_info_of(const GUID& id, ITypeInfo** out) {
    std::lock_guard lock(g_mutex);
    if (!g_library) VORLEK_CHECK(build_type_library(L"vorlek.tlb", false, g_library.put()));
    return g_library->GetTypeInfoOfGuid(id, out);
}
}  // namespace

HRESULT interface_type_info(const ClassInfo& info, ITypeInfo** out) {
    return type_info_of(interface_id(info), out);
}

HRESULT class_type_info(const ClassInfo& info, ITypeInfo** out) {
    return type_info_of(class_id(info), out);
}

void release_type_library() noexcept {
    std::lock_guard lock(g_mutex);
    g_library.reset();
}

}  // namespace vorlek::com
