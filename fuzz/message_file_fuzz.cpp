// The message-file reader on arbitrary bytes: parsing and every lookup stay
// inside the input and end, whatever the image's headers and tables claim.
#include <cstdint>
#include <span>

#include "platform/message_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using vorlek::platform::MessageFile;
    auto file = MessageFile::parse(std::span<const uint8_t>(data, size));
    if (!file) return 0;
    // Ids taken from the input's last bytes, and the ones the tables usually hold.
    uint32_t probe = 0;
    for (size_t i = size >= 4 ? size - 4 : 0; i < size; ++i)
        probe = probe << 8 | data[i];
    for (uint32_t id : {0u, 1u, 0x40000000u, 0xC0000001u, probe}) {
        (void)file->find(id, 0);
        for (uint16_t lang : file->languages())
            (void)file->find(id, lang, lang, 0);
    }
    return 0;
}
