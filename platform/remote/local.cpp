// The local machine's own answers under the remote backend: the process
// environment and host name of the Linux host, the real clock (in UTC), and
// the computations that need no machine (code pages, case mapping, the
// system's message texts), which the simulated platform already does.
#include <chrono>
#include <thread>

#include "automation/text.h"
#include "platform/locale.h"
#include "platform/messages.h"
#include "platform/remote/areas.h"
#include "platform/system.h"
#include "platform/time.h"

extern char** environ;

namespace vorlek::platform::remote {

namespace {

class LocalSystem final : public System {
  public:
    // Names compare without regard to case, as on the system.
    Result<std::optional<String>> environment_variable(StringView name) override {
        if (!fits_c_string_view(name)) return {status::kInvalidName, {}};
        for (char** entry = environ; entry && *entry; ++entry) {
            String text = from_utf8(*entry);
            const size_t eq = text.find(u'=');
            if (eq == String::npos) continue;
            if (equal_ignore_case(StringView(text).substr(0, eq), name))
                return {status::kSuccess, String(StringView(text).substr(eq + 1))};
        }
        return {status::kSuccess, std::nullopt};
    }
    Result<String> computer_name() override { return {status::kSuccess, host_computer_name()}; }

  private:
    static bool fits_c_string_view(StringView text) { return text.find(u'\0') == StringView::npos; }
};

// The real clock. The conversions are plain calendar arithmetic, which the
// local computations do; the Linux host's time zone is not the script's
// concern, so local time is UTC.
class LocalTime final : public Time {
  public:
    explicit LocalTime(std::shared_ptr<Platform> local) : local_(std::move(local)) {}
    FileTime now() override {
        using namespace std::chrono;
        const auto since_1970 =
            duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
        constexpr uint64_t k1601To1970 = 116444736000000000ULL;
        return k1601To1970 + static_cast<uint64_t>(since_1970 / 100);
    }
    Result<SystemTime> file_time_to_system_time(FileTime time) override {
        return local_->time().file_time_to_system_time(time);
    }
    Result<FileTime> system_time_to_file_time(const SystemTime& time) override {
        return local_->time().system_time_to_file_time(time);
    }
    Result<FileTime> file_time_to_local_file_time(FileTime time) override {
        if (time >= (uint64_t{1} << 63)) return {status::kInvalidParameter, {}};
        return {status::kSuccess, time};
    }
    Result<TimeZone> time_zone() override {
        TimeZone zone;
        zone.standard_name = u"Coordinated Universal Time";
        zone.daylight_name = u"Coordinated Universal Time";
        return {status::kSuccess, zone};
    }
    Result<SystemTime> system_time_to_tz_local_time(const TimeZone& zone,
                                                    const SystemTime& utc) override {
        return local_->time().system_time_to_tz_local_time(zone, utc);
    }
    void sleep(uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

  private:
    std::shared_ptr<Platform> local_;
};

class LocalLocale final : public Locale {
  public:
    explicit LocalLocale(std::shared_ptr<Platform> local) : local_(std::move(local)) {}
    uint32_t ansi_code_page() override { return local_->locale().ansi_code_page(); }
    uint32_t user_default_lcid() override { return local_->locale().user_default_lcid(); }
    uint32_t system_default_lcid() override { return local_->locale().system_default_lcid(); }
    Result<std::vector<uint8_t>> wide_to_multibyte(uint32_t code_page, StringView text,
                                                   std::optional<char> default_char) override {
        return local_->locale().wide_to_multibyte(code_page, text, default_char);
    }
    Result<String> multibyte_to_wide(uint32_t code_page,
                                     const std::vector<uint8_t>& bytes) override {
        return local_->locale().multibyte_to_wide(code_page, bytes);
    }
    Result<String> upper_case(StringView text, uint32_t lcid) override {
        return local_->locale().upper_case(text, lcid);
    }

  private:
    std::shared_ptr<Platform> local_;
};

// The system's message texts; message files of remote machines are not
// within reach (their paths are the server's), so loading one finds none.
class LocalMessages final : public Messages {
  public:
    explicit LocalMessages(std::shared_ptr<Platform> local) : local_(std::move(local)) {}
    Result<ModuleHandle> load_data_file(StringView path) override {
        return local_->messages().load_data_file(path);
    }
    Status free_module(ModuleHandle module) override {
        return local_->messages().free_module(module);
    }
    Result<String> format_message(ModuleHandle module, uint32_t message_id, uint32_t lang_id,
                                  uint32_t buffer_chars) override {
        return local_->messages().format_message(module, message_id, lang_id, buffer_chars);
    }

  private:
    std::shared_ptr<Platform> local_;
};

}  // namespace

std::shared_ptr<System> make_system(const Context&) {
    return std::make_shared<LocalSystem>();
}
std::shared_ptr<Time> make_time(const Context& context) {
    return std::make_shared<LocalTime>(context.local);
}
std::shared_ptr<Locale> make_locale(const Context& context) {
    return std::make_shared<LocalLocale>(context.local);
}
std::shared_ptr<Messages> make_messages(const Context& context) {
    return std::make_shared<LocalMessages>(context.local);
}

}  // namespace vorlek::platform::remote
