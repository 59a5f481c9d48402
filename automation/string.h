// Text as the automation layer carries it: UTF-16 code units, where an empty
// string and an absent one are the same value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vorlek {

// Longest String the library builds: 256 Mi code units (512 MiB). A string
// that would grow past it fails with std::length_error, which a call reports
// as out of memory (7), the way the automation run time reports a string it
// cannot allocate; a runaway result stops there instead of taking the
// machine's memory. Text that comes in (from a script or a client) is held
// to the same bound.
inline constexpr size_t kMaxStringLength = size_t{256} << 20;

// The standard allocator, with a maximum size that bounds String. libstdc++
// gives a string (max_size() - 1) / 2 characters of its allocator's maximum;
// a test checks that String::max_size() is the bound above.
template <class T>
struct BoundedAllocator : std::allocator<T> {
    using value_type = T;
    template <class U>
    struct rebind {
        using other = BoundedAllocator<U>;
    };
    BoundedAllocator() noexcept = default;
    template <class U>
    BoundedAllocator(const BoundedAllocator<U>&) noexcept {}
    static constexpr size_t max_size() noexcept { return 2 * kMaxStringLength + 1; }
    T* allocate(size_t n) {
        // The bound holds whatever the standard library makes of max_size().
        if (n > kMaxStringLength + 1) throw std::length_error("String past its maximum length");
        return std::allocator<T>::allocate(n);
    }
    friend bool operator==(const BoundedAllocator&, const BoundedAllocator&) noexcept {
        return true;
    }
};

using String = std::basic_string<char16_t, std::char_traits<char16_t>, BoundedAllocator<char16_t>>;
using StringView = std::u16string_view;

// UTF-8 <-> UTF-16 for the edges of the library (tests, the script host, the
// demo). Malformed input is replaced by U+FFFD, never rejected.
String from_utf8(std::string_view text);
// The one UTF-8 decoder: appends `text` to `out`. `engine_form` also takes
// what the script engine writes (CESU-8: each surrogate encoded on its own,
// and sequences longer than needed), which strict UTF-8 replaces.
void append_utf8(std::string_view text, String& out, bool engine_form);
std::string to_utf8(StringView text);

// Decimal text of a 64-bit integer, as the automation coercion writes it.
String decimal(int64_t value);

}  // namespace vorlek
