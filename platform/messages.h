// Message texts: the system's own and those of message files.
#pragma once

#include <cstdint>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

// A loaded message file; 0 stands for the system's messages.
using ModuleHandle = uint64_t;

class Messages {
  public:
    virtual ~Messages() = default;
    // LoadLibraryEx with LOAD_LIBRARY_AS_DATAFILE: the file's resources only.
    // 2 when the file does not exist, 193 when it is not a module.
    virtual Result<ModuleHandle> load_data_file(StringView path) = 0;
    // FreeLibrary; 6 for a handle that is not loaded.
    virtual Status free_module(ModuleHandle module) = 0;
    // FormatMessage with FORMAT_MESSAGE_IGNORE_INSERTS from the module (or the
    // system when `module` is 0), language `lang_id` (0: the usual search),
    // into a buffer of `buffer_chars` characters. The text keeps its line ends
    // and its inserts ("%1"). 317 for an unknown number, 15100 when the
    // message is not there in the language asked for, 122 when the text and
    // its terminating NUL do not fit.
    virtual Result<String> format_message(ModuleHandle module, uint32_t message_id,
                                          uint32_t lang_id, uint32_t buffer_chars) = 0;
};

}  // namespace vorlek::platform
