#include "platform/remote/winreg.h"

#include <algorithm>

namespace vorlek::platform::remote::winreg {

namespace {

struct RootCall {
    RegKey root;
    uint32_t opnum;
};
constexpr RootCall kRoots[] = {
    {hkey::kClassesRoot, op::kOpenHKCR},     {hkey::kCurrentUser, op::kOpenHKCU},
    {hkey::kLocalMachine, op::kOpenHKLM},    {hkey::kUsers, op::kOpenHKU},
    {hkey::kPerformanceData, op::kOpenHKPD}, {hkey::kCurrentConfig, op::kOpenHKCC},
};

// A name as the registry calls take it: counted, its NUL counted too.
void name(NdrWriter& w, StringView text) {
    w.counted_string(text, true);
    w.flush();
}

// An empty buffer of `bytes` for the server to fill with a name: counts,
// and an array with room and nothing in it.
void name_buffer(NdrWriter& w, uint32_t bytes) {
    w.u16(0);
    w.u16(static_cast<uint16_t>(std::min<uint32_t>(bytes, 0xFFFE)));
    w.pointer(true);
    w.u32(std::min<uint32_t>(bytes, 0xFFFE) / 2);
    w.u32(0);
    w.u32(0);
}

// A [unique] number.
void unique_u32(NdrWriter& w, uint32_t v) {
    w.pointer(true);
    w.u32(v);
}

Status finish(NdrReader& r) {
    const uint32_t status = r.u32();
    if (!r.ok() || r.remaining() != 0) return kBadStubData;
    return status;
}

// A counted name the server filled (its array in place after the counts).
String filled_name(NdrReader& r) {
    String out;
    r.counted_string(out);
    r.flush();
    return out;
}

uint32_t unique_u32(NdrReader& r) {
    return r.pointer() ? r.u32() : 0;
}

FileTime file_time(NdrReader& r) {
    const uint32_t low = r.u32();
    const uint32_t high = r.u32();
    return FileTime{low} | FileTime{high} << 32;
}

// A conformant and varying byte array: its bytes.
Bytes varying_bytes(NdrReader& r) {
    const uint32_t max = r.u32();
    const uint32_t offset = r.u32();
    const uint32_t actual = r.count(1);
    if (!r.ok() || offset > max || actual > max - offset) {
        r.fail();
        return {};
    }
    return r.raw(actual);
}

}  // namespace

std::optional<uint32_t> root_opnum(RegKey root) {
    for (const RootCall& r : kRoots)
        if (r.root == root) return r.opnum;
    return std::nullopt;
}

Bytes open_root(uint32_t access) {
    NdrWriter w;
    w.pointer(false);  // the server's own name is not needed
    w.u32(access);
    return w.bytes();
}

Bytes handle_only(const ContextHandle& key) {
    NdrWriter w;
    w.handle(key);
    return w.bytes();
}

Bytes open_key(const ContextHandle& parent, StringView path, uint32_t access) {
    NdrWriter w;
    w.handle(parent);
    name(w, path);
    w.u32(0);  // options
    w.u32(access);
    return w.bytes();
}

Bytes create_key(const ContextHandle& parent, StringView path, StringView class_name,
                 uint32_t options, uint32_t access) {
    NdrWriter w;
    w.handle(parent);
    name(w, path);
    name(w, class_name);
    w.u32(options);
    w.u32(access);
    w.pointer(false);  // the descriptor the key inherits
    unique_u32(w, 0);  // the disposition, filled in
    return w.bytes();
}

Bytes named(const ContextHandle& key, StringView text, bool save) {
    NdrWriter w;
    w.handle(key);
    name(w, text);
    if (save) w.pointer(false);  // the file's default security
    return w.bytes();
}

Bytes query_info(const ContextHandle& key, uint32_t class_capacity) {
    NdrWriter w;
    w.handle(key);
    // The class buffer's size and no text.
    w.u16(0);
    w.u16(static_cast<uint16_t>(std::min<uint32_t>(class_capacity, kMaxCounted) * 2));
    w.pointer(false);
    return w.bytes();
}

Bytes enum_key(const ContextHandle& key, uint32_t index, uint32_t name_bytes,
               uint32_t class_bytes) {
    NdrWriter w;
    w.handle(key);
    w.u32(index);
    name_buffer(w, name_bytes);
    w.pointer(true);
    name_buffer(w, class_bytes);
    w.pointer(true);
    w.u32(0);
    w.u32(0);
    return w.bytes();
}

Bytes enum_value(const ContextHandle& key, uint32_t index, uint32_t name_bytes,
                 uint32_t data_bytes) {
    NdrWriter w;
    w.handle(key);
    w.u32(index);
    name_buffer(w, name_bytes);
    unique_u32(w, 0);  // type
    w.pointer(true);   // data: room and nothing in it
    w.u32(data_bytes);
    w.u32(0);
    w.u32(0);
    unique_u32(w, data_bytes);
    unique_u32(w, 0);
    return w.bytes();
}

Bytes query_value(const ContextHandle& key, StringView value, uint32_t data_bytes) {
    NdrWriter w;
    w.handle(key);
    name(w, value);
    unique_u32(w, 0);
    w.pointer(true);
    w.u32(data_bytes);
    w.u32(0);
    w.u32(0);
    unique_u32(w, data_bytes);
    unique_u32(w, 0);
    return w.bytes();
}

Bytes set_value(const ContextHandle& key, StringView value, uint32_t type, const Bytes& data) {
    NdrWriter w;
    w.handle(key);
    name(w, value);
    w.u32(type);
    w.u32(static_cast<uint32_t>(data.size()));
    w.raw(data.data(), data.size());
    w.u32(static_cast<uint32_t>(data.size()));
    return w.bytes();
}

Bytes key_security(const ContextHandle& key, uint32_t information, uint32_t size) {
    NdrWriter w;
    w.handle(key);
    w.u32(information);
    w.pointer(true);
    w.u32(size);
    w.u32(0);
    w.u32(size);
    w.u32(0);
    w.u32(0);
    return w.bytes();
}

Bytes load_key(const ContextHandle& root, StringView sub_key, StringView file) {
    NdrWriter w;
    w.handle(root);
    w.pointer(true);
    name(w, sub_key);
    w.pointer(true);
    name(w, file);
    return w.bytes();
}

Bytes restore_key(const ContextHandle& key, StringView file, uint32_t flags) {
    NdrWriter w;
    w.handle(key);
    name(w, file);
    w.u32(flags);
    return w.bytes();
}

Status read_status(const Bytes& reply) {
    NdrReader r(reply);
    return finish(r);
}

Status read_closed(const Bytes& reply) {
    NdrReader r(reply);
    r.handle();
    return finish(r);
}

Result<ContextHandle> read_handle(const Bytes& reply) {
    NdrReader r(reply);
    const ContextHandle h = r.handle();
    const Status s = finish(r);
    if (s) return Result<ContextHandle>::failure(s);
    if (h.empty()) return Result<ContextHandle>::failure(kBadStubData);
    return {status::kSuccess, h};
}

Result<CreatedKey> read_created(const Bytes& reply, ContextHandle& handle) {
    NdrReader r(reply);
    handle = r.handle();
    CreatedKey out;
    out.disposition = unique_u32(r);
    const Status s = finish(r);
    if (s) return Result<CreatedKey>::failure(s);
    if (handle.empty()) return Result<CreatedKey>::failure(kBadStubData);
    return {status::kSuccess, out};
}

Result<KeyInfo> read_info(const Bytes& reply) {
    NdrReader r(reply);
    KeyInfo info;
    info.class_name = filled_name(r);
    info.sub_keys = r.u32();
    info.max_sub_key_len = r.u32();
    info.max_class_len = r.u32();
    info.values = r.u32();
    info.max_value_name_len = r.u32();
    info.max_value_len = r.u32();
    info.security_descriptor_size = r.u32();
    info.write_time = file_time(r);
    const Status s = finish(r);
    if (s) return Result<KeyInfo>::failure(s);
    return {status::kSuccess, std::move(info)};
}

Result<SubKey> read_enum_key(const Bytes& reply) {
    NdrReader r(reply);
    SubKey out;
    out.name = filled_name(r);
    if (r.pointer()) out.class_name = filled_name(r);
    if (r.pointer()) out.write_time = file_time(r);
    const Status s = finish(r);
    if (s) return Result<SubKey>::failure(s);
    return {status::kSuccess, std::move(out)};
}

Result<Value> read_value(const Bytes& reply, bool with_name) {
    NdrReader r(reply);
    Value out;
    if (with_name) out.name = filled_name(r);
    out.type = unique_u32(r);
    Bytes data;
    if (r.pointer()) data = varying_bytes(r);
    out.size = unique_u32(r);
    const uint32_t length = unique_u32(r);
    const Status s = finish(r);
    if (s == kBadStubData) return Result<Value>::failure(s);
    if (s == status::kSuccess) {
        // What the server sent is the value; its length must say so.
        if (length != data.size()) return Result<Value>::failure(kBadStubData);
        out.size = length;
        out.data = std::move(data);
    }
    return {s, std::move(out)};
}

SecurityReply read_security(const Bytes& reply) {
    NdrReader r(reply);
    SecurityReply out;
    const uint32_t data = r.pointer();
    out.size = r.u32();
    r.u32();  // length
    if (data) out.descriptor = varying_bytes(r);
    out.status = finish(r);
    if (out.status) out.descriptor.clear();
    return out;
}

}  // namespace vorlek::platform::remote::winreg
