#include "host/messages.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vorlek::host {

namespace {

constexpr std::array<std::pair<int32_t, std::string_view>, 25> kMessages{{
    {5, "Invalid procedure call or argument"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript out of range"},
    {10, "This array is fixed or temporarily locked"},
    {11, "Division by zero"},
    {13, "Type mismatch"},
    {28, "Out of stack space"},
    {53, "File not found"},
    {70, "Permission denied"},
    {87, "The parameter is incorrect"},
    {91, "Object variable or With block variable not set"},
    {94, "Invalid use of Null"},
    {424, "Object required"},
    {429, "Automation server can't create object"},
    {438, "Object doesn't support this property or method"},
    {445, "Object doesn't support this action"},
    {450, "Wrong number of arguments or invalid property assignment"},
    {457, "This key is already associated with an element of this collection"},
    {jscript::kSyntaxError, "Syntax error"},
    {jscript::kObjectExpected, "Object expected"},
    {jscript::kUndefinedIdentifier, "Undefined identifier"},
    {jscript::kUncaughtException, "Exception thrown and not caught"},
    {jscript::kVBArrayExpected, "VBArray expected"},
    {jscript::kEnumeratorExpected, "Enumerator object expected"},
}};

}  // namespace

std::string_view error_message(int32_t number) {
    auto it = std::find_if(kMessages.begin(), kMessages.end(),
                           [&](const auto& m) { return m.first == number; });
    return it == kMessages.end() ? std::string_view("Unknown runtime error") : it->second;
}

int32_t script_error_number(int32_t number) {
    uint32_t bits = static_cast<uint32_t>(number);
    // Small negative numbers (-9999) are not HRESULTs: they keep their low word.
    bool small = number >= 0 ? number <= 0xFFFF : (bits >> 16) == 0xFFFFu;
    if (!small) return number;
    return static_cast<int32_t>(0x800A0000u | (bits & 0xFFFFu));
}

}  // namespace vorlek::host
