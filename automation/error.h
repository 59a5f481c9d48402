// Run-time errors inside members, and the few failures the dispatch layer
// itself reports to a client.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <utility>

#include "automation/string.h"

namespace vorlek {

// Run-time error numbers of the automation scripting run time, plus the
// numbers the classes raise of their own.
namespace err {
constexpr int32_t kInvalidCall = 5;
constexpr int32_t kOverflow = 6;
constexpr int32_t kOutOfMemory = 7;
constexpr int32_t kSubscript = 9;
constexpr int32_t kTypeMismatch = 13;
constexpr int32_t kBadArgument = 87;
constexpr int32_t kInternal = 51;
constexpr int32_t kObjectNotSet = 91;
constexpr int32_t kDuplicateKey = 457;
constexpr int32_t kNotAvailable = -9999;
}  // namespace err

// A run-time error raised by a step of a member. Members catch it (skipping or
// recording); only the invoke layer sees one that escaped.
class RuntimeError : public std::exception {
  public:
    explicit RuntimeError(int32_t number, String description = {})
        : number_(number), description_(std::move(description)) {}
    int32_t number() const noexcept { return number_; }
    const String& description() const noexcept { return description_; }
    const char* what() const noexcept override { return "vorlek run-time error"; }

  private:
    int32_t number_;
    String description_;
};

[[noreturn]] inline void raise(int32_t number) {
    throw RuntimeError(number);
}

// The scripting run time's text for an error number; empty for a number it
// has no text for.
StringView error_description(int32_t number);

// What a client can see fail at the dispatch layer: an unknown name, a wrong
// argument count, an argument that cannot be converted, a member kind the
// name does not have, and (only where a member raises on purpose) an error
// carried as an exception.
enum class DispatchFailure {
    UnknownName,
    MemberNotFound,
    BadParamCount,
    TypeMismatch,
    Overflow,
    Exception,
};

class DispatchError : public std::exception {
  public:
    DispatchError(DispatchFailure failure, int32_t detail = 0, String description = {})
        : failure_(failure), detail_(detail), description_(std::move(description)) {}
    DispatchFailure failure() const noexcept { return failure_; }
    // The argument index (0-based, in parameter order) for TypeMismatch and
    // Overflow; the error number for Exception.
    int32_t detail() const noexcept { return detail_; }
    const String& description() const noexcept { return description_; }
    // The run-time error number a script engine reports for this failure.
    int32_t script_number() const noexcept;
    const char* what() const noexcept override { return "vorlek dispatch error"; }

  private:
    DispatchFailure failure_;
    int32_t detail_;
    String description_;
};

// Skipping style: run one step, drop it without trace if it raises.
template <class Step>
void skip(Step&& step) {
    try {
        std::forward<Step>(step)();
    } catch (const RuntimeError&) {
    }
}

// Recording style: run the body; return 0, or the number of the run-time error
// that ended it. The caller records the number where its class says so.
template <class Body>
int32_t attempt(Body&& body) {
    try {
        std::forward<Body>(body)();
        return 0;
    } catch (const RuntimeError& e) {
        return e.number();
    }
}

}  // namespace vorlek
