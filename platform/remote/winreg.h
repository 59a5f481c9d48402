// The remote registry's RPC interface (winreg) as the Registry area speaks
// it: requests as NDR bytes, replies taken apart into names, values and the
// server's status. Texts and data go as the server keeps them (UTF-16); the
// area converts to the single-byte view. A reply that does not parse is bad
// stub data (1783), as the RPC run time reports it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/registry.h"
#include "platform/remote/ndr.h"
#include "platform/remote/session.h"

namespace vorlek::platform::remote::winreg {

namespace op {
constexpr uint32_t kOpenHKCR = 0x00;
constexpr uint32_t kOpenHKCU = 0x01;
constexpr uint32_t kOpenHKLM = 0x02;
constexpr uint32_t kOpenHKPD = 0x03;
constexpr uint32_t kOpenHKU = 0x04;
constexpr uint32_t kCloseKey = 0x05;
constexpr uint32_t kCreateKey = 0x06;
constexpr uint32_t kDeleteKey = 0x07;
constexpr uint32_t kDeleteValue = 0x08;
constexpr uint32_t kEnumKey = 0x09;
constexpr uint32_t kEnumValue = 0x0A;
constexpr uint32_t kGetKeySecurity = 0x0C;
constexpr uint32_t kLoadKey = 0x0D;
constexpr uint32_t kOpenKey = 0x0F;
constexpr uint32_t kQueryInfoKey = 0x10;
constexpr uint32_t kQueryValue = 0x11;
constexpr uint32_t kRestoreKey = 0x13;
constexpr uint32_t kSaveKey = 0x14;
constexpr uint32_t kSetValue = 0x16;
constexpr uint32_t kUnLoadKey = 0x17;
constexpr uint32_t kOpenHKCC = 0x1B;
}  // namespace op

constexpr Status kBadStubData = 1783;
// The longest name a counted string carries (characters, with the NUL).
constexpr size_t kMaxCounted = 0x7FFF;

// The opening call of a predefined root (HKCR ... HKCC); nullopt for
// anything else.
std::optional<uint32_t> root_opnum(RegKey root);

// ---- Requests

Bytes open_root(uint32_t access);
Bytes handle_only(const ContextHandle& key);  // CloseKey
Bytes open_key(const ContextHandle& parent, StringView path, uint32_t access);
Bytes create_key(const ContextHandle& parent, StringView path, StringView class_name,
                 uint32_t options, uint32_t access);
// DeleteKey, DeleteValue, UnLoadKey and SaveKey: a handle and one name.
Bytes named(const ContextHandle& key, StringView name, bool save = false);
Bytes query_info(const ContextHandle& key, uint32_t class_capacity);
Bytes enum_key(const ContextHandle& key, uint32_t index, uint32_t name_bytes, uint32_t class_bytes);
Bytes enum_value(const ContextHandle& key, uint32_t index, uint32_t name_bytes,
                 uint32_t data_bytes);
Bytes query_value(const ContextHandle& key, StringView name, uint32_t data_bytes);
Bytes set_value(const ContextHandle& key, StringView name, uint32_t type, const Bytes& data);
Bytes key_security(const ContextHandle& key, uint32_t information, uint32_t size);
Bytes load_key(const ContextHandle& root, StringView sub_key, StringView file);
Bytes restore_key(const ContextHandle& key, StringView file, uint32_t flags);

// ---- Replies

Status read_status(const Bytes& reply);
Status read_closed(const Bytes& reply);
Result<ContextHandle> read_handle(const Bytes& reply);
Result<CreatedKey> read_created(const Bytes& reply, ContextHandle& handle);

Result<KeyInfo> read_info(const Bytes& reply);
Result<SubKey> read_enum_key(const Bytes& reply);

// A value as the server holds it: the UTF-16 data for strings. `size` is
// what the server says the data takes (the room it needs after a 234).
Result<Value> read_value(const Bytes& reply, bool with_name);

struct SecurityReply {
    Status status = 0;
    Bytes descriptor;
    uint32_t size = 0;  // the room the server needs after a 122
};
SecurityReply read_security(const Bytes& reply);

}  // namespace vorlek::platform::remote::winreg
