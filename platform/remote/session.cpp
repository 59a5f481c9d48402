#include "platform/remote/session.h"

#include <netapi.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "automation/text.h"
#include "platform/c_strings.h"
#include "platform/remote/rpc_glue.h"

namespace vorlek::platform::remote {

namespace {

// NTSTATUS values of the RPC layer and the servers, as Windows reports them
// to a caller of the same call.
struct NtMapping {
    uint32_t ntstatus;
    Status win32;
};
constexpr std::array kNtStatuses{
    NtMapping{0xC0000022, 5},     // ACCESS_DENIED
    NtMapping{0xC000006D, 1326},  // LOGON_FAILURE
    NtMapping{0xC000006A, 1326},  // WRONG_PASSWORD
    NtMapping{0xC0000064, 1326},  // NO_SUCH_USER (at logon)
    NtMapping{0xC0000072, 1331},  // ACCOUNT_DISABLED
    NtMapping{0xC0000234, 1909},  // ACCOUNT_LOCKED_OUT
    NtMapping{0xC0000071, 1330},  // PASSWORD_EXPIRED
    NtMapping{0xC0000224, 1907},  // PASSWORD_MUST_CHANGE
    NtMapping{0xC000000D, 87},    // INVALID_PARAMETER
    NtMapping{0xC0000008, 6},     // INVALID_HANDLE
    NtMapping{0xC0000017, 8},     // NO_MEMORY
    NtMapping{0xC0000034, 2},     // OBJECT_NAME_NOT_FOUND
    NtMapping{0xC0000033, 123},   // OBJECT_NAME_INVALID
    NtMapping{0xC00000CC, 67},    // BAD_NETWORK_NAME
    NtMapping{0xC00000BE, 53},    // BAD_NETWORK_PATH
    NtMapping{0xC000023C, 1231},  // NETWORK_UNREACHABLE
    NtMapping{0xC000023D, 1232},  // HOST_UNREACHABLE
    NtMapping{0xC0000236, 1722},  // CONNECTION_REFUSED
    NtMapping{0xC00000B5, 1722},  // IO_TIMEOUT
    NtMapping{0xC000020C, 1722},  // CONNECTION_DISCONNECTED
    NtMapping{0xC000020D, 1722},  // CONNECTION_RESET
    NtMapping{0xC0000241, 1722},  // CONNECTION_ABORTED
    NtMapping{0xC00000B0, 1722},  // PIPE_DISCONNECTED
    NtMapping{0xC00000B1, 1722},  // PIPE_CLOSING
    NtMapping{0xC0000037, 1722},  // PORT_DISCONNECTED
    NtMapping{0xC002002E, 1745},  // RPC_NT_PROCNUM_OUT_OF_RANGE
    NtMapping{0xC0020030, 1783},  // RPC_NT_BAD_STUB_DATA
    NtMapping{0xC0030005, 6},     // RPC_NT_SS_CONTEXT_MISMATCH: a handle the server no longer has
    NtMapping{0xC002000C, 1717},  // RPC_NT_UNKNOWN_IF
    NtMapping{0xC0000061, 1314},  // PRIVILEGE_NOT_HELD
    NtMapping{0xC00000BB, 50},    // NOT_SUPPORTED
    NtMapping{0xC0000002, 1},     // NOT_IMPLEMENTED
    NtMapping{0xC0000023, 122},   // BUFFER_TOO_SMALL
    NtMapping{0x80000005, 234},   // BUFFER_OVERFLOW
    NtMapping{0x8000001A, 259},   // NO_MORE_ENTRIES
    NtMapping{0x00000105, 234},   // MORE_ENTRIES
    NtMapping{0xC0000073, 1332},  // NONE_MAPPED
    NtMapping{0x00000107, 1332},  // SOME_NOT_MAPPED (some names mapped)
    NtMapping{0xC00000DF, 1355},  // NO_SUCH_DOMAIN
    NtMapping{0xC0000060, 1313},  // NO_SUCH_PRIVILEGE
    NtMapping{0xC0000063, 1316},  // USER_EXISTS
    NtMapping{0xC0000065, 1318},  // GROUP_EXISTS
    NtMapping{0xC0000066, 1319},  // NO_SUCH_GROUP
    NtMapping{0xC0000067, 1320},  // MEMBER_IN_GROUP
    NtMapping{0xC0000068, 1321},  // MEMBER_NOT_IN_GROUP
    NtMapping{0xC0000151, 1376},  // NO_SUCH_ALIAS
    NtMapping{0xC0000152, 1377},  // MEMBER_NOT_IN_ALIAS
    NtMapping{0xC0000153, 1378},  // MEMBER_IN_ALIAS
    NtMapping{0xC0000154, 1379},  // ALIAS_EXISTS
    NtMapping{0xC000006C, 1325},  // PASSWORD_RESTRICTION
    NtMapping{0xC0000078, 1337},  // INVALID_SID
    NtMapping{0xC0000043, 32},    // SHARING_VIOLATION
    NtMapping{0xC0000035, 183},   // OBJECT_NAME_COLLISION
    NtMapping{0xC0000011, 38},    // END_OF_FILE
    NtMapping{0xC000003A, 3},     // OBJECT_PATH_NOT_FOUND
    NtMapping{0xC0000039, 161},   // OBJECT_PATH_INVALID
    NtMapping{0xC000000F, 2},     // NO_SUCH_FILE
    NtMapping{0xC0000188, 1502},  // LOG_FILE_FULL
    NtMapping{0xC0000189, 1500},  // EVENTLOG_FILE_CORRUPT
    NtMapping{0xC000018A, 1501},  // EVENTLOG_CANT_START
    NtMapping{0xC0000197, 1503},  // EVENTLOG_FILE_CHANGED
};

}  // namespace

// How long a server has to accept a connection before it counts as silent.
constexpr int kConnectMillis = 5000;

// The client library says 1003 for a name that resolves to nothing, a
// server that does not answer and a refused sign-in alike; whether anything
// takes an SMB connection at the address tells them apart.
Status connection_failure(const std::string& host) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), "445", &hints, &found) != 0 || !found) return status::kBadNetPath;
    bool answered = false;
    for (const addrinfo* a = found; a && !answered; a = a->ai_next) {
        const int fd = socket(a->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) continue;
        if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            answered = true;
        } else if (errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int error = 0;
            socklen_t length = sizeof error;
            answered = poll(&p, 1, kConnectMillis) == 1 &&
                       getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        close(fd);
    }
    freeaddrinfo(found);
    return answered ? kLogonFailure : status::kBadNetPath;
}

Status win32_from_ntstatus(uint32_t ntstatus) {
    if (ntstatus == 0) return status::kSuccess;
    for (const auto& m : kNtStatuses) {
        if (m.ntstatus == ntstatus) return m.win32;
    }
    // Anything else of the RPC run time is a failed call; other failures
    // keep their number, which FormatAPIMessage does not know either way.
    if ((ntstatus & 0xFFFF0000) == 0xC0020000 || (ntstatus & 0xFFFF0000) == 0xC0030000)
        return kRpcCallFailed;
    return ntstatus;
}

String host_computer_name() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return u"LOCALHOST";
    std::string host(name);
    host = host.substr(0, host.find('.')).substr(0, 15);
    return to_upper(from_utf8(host));
}

String utf16(const char* text) {
    return text ? from_utf8(text) : String();
}

Result<std::shared_ptr<Session>> Session::open(Credentials credentials) {
    std::shared_ptr<Session> session(new Session(std::move(credentials)));
    session->trace_ = std::getenv("VORLEK_REMOTE_TRACE") != nullptr;
    const Credentials& c = session->credentials_;
    if (c.server.empty() || c.server.find('\0') != std::string::npos ||
        c.user.find('\0') != std::string::npos || c.domain.find('\0') != std::string::npos ||
        c.password.find('\0') != std::string::npos)
        return {status::kInvalidParameter, {}};
    ::libnetapi_ctx* ctx = nullptr;
    if (libnetapi_init(&ctx) != 0 || !ctx) return {status::kNotEnoughMemory, {}};
    session->context_ = ctx;
    libnetapi_set_debuglevel(ctx, "0");
    if (!c.user.empty()) libnetapi_set_username(ctx, c.user.c_str());
    if (!c.domain.empty()) libnetapi_set_workgroup(ctx, c.domain.c_str());
    if (c.kerberos) {
        libnetapi_set_use_ccache(ctx);
        libnetapi_set_use_kerberos(ctx);
        // Signing in with the ticket: without a password set, the library
        // would ask for one on the terminal.
        libnetapi_set_password(ctx, "");
    } else {
        libnetapi_set_password(ctx, c.password.c_str());
    }
    return {status::kSuccess, std::move(session)};
}

Session::~Session() {
    if (context_) libnetapi_free(context_);
}

Result<std::string> Session::host(StringView server) const {
    if (!fits_c_string(server)) return {status::kInvalidName, {}};
    StringView name = server;
    if (name.starts_with(u"\\\\")) name.remove_prefix(2);
    // A DNS name is at most 255 characters; nothing longer names a machine.
    if (name.size() > 255 || name.find(u'\\') != StringView::npos)
        return {status::kInvalidName, {}};
    if (name.empty()) return {status::kSuccess, credentials_.server};
    std::string host = to_utf8(name);
    // The classes name the script's machine by its own name where it was ""
    // (GetComputerName): that is the target too.
    const std::string upper = to_utf8(to_upper(name));
    if ((!target_name_.empty() && upper == target_name_) || upper == to_utf8(host_computer_name()))
        return {status::kSuccess, credentials_.server};
    return {status::kSuccess, std::move(host)};
}

bool Session::is_target(const std::string& host) const {
    return host == credentials_.server;
}

void Session::set_target_name(StringView name) {
    target_name_ = to_utf8(to_upper(name));
}

Result<Bytes> Session::call(const std::string& host, Pipe pipe, uint32_t opnum,
                            const Bytes& request) {
    std::lock_guard guard(lock_);
    uint8_t* reply = nullptr;
    size_t length = 0;
    uint32_t code = 0;
    const auto failure =
        vorlek_rpc_call(context_, host.c_str(), static_cast<vorlek_rpc_pipe>(pipe), opnum,
                        request.data(), request.size(), &reply, &length, &code);
    if (trace_) {
        std::fprintf(stderr,
                     "vorlek-remote: %s pipe %d opnum %u: %zu bytes out, %s %08x, %zu bytes back\n",
                     host.c_str(), static_cast<int>(pipe), opnum, request.size(),
                     failure == VORLEK_RPC_OK     ? "ok"
                     : failure == VORLEK_RPC_PIPE ? "pipe"
                                                  : "call",
                     code, length);
    }
    if (failure == VORLEK_RPC_PIPE) {
        if (code >= 0x80000000) return {win32_from_ntstatus(code), {}};
        if (code == kCannotComplete) return {connection_failure(host), {}};
        return {code ? code : kRpcServerUnavailable, {}};
    }
    if (failure == VORLEK_RPC_CALL) return {win32_from_ntstatus(code), {}};
    Bytes bytes(reply, reply + length);
    std::free(reply);
    return {status::kSuccess, std::move(bytes)};
}

}  // namespace vorlek::platform::remote
