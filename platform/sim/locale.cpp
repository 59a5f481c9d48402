// Code pages, locale ids and upper case of the simulated local machine.
#include "platform/sim/locale.h"

#include "platform/locale.h"
#include "platform/sim/areas.h"
#include "platform/sim/codepages.h"
#include "platform/sim/network.h"

namespace vorlek::sim {

namespace {

class SimLocale : public platform::Locale {
  public:
    explicit SimLocale(Network& net) : net_(net) {}

    uint32_t ansi_code_page() override { return net_.hold().machine().locale.ansi_code_page; }
    uint32_t user_default_lcid() override { return net_.hold().machine().locale.user_lcid; }
    uint32_t system_default_lcid() override { return net_.hold().machine().locale.system_lcid; }

    platform::Result<std::vector<uint8_t>> wide_to_multibyte(
        uint32_t code_page, StringView text, std::optional<char> default_char) override {
        auto call = net_.enter(op::WideCharToMultiByte);
        if (!call) return call.failure<std::vector<uint8_t>>();
        if (code_page == platform::kCodePageAnsi) code_page = call.machine().locale.ansi_code_page;
        return encode(code_page, text, default_char);
    }

    platform::Result<String> multibyte_to_wide(uint32_t code_page,
                                               const std::vector<uint8_t>& bytes) override {
        auto call = net_.enter(op::MultiByteToWideChar);
        if (!call) return call.failure<String>();
        if (code_page == platform::kCodePageAnsi) code_page = call.machine().locale.ansi_code_page;
        return decode(code_page, bytes);
    }

    // One case mapping serves every locale of the simulation.
    platform::Result<String> upper_case(StringView text, uint32_t) override {
        auto call = net_.enter(op::LCMapString);
        if (!call) return call.failure<String>();
        return {platform::status::kSuccess, to_upper(text)};
    }

  private:
    Network& net_;
};

}  // namespace

std::shared_ptr<platform::Locale> make_locale(Network& net) {
    return std::make_shared<SimLocale>(net);
}

}  // namespace vorlek::sim
