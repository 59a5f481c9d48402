// Message texts of the simulated machines: the system's table and message
// files loaded as data.
#pragma once

#include <span>

#include "platform/sim/faults.h"

namespace vorlek::sim {

namespace op {
inline constexpr Operation LoadLibraryEx{u"LoadLibraryEx"};
inline constexpr Operation FreeLibrary{u"FreeLibrary"};
inline constexpr Operation FormatMessage{u"FormatMessage"};
}  // namespace op

// The bytes of the sample message file (vorlekmsg.dll) that every preset
// machine carries as C:\WINNT\system32\vorlekmsg.dll.
std::span<const uint8_t> sample_message_file();
constexpr StringView kSampleMessageFilePath = u"C:\\WINNT\\system32\\vorlekmsg.dll";

}  // namespace vorlek::sim
