#include "host/messages.h"

#include "automation/error.h"

#include <algorithm>
#include <array>
#include <utility>

namespace vorlek::host {

namespace {

// The engine's own errors; run-time errors take the scripting run time's texts.
constexpr std::array<std::pair<int32_t, std::string_view>, 7> kEngineMessages{{
    {jscript::kSyntaxError, "Syntax error"},
    {jscript::kObjectExpected, "Object expected"},
    {jscript::kUndefinedIdentifier, "Undefined identifier"},
    {jscript::kUncaughtException, "Exception thrown and not caught"},
    {jscript::kVBArrayExpected, "VBArray expected"},
    {jscript::kEnumeratorExpected, "Enumerator object expected"},
    {jscript::kArrayLength, "Array length must be a finite positive integer"},
}};

}  // namespace

std::string error_message(int32_t number) {
    auto it = std::find_if(kEngineMessages.begin(), kEngineMessages.end(),
                           [&](const auto& m) { return m.first == number; });
    if (it != kEngineMessages.end()) return std::string(it->second);
    StringView text = error_description(number);
    return text.empty() ? "Unknown runtime error" : to_utf8(text);
}

int32_t engine_error_number(std::string_view name, std::string_view message) {
    if (name == "SyntaxError") return jscript::kSyntaxError;
    if (name == "ReferenceError") return jscript::kUndefinedIdentifier;
    if (name == "TypeError") return jscript::kObjectExpected;
    // The call stack limit, and the limit of nested native calls.
    if (name == "RangeError")
        return message.find("stack") != std::string_view::npos ? jscript::kOutOfStack
                                                               : jscript::kArrayLength;
    // The engine's allocator failed (the script heap is capped).
    if (name == "Error" && message == "alloc failed") return err::kOutOfMemory;
    return 0;
}

int32_t script_error_number(int32_t number) {
    uint32_t bits = static_cast<uint32_t>(number);
    // Small negative numbers (-9999) are not HRESULTs: they keep their low word.
    bool small = number >= 0 ? number <= 0xFFFF : (bits >> 16) == 0xFFFFu;
    if (!small) return number;
    return static_cast<int32_t>(0x800A0000u | (bits & 0xFFFFu));
}

}  // namespace vorlek::host
