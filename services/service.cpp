#include "services/service.h"

#include "automation/text.h"
#include "computers/machine_names.h"
#include "platform/platform.h"
#include "services/service_text.h"

namespace vorlek {

namespace {

using platform::ScHandle;
using platform::Status;
namespace svc = platform::svc;
namespace status = platform::status;

constexpr int32_t kBadArgument = 87;
constexpr uint32_t kRead = svc::kGenericRead;
constexpr uint32_t kStateAll = svc::kStateAll;

platform::Services& manager() {
    return platform::current().services();
}

// The local-computer default of the strComputer parameters: one NUL.
const String& local_default() {
    static const String text(1, u'\0');
    return text;
}

// A manager or service handle a member opened, closed when it goes (on
// every path, a run-time error's included).
class Held {
  public:
    explicit Held(ScHandle h = 0) : handle_(h) {}
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() { reset(); }
    ScHandle get() const noexcept { return handle_; }
    void reset(ScHandle h = 0) {
        if (handle_) manager().close(handle_);
        handle_ = h;
    }

  private:
    ScHandle handle_;
};

// The machine name the manager is opened on: "" for the local machine
// (named in any case, or left at the default), else "\\NAME".
String target(StringView computer) {
    if (computer.empty() || computer == local_default()) return {};
    return machines::normalized_target(computer);
}

// The Computer text: the name as the caller wrote it, or the local one.
String computer_text(StringView computer) {
    if (computer.empty() || computer == local_default()) return machines::local_machine_name();
    return String(computer);
}

String or_default(StringView text, StringView no_text) {
    return text.empty() ? String(no_text) : String(text);
}

// A text the platform hands out as a C string: up to its first NUL.
String c_text(StringView text, StringView no_text) {
    return or_default(text.substr(0, text.find(u'\0')), no_text);
}

}  // namespace

// ---------------------------------------------------------------------------
// The member table

const ClassInfo& Service::info() {
    static const ClassInfo info = [] {
        static constexpr StringView kServicesHelp = u"Collection of services on a computer";
        static constexpr StringView kInitHelp = u"Property for the function InitServices";
        static constexpr StringView kPasswordHelp =
            u"Sets the password for the service which runs under an account.";
        const Variant local(local_default());
        ClassBuilder<Service> b(u"Service");
        b.get<&Service::Services>(u"Services", {}, kServicesHelp)
            .set<&Service::SetServices>(u"Services", kServicesHelp)
            .method<&Service::InitServices>(
                u"InitServices",
                {param(u"lngServiceType"), optional(u"strComputer", local),
                 optional(u"strDefault", u"unknown")},
                u"Initializes the services collection")
            .method<&Service::InitServiceDB>(
                u"InitServiceDB",
                {optional(u"strComputer", local), optional(u"strDefault", u"unknown")},
                u"Initializes the ServiceDB properties")
            .method<&Service::RemoveService>(
                u"RemoveService", {param(u"strServiceName"), optional(u"strComputer", local)},
                u"Markes the specified service for deletion")
            .method<&Service::GetServiceInfo>(
                u"GetServiceInfo",
                {param(u"strServiceName"), optional(u"strComputer", local),
                 optional(u"strDefault", u"unknown")},
                u"Inits the service properties to a specified service")
            .method<&Service::GetServiceName>(
                u"GetServiceName",
                {param(u"strDisplayName"), optional(u"strComputer", local),
                 optional(u"strDefault", u"unknown")},
                u"Returnes the service name to the assigned service display name")
            .method<&Service::GetDisplayName>(
                u"GetDisplayName",
                {param(u"strServiceName"), optional(u"strComputer", local),
                 optional(u"strDefault", u"unknown")},
                u"Returnes the service display name to the assigned service name")
            .let<&Service::SetServiceDBLocked>(u"ServiceDBLocked")
            .get<&Service::LastError>(u"LastError", {},
                                      u"Returnes the code of the last occured error")
            .get<&Service::Valid>(
                u"Valid", {},
                u"Returnes whether or not the current objects represents a valid service")
            .get<&Service::ValidDB>(
                u"ValidDB", {},
                u"Returnes whether or not the current objects represents a valid service database")
            .constant(u"SV_WIN32", kWin32, kInitHelp)
            .constant(u"SV_DRIVER", kDriver, kInitHelp)
            .get<&Service::ServiceDBLocked>(u"ServiceDBLocked")
            .get<&Service::ServiceDBLockOwner>(
                u"ServiceDBLockOwner", {},
                u"Returnes the owner of the ServiceDB lock on a computer")
            .get<&Service::ServiceDBLockDuration>(
                u"ServiceDBLockDuration", {},
                u"Returnes the duration of a ServiceDB lock on a computer")
            .get<&Service::Computer>(
                u"Computer", {},
                u"Returnes the target computer, where the service properties are queried")
            .get<&Service::ServiceName>(u"ServiceName", {}, u"Retunes the ServiceName of a service")
            .let<&Service::SetDisplayName>(u"DisplayName")
            .get<&Service::DisplayName>(u"DisplayName")
            .let<&Service::SetServiceType>(u"ServiceType")
            .get<&Service::ServiceType>(u"ServiceType")
            .let<&Service::SetCurrentState>(u"CurrentState")
            .get<&Service::CurrentState>(u"CurrentState")
            .get<&Service::ControlsAccepted>(u"ControlsAccepted", {},
                                             u"Returns the accepted controls of the service")
            .get<&Service::Win32ExitCode>(u"Win32ExitCode", {},
                                          u"Returnes the Win32ExitCode of a service")
            .get<&Service::ServiceSpecificExitCode>(
                u"ServiceSpecificExitCode", {},
                u"Returnes the ServiceSpecificExitCode of a service")
            .get<&Service::CheckPoint>(u"CheckPoint", {}, u"Returns the checkpoint of the service")
            .get<&Service::WaitHint>(u"WaitHint", {}, u"Returnes the WaitHint aof a service")
            .get<&Service::ProcessID>(u"ProcessID", {}, u"Resturnes the ProzessID of a service")
            .get<&Service::ServiceFlags>(u"ServiceFlags", {},
                                         u"Returnes theServiceFlags of a service")
            .let<&Service::SetStartType>(u"StartType")
            .get<&Service::StartType>(u"StartType")
            .get<&Service::ErrorControl>(u"ErrorControl", {},
                                         u"Returnes the errorcontrol of the service")
            .let<&Service::SetBinaryPathName>(u"BinaryPathName")
            .get<&Service::BinaryPathName>(u"BinaryPathName")
            .get<&Service::LoadOrderGroup>(u"LoadOrderGroup", {},
                                           u"Returnes the LoadOrrderGroup of a service")
            .get<&Service::TagID>(u"TagID", {}, u"Returnes the TagID of a service")
            .get<&Service::Dependencies>(u"Dependencies", {},
                                         u"Returns the dependencies of the service")
            .let<&Service::SetServiceStartName>(u"ServiceStartName")
            .get<&Service::ServiceStartName>(u"ServiceStartName")
            .let<&Service::SetServicePassword>(u"ServicePassword", kPasswordHelp)
            .get<&Service::ServicePassword>(u"ServicePassword", {}, kPasswordHelp)
            .constant(u"ERROR_SERVICE_SPECIFIC_ERROR", kServiceSpecificError,
                      u"Used with Win32ExitCode and ServiceSpecificExitCode");
        return b.build();
    }();
    return info;
}

// ---------------------------------------------------------------------------
// Reading

Service::Service() {
    // No Computer and no default until a call names them: one place for all.
    static const auto none = std::make_shared<const Place>();
    place_ = none;
}

String Service::ServiceType() const {
    return r_.status_read ? services::type_text(r_.service_type, place_->no_text) : String();
}
String Service::CurrentState() const {
    return r_.status_read ? services::state_text(r_.current_state, place_->no_text) : String();
}
String Service::ControlsAccepted() const {
    return r_.status_read ? services::controls_text(r_.controls_accepted, place_->no_text)
                          : String();
}
String Service::ServiceFlags() const {
    return r_.status_read ? services::flags_text(r_.service_flags) : String();
}
String Service::StartType() const {
    return r_.config_read ? services::start_type_text(r_.start_type, place_->no_text) : String();
}
String Service::ErrorControl() const {
    return r_.config_read ? services::error_control_text(r_.error_control, place_->no_text)
                          : String();
}

StringView Service::text(Text which) const {
    return r_.texts[which];
}

void Service::set_texts(std::initializer_list<std::pair<Text, StringView>> changed) {
    r_.texts.set(changed.begin(), changed.end());
}

String Service::config_text(Text which) const {
    return r_.config_read ? or_default(text(which), place_->no_text) : String();
}

void Service::set_place(String computer, String no_text) {
    place_ = std::make_shared<const Place>(Place{std::move(computer), std::move(no_text)});
}

Service::Rare& Service::rare() {
    if (!rare_) rare_ = std::make_unique<Rare>();
    return *rare_;
}

Ref<Collection> Service::Services() {
    if (!services_) SetServices(make<Collection>());
    return services_;
}

Service::~Service() {
    const ScHandle lock = held_lock();
    if (!lock) return;
    try {
        manager().unlock(lock);
    } catch (...) {
        // The platform could not take the lock back; there is no caller left to tell.
    }
}

ScHandle Service::held_lock() const {
    if (!rare_ || rare_->lock_platform != platform::current().id()) return 0;
    return rare_->lock;
}

void Service::reset() {
    r_ = Record{};
    valid_ = false;
    valid_db_ = false;
    last_error_ = 0;
    if (!place_->computer.empty()) set_place({}, place_->no_text);
    db_locked_ = false;
    if (rare_) {
        rare_->db_lock_owner.clear();
        rare_->db_lock_duration = 0;
    }
}

void Service::fill_status(const platform::ServiceStatus& s) {
    r_.status_read = true;
    r_.service_type = s.type;
    r_.current_state = s.state;
    r_.service_flags = s.flags;
    r_.controls_accepted = s.controls_accepted;
    r_.process_id = as_long(s.process_id);
    r_.wait_hint = as_long(s.wait_hint);
    r_.check_point = as_long(s.check_point);
    r_.win32_exit_code = as_long(s.win32_exit_code);
    r_.service_specific_exit_code = as_long(s.service_exit_code);
}

void Service::fill_config(const platform::ServiceConfig& c) {
    r_.config_read = true;
    r_.start_type = c.start_type;
    r_.error_control = c.error_control;
    r_.tag_id = as_long(c.tag);
    const String path = c_text(c.binary_path, {}), group = c_text(c.load_order_group, {}),
                 dependencies = services::dependencies_text(c.dependencies, {}),
                 start_name = c_text(c.start_name, {});
    set_texts({{kBinaryPath, path},
               {kLoadOrderGroup, group},
               {kDependencies, dependencies},
               {kStartName, start_name}});
}

int32_t Service::InitServices(int32_t lngServiceType, String strComputer, String strDefault) {
    reset();
    set_place({}, strDefault);
    auto& sc = manager();
    const auto fail = [this](int32_t code) {
        last_error_ = code;
        return 0;
    };
    auto opened = sc.open_manager(target(strComputer), kRead);
    if (!opened.ok()) return fail(as_long(opened.status));
    Held m(opened.value);
    auto lock = sc.query_lock_status(m.get());
    if (!lock.ok()) return fail(as_long(lock.status));
    if (lock.value.locked) return fail(as_long(status::kServiceDatabaseLocked));
    auto listed = sc.enumerate(m.get(), as_dword(lngServiceType), kStateAll);
    if (!listed.ok()) return fail(as_long(listed.status));
    size_t key_chars = 0;
    for (const auto& entry : listed.value)
        key_chars += entry.name.size();
    Services()->reserve(listed.value.size(), key_chars);
    const auto place = std::make_shared<const Place>(Place{computer_text(strComputer), strDefault});
    for (const auto& entry : listed.value) {
        auto item = make<Service>();
        const String name = c_text(entry.name, strDefault);
        item->set_texts(
            {{kDisplayName, c_text(entry.display_name, strDefault)}, {kServiceName, name}});
        item->fill_status(entry.status);
        auto service = sc.open_service(m.get(), name, kRead);
        if (!service.ok()) return fail(as_long(service.status));
        Held s(service.value);
        auto config = sc.query_config(s.get());
        if (!config.ok()) return fail(as_long(config.status));
        item->fill_config(config.value);
        item->place_ = place;
        item->valid_ = true;
        s.reset();
        if (int32_t rc = attempt([&] { services_->add(Variant(std::move(item)), name); }))
            return fail(rc);
    }
    return 1;
}

int32_t Service::InitServiceDB(String strComputer, String strDefault) {
    reset();
    set_place({}, strDefault);
    auto& sc = manager();
    auto opened = sc.open_manager(target(strComputer), kRead);
    if (!opened.ok()) {
        last_error_ = as_long(opened.status);
        return 0;
    }
    Held m(opened.value);
    auto lock = sc.query_lock_status(m.get());
    if (!lock.ok()) {
        last_error_ = as_long(lock.status);
        return 0;
    }
    db_locked_ = lock.value.locked;
    rare().db_lock_duration = db_locked_ ? as_long(lock.value.duration) : 0;
    rare().db_lock_owner = db_locked_ ? c_text(lock.value.owner, strDefault) : strDefault;
    set_place(computer_text(strComputer), strDefault);
    valid_db_ = true;
    return 1;
}

int32_t Service::GetServiceInfo(String strServiceName, String strComputer, String strDefault) {
    reset();
    set_place({}, strDefault);
    const auto fail = [this](int32_t code) {
        last_error_ = code;
        return 0;
    };
    if (strServiceName.empty()) return fail(kBadArgument);
    auto& sc = manager();
    {
        auto opened = sc.open_manager(target(strComputer), kRead);
        if (!opened.ok()) return fail(as_long(opened.status));
        Held m(opened.value);
        auto service = sc.open_service(m.get(), strServiceName, kRead);
        if (!service.ok()) return fail(as_long(service.status));
        Held s(service.value);
        auto st = sc.query_status(s.get());
        if (!st.ok()) return fail(as_long(st.status));
        fill_status(st.value);
        auto config = sc.query_config(s.get());
        if (!config.ok()) return fail(as_long(config.status));
        fill_config(config.value);
    }
    String display = GetDisplayName(strServiceName, Variant(strComputer), strDefault);
    if (last_error_ != 0) return 0;
    set_texts({{kDisplayName, display}, {kServiceName, strServiceName}});
    set_place(computer_text(strComputer), std::move(strDefault));
    valid_ = true;
    return 1;
}

String Service::look_up(bool key_name, String name, const Variant& computer, String no_text) {
    last_error_ = 0;
    if (name.empty()) {
        last_error_ = kBadArgument;
        return no_text;
    }
    String machine;
    if (int32_t rc = attempt([&] { machine = computer.to_string(); })) {
        last_error_ = rc;
        return no_text;
    }
    auto& sc = manager();
    auto opened = sc.open_manager(target(machine), kRead);
    if (!opened.ok()) {
        last_error_ = as_long(opened.status);
        return no_text;
    }
    Held m(opened.value);
    auto found = key_name ? sc.key_name(m.get(), name) : sc.display_name(m.get(), name);
    if (!found.ok()) {
        last_error_ = as_long(found.status);
        return no_text;
    }
    return found.value.substr(0, found.value.find(u'\0'));
}

String Service::GetServiceName(String strDisplayName, Variant strComputer, String strDefault) {
    return look_up(true, std::move(strDisplayName), strComputer, std::move(strDefault));
}

String Service::GetDisplayName(String strServiceName, Variant strComputer, String strDefault) {
    return look_up(false, std::move(strServiceName), strComputer, std::move(strDefault));
}

// ---------------------------------------------------------------------------
// Writing

template <class Change>
void Service::write_through(uint32_t access, Change&& change) {
    last_error_ = 0;
    auto& sc = manager();
    Status done;
    {
        auto opened = sc.open_manager(target(place_->computer), kRead);
        if (!opened.ok()) {
            last_error_ = as_long(opened.status);
            return;
        }
        Held m(opened.value);
        auto service = sc.open_service(m.get(), ServiceName(), access);
        if (!service.ok()) {
            last_error_ = as_long(service.status);
            return;
        }
        Held s(service.value);
        done = change(sc, s.get());
    }
    if (done != status::kSuccess) {
        last_error_ = as_long(done);
        return;
    }
    // Reloaded with the object's own name and computer, so Computer keeps
    // the text the client gave.
    const String name = ServiceName(), computer = place_->computer, no_text = place_->no_text;
    GetServiceInfo(name, computer, no_text);
}

void Service::change_config(const platform::ConfigChange& change) {
    if (!valid_) return;
    write_through(svc::kChangeConfig,
                  [&](platform::Services& sc, ScHandle s) { return sc.change_config(s, change); });
}

void Service::SetDisplayName(String value) {
    platform::ConfigChange c;
    c.display_name = std::move(value);
    change_config(c);
}

void Service::SetBinaryPathName(String value) {
    platform::ConfigChange c;
    c.binary_path = std::move(value);
    change_config(c);
}

void Service::SetServiceType(String value) {
    if (!valid_) return;
    const auto code = services::type_code(value);
    if (!code) {
        last_error_ = kBadArgument;
        return;
    }
    platform::ConfigChange c;
    c.type = *code;
    change_config(c);
}

void Service::SetStartType(String value) {
    if (!valid_) return;
    const auto code = services::start_type_code(value);
    if (!code) {
        last_error_ = kBadArgument;
        return;
    }
    platform::ConfigChange c;
    c.start_type = *code;
    change_config(c);
}

void Service::SetCurrentState(String value) {
    if (!valid_) return;
    const auto t = services::transition(value);
    if (!t) {
        last_error_ = kBadArgument;
        return;
    }
    write_through(t->access, [&](platform::Services& sc, ScHandle s) {
        return t->control == 0 ? sc.start(s) : sc.control(s, t->control).status;
    });
}

void Service::change_account(const String& name, const String& password) {
    bool written = false;
    write_through(svc::kChangeConfig, [&](platform::Services& sc, ScHandle s) {
        platform::ConfigChange c;
        c.start_name = name;
        c.password = password;
        const Status st = sc.change_config(s, c);
        written = st == status::kSuccess;
        return st;
    });
    if (!written) return;
    rare().pending_start_name.clear();
    rare().pending_password.clear();
    start_name_pending_ = password_pending_ = false;
}

// One half of the account pair: written with the other half when that one
// is waiting, else kept until it comes.
void Service::pair_account(bool is_name, String value) {
    if (!valid_) return;
    const bool other_pending = is_name ? password_pending_ : start_name_pending_;
    if (other_pending) {
        if (is_name)
            change_account(value, rare().pending_password);
        else
            change_account(rare().pending_start_name, value);
        return;
    }
    (is_name ? rare().pending_start_name : rare().pending_password) = std::move(value);
    (is_name ? start_name_pending_ : password_pending_) = true;
    last_error_ = kPairPending;
}

void Service::SetServiceStartName(String value) {
    pair_account(true, std::move(value));
}

void Service::SetServicePassword(String value) {
    pair_account(false, std::move(value));
}

int32_t Service::RemoveService(String strServiceName, String strComputer) {
    auto& sc = manager();
    const auto fail = [this](Status code) {
        last_error_ = as_long(code);
        return 0;
    };
    auto opened = sc.open_manager(target(strComputer), kRead);
    if (!opened.ok()) return fail(opened.status);
    Held m(opened.value);
    auto service = sc.open_service(m.get(), strServiceName, svc::kDelete);
    if (!service.ok()) return fail(service.status);
    Held s(service.value);
    const Status removed = sc.remove(s.get());
    if (removed != status::kSuccess) return fail(removed);
    return 1;
}

void Service::SetServiceDBLocked(bool value) {
    last_error_ = 0;
    // A lock this object holds is its own to give back, whatever it loaded
    // since (a listing or a service clears the lock fields); it holds one at most.
    const bool holding = held_lock() != 0;
    if (holding ? value : (!valid_db_ || value == db_locked_)) return;
    auto& sc = manager();
    Status done = status::kSuccess;
    if (value) {
        auto opened = sc.open_manager(target(place_->computer), svc::kManagerLock);
        if (!opened.ok()) {
            done = opened.status;
        } else {
            Held m(opened.value);
            auto locked = sc.lock(m.get());
            done = locked.status;
            if (locked.ok()) {
                rare().lock = locked.value;
                rare().lock_platform = platform::current().id();
                rare().lock_computer = place_->computer;
            }
        }
    } else {
        done = sc.unlock(held_lock());
        if (done == status::kSuccess) rare().lock = 0;
    }
    // A lock or unlock that failed keeps its code: the reload would report
    // success and show whoever else holds the lock as if it were ours.
    if (done != status::kSuccess) {
        last_error_ = as_long(done);
        return;
    }
    // The lock status of the machine the lock was taken on.
    const String computer = rare().lock_computer, no_text = place_->no_text;
    InitServiceDB(computer, no_text);
}

}  // namespace vorlek
