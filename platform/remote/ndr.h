// Network Data Representation (NDR 2.0, little-endian) for the requests and
// replies of the MS-RPC interfaces the backend speaks: the writer builds a
// request's [in] parameters, the reader takes a reply's [out] parameters
// apart. Pointers that a structure or array holds are "deferred": their
// referents follow the outermost construct, depth first, which `defer` and
// `flush` do for both sides. The reader never reads past its bytes: a reply
// cut short or with counts that do not fit leaves it failed (`ok()` false)
// and every later read answers zero.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "automation/string.h"
#include "platform/security.h"
#include "platform/status.h"

namespace vorlek::platform::remote {

// A context handle (policy_handle): 20 bytes the server hands out.
struct ContextHandle {
    std::array<uint8_t, 20> bytes{};
    bool empty() const noexcept;
};

class NdrWriter {
  public:
    void u8(uint8_t v);
    void u16(uint16_t v);
    void u32(uint32_t v);
    void u64(uint64_t v);  // hyper, aligned to 8
    void raw(const uint8_t* data, size_t length);
    void align(size_t n);

    // A [unique] or full pointer's referent id: 0 for null, else a new id.
    // The caller writes the referent (now for a top-level parameter, deferred
    // inside a structure).
    void pointer(bool present);
    // A [ref] pointer written as a top-level parameter takes no bytes; one
    // embedded in a structure is an id like a unique pointer's.

    // A [string] wide character array (conformant and varying): counts, the
    // characters and a terminating NUL.
    void wide_string(StringView text);
    // A [unique, string] pointer to one: its id and, right after it, the
    // string (top level), or null for `nullptr`.
    void unique_wide_string(const StringView* text);
    // A counted string (RPC_UNICODE_STRING / lsa_String / winreg_String):
    // byte length, byte size and a pointer whose array is deferred; `nul`
    // counts a terminating NUL in the size and length (winreg's names do).
    void counted_string(StringView text, bool nul = false);
    // A context handle.
    void handle(const ContextHandle& h);
    // A SID (RPC_SID) in place, conformant on its sub-authority count.
    void sid(const Sid& sid);

    // Deferred referents: `body` runs at the next `flush`, after everything
    // written before it at this level.
    void defer(std::function<void(NdrWriter&)> body);
    // Writes the deferred referents, each followed by its own, depth first.
    // Called at the end of each top-level parameter that has any.
    void flush();

    const std::vector<uint8_t>& bytes() const noexcept { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
    uint32_t next_referent_ = 0x00020000;
    std::vector<std::function<void(NdrWriter&)>> deferred_;
};

class NdrReader {
  public:
    NdrReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}
    explicit NdrReader(const std::vector<uint8_t>& bytes) : NdrReader(bytes.data(), bytes.size()) {}

    bool ok() const noexcept { return ok_; }
    // Marks the reply malformed (a count no reply could hold, say).
    void fail() noexcept { ok_ = false; }
    size_t remaining() const noexcept { return ok_ ? length_ - offset_ : 0; }

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    uint64_t u64();
    void align(size_t n);
    void skip(size_t n);
    // `n` bytes as they stand (an array's elements); empty and failed when
    // fewer are left.
    std::vector<uint8_t> raw(size_t n);

    // A pointer's referent id (0 = null).
    uint32_t pointer() { return u32(); }
    // A conformant and varying wide string; a trailing NUL is dropped.
    String wide_string();
    // A [unique, string] pointer and its string, read in place (top level).
    String unique_wide_string();
    // A counted string's lengths and pointer; the characters are read at the
    // next flush (deferred) into `out`.
    void counted_string(String& out);
    ContextHandle handle();
    // An RPC_SID in place.
    Sid sid();
    // A conformant array count that must fit in what is left, each element
    // taking at least `min_element_bytes`; 0 and failed otherwise.
    uint32_t count(size_t min_element_bytes);

    void defer(std::function<void(NdrReader&)> body);
    void flush();

  private:
    bool take(size_t n);
    const uint8_t* data_;
    size_t length_;
    size_t offset_ = 0;
    bool ok_ = true;
    std::vector<std::function<void(NdrReader&)>> deferred_;
};

}  // namespace vorlek::platform::remote
