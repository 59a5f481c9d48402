// The operating system's status codes as the platform operations return them.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace vorlek::platform {

using Status = uint32_t;

namespace status {
constexpr Status kSuccess = 0;
constexpr Status kFileNotFound = 2;
constexpr Status kAccessDenied = 5;
constexpr Status kInvalidHandle = 6;
constexpr Status kNotEnoughMemory = 8;
constexpr Status kInvalidParameter = 87;
constexpr Status kInsufficientBuffer = 122;
constexpr Status kInvalidName = 123;  // ERROR_INVALID_NAME
constexpr Status kMoreData = 234;
constexpr Status kNoMoreItems = 259;
constexpr Status kNoUnicodeTranslation = 1113;
constexpr Status kBadNetPath = 53;
constexpr Status kCallNotImplemented = 120;
constexpr Status kInvalidLevel = 124;
constexpr Status kBadExeFormat = 193;
constexpr Status kMessageNotFound = 317;  // ERROR_MR_MID_NOT_FOUND
constexpr Status kNoLogonServers = 1311;
constexpr Status kPrivilegeNotHeld = 1314;  // ERROR_PRIVILEGE_NOT_HELD
constexpr Status kNoSuchDomain = 1355;
constexpr Status kDcNotFound = 2453;  // NERR_DCNotFound
constexpr Status kNoBrowserServersFound = 6118;
constexpr Status kResourceLangNotFound = 15100;
}  // namespace status

// A value with the status of the call that produced it; the value is only
// meaningful when the status is success.
template <class T>
struct Result {
    Status status = status::kSuccess;
    T value{};

    bool ok() const noexcept { return status == status::kSuccess; }
    static Result failure(Status s) { return Result{s, T{}}; }
};

// One call of an enumeration that continues with a resume handle: the
// entries of this batch and how many there are from the batch's start to
// the end of the list (so a batch that holds them all has read == total).
template <class Entry>
struct Batch {
    std::vector<Entry> entries;
    uint32_t total_entries = 0;
};

}  // namespace vorlek::platform
