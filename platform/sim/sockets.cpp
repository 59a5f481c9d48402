// Windows Sockets and name resolution on the simulated network.
#include "platform/sim/sockets.h"

#include <optional>
#include <vector>

#include "platform/sim/areas.h"
#include "platform/sim/network.h"
#include "platform/sockets.h"

namespace vorlek::sim {

namespace {

using platform::Result;
using platform::Status;

constexpr Status kNotInitialised = 10093;       // WSANOTINITIALISED
constexpr Status kVersionNotSupported = 10092;  // WSAVERNOTSUPPORTED
constexpr uint16_t kHighestVersion = 0x0202;    // 2.2

// A dotted address ("192.168.1.20"), which resolves to itself.
std::optional<platform::Ip4Address> dotted(StringView name) {
    platform::Ip4Address a{};
    size_t part = 0;
    uint32_t value = 0;
    size_t digits = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == u'.') {
            if (digits == 0 || part > 3) return std::nullopt;
            a[part++] = static_cast<uint8_t>(value);
            value = 0;
            digits = 0;
        } else if (name[i] >= u'0' && name[i] <= u'9' && digits < 3) {
            value = value * 10 + static_cast<uint32_t>(name[i] - u'0');
            if (value > 255) return std::nullopt;
            ++digits;
        } else {
            return std::nullopt;
        }
    }
    if (part != 4) return std::nullopt;
    return a;
}

class SimSockets : public platform::Sockets {
  public:
    explicit SimSockets(Network& net) : net_(net), sessions_(net.handles(), HandleKind::Sockets) {}

    Result<platform::SocketsSession> startup(uint16_t requested) override {
        auto call = net_.enter(op::WSAStartup);
        if (!call) return call.failure<platform::SocketsSession>();
        // Versions below 1.1 are not supported; above 2.2 the highest is granted.
        const uint16_t major = requested & 0xFF, minor = requested >> 8;
        if (major < 1 || (major == 1 && minor < 1))
            return Result<platform::SocketsSession>::failure(kVersionNotSupported);
        const bool above = major > 2 || (major == 2 && minor > 2);
        platform::SocketsSession s;
        s.version = above ? kHighestVersion : requested;
        s.max_sockets = call.machine().sockets.max_sockets;
        open_.push_back(sessions_.open(0));
        return {platform::status::kSuccess, s};
    }

    Status cleanup() override {
        auto call = net_.enter(op::WSACleanup);
        if (!call) return call.status();
        if (open_.empty()) return kNotInitialised;
        sessions_.close(open_.back());
        open_.pop_back();
        return platform::status::kSuccess;
    }

    Result<std::vector<platform::Ip4Address>> host_addresses(StringView name) override {
        using R = Result<std::vector<platform::Ip4Address>>;
        auto call = net_.enter(op::gethostbyname, {name});
        if (!call) return call.failure<std::vector<platform::Ip4Address>>();
        if (open_.empty()) return R::failure(kNotInitialised);
        if (auto a = dotted(name)) return {platform::status::kSuccess, {*a}};
        if (equal_ignore_case(name, u"localhost"))
            return {platform::status::kSuccess, {platform::Ip4Address{127, 0, 0, 1}}};
        // "" is the local host; a name with a path or share in it is none.
        if (name.find_first_of(u"\\/ ") != StringView::npos)
            return R::failure(platform::status::kHostNotFound);
        Machine* m = net_.find(name);
        if (!m || m->sockets.adapters.empty()) return R::failure(platform::status::kHostNotFound);
        std::vector<platform::Ip4Address> out;
        for (const Adapter& a : m->sockets.adapters)
            out.push_back(a.ip);
        return {platform::status::kSuccess, std::move(out)};
    }

  private:
    Network& net_;
    HandleTable<int> sessions_;
    std::vector<Handle> open_;  // started sessions, the latest last
};

}  // namespace

std::shared_ptr<platform::Sockets> make_sockets(Network& net) {
    return std::make_shared<SimSockets>(net);
}

}  // namespace vorlek::sim
