#include "com/dispatch.h"

#include <ocidl.h>

#include <mutex>
#include <new>
#include <unordered_map>
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

// Which kinds of member a call may reach, from the DISPATCH_ flags.
uint8_t kinds_of(WORD flags) {
    uint8_t kinds = 0;
    if (flags & DISPATCH_METHOD) kinds |= static_cast<uint8_t>(MemberKind::Method);
    if (flags & DISPATCH_PROPERTYGET) kinds |= static_cast<uint8_t>(MemberKind::Get);
    if (flags & DISPATCH_PROPERTYPUT) kinds |= static_cast<uint8_t>(MemberKind::Let);
    if (flags & DISPATCH_PROPERTYPUTREF) kinds |= static_cast<uint8_t>(MemberKind::Set);
    return kinds;
}

class Dispatcher final : public IDispatch,
                         public IProvideClassInfo,
                         public ObjectPeer,
                         private Counted {
  public:
    explicit Dispatcher(Ref<Object> object)
        : object_(std::move(object)), interface_id_(cached_interface_id(*object_)) {
        object_->set_peer(this);
    }

    Object& object() const noexcept { return *object_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIdOwnObject ||
            riid == interface_id_) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        if (riid == IID_IProvideClassInfo) {
            *out = static_cast<IProvideClassInfo*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
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

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        try {
            return interface_type_info(object_->class_info(), out);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
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
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* arg_error) override;

    // ObjectPeer: the peer holds the object, so this runs only if someone
    // else destroyed it; forget it then.
    void object_destroyed() noexcept override {}

  private:
    ~Dispatcher() { object_->set_peer(nullptr); }
    friend class Counted;

    // Script engines ask for other interfaces on every call (IDispatchEx and
    // their own); the derived id is computed once per class.
    static GUID cached_interface_id(const Object& object) {
        static std::mutex mutex;
        static std::unordered_map<const ClassInfo*, GUID> ids;
        std::lock_guard lock(mutex);
        const ClassInfo* info = &object.class_info();
        auto it = ids.find(info);
        if (it == ids.end()) it = ids.emplace(info, interface_id(info->interface_name)).first;
        return it->second;
    }

    Ref<Object> object_;
    GUID interface_id_;
};

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
        Variant value;
        if (!put && member && member->kind == MemberKind::Get && member->params.empty() &&
            (!bound.positional.empty() || !bound.named.empty())) {
            // coll(1) on a property that returns a collection: the arguments
            // go to the default member of what the property returns.
            Variant target = invoke(*object_, id, kinds, {});
            Ref<Object> inner = target.object();
            if (!inner) throw DispatchError(DispatchFailure::BadParamCount);
            value = invoke(*inner, kDispIdValue, kinds, bound.positional, bound.named);
        } else {
            value = invoke(*object_, id, kinds, bound.positional, bound.named);
        }

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
        switch (e.failure()) {
            case DispatchFailure::UnknownName:
            case DispatchFailure::MemberNotFound:
                return DISP_E_MEMBERNOTFOUND;
            case DispatchFailure::BadParamCount:
                return DISP_E_BADPARAMCOUNT;
            case DispatchFailure::TypeMismatch:
            case DispatchFailure::Overflow:
                if (arg_error) *arg_error = bound.origin_of(e.detail());
                return e.failure() == DispatchFailure::Overflow ? DISP_E_OVERFLOW
                                                                : DISP_E_TYPEMISMATCH;
            case DispatchFailure::Exception:
                break;
        }
        if (excep) {
            *excep = EXCEPINFO{};
            excep->bstrSource = SysAllocStringLen(
                reinterpret_cast<const OLECHAR*>(object_->class_info().progid.data()),
                static_cast<UINT>(object_->class_info().progid.size()));
            excep->bstrDescription = error_text(e);
            // Run-time error numbers travel in the control facility, as the
            // script engines expect (VBScript shows the low word as Err.Number).
            const int32_t number = e.detail();
            excep->scode = number > 0 && number <= 0xFFFF
                               ? static_cast<SCODE>(0x800A0000u | static_cast<uint32_t>(number))
                               : static_cast<SCODE>(number);
        }
        return DISP_E_EXCEPTION;
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
        return peer;
    }
    return new Dispatcher(object);
}

Ref<Object> object_for(IDispatch* dispatch) {
    if (!dispatch) return {};
    ComPtr<IDispatch> own;
    if (SUCCEEDED(dispatch->QueryInterface(kIdOwnObject, reinterpret_cast<void**>(own.put())))) {
        return Ref<Object>(&static_cast<Dispatcher*>(own.get())->object());
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
