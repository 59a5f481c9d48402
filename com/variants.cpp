#include "com/variants.h"

#include <climits>
#include <new>

#include "com/dispatch.h"

namespace vorlek::com {

namespace {

[[noreturn]] void unsupported(HRESULT hr = DISP_E_TYPEMISMATCH) {
    throw UnsupportedValue{hr};
}

// Clears a VARIANT when it leaves scope.
struct ScopedVariant {
    VARIANT v;
    ScopedVariant() { VariantInit(&v); }
    ~ScopedVariant() { VariantClear(&v); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
};

String bstr_text(BSTR b) {
    return b ? String(reinterpret_cast<const char16_t*>(b), SysStringLen(b)) : String();
}

BSTR new_bstr(const String& text) {
    if (text.size() > UINT_MAX / 4) throw std::bad_alloc();
    BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                               static_cast<UINT>(text.size()));
    if (!b) throw std::bad_alloc();
    return b;
}

// Accesses a safe array's data for the scope.
class ArrayData {
  public:
    explicit ArrayData(SAFEARRAY* sa) : sa_(sa) {
        if (FAILED(SafeArrayAccessData(sa_, &data_))) unsupported();
    }
    ~ArrayData() { SafeArrayUnaccessData(sa_); }
    ArrayData(const ArrayData&) = delete;
    ArrayData& operator=(const ArrayData&) = delete;
    template <class T>
    const T* as() const {
        return static_cast<const T*>(data_);
    }
    template <class T>
    T* mutable_as() {
        return static_cast<T*>(data_);
    }

  private:
    SAFEARRAY* sa_;
    void* data_ = nullptr;
};

Variant read(const VARIANT& value, int depth);

// Arrays of Variants may hold arrays, and a by-reference Variant may point
// anywhere, even back at its container: nesting this deep is refused.
constexpr int kMaxDepth = 32;

Variant from_array(SAFEARRAY* sa, int depth) {
    if (!sa) return Variant();  // an uninitialised dynamic array
    if (SafeArrayGetDim(sa) != 1) unsupported();
    VARTYPE element = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(sa, &element))) unsupported();
    const int32_t lower = sa->rgsabound[0].lLbound;
    const size_t count = sa->rgsabound[0].cElements;
    if (count == 0) {
        // No element to show for: keep the type, as the library's own arrays do.
        if (element == VT_UI1) return Variant::byte_array({}, lower);
        if (element == VT_I4) return Variant::long_array({}, lower);
        if (element == VT_VARIANT) return Variant::variant_array({}, lower);
        unsupported();
    }
    ArrayData data(sa);
    switch (element) {
        case VT_UI1: {
            const auto* p = data.as<uint8_t>();
            return Variant::byte_array(std::vector<uint8_t>(p, p + count), lower);
        }
        case VT_I4: {
            const auto* p = data.as<int32_t>();
            return Variant::long_array(std::vector<int32_t>(p, p + count), lower);
        }
        case VT_VARIANT: {
            const auto* p = data.as<VARIANT>();
            std::vector<Variant> items;
            items.reserve(count);
            for (size_t i = 0; i < count; ++i)
                items.push_back(read(p[i], depth + 1));
            return Variant::variant_array(std::move(items), lower);
        }
        default:
            unsupported();
    }
}

// Scalar types outside the library's set, converted by the run time.
Variant converted(const VARIANT& value) {
    VARTYPE vt = V_VT(&value);
    bool integral = vt == VT_I1 || vt == VT_UI2 || vt == VT_UI4 || vt == VT_I8 || vt == VT_UI8 ||
                    vt == VT_INT || vt == VT_UINT;
    bool real = vt == VT_R4 || vt == VT_CY || vt == VT_DECIMAL;
    if (!integral && !real) unsupported();
    ScopedVariant to;
    if (integral && SUCCEEDED(VariantChangeType(&to.v, const_cast<VARIANT*>(&value), 0, VT_I4)))
        return int32_t{V_I4(&to.v)};
    HRESULT hr = VariantChangeType(&to.v, const_cast<VARIANT*>(&value), 0, VT_R8);
    if (FAILED(hr)) unsupported(hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH);
    return V_R8(&to.v);
}

Variant read(const VARIANT& value, int depth) {
    if (depth > kMaxDepth) unsupported();
    const VARTYPE vt = V_VT(&value);
    if (vt == (VT_BYREF | VT_VARIANT)) {
        if (!V_VARIANTREF(&value)) unsupported();
        return read(*V_VARIANTREF(&value), depth + 1);
    }
    if (vt & VT_ARRAY) {
        if (vt & VT_BYREF)
            return from_array(V_ARRAYREF(&value) ? *V_ARRAYREF(&value) : nullptr, depth);
        return from_array(V_ARRAY(&value), depth);
    }
    if (vt & VT_BYREF) {
        ScopedVariant copy;
        if (FAILED(VariantCopyInd(&copy.v, const_cast<VARIANT*>(&value)))) unsupported();
        return read(copy.v, depth + 1);
    }
    switch (vt) {
        case VT_EMPTY:
            return Variant();
        case VT_NULL:
            return Null{};
        case VT_I2:
            return int16_t{V_I2(&value)};
        case VT_I4:
            return int32_t{V_I4(&value)};
        case VT_R8:
            return V_R8(&value);
        case VT_DATE:
            return Date{V_DATE(&value)};
        case VT_BSTR:
            return bstr_text(V_BSTR(&value));
        case VT_BOOL:
            return V_BOOL(&value) != VARIANT_FALSE;
        case VT_UI1:
            return uint8_t{V_UI1(&value)};
        case VT_DISPATCH:
            return object_for(V_DISPATCH(&value));
        case VT_UNKNOWN: {
            IUnknown* unknown = V_UNKNOWN(&value);
            if (!unknown) return Ref<Object>();
            ComPtr<IDispatch> dispatch;
            if (FAILED(unknown->QueryInterface(IID_IDispatch,
                                               reinterpret_cast<void**>(dispatch.put()))))
                unsupported();
            return object_for(dispatch.get());
        }
        case VT_ERROR:
            // Script engines and C++ clients both send this for a left-out argument.
            if (V_ERROR(&value) == DISP_E_PARAMNOTFOUND) return Missing{};
            unsupported();
        default:
            return converted(value);
    }
}

}  // namespace

Variant from_variant(const VARIANT& value) {
    return read(value, 0);
}

void to_variant(const Variant& value, VARIANT* out) {
    switch (value.type()) {
        case VarType::Empty:
            V_VT(out) = VT_EMPTY;
            return;
        case VarType::Null:
            V_VT(out) = VT_NULL;
            return;
        case VarType::Missing:
            V_VT(out) = VT_ERROR;
            V_ERROR(out) = DISP_E_PARAMNOTFOUND;
            return;
        case VarType::Integer:
            V_VT(out) = VT_I2;
            V_I2(out) = value.to_integer();
            return;
        case VarType::Long:
            V_VT(out) = VT_I4;
            V_I4(out) = value.to_long();
            return;
        case VarType::Byte:
            V_VT(out) = VT_UI1;
            V_UI1(out) = value.to_byte();
            return;
        case VarType::Double:
            V_VT(out) = VT_R8;
            V_R8(out) = value.to_double();
            return;
        case VarType::Date:
            V_VT(out) = VT_DATE;
            V_DATE(out) = value.to_date().serial;
            return;
        case VarType::Boolean:
            V_VT(out) = VT_BOOL;
            V_BOOL(out) = value.to_bool() ? VARIANT_TRUE : VARIANT_FALSE;
            return;
        case VarType::String:
            V_BSTR(out) = new_bstr(*value.if_string());
            V_VT(out) = VT_BSTR;
            return;
        case VarType::Object: {
            Ref<Object> object = value.object();
            if (auto enumerator = ref_cast<CollectionEnumerator>(object)) {
                V_UNKNOWN(out) = enumerator_for(std::move(enumerator));
                V_VT(out) = VT_UNKNOWN;
                return;
            }
            V_DISPATCH(out) = dispatch_for(object);
            V_VT(out) = VT_DISPATCH;
            return;
        }
        case VarType::Array:
            break;
        default:
            V_VT(out) = VT_EMPTY;
            return;
    }

    const Array& array = *value.if_array();
    VARTYPE element = array.element_type() == VarType::Byte   ? VT_UI1
                      : array.element_type() == VarType::Long ? VT_I4
                                                              : VT_VARIANT;
    if (array.size() > ULONG_MAX) throw std::bad_alloc();
    SAFEARRAY* sa =
        SafeArrayCreateVector(element, array.lower_bound, static_cast<ULONG>(array.size()));
    if (!sa) throw std::bad_alloc();
    struct Guard {
        SAFEARRAY* sa;
        ~Guard() {
            if (sa) SafeArrayDestroy(sa);
        }
    } guard{sa};
    if (array.size() > 0) {
        ArrayData data(sa);
        if (auto* b = std::get_if<std::vector<uint8_t>>(&array.elements)) {
            std::copy(b->begin(), b->end(), data.mutable_as<uint8_t>());
        } else if (auto* l = std::get_if<std::vector<int32_t>>(&array.elements)) {
            std::copy(l->begin(), l->end(), data.mutable_as<int32_t>());
        } else {
            const auto& items = std::get<std::vector<Variant>>(array.elements);
            VARIANT* p = data.mutable_as<VARIANT>();
            for (size_t i = 0; i < items.size(); ++i)
                to_variant(items[i], &p[i]);
        }
    }
    V_ARRAY(out) = std::exchange(guard.sa, nullptr);
    V_VT(out) = VARTYPE(VT_ARRAY | element);
}

void write_back(const Variant& value, VARIANT* target) {
    const VARTYPE vt = V_VT(target);
    if (!(vt & VT_BYREF) || !V_BYREF(target)) return;
    ScopedVariant fresh;
    to_variant(value, &fresh.v);
    if (vt == (VT_BYREF | VT_VARIANT)) {
        VARIANT* slot = V_VARIANTREF(target);
        VariantClear(slot);
        *slot = fresh.v;
        V_VT(&fresh.v) = VT_EMPTY;  // moved
        return;
    }
    // A typed variable keeps its type: convert, and leave it as it was when
    // the value does not fit.
    ScopedVariant typed;
    if (FAILED(VariantChangeType(&typed.v, &fresh.v, 0, static_cast<VARTYPE>(vt & ~VT_BYREF))))
        return;
    switch (vt & ~VT_BYREF) {
        case VT_I2:
            *V_I2REF(target) = V_I2(&typed.v);
            break;
        case VT_I4:
            *V_I4REF(target) = V_I4(&typed.v);
            break;
        case VT_R8:
            *V_R8REF(target) = V_R8(&typed.v);
            break;
        case VT_DATE:
            *V_DATEREF(target) = V_DATE(&typed.v);
            break;
        case VT_BOOL:
            *V_BOOLREF(target) = V_BOOL(&typed.v);
            break;
        case VT_UI1:
            *V_UI1REF(target) = V_UI1(&typed.v);
            break;
        case VT_BSTR:
            SysFreeString(*V_BSTRREF(target));
            *V_BSTRREF(target) = std::exchange(V_BSTR(&typed.v), nullptr);
            break;
        case VT_DISPATCH:
            if (*V_DISPATCHREF(target)) (*V_DISPATCHREF(target))->Release();
            *V_DISPATCHREF(target) = std::exchange(V_DISPATCH(&typed.v), nullptr);
            break;
        default:
            break;
    }
}

}  // namespace vorlek::com
