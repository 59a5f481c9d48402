// A fixed set of texts kept one after another in one allocation. The items
// of a large listing leave most of their texts empty, and a String of its own
// costs 32 bytes before its first character (and an allocation once it holds
// more than seven); here an empty text costs one code unit, or none after
// the last one set (put the texts most objects have first), and the object
// that holds the texts a pointer.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>

#include "automation/string.h"

namespace vorlek {

template <size_t N>
class PackedTexts {
    static_assert(N > 0 && N < 0xFFFF);

  public:
    PackedTexts() = default;
    PackedTexts(PackedTexts&&) noexcept = default;
    PackedTexts& operator=(PackedTexts&&) noexcept = default;
    PackedTexts(const PackedTexts& other) { *this = other; }
    PackedTexts& operator=(const PackedTexts& other) {
        if (this != &other) assign(other.all());
        return *this;
    }

    // Text `which` (below N); empty when never set.
    StringView operator[](size_t which) const noexcept {
        if (!block_ || which >= block_[0]) return {};
        const char16_t* at = block_.get() + 1;
        for (size_t i = 0;; ++i) {
            size_t length = *at++;
            if (length == kLong) {
                length = (size_t{at[0]} << 16) | at[1];
                at += 2;
            }
            if (i == which) return StringView(at, length);
            at += length;
        }
    }

    // Replaces the texts named in `changed` (a text may point into these
    // texts); the others stay.
    void set(std::initializer_list<std::pair<size_t, StringView>> changed) {
        set(changed.begin(), changed.end());
    }
    // The same for pairs of another index type (a class's own enumeration).
    template <class It>
    void set(It first, It last) {
        std::array<StringView, N> texts = all();
        for (; first != last; ++first)
            texts[static_cast<size_t>(first->first)] = first->second;
        assign(texts);
    }

    void clear() noexcept { block_.reset(); }

  private:
    // The number of texts held (the ones after them are empty), then each
    // text as its length and its characters; a length of kLong or more is
    // kLong and then the length in two units, high one first. Every text is
    // shorter than 2^32 (String's bound).
    static constexpr char16_t kLong = 0xFFFF;

    std::array<StringView, N> all() const noexcept {
        std::array<StringView, N> texts;
        if (!block_) return texts;
        const char16_t* at = block_.get() + 1;
        for (size_t i = 0; i < block_[0]; ++i) {
            size_t length = *at++;
            if (length == kLong) {
                length = (size_t{at[0]} << 16) | at[1];
                at += 2;
            }
            texts[i] = StringView(at, length);
            at += length;
        }
        return texts;
    }

    void assign(const std::array<StringView, N>& all) {
        size_t held = N;
        while (held > 0 && all[held - 1].empty())
            --held;
        if (held == 0) {
            block_.reset();
            return;
        }
        size_t units = 1;
        for (size_t i = 0; i < held; ++i)
            units += 1 + (all[i].size() >= kLong ? 2 : 0) + all[i].size();
        auto block = std::make_unique_for_overwrite<char16_t[]>(units);
        block[0] = static_cast<char16_t>(held);
        char16_t* at = block.get() + 1;
        for (size_t i = 0; i < held; ++i) {
            const StringView t = all[i];
            if (t.size() >= kLong) {
                *at++ = kLong;
                *at++ = static_cast<char16_t>(t.size() >> 16);
                *at++ = static_cast<char16_t>(t.size() & 0xFFFF);
            } else {
                *at++ = static_cast<char16_t>(t.size());
            }
            at = std::copy(t.begin(), t.end(), at);
        }
        block_ = std::move(block);
    }

    std::unique_ptr<char16_t[]> block_;
};

}  // namespace vorlek
