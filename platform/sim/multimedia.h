// The wave-audio device of a simulated machine and what it played.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "automation/string.h"
#include "platform/sim/faults.h"

namespace vorlek::sim {

// The format of a wave file, as its RIFF header gives it.
struct WaveFormat {
    uint16_t format_tag = 0;
    uint16_t channels = 0;
    uint32_t samples_per_second = 0;
    uint32_t bytes_per_second = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
    uint32_t samples = 0;  // sample frames in the data chunk that are in the file
};

// Reads the RIFF/WAVE header of a file's bytes. Sizes the header gives are
// trusted only as far as the file goes: a data chunk longer than the file
// counts the samples that are there. Nullopt for bytes that are not a wave
// file (no RIFF/WAVE tag, no or a short format chunk, no data chunk, a block
// size or rate of 0).
std::optional<WaveFormat> parse_wave(const std::vector<uint8_t>& bytes);

struct PlayedSound {
    String path;
    uint32_t from = 0;  // in samples
    uint32_t to = 0;    // exclusive
    uint64_t milliseconds = 0;
};

struct MultimediaState {
    bool wave_device = true;  // a wave-audio driver is installed
    std::vector<PlayedSound> played;
};

namespace op {
// A fault injected here is the MCI error the command answers.
inline constexpr Operation mciSendString{u"mciSendStringA"};
}  // namespace op

}  // namespace vorlek::sim
