// The simulated wave-audio device: the wave-file header it reads and the
// errors of its command strings.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/little_endian.h"
#include "platform/multimedia.h"
#include "platform/platform.h"
#include "platform/sockets.h"
#include "tests/support/simulated.h"

namespace vorlek {
namespace {

// A PCM header: `riff` and `data` are the sizes it claims, `samples` bytes
// of 8-bit mono follow.
std::vector<uint8_t> wave(uint32_t riff, uint32_t fmt_size, uint32_t data, uint32_t samples,
                          uint16_t block_align = 1) {
    std::vector<uint8_t> b(20 + fmt_size + 8 + samples);
    uint8_t* p = b.data();
    std::memcpy(p, "RIFF", 4);
    platform::put32(p + 4, riff);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    platform::put32(p + 16, fmt_size);
    if (fmt_size >= 16) {
        platform::put16(p + 20, 1);
        platform::put16(p + 22, 1);
        platform::put32(p + 24, 8000);
        platform::put32(p + 28, 8000);
        platform::put16(p + 32, block_align);
        platform::put16(p + 34, 8);
    }
    std::memcpy(p + 20 + fmt_size, "data", 4);
    platform::put32(p + 24 + fmt_size, data);
    return b;
}

TEST(WaveParser, SizesTheHeaderClaims) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::optional<uint32_t> samples;
    };
    std::vector<uint8_t> huge_format = wave(40, 16, 6, 6);
    platform::put32(huge_format.data() + 16, 0xFFFFFFF0);
    const Case cases[] = {
        {"honest", wave(40, 16, 100, 100), 100},
        {"RIFF size too big", wave(0xFFFFFFFF, 16, 100, 100), 100},
        {"RIFF size 0", wave(0, 16, 100, 100), 100},
        {"data longer than the file", wave(40, 16, 0xFFFFFFF0, 10), 10},
        {"format chunk with extra bytes", wave(40, 18, 6, 6), 6},
        {"short format chunk", wave(40, 14, 6, 6), std::nullopt},
        {"block size 0", wave(40, 16, 6, 6, 0), std::nullopt},
        {"whole blocks only", wave(40, 16, 7, 7, 2), 3},
        {"format chunk past the end", huge_format, std::nullopt},
        {"not RIFF", {'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, std::nullopt},
        {"empty", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        auto f = sim::parse_wave(c.bytes);
        EXPECT_EQ(f.has_value(), c.samples.has_value()) << c.what;
        if (f && c.samples) {
            EXPECT_EQ(f->samples, *c.samples) << c.what;
        }
    }
    // Every truncation of a good file reads as far as it goes, or not at all.
    const auto good = wave(40, 16, 100, 100);
    for (size_t n = 0; n < good.size(); ++n) {
        auto f = sim::parse_wave(std::vector<uint8_t>(good.begin(), good.begin() + n));
        if (f) {
            EXPECT_EQ(f->samples, n - 44);
        }
    }
}

class MultimediaTest : public testing_support::SimulatedTest {};

TEST_F(MultimediaTest, CommandErrors) {
    net->local().files[u"C:\\t.wav"] = wave(0, 16, 8000, 8000);  // one second
    auto& mm = platform::current().multimedia();
    struct Step {
        const char16_t* command;
        platform::MciError error;
    };
    namespace mci = platform::mci;
    const Step steps[] = {
        {u"", mci::kMissingCommandString},
        {u"open \"C:\\t.wav", mci::kNoClosingQuote},
        {u"open C:\\none.wav type waveaudio alias s", mci::kFileNotFound},
        {u"open C:\\t.wav type sequencer alias s", mci::kInvalidDeviceName},
        {u"open C:\\t.wav type waveaudio alias s", 0},
        {u"open C:\\t.wav type waveaudio alias s", mci::kDuplicateAlias},
        {u"play s from 9000", mci::kOutOfRange},  // milliseconds until set
        {u"set s time format frames", mci::kBadConstant},
        {u"set s time format samples", 0},
        {u"play s from 9000", mci::kOutOfRange},
        {u"play s from 4000 to 2000", mci::kOutOfRange},
        {u"play s from x", mci::kBadInteger},
        {u"play s from", mci::kMissingParameter},
        {u"play s loudly", mci::kUnrecognizedKeyword},
        {u"play t", mci::kExtensionNotFound},  // taken for a file to open
        {u"play C:\\none.wav", mci::kFileNotFound},
        {u"rewind s", mci::kUnrecognizedCommand},
        {u"play s from 4000 wait", 0},
        {u"close s", 0},
        {u"close s", mci::kInvalidDeviceName},
    };
    const auto start = net->local().time.clock;
    for (const auto& s : steps)
        EXPECT_EQ(mm.send_string(s.command), s.error) << to_utf8(s.command);
    EXPECT_EQ((net->local().time.clock - start) / 10'000, 500u);
    EXPECT_EQ(net->handles().open_count(), 0u);
}

TEST_F(MultimediaTest, NamesResolveToTheFirstAdapter) {
    auto& s = platform::current().sockets();
    ASSERT_TRUE(s.startup(0x0101).ok());
    struct Case {
        const char16_t* name;
        platform::Status status;
        platform::Ip4Address first;
    };
    const Case cases[] = {
        {u"ws0001", 0, {192, 168, 1, 15}}, {u"DC01", 0, {192, 168, 1, 10}},
        {u"", 0, {192, 168, 1, 15}},       {u"10.1.2.3", 0, {10, 1, 2, 3}},
        {u"localhost", 0, {127, 0, 0, 1}}, {u"NOBODY", 11001, {}},
        {u"\\\\DC01", 11001, {}},          {u"1.2.3.256", 11001, {}},
    };
    for (const auto& c : cases) {
        auto r = s.host_addresses(c.name);
        EXPECT_EQ(r.status, c.status) << to_utf8(c.name);
        if (r.ok()) {
            EXPECT_EQ(r.value.front(), c.first) << to_utf8(c.name);
        }
    }
    EXPECT_EQ(s.host_addresses(u"ws0001").value.size(), 2u);  // and its dial-up address
    EXPECT_EQ(s.cleanup(), 0u);
    EXPECT_EQ(s.cleanup(), 10093u);  // not started
    EXPECT_EQ(net->handles().open_count(), 0u);
}

}  // namespace
}  // namespace vorlek
