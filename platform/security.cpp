// Security identifiers: the value type both backends share.
#include "platform/security.h"

#include <algorithm>

namespace vorlek::platform {

Sid Sid::with_rid(uint32_t rid) const {
    std::vector<uint32_t> subs = sub_authorities_;
    subs.push_back(rid);
    return Sid(authority_, std::move(subs), revision_);
}

Sid Sid::domain() const {
    std::vector<uint32_t> subs = sub_authorities_;
    if (!subs.empty()) subs.pop_back();
    return Sid(authority_, std::move(subs), revision_);
}

bool Sid::in_domain(const Sid& domain) const noexcept {
    const auto& mine = sub_authorities_;
    const auto& theirs = domain.sub_authorities_;
    return revision_ == domain.revision_ && authority_ == domain.authority_ &&
           mine.size() == theirs.size() + 1 &&
           std::equal(theirs.begin(), theirs.end(), mine.begin());
}

String Sid::text() const {
    String out = u"S-" + decimal(revision_) + u"-";
    if (authority_ < (uint64_t{1} << 32)) {
        out += decimal(static_cast<int64_t>(authority_));
    } else {
        static constexpr char16_t kHex[] = u"0123456789ABCDEF";
        out += u"0x";
        for (int shift = 44; shift >= 0; shift -= 4)
            out.push_back(kHex[(authority_ >> shift) & 0xF]);
    }
    for (uint32_t s : sub_authorities_)
        out += u"-" + decimal(s);
    return out;
}

namespace {

// A run of digits (decimal, or hexadecimal after "0x") up to `max`.
std::optional<uint64_t> parse_number(StringView part, uint64_t max) {
    unsigned base = 10;
    if (part.size() > 2 && part[0] == u'0' && (part[1] == u'x' || part[1] == u'X')) {
        base = 16;
        part.remove_prefix(2);
    }
    if (part.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char16_t c : part) {
        unsigned digit;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (base == 16 && ((c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) {
            digit = (c | 0x20) - u'a' + 10;
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > max) return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<Sid> Sid::parse(StringView text) {
    if (text.size() < 2 || (text[0] != u'S' && text[0] != u's') || text[1] != u'-')
        return std::nullopt;
    std::vector<uint64_t> parts;
    size_t start = 2;
    for (;;) {
        const size_t dash = text.find(u'-', start);
        const StringView part = text.substr(start, dash == StringView::npos ? dash : dash - start);
        auto n = parse_number(part, parts.size() == 1 ? 0xFFFF'FFFF'FFFF : 0xFFFF'FFFF);
        if (!n) return std::nullopt;
        parts.push_back(*n);
        if (dash == StringView::npos) break;
        start = dash + 1;
    }
    // Revision, authority and at least one sub-authority.
    if (parts.size() < 3 || parts[0] != kRevision || parts.size() - 2 > kMaxSubAuthorities)
        return std::nullopt;
    std::vector<uint32_t> subs(parts.begin() + 2, parts.end());
    return Sid(parts[1], std::move(subs));
}

std::vector<uint8_t> Sid::bytes() const {
    std::vector<uint8_t> out;
    out.reserve(byte_length());
    out.push_back(revision_);
    out.push_back(static_cast<uint8_t>(sub_authorities_.size()));
    for (int shift = 40; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(authority_ >> shift));
    for (uint32_t s : sub_authorities_) {
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<uint8_t>(s >> shift));
    }
    return out;
}

std::optional<Sid> Sid::from_bytes(const uint8_t* data, size_t size) {
    if (size < 8 || data[0] != kRevision || data[1] > kMaxSubAuthorities) return std::nullopt;
    const size_t count = data[1];
    if (size < 8 + 4 * count) return std::nullopt;
    uint64_t authority = 0;
    for (size_t i = 2; i < 8; ++i)
        authority = authority << 8 | data[i];
    std::vector<uint32_t> subs(count);
    for (size_t k = 0; k < count; ++k) {
        const uint8_t* p = data + 8 + 4 * k;
        subs[k] =
            uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    }
    return Sid(authority, std::move(subs), data[0]);
}

size_t SidHash::operator()(const Sid& sid) const noexcept {
    // FNV-1a over the fields: account SIDs of one domain differ in the RID only.
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint64_t v) {
        h ^= v;
        h *= 1099511628211ull;
    };
    mix(sid.revision());
    mix(sid.authority());
    for (uint32_t s : sid.sub_authorities())
        mix(s);
    return static_cast<size_t>(h);
}

namespace sid {

Sid everyone() {
    return Sid(kWorldAuthority, {0});
}
Sid creator_owner() {
    return Sid(kCreatorAuthority, {0});
}
Sid nt_authority() {
    return Sid(kNtAuthority, {});
}
Sid network() {
    return Sid(kNtAuthority, {2});
}
Sid interactive() {
    return Sid(kNtAuthority, {4});
}
Sid authenticated_users() {
    return Sid(kNtAuthority, {11});
}
Sid local_system() {
    return Sid(kNtAuthority, {18});
}
Sid builtin() {
    return Sid(kNtAuthority, {kBuiltinDomainRid});
}
Sid builtin_alias(uint32_t rid) {
    return builtin().with_rid(rid);
}
Sid account_domain(uint32_t a, uint32_t b, uint32_t c) {
    return Sid(kNtAuthority, {kNtNonUniqueRid, a, b, c});
}

}  // namespace sid

}  // namespace vorlek::platform
