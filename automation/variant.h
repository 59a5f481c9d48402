// The automation value: one of the types that cross the interface.
#pragma once

#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

#include "automation/object.h"
#include "automation/string.h"

namespace vorlek {

// The system's unsigned 32-bit values (statuses, flags, record fields) as the
// Long a script sees, and back: the same bits, so 0xFFFFFFFF reads as -1.
constexpr int32_t as_long(uint32_t value) noexcept {
    return static_cast<int32_t>(value);
}
constexpr uint32_t as_dword(int32_t value) noexcept {
    return static_cast<uint32_t>(value);
}

// Variant type codes; the numbers are the automation VARTYPE values so that a
// bridge can map them one to one.
enum class VarType : uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2,  // I2
    Long = 3,     // I4
    Double = 5,   // R8
    Date = 7,
    String = 8,    // BSTR
    Object = 9,    // IDispatch
    Missing = 10,  // VT_ERROR carrying DISP_E_PARAMNOTFOUND
    Boolean = 11,
    Variant = 12,
    Byte = 17,  // UI1
    Array = 0x2000,
};

// Days since 1899-12-30 00:00, the fraction being the time of day.
struct Date {
    double serial = 0;
    friend bool operator==(const Date&, const Date&) = default;
};

struct Empty {
    friend bool operator==(const Empty&, const Empty&) = default;
};
struct Null {
    friend bool operator==(const Null&, const Null&) = default;
};
// The marker a client sends for a left-out optional argument.
struct Missing {
    friend bool operator==(const Missing&, const Missing&) = default;
};

class Variant;

// A one-dimensional safe array of Byte, Long or Variant elements. Arrays are
// values: once built they are shared read-only between copies.
struct Array {
    int32_t lower_bound = 0;
    std::variant<std::vector<uint8_t>, std::vector<int32_t>, std::vector<Variant>> elements;

    VarType element_type() const noexcept;
    size_t size() const noexcept;
    int32_t upper_bound() const noexcept { return lower_bound + static_cast<int32_t>(size()) - 1; }
    // Element at a script index (lower bound based) as a Variant; raises 9
    // outside the bounds.
    Variant at(int32_t index) const;
};
using ArrayRef = std::shared_ptr<const Array>;

class Variant {
  public:
    Variant() noexcept = default;
    Variant(Empty) noexcept {}
    Variant(Null) noexcept : v_(Null{}) {}
    Variant(Missing) noexcept : v_(Missing{}) {}
    Variant(int16_t v) noexcept : v_(v) {}
    Variant(int32_t v) noexcept : v_(v) {}
    Variant(uint8_t v) noexcept : v_(v) {}
    Variant(double v) noexcept : v_(v) {}
    Variant(Date v) noexcept : v_(v) {}
    Variant(bool v) noexcept : v_(Bool{v}) {}
    Variant(String v) noexcept : v_(std::move(v)) {}
    Variant(StringView v) : v_(String(v)) {}
    Variant(const char16_t* v) : v_(String(v)) {}
    Variant(Ref<Object> v) noexcept : v_(std::move(v)) {}
    template <class T>
    requires std::is_base_of_v<Object, T> Variant(Ref<T> v)
    noexcept : v_(Ref<Object>(std::move(v))) {}
    Variant(ArrayRef v) noexcept : v_(std::move(v)) {}

    static Variant byte_array(std::vector<uint8_t> bytes, int32_t lower_bound = 0);
    static Variant long_array(std::vector<int32_t> values, int32_t lower_bound = 0);
    static Variant variant_array(std::vector<Variant> values, int32_t lower_bound = 0);

    VarType type() const noexcept;
    bool is_empty() const noexcept { return v_.index() == 0; }
    bool is_missing() const noexcept { return std::holds_alternative<Missing>(v_); }
    bool is_array() const noexcept { return std::holds_alternative<ArrayRef>(v_); }
    bool is_object() const noexcept { return std::holds_alternative<Ref<Object>>(v_); }

    // Direct access when the type is known; nullptr otherwise.
    const String* if_string() const noexcept { return std::get_if<String>(&v_); }
    const Array* if_array() const noexcept {
        auto* a = std::get_if<ArrayRef>(&v_);
        return a ? a->get() : nullptr;
    }
    Ref<Object> object() const noexcept {
        auto* o = std::get_if<Ref<Object>>(&v_);
        return o ? *o : Ref<Object>();
    }
    // The object without taking a reference (null for none or another type).
    Object* if_object() const noexcept {
        auto* o = std::get_if<Ref<Object>>(&v_);
        return o ? o->get() : nullptr;
    }

    // Reports the object or array this Variant holds, if any.
    void visit_references(ReferenceVisitor& visit) const;

    // Standard automation coercion. Raises 13 when the value cannot be
    // converted and 6 when it does not fit.
    int16_t to_integer() const;
    int32_t to_long() const;
    uint8_t to_byte() const;
    double to_double() const;
    Date to_date() const;
    bool to_bool() const;
    String to_string() const;
    // Moves the text out when the value is a String; converts otherwise.
    String take_string();
    Ref<Object> to_object() const;
    Variant coerce(VarType type) const;

    friend bool operator==(const Variant& a, const Variant& b) noexcept;

  private:
    struct Bool {
        bool value;
        friend bool operator==(const Bool&, const Bool&) = default;
    };
    // Order matters: index 0 is Empty.
    std::variant<Empty, Null, Missing, int16_t, int32_t, uint8_t, double, Date, Bool, String,
                 Ref<Object>, ArrayRef>
        v_;
};

// Name of a type as scripts print it ("Long", "String", "Byte()", ...).
StringView type_name(VarType type);

// Lets go of `value`. No object is released when an array value goes, so
// where the array was the last holder from outside of a cycle through the
// objects in it, this is where the cycle is freed: the script host drops the
// array values a script lets go of through it.
void release_value(Variant& value) noexcept;

}  // namespace vorlek
