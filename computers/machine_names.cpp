#include "computers/machine_names.h"

#include "automation/text.h"
#include "computers/computer.h"
#include "platform/platform.h"
#include "platform/system.h"

namespace vorlek::machines {

namespace {

String environment_name() {
    auto env = platform::current().system().environment_variable(u"COMPUTERNAME");
    return env.ok() && env.value ? *env.value : String();
}

bool has_prefix(StringView name) {
    return name.starts_with(u"\\\\");
}

}  // namespace

String normalized_target(StringView name) {
    const String upper = to_upper(name);
    if (upper.empty() || has_prefix(upper)) return upper;
    if (upper == make<Computer>()->GetMachineName(Variant(u"error"))) return {};
    if (upper == to_upper(environment_name())) return {};
    return plain_target(upper);
}

String plain_target(StringView name) {
    return name.empty() || has_prefix(name) ? String(name) : String(u"\\\\").append(name);
}

String local_machine_name() {
    static constexpr StringView kFailed = u"COM1:";
    String name = make<Computer>()->GetMachineName(Variant(kFailed));
    return name == kFailed ? environment_name() : name;
}

const String& ListingNames::normalized_target(const String& asked) {
    if (!target_ || asked != asked_) {
        target_ = machines::normalized_target(asked);
        asked_ = asked;
    }
    return *target_;
}

const String& ListingNames::local_machine_name() {
    if (!local_) local_ = machines::local_machine_name();
    return *local_;
}

}  // namespace vorlek::machines
