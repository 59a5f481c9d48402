// Message tables of a module file (the RT_MESSAGETABLE resources of a PE
// image), read from the file's bytes. Our own reader, so that the simulated
// platform serves the same message files the real one loads.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::platform {

class MessageFile {
  public:
    // nullopt when the bytes are not a PE image; an image without message
    // tables parses and finds nothing.
    static std::optional<MessageFile> parse(std::span<const uint8_t> bytes);

    // The text of a message as stored (line ends and inserts included, up to
    // its first NUL). With `lang_id` 0 the languages are tried as the system
    // does: neutral, the user's, the system's, US English, then any. Fails
    // with 317 when no table holds the number and 15100 when none of the
    // language asked for does.
    Result<String> find(uint32_t message_id, uint16_t lang_id, uint16_t user_lang = 0x409,
                        uint16_t system_lang = 0x409) const;
    std::vector<uint16_t> languages() const;

  private:
    struct Table {
        uint16_t lang;
        std::vector<uint8_t> data;  // MESSAGE_RESOURCE_DATA
    };
    static std::optional<String> lookup(const Table& table, uint32_t message_id);
    std::vector<Table> tables_;
};

}  // namespace vorlek::platform
