#include "automation/uuid.h"

#include <vector>

namespace vorlek {

namespace {

uint32_t rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

std::array<uint8_t, 20> sha1(const std::vector<uint8_t>& message) {
    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::vector<uint8_t> data = message;
    const uint64_t bit_length = static_cast<uint64_t>(message.size()) * 8;
    data.push_back(0x80);
    while (data.size() % 64 != 56)
        data.push_back(0);
    for (int i = 7; i >= 0; --i)
        data.push_back(static_cast<uint8_t>(bit_length >> (i * 8)));

    for (size_t block = 0; block < data.size(); block += 64) {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i) {
            const uint8_t* p = &data[block + static_cast<size_t>(i) * 4];
            w[i] = uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
        }
        for (int i = 16; i < 80; ++i)
            w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            uint32_t f, k;
            if (i < 20)
                f = (b & c) | (~b & d), k = 0x5A827999;
            else if (i < 40)
                f = b ^ c ^ d, k = 0x6ED9EBA1;
            else if (i < 60)
                f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
            else
                f = b ^ c ^ d, k = 0xCA62C1D6;
            uint32_t t = rotl(a, 5) + f + e + k + w[i];
            e = d, d = c, c = rotl(b, 30), b = a, a = t;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    }
    std::array<uint8_t, 20> digest;
    for (int i = 0; i < 20; ++i)
        digest[static_cast<size_t>(i)] = static_cast<uint8_t>(h[i / 4] >> (24 - (i % 4) * 8));
    return digest;
}

}  // namespace

Uuid name_uuid(const Uuid& name_space, std::string_view name) {
    std::vector<uint8_t> message(name_space.bytes.begin(), name_space.bytes.end());
    message.insert(message.end(), name.begin(), name.end());
    auto digest = sha1(message);
    Uuid u;
    for (size_t i = 0; i < 16; ++i)
        u.bytes[i] = digest[i];
    u.bytes[6] = static_cast<uint8_t>((u.bytes[6] & 0x0F) | 0x50);  // version 5
    u.bytes[8] = static_cast<uint8_t>((u.bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return u;
}

std::string to_text(const Uuid& uuid) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
        out.push_back(kDigits[uuid.bytes[i] >> 4]);
        out.push_back(kDigits[uuid.bytes[i] & 0xF]);
    }
    return out;
}

}  // namespace vorlek
