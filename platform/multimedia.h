// The multimedia command strings (MCI), as the wave-audio device reads them.
#pragma once

#include <cstdint>

#include "automation/string.h"

namespace vorlek::platform {

// MCIERROR: 0 or one of these (MCIERR_BASE 256 and up).
using MciError = uint32_t;
namespace mci {
constexpr MciError kInvalidDeviceId = 257;
constexpr MciError kUnrecognizedKeyword = 259;
constexpr MciError kUnrecognizedCommand = 261;
constexpr MciError kInvalidDeviceName = 263;
constexpr MciError kCannotLoadDriver = 266;
constexpr MciError kMissingCommandString = 267;
constexpr MciError kBadInteger = 270;
constexpr MciError kMissingParameter = 273;
constexpr MciError kFileNotFound = 275;
constexpr MciError kOutOfRange = 282;
constexpr MciError kDeviceTypeRequired = 287;
constexpr MciError kDuplicateAlias = 289;
constexpr MciError kBadConstant = 290;
constexpr MciError kNoClosingQuote = 294;
constexpr MciError kInvalidFile = 296;
constexpr MciError kExtraCharacters = 305;
constexpr MciError kExtensionNotFound = 281;
}  // namespace mci

class Multimedia {
  public:
    virtual ~Multimedia() = default;
    // mciSendStringA with no return buffer and no callback window; a
    // command with "wait" returns when the device has finished.
    virtual MciError send_string(StringView command) = 0;
};

}  // namespace vorlek::platform
