// Windows Sockets of the real system: a session and the addresses of a name.
#include <winsock2.h>
// After winsock2.h, which must come first.
#include <windows.h>

#include "platform/sockets.h"
#include "platform/win32/areas.h"
#include "platform/win32/text.h"

namespace vorlek::platform::win32 {

namespace {

class Win32Sockets : public Sockets {
  public:
    Result<SocketsSession> startup(uint16_t requested) override {
        WSADATA data{};
        if (int e = ::WSAStartup(requested, &data))
            return Result<SocketsSession>::failure(static_cast<Status>(e));
        SocketsSession s;
        s.version = data.wVersion;
        s.max_sockets = data.iMaxSockets;
        return {status::kSuccess, s};
    }

    Status cleanup() override {
        if (::WSACleanup() == 0) return status::kSuccess;
        return static_cast<Status>(::WSAGetLastError());
    }

    Result<std::vector<Ip4Address>> host_addresses(StringView name) override {
        using R = Result<std::vector<Ip4Address>>;
        CStrings c;
        const char* host = c.ansi(name);
        if (c.status()) return R::failure(c.status());
        const hostent* h = ::gethostbyname(host);
        if (!h) return R::failure(static_cast<Status>(::WSAGetLastError()));
        std::vector<Ip4Address> out;
        if (h->h_addrtype == AF_INET && h->h_length == 4) {
            for (char** p = h->h_addr_list; *p; ++p) {
                Ip4Address a;
                for (size_t i = 0; i < a.size(); ++i)
                    a[i] = static_cast<uint8_t>((*p)[i]);
                out.push_back(a);
            }
        }
        return {status::kSuccess, std::move(out)};
    }
};

}  // namespace

std::shared_ptr<Sockets> make_sockets() {
    return std::make_shared<Win32Sockets>();
}

}  // namespace vorlek::platform::win32
