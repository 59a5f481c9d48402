#include "platform/remote/svcctl.h"

#include <algorithm>

namespace vorlek::platform::remote::svcctl {

namespace {

constexpr size_t kEntryEx = 44;  // ENUM_SERVICE_STATUS_PROCESSW: two offsets, nine numbers
constexpr size_t kEntry = 36;    // ENUM_SERVICE_STATUSW: two offsets, seven numbers

// An optional text as a unique string pointer: absent is null.
void optional_string(NdrWriter& w, const std::optional<String>& text) {
    if (!text) {
        w.pointer(false);
        return;
    }
    const StringView view(*text);
    w.unique_wide_string(&view);
}

// A text that is sent only when it is not empty.
void unless_empty(NdrWriter& w, StringView text) {
    if (text.empty()) {
        w.pointer(false);
        return;
    }
    w.unique_wide_string(&text);
}

// A [unique, size_is(n)] byte array and its count after it.
void sized_bytes(NdrWriter& w, const Bytes* bytes) {
    w.pointer(bytes != nullptr);
    if (bytes) {
        w.u32(static_cast<uint32_t>(bytes->size()));
        w.raw(bytes->data(), bytes->size());
    }
    w.u32(bytes ? static_cast<uint32_t>(bytes->size()) : 0);
}

// The status at the end of a reply, or bad stub data when the reply did
// not parse or has bytes left over.
Status finish(NdrReader& r) {
    const uint32_t status = r.u32();
    if (!r.ok() || r.remaining() != 0) return kBadStubData;
    return status;
}

ServiceStatus status_fields(NdrReader& r, bool process) {
    ServiceStatus s;
    s.type = r.u32();
    s.state = r.u32();
    s.controls_accepted = r.u32();
    s.win32_exit_code = r.u32();
    s.service_exit_code = r.u32();
    s.check_point = r.u32();
    s.wait_hint = r.u32();
    if (process) {
        s.process_id = r.u32();
        s.flags = r.u32();
    }
    return s;
}

// A NUL-ended UTF-16 text at `offset` of a listing's buffer; nullopt when
// it does not lie inside the buffer.
std::optional<String> text_at(const Bytes& buffer, uint32_t offset) {
    String out;
    for (size_t at = offset; at + 1 < buffer.size(); at += 2) {
        const auto c = static_cast<char16_t>(buffer[at] | buffer[at + 1] << 8);
        if (c == u'\0') return out;
        out.push_back(c);
    }
    return std::nullopt;
}

uint32_t u32_at(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                 static_cast<uint32_t>(b[at + 3]) << 24);
}

// A conformant byte array in place (a buffer the server filled).
Bytes conformant_bytes(NdrReader& r) {
    const uint32_t n = r.count(1);
    return r.raw(n);
}

}  // namespace

Bytes open_manager(StringView machine, uint32_t access) {
    NdrWriter w;
    unless_empty(w, machine);
    w.pointer(false);  // the active database
    w.u32(access);
    return w.bytes();
}

Bytes handle_only(const ContextHandle& handle) {
    NdrWriter w;
    w.handle(handle);
    return w.bytes();
}

Bytes open_service(const ContextHandle& manager, StringView name, uint32_t access) {
    NdrWriter w;
    w.handle(manager);
    w.wide_string(name);
    w.u32(access);
    return w.bytes();
}

Bytes enumerate(const ContextHandle& manager, uint32_t type, uint32_t state, uint32_t offered,
                uint32_t resume, bool ex) {
    NdrWriter w;
    w.handle(manager);
    if (ex) w.u32(0);  // SC_ENUM_PROCESS_INFO
    w.u32(type);
    w.u32(state);
    w.u32(offered);
    w.pointer(true);
    w.u32(resume);
    if (ex) w.pointer(false);  // every group
    return w.bytes();
}

Bytes create_service(const ContextHandle& manager, const NewService& n) {
    NdrWriter w;
    w.handle(manager);
    w.wide_string(n.name);
    unless_empty(w, n.display_name);
    w.u32(n.access);
    w.u32(n.type);
    w.u32(n.start_type);
    w.u32(n.error_control);
    w.wide_string(n.binary_path);
    unless_empty(w, n.load_order_group);
    w.pointer(false);  // no tag asked for
    const Bytes deps = dependency_bytes(n.dependencies);
    sized_bytes(w, n.dependencies.empty() ? nullptr : &deps);
    unless_empty(w, n.start_name);
    Bytes password;
    for (char16_t c : n.password) {
        password.push_back(static_cast<uint8_t>(c));
        password.push_back(static_cast<uint8_t>(c >> 8));
    }
    sized_bytes(w, n.password.empty() ? nullptr : &password);
    return w.bytes();
}

Bytes query_status_ex(const ContextHandle& service) {
    NdrWriter w;
    w.handle(service);
    w.u32(0);   // SC_STATUS_PROCESS_INFO
    w.u32(36);  // sizeof SERVICE_STATUS_PROCESS
    return w.bytes();
}

Bytes query_config(const ContextHandle& service, uint32_t offered) {
    NdrWriter w;
    w.handle(service);
    w.u32(offered);
    return w.bytes();
}

Bytes query_lock_status(const ContextHandle& manager, uint32_t offered) {
    return query_config(manager, offered);
}

Bytes start(const ContextHandle& service) {
    NdrWriter w;
    w.handle(service);
    w.u32(0);
    w.pointer(false);
    return w.bytes();
}

Bytes control(const ContextHandle& service, uint32_t control) {
    NdrWriter w;
    w.handle(service);
    w.u32(control);
    return w.bytes();
}

Bytes change_config(const ContextHandle& service, const ConfigChange& c) {
    NdrWriter w;
    w.handle(service);
    w.u32(c.type);
    w.u32(c.start_type);
    w.u32(c.error_control);
    optional_string(w, c.binary_path);
    optional_string(w, c.load_order_group);
    w.pointer(false);  // no tag asked for
    const Bytes deps = c.dependencies ? dependency_bytes(*c.dependencies) : Bytes();
    sized_bytes(w, c.dependencies ? &deps : nullptr);
    optional_string(w, c.start_name);
    Bytes password;
    if (c.password) {
        for (char16_t ch : *c.password) {
            password.push_back(static_cast<uint8_t>(ch));
            password.push_back(static_cast<uint8_t>(ch >> 8));
        }
    }
    sized_bytes(w, c.password ? &password : nullptr);
    optional_string(w, c.display_name);
    return w.bytes();
}

Bytes dependency_bytes(StringView run) {
    Bytes out;
    const auto put = [&](char16_t c) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    };
    size_t at = 0;
    while (at < run.size()) {
        const size_t end = std::min(run.find(u'\0', at), run.size());
        if (end == at) break;
        for (char16_t c : run.substr(at, end - at))
            put(c);
        put(u'\0');
        at = end + 1;
    }
    put(u'\0');
    if (out.size() == 2) put(u'\0');
    return out;
}

String dependency_run(StringView wire) {
    String out;
    size_t at = 0;
    while (at < wire.size()) {
        const size_t end = std::min(wire.find_first_of(StringView(u"/\0", 2), at), wire.size());
        if (end > at) {
            out.append(wire.substr(at, end - at));
            out.push_back(u'\0');
        }
        at = end + 1;
    }
    out.push_back(u'\0');
    return out;
}

Status read_status(const Bytes& reply, bool tag_first) {
    NdrReader r(reply);
    if (tag_first && r.pointer()) r.u32();
    return finish(r);
}

Status read_closed(const Bytes& reply) {
    NdrReader r(reply);
    r.handle();
    return finish(r);
}

Result<ContextHandle> read_handle(const Bytes& reply, bool tag_first) {
    NdrReader r(reply);
    if (tag_first && r.pointer()) r.u32();
    const ContextHandle h = r.handle();
    const Status s = finish(r);
    if (s) return Result<ContextHandle>::failure(s);
    // A server that reports success must hand out a handle.
    if (h.empty()) return Result<ContextHandle>::failure(kBadStubData);
    return {status::kSuccess, h};
}

EnumReply read_enumeration(const Bytes& reply, bool ex) {
    EnumReply out;
    NdrReader r(reply);
    const Bytes buffer = conformant_bytes(r);
    out.needed = r.u32();
    const uint32_t returned = r.u32();
    if (r.pointer()) out.resume = r.u32();
    out.status = finish(r);
    if (out.status == kBadStubData) return out;
    const size_t size = ex ? kEntryEx : kEntry;
    if (returned > buffer.size() / size) {
        out.status = kBadStubData;
        return out;
    }
    out.entries.reserve(returned);
    for (size_t i = 0; i < returned; ++i) {
        const size_t at = i * size;
        auto name = text_at(buffer, u32_at(buffer, at));
        auto display = text_at(buffer, u32_at(buffer, at + 4));
        if (!name || !display) {
            out.entries.clear();
            out.status = kBadStubData;
            return out;
        }
        NdrReader fields(buffer.data() + at + 8, size - 8);
        out.entries.push_back({std::move(*name), std::move(*display), status_fields(fields, ex)});
    }
    return out;
}

Result<ServiceStatus> read_status_process(const Bytes& reply) {
    NdrReader r(reply);
    const Bytes buffer = conformant_bytes(r);
    r.u32();  // needed
    const Status s = finish(r);
    if (s) return {s, {}};
    if (buffer.size() < 36) return {kBadStubData, {}};
    NdrReader fields(buffer.data(), 36);
    return {status::kSuccess, status_fields(fields, true)};
}

Result<ServiceStatus> read_service_status(const Bytes& reply) {
    NdrReader r(reply);
    ServiceStatus st = status_fields(r, false);
    const Status s = finish(r);
    if (s == kBadStubData) return {s, {}};
    return {s, st};
}

ConfigReply read_config(const Bytes& reply) {
    ConfigReply out;
    NdrReader r(reply);
    ServiceConfig& c = out.config;
    c.type = r.u32();
    c.start_type = r.u32();
    c.error_control = r.u32();
    const uint32_t path = r.pointer(), group = r.pointer();
    c.tag = r.u32();
    const uint32_t deps = r.pointer(), start_name = r.pointer(), display = r.pointer();
    String dependencies;
    if (path) c.binary_path = r.wide_string();
    if (group) c.load_order_group = r.wide_string();
    if (deps) dependencies = r.wide_string();
    if (start_name) c.start_name = r.wide_string();
    if (display) c.display_name = r.wide_string();
    c.dependencies = dependency_run(dependencies);
    out.needed = r.u32();
    out.status = finish(r);
    if (out.status) out.config = {};
    return out;
}

Result<LockStatus> read_lock_status(const Bytes& reply) {
    NdrReader r(reply);
    LockStatus l;
    l.locked = r.u32() != 0;
    const uint32_t owner = r.pointer();
    l.duration = r.u32();
    if (owner) l.owner = r.wide_string();
    r.u32();  // needed
    const Status s = finish(r);
    if (s) return {s, {}};
    return {status::kSuccess, std::move(l)};
}

}  // namespace vorlek::platform::remote::svcctl
