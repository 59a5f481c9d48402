// The backend's connection to the servers it administers: one identity for
// the process (Samba's client library keeps a single context), one SMB
// connection and one pipe per interface and server, kept for the run.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "automation/string.h"
#include "platform/status.h"

struct libnetapi_ctx;

namespace vorlek::platform::remote {

using Bytes = std::vector<uint8_t>;

// ERROR_NOT_SUPPORTED: what an operation answers that only the machine the
// script runs on could do (processes, tokens, the console, dialogs).
constexpr Status kNotSupported = 50;
constexpr Status kRpcServerUnavailable = 1722;  // RPC_S_SERVER_UNAVAILABLE
constexpr Status kRpcCallFailed = 1726;         // RPC_S_CALL_FAILED
constexpr Status kLogonFailure = 1326;          // ERROR_LOGON_FAILURE
constexpr Status kBadStubData = 1783;           // RPC_X_BAD_STUB_DATA: a reply that does not parse

// Who the backend acts as, and on which machine by default.
struct Credentials {
    std::string server;  // the target: a NetBIOS or DNS name, or an address
    std::string domain;  // "CORP"; empty: the user's own
    std::string user;    // "Administrator"
    std::string password;
    bool kerberos = false;  // sign in with the ticket in the credential cache
};

// The MS-RPC interfaces the backend speaks over named pipes.
enum class Pipe : int { Samr, Lsa, Srvsvc, Wkssvc, Svcctl, Winreg, Eventlog, Initshutdown };

class Session {
  public:
    // Sets up the client library's context with `credentials`; nothing is
    // contacted until the first call.
    static Result<std::shared_ptr<Session>> open(Credentials credentials);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const Credentials& credentials() const noexcept { return credentials_; }
    ::libnetapi_ctx* context() const noexcept { return context_; }

    // The host a caller's server name addresses, as the libraries take it
    // (UTF-8): "" is the target machine; "\\NAME" and "NAME" are NAME, and the
    // target's own NetBIOS name (once learnt) is the target as it was given,
    // so that a name the server reports about itself reaches it; so is the
    // name of the machine the script runs on, which stands for "". 123 for a
    // name with a NUL inside or longer than a DNS name can be.
    Result<std::string> host(StringView server) const;
    // Whether `host` (as `host()` gave it) is the target machine.
    bool is_target(const std::string& host) const;
    // Records the target's NetBIOS name, as the server reported it.
    void set_target_name(StringView name);

    // One MS-RPC request on `pipe` at `host`: the NDR bytes of the request's
    // [in] parameters in, those of the reply's [out] parameters back. The
    // status is the transport's: 0, or the Windows code of why the pipe could
    // not be opened or the call failed (1722, 1326, 5, 1726 ...).
    Result<Bytes> call(const std::string& host, Pipe pipe, uint32_t opnum, const Bytes& request);

    // Serialises calls into the client library, which is not thread-safe.
    std::recursive_mutex& library_lock() noexcept { return lock_; }

  private:
    explicit Session(Credentials credentials) : credentials_(std::move(credentials)) {}
    Credentials credentials_;
    ::libnetapi_ctx* context_ = nullptr;
    std::string target_name_;  // upper case, empty until learnt
    std::recursive_mutex lock_;
    bool trace_ = false;  // VORLEK_REMOTE_TRACE: each call on stderr
};

// What the client library answers for any connection it could not make,
// whatever the reason.
constexpr Status kCannotComplete = 1003;

// Why no connection to `host` was made, as Windows says it: 53 for a name
// that resolves to nothing or where nothing takes an SMB connection within
// a few seconds, 1326 when the server is there and refused the session.
Status connection_failure(const std::string& host);

// The Windows code for an NTSTATUS a server or the RPC layer answered.
Status win32_from_ntstatus(uint32_t ntstatus);

// The Linux host's name as a NetBIOS name (its first label, upper case, at
// most 15 characters): the machine a script runs on.
String host_computer_name();

// A text the libraries answered (UTF-8; null reads as empty).
String utf16(const char* text);

}  // namespace vorlek::platform::remote
