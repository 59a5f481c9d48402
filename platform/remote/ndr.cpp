#include "platform/remote/ndr.h"

#include <algorithm>
#include <cstring>

namespace vorlek::platform::remote {

bool ContextHandle::empty() const noexcept {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

// ---- Writer

void NdrWriter::align(size_t n) {
    while (bytes_.size() % n)
        bytes_.push_back(0);
}

void NdrWriter::u8(uint8_t v) {
    bytes_.push_back(v);
}

void NdrWriter::u16(uint16_t v) {
    align(2);
    bytes_.push_back(static_cast<uint8_t>(v));
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
}

void NdrWriter::u32(uint32_t v) {
    align(4);
    for (int i = 0; i < 4; ++i)
        bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void NdrWriter::u64(uint64_t v) {
    align(8);
    for (int i = 0; i < 8; ++i)
        bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void NdrWriter::raw(const uint8_t* data, size_t length) {
    bytes_.insert(bytes_.end(), data, data + length);
}

void NdrWriter::pointer(bool present) {
    if (!present) {
        u32(0);
        return;
    }
    u32(next_referent_);
    next_referent_ += 4;
}

void NdrWriter::wide_string(StringView text) {
    const auto count = static_cast<uint32_t>(text.size() + 1);
    u32(count);
    u32(0);
    u32(count);
    for (char16_t c : text)
        u16(c);
    u16(0);
}

void NdrWriter::unique_wide_string(const StringView* text) {
    pointer(text != nullptr);
    if (text) wide_string(*text);
}

void NdrWriter::counted_string(StringView text, bool nul) {
    const size_t chars = text.size() + (nul ? 1 : 0);
    const auto bytes = static_cast<uint16_t>(std::min<size_t>(chars * 2, 0xFFFE));
    u16(bytes);
    u16(bytes);
    const bool present = chars > 0;
    pointer(present);
    if (!present) return;
    String copy(text);
    defer([copy = std::move(copy), nul](NdrWriter& w) {
        const auto count = static_cast<uint32_t>(copy.size() + (nul ? 1 : 0));
        w.u32(count);
        w.u32(0);
        w.u32(count);
        for (char16_t c : copy)
            w.u16(c);
        if (nul) w.u16(0);
    });
}

void NdrWriter::handle(const ContextHandle& h) {
    align(4);
    raw(h.bytes.data(), h.bytes.size());
}

void NdrWriter::sid(const Sid& sid) {
    const auto& subs = sid.sub_authorities();
    u32(static_cast<uint32_t>(subs.size()));
    u8(sid.revision());
    u8(static_cast<uint8_t>(subs.size()));
    for (int i = 5; i >= 0; --i)
        u8(static_cast<uint8_t>(sid.authority() >> (8 * i)));
    for (uint32_t s : subs)
        u32(s);
}

void NdrWriter::defer(std::function<void(NdrWriter&)> body) {
    deferred_.push_back(std::move(body));
}

void NdrWriter::flush() {
    auto level = std::move(deferred_);
    deferred_.clear();
    for (auto& body : level) {
        body(*this);
        flush();
    }
}

// ---- Reader

bool NdrReader::take(size_t n) {
    if (!ok_ || length_ - offset_ < n) {
        ok_ = false;
        return false;
    }
    return true;
}

void NdrReader::align(size_t n) {
    const size_t pad = (n - offset_ % n) % n;
    if (take(pad)) offset_ += pad;
}

void NdrReader::skip(size_t n) {
    if (take(n)) offset_ += n;
}

std::vector<uint8_t> NdrReader::raw(size_t n) {
    if (!take(n)) return {};
    std::vector<uint8_t> out(data_ + offset_, data_ + offset_ + n);
    offset_ += n;
    return out;
}

uint8_t NdrReader::u8() {
    if (!take(1)) return 0;
    return data_[offset_++];
}

uint16_t NdrReader::u16() {
    align(2);
    if (!take(2)) return 0;
    const uint16_t v = static_cast<uint16_t>(data_[offset_] | data_[offset_ + 1] << 8);
    offset_ += 2;
    return v;
}

uint32_t NdrReader::u32() {
    align(4);
    if (!take(4)) return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | data_[offset_ + i];
    offset_ += 4;
    return v;
}

uint64_t NdrReader::u64() {
    align(8);
    if (!take(8)) return 0;
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | data_[offset_ + i];
    offset_ += 8;
    return v;
}

uint32_t NdrReader::count(size_t min_element_bytes) {
    const uint32_t n = u32();
    if (!ok_) return 0;
    if (min_element_bytes && n > remaining() / min_element_bytes) {
        ok_ = false;
        return 0;
    }
    return n;
}

String NdrReader::wide_string() {
    const uint32_t max = u32();
    const uint32_t offset = u32();
    const uint32_t actual = count(2);
    if (!ok_ || offset > max || actual > max - offset) {
        ok_ = false;
        return {};
    }
    String text;
    text.reserve(actual);
    for (uint32_t i = 0; i < actual; ++i)
        text.push_back(static_cast<char16_t>(u16()));
    if (!text.empty() && text.back() == u'\0') text.pop_back();
    return ok_ ? text : String();
}

String NdrReader::unique_wide_string() {
    if (!pointer()) return {};
    return wide_string();
}

void NdrReader::counted_string(String& out) {
    u16();  // the length; the array's own counts say it again
    u16();
    if (!pointer()) {
        out.clear();
        return;
    }
    defer([&out](NdrReader& r) { out = r.wide_string(); });
}

ContextHandle NdrReader::handle() {
    align(4);
    ContextHandle h;
    if (!take(h.bytes.size())) return h;
    std::memcpy(h.bytes.data(), data_ + offset_, h.bytes.size());
    offset_ += h.bytes.size();
    return h;
}

Sid NdrReader::sid() {
    const uint32_t max = u32();
    const uint8_t revision = u8();
    const uint8_t count = u8();
    uint64_t authority = 0;
    for (int i = 0; i < 6; ++i)
        authority = authority << 8 | u8();
    if (!ok_ || count != max || count > Sid::kMaxSubAuthorities) {
        ok_ = false;
        return {};
    }
    std::vector<uint32_t> subs(count);
    for (auto& s : subs)
        s = u32();
    return ok_ ? Sid(authority, std::move(subs), revision) : Sid();
}

void NdrReader::defer(std::function<void(NdrReader&)> body) {
    deferred_.push_back(std::move(body));
}

void NdrReader::flush() {
    auto level = std::move(deferred_);
    deferred_.clear();
    for (auto& body : level) {
        if (!ok_) return;
        body(*this);
        flush();
    }
}

}  // namespace vorlek::platform::remote
