#include "platform/sim/areas.h"
#include "platform/sim/codepages.h"

namespace vorlek::sim {

namespace {

class SimSystem : public platform::System {
  public:
    explicit SimSystem(Network& net) : net_(net) {}

    std::optional<String> environment_variable(StringView name) override {
        if (net_.faults().take(u"GetEnvironmentVariable")) return std::nullopt;
        return net_.local().env(name);
    }

    platform::Result<String> computer_name() override {
        if (auto s = net_.faults().take(u"GetComputerName"))
            return platform::Result<String>::failure(*s);
        return {platform::status::kSuccess, net_.local().name};
    }

  private:
    Network& net_;
};

class SimLocale : public platform::Locale {
  public:
    explicit SimLocale(Network& net) : net_(net) {}

    uint32_t ansi_code_page() override { return net_.local().ansi_code_page; }
    uint32_t user_default_lcid() override { return net_.local().user_lcid; }
    uint32_t system_default_lcid() override { return net_.local().system_lcid; }

    platform::Result<std::vector<uint8_t>> wide_to_multibyte(
        uint32_t code_page, StringView text, std::optional<char> default_char) override {
        if (auto s = net_.faults().take(u"WideCharToMultiByte"))
            return platform::Result<std::vector<uint8_t>>::failure(*s);
        if (code_page == platform::kCodePageAnsi) code_page = net_.local().ansi_code_page;
        return encode(code_page, text, default_char);
    }

    platform::Result<String> multibyte_to_wide(uint32_t code_page,
                                               const std::vector<uint8_t>& bytes) override {
        if (auto s = net_.faults().take(u"MultiByteToWideChar"))
            return platform::Result<String>::failure(*s);
        if (code_page == platform::kCodePageAnsi) code_page = net_.local().ansi_code_page;
        return decode(code_page, bytes);
    }

    String upper_case(StringView text, uint32_t) override { return to_upper(text); }

  private:
    Network& net_;
};

}  // namespace

struct SimPlatform::Areas {
    explicit Areas(Network& net)
        : system(net),
          locale(net),
          time(make_time(net)),
          messages(make_messages(net)),
          servers(make_servers(net)) {}
    SimSystem system;
    SimLocale locale;
    std::unique_ptr<platform::Time> time;
    std::unique_ptr<platform::Messages> messages;
    std::unique_ptr<platform::Servers> servers;
};

SimPlatform::SimPlatform(std::shared_ptr<Network> network)
    : network_(std::move(network)), areas_(std::make_unique<Areas>(*network_)) {}

SimPlatform::~SimPlatform() = default;

platform::System& SimPlatform::system() {
    return areas_->system;
}
platform::Locale& SimPlatform::locale() {
    return areas_->locale;
}
platform::Time& SimPlatform::time() {
    return *areas_->time;
}
platform::Messages& SimPlatform::messages() {
    return *areas_->messages;
}
platform::Servers& SimPlatform::servers() {
    return *areas_->servers;
}

}  // namespace vorlek::sim
