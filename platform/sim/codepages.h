// Code page tables of the simulated machines.
#pragma once

#include <optional>
#include <vector>

#include "automation/string.h"
#include "platform/status.h"

namespace vorlek::sim {

// WideCharToMultiByte for the code pages the simulation knows: 1252 (Western),
// 28591 (ISO 8859-1), 20127 (US-ASCII), 932 (Japanese, a double-byte subset:
// ASCII, half-width katakana, hiragana and katakana) and 65001 (UTF-8).
// Unknown code pages fail with 87; so does UTF-8 with a default character, as
// on the real system.
platform::Result<std::vector<uint8_t>> encode(uint32_t code_page, StringView text,
                                              std::optional<char> default_char);

// MultiByteToWideChar for the same code pages; bytes that form no character
// fail with 1113 (UTF-8 replaces them with U+FFFD instead, as the system does).
platform::Result<String> decode(uint32_t code_page, const std::vector<uint8_t>& bytes);

}  // namespace vorlek::sim
