// The service control manager's RPC interface (svcctl) as the Services area
// speaks it: each request's [in] parameters as NDR bytes, and each reply
// taken apart into the platform's records and the server's status. Pure
// functions of bytes, so that a malformed or truncated reply is a status
// (1783, as the RPC run time reports bad stub data), never a read past the end.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/remote/ndr.h"
#include "platform/remote/session.h"
#include "platform/services.h"

namespace vorlek::platform::remote::svcctl {

// The operations' numbers.
namespace op {
constexpr uint32_t kCloseServiceHandle = 0x00;
constexpr uint32_t kControlService = 0x01;
constexpr uint32_t kDeleteService = 0x02;
constexpr uint32_t kLockServiceDatabase = 0x03;
constexpr uint32_t kQueryServiceStatus = 0x06;
constexpr uint32_t kUnlockServiceDatabase = 0x08;
constexpr uint32_t kChangeServiceConfigW = 0x0B;
constexpr uint32_t kCreateServiceW = 0x0C;
constexpr uint32_t kEnumServicesStatusW = 0x0E;
constexpr uint32_t kOpenSCManagerW = 0x0F;
constexpr uint32_t kOpenServiceW = 0x10;
constexpr uint32_t kQueryServiceConfigW = 0x11;
constexpr uint32_t kQueryServiceLockStatusW = 0x12;
constexpr uint32_t kStartServiceW = 0x13;
constexpr uint32_t kQueryServiceStatusEx = 0x28;
constexpr uint32_t kEnumServicesStatusExW = 0x2A;
}  // namespace op

constexpr Status kBadStubData = 1783;  // RPC_X_BAD_STUB_DATA: a reply that does not parse
// The largest buffers the server takes for a configuration and a listing.
constexpr uint32_t kMaxConfigBuffer = 8 * 1024;
constexpr uint32_t kMaxEnumBuffer = 256 * 1024;

// ---- Requests

Bytes open_manager(StringView machine, uint32_t access);
// The requests that take only a handle: close, delete, lock, unlock, and
// QueryServiceStatus.
Bytes handle_only(const ContextHandle& handle);
Bytes open_service(const ContextHandle& manager, StringView name, uint32_t access);
// EnumServicesStatusExW (level SC_ENUM_PROCESS_INFO) when `ex`, else
// EnumServicesStatusW, from `resume` with a buffer of `offered` bytes.
Bytes enumerate(const ContextHandle& manager, uint32_t type, uint32_t state, uint32_t offered,
                uint32_t resume, bool ex);
// CreateServiceW; the password goes as given (callers send none: see services.cpp).
Bytes create_service(const ContextHandle& manager, const NewService& service);
Bytes query_status_ex(const ContextHandle& service);
Bytes query_config(const ContextHandle& service, uint32_t offered);
Bytes query_lock_status(const ContextHandle& manager, uint32_t offered);
Bytes start(const ContextHandle& service);
Bytes control(const ContextHandle& service, uint32_t control);
Bytes change_config(const ContextHandle& service, const ConfigChange& change);

// A dependency list as the calls send it: the names, each ended by a NUL,
// and one more NUL.
Bytes dependency_bytes(StringView run);
// A dependency list as a server sends it back (names separated by "/" or by
// NULs) as the platform's run of NUL-ended names closed by an empty one.
String dependency_run(StringView wire);

// ---- Replies

// The server's status alone (close, delete, start, unlock, change config...).
Status read_status(const Bytes& reply, bool tag_first = false);
// A reply that hands a closed handle back (close, unlock): its status.
Status read_closed(const Bytes& reply);
// A reply that hands out a handle (open, lock, create): the handle and the status.
Result<ContextHandle> read_handle(const Bytes& reply, bool tag_first = false);

struct EnumReply {
    Status status = 0;  // 234 when more follow from `resume`
    std::vector<ServiceEntry> entries;
    uint32_t needed = 0;
    uint32_t resume = 0;
};
EnumReply read_enumeration(const Bytes& reply, bool ex);

// QueryServiceStatusEx's SERVICE_STATUS_PROCESS; QueryServiceStatus's and
// ControlService's SERVICE_STATUS (the last two fields zero).
Result<ServiceStatus> read_status_process(const Bytes& reply);
Result<ServiceStatus> read_service_status(const Bytes& reply);

struct ConfigReply {
    Status status = 0;
    ServiceConfig config;
    uint32_t needed = 0;
};
ConfigReply read_config(const Bytes& reply);
Result<LockStatus> read_lock_status(const Bytes& reply);

}  // namespace vorlek::platform::remote::svcctl
