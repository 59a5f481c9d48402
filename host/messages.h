// The texts and numbers a script sees for run-time errors, as cscript's
// JScript shows them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorlek::host {

// JScript's own error numbers, for errors the engine raises rather than a
// member.
namespace jscript {
constexpr int32_t kSyntaxError = 1002;
constexpr int32_t kObjectExpected = 5007;
constexpr int32_t kUndefinedIdentifier = 5009;
constexpr int32_t kUncaughtException = 5022;
constexpr int32_t kVBArrayExpected = 5013;
constexpr int32_t kEnumeratorExpected = 5015;
constexpr int32_t kArrayLength = 5029;
constexpr int32_t kOutOfStack = 28;
}  // namespace jscript

constexpr int32_t kCannotCreateObject = 429;
constexpr int32_t kNotSupported = 438;
constexpr int32_t kWrongArgumentCount = 450;

// Text of a run-time error number; "Unknown runtime error" for numbers the
// table does not hold.
std::string error_message(int32_t number);

// The number a script reads from `e.number`: 0x800Axxxx (negative as a
// 32-bit signed value) for a plain run-time error number, unchanged when it
// already carries a facility (an HRESULT).
int32_t script_error_number(int32_t number);

// The number cscript's engine gives an error the engine itself raised, by the
// error's name and message (duktape's texts); 0 when there is none to give.
int32_t engine_error_number(std::string_view name, std::string_view message);

}  // namespace vorlek::host
