#include "com/dispatch.h"

#include <ocidl.h>
#include <oleauto.h>

#include <array>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automation/invoke.h"
#include "com/typelib.h"
#include "com/variants.h"

namespace vorlek::com {

namespace {

// An object of another server, kept so it can be stored in a collection or a
// Variant and handed back as it came. It has no members of its own.
class ForeignObject final : public Object {
  public:
    explicit ForeignObject(ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}
    static const ClassInfo& info() {
        static const ClassInfo info =
            ClassBuilder<ForeignObject>(u"Object").not_creatable().build();
        return info;
    }
    const ClassInfo& class_info() const noexcept override { return info(); }
    IDispatch* dispatch() const noexcept { return dispatch_.get(); }

  private:
    ComPtr<IDispatch> dispatch_;
};

BSTR error_text(const DispatchError& e) {
    StringView text = e.description().empty() ? error_description(e.detail()) : e.description();
    if (text.empty()) return nullptr;
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
}

BSTR text_of(const String& text) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
}

// What a client sees of a failed call; DISP_E_EXCEPTION for a run-time error
// the member raised on purpose.
HRESULT failure_code(const DispatchError& e) {
    switch (e.failure()) {
        case DispatchFailure::UnknownName:
        case DispatchFailure::MemberNotFound:
            return DISP_E_MEMBERNOTFOUND;
        case DispatchFailure::BadParamCount:
            return DISP_E_BADPARAMCOUNT;
        case DispatchFailure::TypeMismatch:
            return DISP_E_TYPEMISMATCH;
        case DispatchFailure::Overflow:
            return DISP_E_OVERFLOW;
        case DispatchFailure::Exception:
            break;
    }
    return DISP_E_EXCEPTION;
}

// Run-time error numbers travel in the control facility, as the script
// engines expect (VBScript shows the low word as Err.Number).
SCODE exception_code(const DispatchError& e) {
    const int32_t number = e.detail();
    return number > 0 && number <= 0xFFFF
               ? static_cast<SCODE>(0x800A0000u | static_cast<uint32_t>(number))
               : static_cast<SCODE>(number);
}

// Which kinds of member a call may reach, from the DISPATCH_ flags.
uint8_t kinds_of(WORD flags) {
    uint8_t kinds = 0;
    if (flags & DISPATCH_METHOD) kinds |= static_cast<uint8_t>(MemberKind::Method);
    if (flags & DISPATCH_PROPERTYGET) kinds |= static_cast<uint8_t>(MemberKind::Get);
    if (flags & DISPATCH_PROPERTYPUT) kinds |= static_cast<uint8_t>(MemberKind::Let);
    if (flags & DISPATCH_PROPERTYPUTREF) kinds |= static_cast<uint8_t>(MemberKind::Set);
    return kinds;
}

class Dispatcher;

// The interface pointer a client holds: the class's function table and the
// way back to the object behind it.
struct DualFace {
    const void* const* table;
    Dispatcher* owner;
};

// IUnknown and IDispatch, the first entries of every function table.
constexpr size_t kInheritedEntries = 7;

// What every object of a class shares: its interface id and its function
// table (IUnknown, IDispatch, then one entry per member in interface order).
struct ClassTable {
    GUID interface_id;
    std::vector<const void*> entries;
};

const ClassTable& class_table(const ClassInfo& info);

class Dispatcher final : public IProvideClassInfo,
                         public ISupportErrorInfo,
                         public ObjectPeer,
                         private Counted {
  public:
    explicit Dispatcher(Ref<Object> object)
        : object_(std::move(object)), table_(class_table(object_->class_info())) {
        face_.table = table_.entries.data();
        face_.owner = this;
        object_->set_peer(this);
    }

    Object& object() const noexcept { return *object_; }
    const ClassTable& table() const noexcept { return table_; }

    // The dual interface: IUnknown and IDispatch of the object are this pointer.
    IDispatch* dual() noexcept { return reinterpret_cast<IDispatch*>(&face_); }
    static Dispatcher* from(void* dual) noexcept { return static_cast<DualFace*>(dual)->owner; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIdOwnObject ||
            riid == table_.interface_id) {
            *out = dual();
        } else if (riid == IID_IProvideClassInfo) {
            *out = static_cast<IProvideClassInfo*>(this);
        } else if (riid == IID_ISupportErrorInfo) {
            *out = static_cast<ISupportErrorInfo*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(this); }

    // IProvideClassInfo: the class, which is what hosts show as the
    // object's type name.
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        try {
            return class_type_info(object_->class_info(), out);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

    // ISupportErrorInfo: a failing function-table call leaves its error
    // information for the caller.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == table_.interface_id ? S_OK : S_FALSE;
    }

    // IDispatch, reached through the first entries of the function table.
    HRESULT GetTypeInfoCount(UINT* count) {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        try {
            return interface_type_info(object_->class_info(), out);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (count == 0) return S_OK;
        if (!names || !ids) return E_POINTER;
        const ClassInfo& info = object_->class_info();
        auto text = [&](UINT i) {
            return names[i] ? StringView(reinterpret_cast<const char16_t*>(names[i]))
                            : StringView();
        };
        HRESULT hr = S_OK;
        auto member = info.dispid_of(text(0));
        ids[0] = member ? *member : DISPID_UNKNOWN;
        if (!member) hr = DISP_E_UNKNOWNNAME;
        // The other names are parameter names, for named arguments.
        for (UINT i = 1; i < count; ++i) {
            auto param = member ? info.param_index(*member, text(i)) : std::nullopt;
            ids[i] = param ? *param : DISPID_UNKNOWN;
            if (!param) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, UINT* arg_error);

    // A member called through its function-table entry.
    HRESULT call_entry(size_t member, const void* const* args, void* result);

    // ObjectPeer: the peer holds the object, so this runs only if someone
    // else destroyed it; forget it then.
    void object_destroyed() noexcept override {}

  private:
    ~Dispatcher() { object_->set_peer(nullptr); }
    friend class Counted;

    DualFace face_{};
    Ref<Object> object_;
    const ClassTable& table_;
};

// The IUnknown and IDispatch entries of the function table.
struct Inherited {
    static HRESULT STDMETHODCALLTYPE query_interface(IDispatch* self, REFIID riid, void** out) {
        return Dispatcher::from(self)->QueryInterface(riid, out);
    }
    static ULONG STDMETHODCALLTYPE add_ref(IDispatch* self) {
        return Dispatcher::from(self)->AddRef();
    }
    static ULONG STDMETHODCALLTYPE release(IDispatch* self) {
        return Dispatcher::from(self)->Release();
    }
    static HRESULT STDMETHODCALLTYPE get_type_info_count(IDispatch* self, UINT* count) {
        return Dispatcher::from(self)->GetTypeInfoCount(count);
    }
    static HRESULT STDMETHODCALLTYPE get_type_info(IDispatch* self, UINT index, LCID lcid,
                                                   ITypeInfo** out) {
        return Dispatcher::from(self)->GetTypeInfo(index, lcid, out);
    }
    static HRESULT STDMETHODCALLTYPE get_ids_of_names(IDispatch* self, REFIID riid, LPOLESTR* names,
                                                      UINT count, LCID lcid, DISPID* ids) {
        return Dispatcher::from(self)->GetIDsOfNames(riid, names, count, lcid, ids);
    }
    static HRESULT STDMETHODCALLTYPE invoke(IDispatch* self, DISPID id, REFIID riid, LCID lcid,
                                            WORD flags, DISPPARAMS* params, VARIANT* result,
                                            EXCEPINFO* excep, UINT* arg_error) {
        return Dispatcher::from(self)->Invoke(id, riid, lcid, flags, params, result, excep,
                                              arg_error);
    }
};

template <class F>
const void* entry_address(F* function) {
    return reinterpret_cast<const void*>(function);
}

// The routine behind every member's entry (installed as detail::entry_call):
// the entry's own address tells which member was called.
int32_t call_member_entry(void* self, const void* entry, const void* const* args, void* result) {
    Dispatcher* dispatcher = Dispatcher::from(self);
    const auto& entries = dispatcher->table().entries;
    for (size_t i = kInheritedEntries; i < entries.size(); ++i) {
        if (entries[i] == entry) return dispatcher->call_entry(i - kInheritedEntries, args, result);
    }
    return E_UNEXPECTED;
}

// Constants have no member function: their entries are told apart by their
// place in the table.
constexpr size_t kMaxMembers = 256;

template <size_t I>
HRESULT STDMETHODCALLTYPE constant_entry(IDispatch* self, LONG* result) {
    return Dispatcher::from(self)->call_entry(I, nullptr, result);
}

template <size_t... I>
std::array<const void*, sizeof...(I)> constant_entries(std::index_sequence<I...>) {
    return {reinterpret_cast<const void*>(&constant_entry<I>)...};
}

const ClassTable& class_table(const ClassInfo& info) {
    static std::mutex mutex;
    static std::unordered_map<const ClassInfo*, ClassTable> tables;
    static const std::array<const void*, kMaxMembers> constants =
        constant_entries(std::make_index_sequence<kMaxMembers>{});
    std::lock_guard lock(mutex);
    auto it = tables.find(&info);
    if (it != tables.end()) return it->second;

    detail::entry_call.store(&call_member_entry, std::memory_order_release);
    ClassTable table;
    // Script engines ask for other interfaces on every call (IDispatchEx and
    // their own); the derived id is computed once per class.
    table.interface_id = interface_id(info);
    table.entries = {
        entry_address(&Inherited::query_interface), entry_address(&Inherited::add_ref),
        entry_address(&Inherited::release),         entry_address(&Inherited::get_type_info_count),
        entry_address(&Inherited::get_type_info),   entry_address(&Inherited::get_ids_of_names),
        entry_address(&Inherited::invoke)};
    for (size_t i = 0; i < info.members.size(); ++i) {
        const MemberInfo& m = info.members[i];
        if (m.entry) {
            table.entries.push_back(m.entry);
        } else {
            if (i >= kMaxMembers) throw std::logic_error("function table: too many members");
            table.entries.push_back(constants[i]);
        }
    }
    return tables.emplace(&info, std::move(table)).first->second;
}

// An argument as the client placed it: where in rgvarg it came from.
struct Bound {
    std::vector<Variant> positional;
    std::vector<UINT> positional_origin;
    std::vector<NamedArgument> named;
    std::vector<UINT> named_origin;

    UINT origin_of(int32_t param) const {
        if (param >= 0 && static_cast<size_t>(param) < positional.size())
            return positional_origin[static_cast<size_t>(param)];
        for (size_t i = 0; i < named.size(); ++i) {
            if (named[i].param == param) return named_origin[i];
        }
        return 0;
    }
};

HRESULT Dispatcher::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excep, UINT* arg_error) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (!params) params = &none;
    if (params->cNamedArgs > params->cArgs || (params->cArgs && !params->rgvarg) ||
        (params->cNamedArgs && !params->rgdispidNamedArgs))
        return E_INVALIDARG;
    const uint8_t kinds = kinds_of(flags);
    if (kinds == 0) return E_INVALIDARG;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (result) VariantInit(result);

    Bound bound;
    UINT current = 0;  // the rgvarg index being read, for puArgErr
    try {
        // Named arguments sit first in rgvarg; the positional ones follow in
        // reverse order. The assigned value of a put is named DISPID_PROPERTYPUT
        // and goes last.
        const UINT named_count = params->cNamedArgs;
        const UINT positional_count = params->cArgs - named_count;
        bound.positional.reserve(positional_count + 1);
        for (UINT i = 0; i < positional_count; ++i) {
            current = params->cArgs - 1 - i;
            bound.positional.push_back(from_variant(params->rgvarg[current]));
            bound.positional_origin.push_back(current);
        }
        std::optional<UINT> assigned;
        for (UINT j = 0; j < named_count; ++j) {
            current = j;
            DISPID name = params->rgdispidNamedArgs[j];
            if (name == DISPID_PROPERTYPUT && put && !assigned) {
                assigned = j;
                continue;
            }
            if (name < 0) return DISP_E_PARAMNOTFOUND;
            bound.named.push_back({name, from_variant(params->rgvarg[j])});
            bound.named_origin.push_back(j);
        }
        if (put) {
            // Without the named value, the last positional argument is the value.
            if (assigned) {
                current = *assigned;
                bound.positional.push_back(from_variant(params->rgvarg[*assigned]));
                bound.positional_origin.push_back(*assigned);
            } else if (bound.positional.empty()) {
                return DISP_E_BADPARAMCOUNT;
            }
        }

        const ClassInfo& info = object_->class_info();
        const MemberInfo* member = info.find(id, kinds);
        Variant value = invoke(*object_, id, kinds, bound.positional, bound.named);

        if (member && !put) {
            for (size_t p = 0; p < member->params.size(); ++p) {
                if (!member->params[p].by_ref) continue;
                auto param = static_cast<int32_t>(p);
                if (p < bound.positional.size()) {
                    write_back(bound.positional[p], &params->rgvarg[bound.origin_of(param)]);
                    continue;
                }
                for (size_t n = 0; n < bound.named.size(); ++n) {
                    if (bound.named[n].param == param)
                        write_back(bound.named[n].value, &params->rgvarg[bound.named_origin[n]]);
                }
            }
        }
        if (result) to_variant(value, result);
        return S_OK;
    } catch (const UnsupportedValue& e) {
        if (arg_error) *arg_error = current;
        return e.hr;
    } catch (const DispatchError& e) {
        HRESULT hr = failure_code(e);
        if (arg_error && (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW))
            *arg_error = bound.origin_of(e.detail());
        if (hr != DISP_E_EXCEPTION) return hr;
        if (excep) {
            *excep = EXCEPINFO{};
            excep->bstrSource = text_of(object_->class_info().progid);
            excep->bstrDescription = error_text(e);
            excep->scode = exception_code(e);
        }
        return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        // Nothing may unwind into the client's process.
        return E_UNEXPECTED;
    }
}

// An argument of a function-table call, read by its parameter's type from
// where the entry received it (see detail::Binary).
Variant read_argument(const ParamInfo& param, const void* at) {
    auto pointer = [at] { return *static_cast<void* const*>(at); };
    if (param.by_ref) {
        auto* variable = static_cast<VARIANT*>(pointer());
        if (!variable) throw UnsupportedValue{E_POINTER};
        return from_variant(*variable);
    }
    switch (param.type) {
        case VarType::String: {
            auto text = static_cast<BSTR>(pointer());
            return text ? String(reinterpret_cast<const char16_t*>(text), SysStringLen(text))
                        : String();
        }
        case VarType::Long:
            return *static_cast<const int32_t*>(at);
        case VarType::Integer:
            return *static_cast<const int16_t*>(at);
        case VarType::Byte:
            return *static_cast<const uint8_t*>(at);
        case VarType::Boolean:
            return *static_cast<const int16_t*>(at) != VARIANT_FALSE;
        case VarType::Double:
            return *static_cast<const double*>(at);
        case VarType::Date:
            return Date{*static_cast<const double*>(at)};
        case VarType::Object:
            return object_for(static_cast<IDispatch*>(pointer()));
        default: {
            // The caller's VARIANT stays the caller's: read a copy of its bits.
            VARIANT value;
            std::memcpy(&value, at, sizeof value);
            return from_variant(value);
        }
    }
}
static_assert(sizeof(VARIANT) == sizeof(detail::BinaryVariant) &&
              alignof(VARIANT) <= alignof(detail::BinaryVariant));

// Writes a result into the caller's [out, retval] of the member's type.
void write_result(VarType type, const Variant& value, void* result) {
    switch (type) {
        case VarType::String: {
            String text = value.coerce(VarType::String).take_string();
            BSTR b = text_of(text);
            if (!b && !text.empty()) throw std::bad_alloc();
            *static_cast<BSTR*>(result) = b;
            return;
        }
        case VarType::Long:
            *static_cast<int32_t*>(result) = value.to_long();
            return;
        case VarType::Integer:
            *static_cast<int16_t*>(result) = value.to_integer();
            return;
        case VarType::Byte:
            *static_cast<uint8_t*>(result) = value.to_byte();
            return;
        case VarType::Boolean:
            *static_cast<VARIANT_BOOL*>(result) = value.to_bool() ? VARIANT_TRUE : VARIANT_FALSE;
            return;
        case VarType::Double:
            *static_cast<double*>(result) = value.to_double();
            return;
        case VarType::Date:
            *static_cast<double*>(result) = value.to_date().serial;
            return;
        case VarType::Object: {
            // An object, or the enumerator (_NewEnum's IUnknown).
            VARIANT out;
            VariantInit(&out);
            to_variant(value, &out);
            *static_cast<IUnknown**>(result) =
                V_VT(&out) == VT_DISPATCH || V_VT(&out) == VT_UNKNOWN ? V_UNKNOWN(&out) : nullptr;
            return;
        }
        default:
            to_variant(value, static_cast<VARIANT*>(result));
            return;
    }
}

// Clears an [out, retval] before the call, so a failed call leaves nothing
// for the caller to free.
void clear_result(VarType type, void* result) {
    switch (type) {
        case VarType::String:
        case VarType::Object:
            *static_cast<void**>(result) = nullptr;
            return;
        case VarType::Variant:
            VariantInit(static_cast<VARIANT*>(result));
            return;
        default:
            return;
    }
}

// The failure of a function-table call as error information for the caller
// (GetErrorInfo), as EXCEPINFO carries it through IDispatch.
void set_error_info(const ClassInfo& info, const GUID& interface_id, const DispatchError& e) {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put()))) return;
    std::wstring source(info.progid.begin(), info.progid.end());
    create->SetSource(source.data());
    if (BSTR text = error_text(e)) {
        create->SetDescription(text);
        SysFreeString(text);
    }
    create->SetGUID(interface_id);
    ComPtr<IErrorInfo> error;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(error.put()))))
        SetErrorInfo(0, error.get());
}

HRESULT Dispatcher::call_entry(size_t index, const void* const* args, void* result) {
    const ClassInfo& info = object_->class_info();
    const MemberInfo& member = info.members[index];
    const VarType result_type = member.thunk ? member.result : VarType::Long;
    if (result_type != VarType::Empty) {
        if (!result) return E_POINTER;
        clear_result(result_type, result);
    }
    try {
        std::vector<Variant> bound;
        bound.reserve(member.params.size());
        for (size_t i = 0; i < member.params.size(); ++i)
            bound.push_back(read_argument(member.params[i], args[i]));
        Variant value = invoke(*object_, member.dispid, static_cast<uint8_t>(member.kind), bound);
        for (size_t i = 0; i < member.params.size(); ++i) {
            if (!member.params[i].by_ref) continue;
            auto* variable = *static_cast<VARIANT* const*>(args[i]);
            if (V_VT(variable) & VT_BYREF) {
                write_back(bound[i], variable);
            } else {
                VARIANT fresh;
                VariantInit(&fresh);
                to_variant(bound[i], &fresh);
                VariantClear(variable);
                *variable = fresh;
            }
        }
        if (result_type != VarType::Empty) write_result(result_type, value, result);
        return S_OK;
    } catch (const UnsupportedValue& e) {
        return e.hr;
    } catch (const DispatchError& e) {
        HRESULT hr = failure_code(e);
        if (hr != DISP_E_EXCEPTION) return hr;
        set_error_info(info, table_.interface_id, e);
        return exception_code(e);
    } catch (const RuntimeError&) {
        // A result that does not fit the declared type.
        return DISP_E_OVERFLOW;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        // Nothing may unwind into the client's process.
        return E_UNEXPECTED;
    }
}

class EnumVariant final : public IEnumVARIANT, private Counted {
  public:
    explicit EnumVariant(Ref<CollectionEnumerator> walk) : walk_(std::move(walk)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IEnumVARIANT) {
            *out = static_cast<IEnumVARIANT*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_ref(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(this); }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (count == 0) return S_OK;
        if (!items || (count > 1 && !fetched)) return E_INVALIDARG;
        ULONG n = 0;
        try {
            Variant item;
            while (n < count && walk_->next(item)) {
                VariantInit(&items[n]);
                to_variant(item, &items[n]);
                ++n;
            }
        } catch (...) {
            for (ULONG i = 0; i < n; ++i)
                VariantClear(&items[i]);
            return E_OUTOFMEMORY;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        Variant skipped;
        for (ULONG i = 0; i < count; ++i) {
            if (!walk_->next(skipped)) return S_FALSE;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        walk_->reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        try {
            *out = enumerator_for(walk_->clone());
            return S_OK;
        } catch (...) {
            *out = nullptr;
            return E_OUTOFMEMORY;
        }
    }

  private:
    ~EnumVariant() = default;
    friend class Counted;

    Ref<CollectionEnumerator> walk_;
};

}  // namespace

IDispatch* dispatch_for(const Ref<Object>& object) {
    if (!object) return nullptr;
    if (IDispatch* foreign = foreign_dispatch(*object)) {
        foreign->AddRef();
        return foreign;
    }
    if (auto* peer = dynamic_cast<Dispatcher*>(object->peer())) {
        peer->AddRef();
        return peer->dual();
    }
    return (new Dispatcher(object))->dual();
}

Ref<Object> object_for(IDispatch* dispatch) {
    if (!dispatch) return {};
    ComPtr<IDispatch> own;
    if (SUCCEEDED(dispatch->QueryInterface(kIdOwnObject, reinterpret_cast<void**>(own.put())))) {
        return Ref<Object>(&Dispatcher::from(own.get())->object());
    }
    dispatch->AddRef();
    return make<ForeignObject>(ComPtr<IDispatch>::adopt(dispatch));
}

IDispatch* foreign_dispatch(const Object& object) noexcept {
    auto* foreign = dynamic_cast<const ForeignObject*>(&object);
    return foreign ? foreign->dispatch() : nullptr;
}

IEnumVARIANT* enumerator_for(Ref<CollectionEnumerator> enumerator) {
    return new EnumVariant(std::move(enumerator));
}

}  // namespace vorlek::com
