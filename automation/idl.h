// The IDL-like text of a dual interface and its class. It is written from a
// plain description, so that the member tables (automation/describe.h) and a
// client reading a type library write their descriptions the same way and the
// two can be compared as text. Only the standard library is used here: the
// Wine test client compiles this file on its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorlek::idl {

// Automation type numbers (VARTYPE) that appear in an interface.
enum Vt : uint16_t {
    kI2 = 2,
    kI4 = 3,
    kR8 = 5,
    kDate = 7,
    kBstr = 8,
    kDispatch = 9,
    kBool = 11,
    kVariant = 12,
    kUnknown = 13,
    kUi1 = 17,
    kVoid = 24,
};

// The invoke kinds, numbered as the run time numbers them.
enum Kind : uint8_t { kMethod = 1, kPropGet = 2, kPropPut = 4, kPropPutRef = 8 };

struct Param {
    std::string name;
    uint16_t vt = kVariant;
    bool by_ref = false;  // a pointer to the type: in-out and the result
    bool out = false;
    bool retval = false;
    bool optional = false;
    bool has_default = false;
    std::string default_text;  // as written in IDL: "text", 12, -1
};

struct Entry {
    std::string name;
    uint8_t kind = kMethod;
    int32_t dispid = 0;
    bool hidden = false;  // restricted and hidden (the enumerator)
    std::string help;
    std::vector<Param> params;  // the result last, as [out, retval]
};

struct Interface {
    std::string name;  // "_Stringer"
    std::string uuid;  // lower case, no braces
    std::vector<Entry> entries;
};

struct CoClass {
    std::string name;
    std::string uuid;
    bool creatable = true;
};

// The name the result parameter goes by.
inline constexpr std::string_view kResultName = "RetVal";
// The name of the assigned value of a put, which the type library leaves
// unnamed.
inline constexpr std::string_view kAssignedName = "RHS";

// "interface _X : IDispatch { ... };" with one entry per member; help strings
// only when asked for. Without them this text is what the interface id is
// derived from.
std::string interface_block(const Interface& iface, bool with_help);
// The attributes, the interface block with help strings and the class.
std::string library_text(const Interface& iface, const CoClass& coclass);
// A text default as IDL writes it: in double quotes, with \" and \\.
std::string quoted(std::string_view utf8);

}  // namespace vorlek::idl
