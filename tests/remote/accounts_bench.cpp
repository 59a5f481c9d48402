// Time per account of UserManager.InitUsers against the DC, beside the raw
// enumerations at levels 0 and 3 over the same connection:
//   accounts_bench SERVER DOMAIN\user PASSWORD_FILE [ACCOUNTS]
// makes the accounts bench0000... up to ACCOUNTS (1,000) in the domain,
// times each way three times (best kept) and deletes them again.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

// Samba's header, after <cstdint>, which it needs.
#include <netapi.h>

#include "library/client.h"
#include "platform/accounts.h"
#include "platform/remote/remote.h"

using namespace vorlek;
using Clock = std::chrono::steady_clock;

namespace {

template <class Body>
double best_seconds(Body&& body) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        body();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

uint32_t raw_enum(const char* server, uint32_t level) {
    uint8_t* buffer = nullptr;
    uint32_t read = 0, total = 0, resume = 0, all = 0, rc = 0;
    do {
        rc = NetUserEnum(server, level, 0, &buffer, 0xFFFFFFFF, &read, &total, &resume);
        all += read;
        if (buffer) NetApiBufferFree(buffer);
        buffer = nullptr;
    } while (rc == 234);
    return rc == 0 ? all : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: accounts_bench SERVER DOMAIN\\user PASSWORD_FILE [ACCOUNTS]\n");
        return 2;
    }
    platform::remote::Credentials c;
    c.server = argv[1];
    const std::string user = argv[2];
    const size_t slash = user.find('\\');
    c.domain = slash == std::string::npos ? "" : user.substr(0, slash);
    c.user = slash == std::string::npos ? user : user.substr(slash + 1);
    std::ifstream file(argv[3]);
    std::getline(file, c.password);
    const int accounts = argc > 4 ? std::atoi(argv[4]) : 1000;
    auto made = platform::remote::make_platform(c);
    if (!made.ok()) return 1;
    platform::ScopedPlatform scope(made.value);
    auto& store = platform::current().accounts();

    std::vector<String> added;
    const auto start = Clock::now();
    for (int i = 0; i < accounts; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "bench%04d", i);
        platform::UserInfo u;
        u.name = from_utf8(name);
        u.password = u"Bench#Pass1";
        uint32_t parm_err = 0;
        const platform::Status rc = store.add_user(u"", 1, u, parm_err);
        // One left by an earlier run that stopped half way is ours too.
        if (rc == 0 || rc == platform::status::kUserExists)
            added.push_back(u.name);
        else
            std::fprintf(stderr, "add %s: %u\n", name, rc);
    }
    std::printf("%zu accounts made or found in %.1f s\n", added.size(),
                std::chrono::duration<double>(Clock::now() - start).count());

    uint32_t listed = 0;
    const double level0 = best_seconds([&] { listed = raw_enum(c.server.c_str(), 0); });
    const double level3 = best_seconds([&] { raw_enum(c.server.c_str(), 3); });
    int32_t loaded = 0, status = 0;
    const double init = best_seconds([&] {
        auto u = client::create(u"Vorlek.UserManager");
        status = u.call(u"InitUsers", {u"", 0}).to_long();
        loaded = client::Dispatch(u.get(u"Users")).get(u"Count").to_long();
    });
    const double n = listed ? listed : 1;
    std::printf(
        "%u accounts: NetUserEnum level 0 %.3f ms/account, level 3 %.3f ms/account, "
        "InitUsers %.3f ms/account (status %d, %d loaded, %.2fx level 3)\n",
        listed, 1000 * level0 / n, 1000 * level3 / n, 1000 * init / n, status, loaded,
        init / level3);

    for (const String& name : added)
        store.delete_user(u"", name);
    return status == 0 && static_cast<uint32_t>(loaded) == listed ? 0 : 1;
}
