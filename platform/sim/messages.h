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

// The message files every preset machine carries in its system folder: the
// sample one (vorlekmsg.dll) and those its event-log sources name.
constexpr StringView kSystemFolder = u"C:\\WINNT\\system32\\";
struct MessageFileImage {
    StringView name;
    std::span<const uint8_t> bytes;
};
std::span<const MessageFileImage> message_files();
// The bytes of the sample message file, and where the machines keep it.
std::span<const uint8_t> sample_message_file();
constexpr StringView kSampleMessageFilePath = u"C:\\WINNT\\system32\\vorlekmsg.dll";

}  // namespace vorlek::sim
