#include "rights/local_securer.h"

#include <array>
#include <utility>

#include "automation/text.h"
#include "computers/computer.h"
#include "computers/machine_names.h"
#include "platform/lsa.h"
#include "platform/platform.h"
#include "platform/security.h"
#include "processes/process.h"

namespace vorlek {

namespace {

namespace st = platform::status;
using platform::PolicyHandle;
using platform::Sid;
using platform::Status;

platform::Lsa& lsa() {
    return platform::current().lsa();
}

// The account's type by its SID use code (1 to 9).
constexpr std::array<StringView, 9> kTypeTexts{
    u"AccTypeUser",    u"AccTypeGroup",          u"AccTypeDomain",
    u"AccTypeAlias",   u"AccTypeWellKnownGroup", u"AccTypeDeletedAccount",
    u"AccTypeInvalid", u"AccTypeUnknown",        u"AccTypeComputer"};

String type_text(platform::SidUsage usage) {
    const auto code = static_cast<uint32_t>(usage);
    return code >= 1 && code <= kTypeTexts.size() ? String(kTypeTexts[code - 1]) : String();
}

// The right names GetPolicyStrings lists, by the Process constants that
// hold them, in the order it lists them.
constexpr std::array<StringView, 28> kListed{u"SE_ASSIGNPRIMARYTOKEN_NAME",
                                             u"SE_AUDIT_NAME",
                                             u"SE_BACKUP_NAME",
                                             u"SE_BATCH_LOGON_NAME",
                                             u"SE_CHANGE_NOTIFY_NAME",
                                             u"SE_CREATE_PAGEFILE_NAME",
                                             u"SE_CREATE_PERMANENT_NAME",
                                             u"SE_CREATE_TOKEN_NAME",
                                             u"SE_DEBUG_NAME",
                                             u"SE_INC_BASE_PRIORITY_NAME",
                                             u"SE_INCREASE_QUOTA_NAME",
                                             u"SE_INTERACTIVE_LOGON_NAME",
                                             u"SE_LOAD_DRIVER_NAME",
                                             u"SE_LOCK_MEMORY_NAME",
                                             u"SE_MACHINE_ACCOUNT_NAME",
                                             u"SE_NETWORK_LOGON_NAME",
                                             u"SE_PROF_SINGLE_PROCESS_NAME",
                                             u"SE_REMOTE_SHUTDOWN_NAME",
                                             u"SE_RESTORE_NAME",
                                             u"SE_SECURITY_NAME",
                                             u"SE_SERVICE_LOGON_NAME",
                                             u"SE_SHUTDOWN_NAME",
                                             u"SE_SYSTEM_ENVIRONMENT_NAME",
                                             u"SE_SYSTEM_PROFILE_NAME",
                                             u"SE_SYSTEMTIME_NAME",
                                             u"SE_TAKE_OWNERSHIP_NAME",
                                             u"SE_TCB_NAME",
                                             u"SE_UNSOLICITED_INPUT_NAME"};

StringView right_constant(StringView member) {
    for (const auto& c : Process::kPrivileges) {
        if (c.member == member) return c.value;
    }
    raise(err::kInternal);
}

// The machine the three list and change methods address: "(localhost)"
// and "" are the local machine; leading backslashes go one by one, and what
// remains is normalised (the local machine's own name is the local machine).
String policy_target(StringView machine) {
    if (machine == LocalSecurer::kLocalhost) return {};
    while (!machine.empty() && machine.front() == u'\\')
        machine.remove_prefix(1);
    return machines::normalized_target(machine);
}

// What an item's Computer shows: the target, or the local machine's name.
String item_computer(const String& target) {
    return target.empty() ? to_upper(machines::local_machine_name()) : target;
}

// An open policy, closed when the method ends whatever happened; close()
// is the last step of a method that succeeded, whose status it reports.
class Policy {
  public:
    Policy() = default;
    Policy(const Policy&) = delete;
    Policy& operator=(const Policy&) = delete;
    ~Policy() {
        if (handle_) lsa().close(handle_);
    }
    Status open(const String& target, uint32_t access) {
        auto opened = lsa().open_policy(target, access);
        if (opened.ok()) handle_ = opened.value;
        return opened.status;
    }
    Status close() { return lsa().close(std::exchange(handle_, 0)); }
    PolicyHandle get() const noexcept { return handle_; }

  private:
    PolicyHandle handle_ = 0;
};

// The account a change names, looked up on the domain's primary
// controller when a domain is given, else on the machine itself: 0, or the
// lookup's status; the class's own errors raised.
int32_t look_up(const String& target, const String& account, const String& domain,
                platform::Account& found) {
    String system = target;
    if (!domain.empty()) {
        static constexpr StringView kNone = u"COM1:";
        auto computer = make<Computer>();
        String pdc = computer->GetPDCName(target, domain, String(kNone));
        if (int32_t rc = Variant(computer->LastError()).to_long()) raise(rc);
        if (pdc == kNone) raise(LocalSecurer::kNoController);
        system = std::move(pdc);
    }
    auto result = platform::current().security().lookup_account_name(system, account);
    if (!result.ok()) return as_long(result.status);
    if (!result.value.sid.valid()) raise(LocalSecurer::kBadAccountSid);
    found = std::move(result.value);
    return 0;
}

// The statuses that say no account holds a right: the authority's "no more
// entries", and the code of a status without a system error of its own.
bool no_holder(Status s) {
    return s == st::kNoMoreItems || s == st::kMessageNotFound;
}

}  // namespace

const ClassInfo& LocalSecurer::info() {
    static const ClassInfo info = [] {
        static constexpr StringView kAccountHelp =
            u"Account (user or group) to which is a specified userright is granted";
        static constexpr StringView kDomainHelp =
            u"Domain of an account (user or group) to which is a specified userright is granted";
        static constexpr StringView kComputerHelp =
            u"Returnes the computer, where the local security is queried";
        static constexpr StringView kRightHelp = u"String which represents a userright";
        ClassBuilder<LocalSecurer> b(u"LocalSecurer");
        b.method<&LocalSecurer::GetPolicyStrings>(
             u"GetPolicyStrings", {optional(u"strSeperator", u";")},
             u"Returnes the policy-strings which are supported from Vorlek")
            .method<&LocalSecurer::InitPolicies>(
                u"InitPolicies", {param(u"strPolicy"), optional(u"strMachine", String(kLocalhost))},
                u"Inits the collection of granted userrights of a specified policy on a local or "
                u"remote computer")
            .method<&LocalSecurer::AddPolicyRight>(
                u"AddPolicyRight", {},
                u"Adds an account to an user right on the specified computers")
            .method<&LocalSecurer::DeletePolicyRight>(
                u"DeletePolicyRight",
                {param(u"strPolicy"), param(u"strAccount"),
                 optional(u"strDomain", String(kNoDomain)),
                 optional(u"strMachine", String(kLocalhost))},
                u"Removes an account from an userright on the specified computer")
            .get<&LocalSecurer::Policies>(u"Policies", {},
                                          u"Collection of granted userrights of a specified "
                                          u"policy on a local or remote computer")
            .get<&LocalSecurer::PolicyAccount>(u"PolicyAccount", {}, kAccountHelp)
            .let<&LocalSecurer::SetPolicyAccount>(u"PolicyAccount", kAccountHelp)
            .get<&LocalSecurer::PolicyAccountType>(
                u"PolicyAccountType", {},
                u"Type of an account (user or group) to which is a specified userright is "
                u"granted")
            .get<&LocalSecurer::PolicyAccountDomain>(u"PolicyAccountDomain", {}, kDomainHelp)
            .let<&LocalSecurer::SetPolicyAccountDomain>(u"PolicyAccountDomain", kDomainHelp)
            .let<&LocalSecurer::SetComputer>(u"Computer", kComputerHelp)
            .get<&LocalSecurer::Computer>(u"Computer", {}, kComputerHelp)
            .get<&LocalSecurer::Valid>(u"Valid", {},
                                       u"Specified, whether or not the current LocalSecurer "
                                       u"object represents a valid policy object")
            .get<&LocalSecurer::PolicyString>(u"PolicyString", {}, kRightHelp)
            .let<&LocalSecurer::SetPolicyString>(u"PolicyString", kRightHelp);
        return b.build();
    }();
    return info;
}

Ref<Collection> LocalSecurer::Policies() {
    return policies_ ? policies_ : make<Collection>();
}

void LocalSecurer::load(StringView computer, StringView right, StringView account,
                        StringView domain, StringView type_text, bool valid) {
    texts_.set({{kAccount, account},
                {kDomain, domain},
                {kType, type_text},
                {kComputer, computer},
                {kRight, right}});
    valid_ = valid;
}

String LocalSecurer::GetPolicyStrings(String strSeperator) {
    String out;
    const int32_t rc = attempt([&] {
        for (size_t i = 0; i < kListed.size(); ++i) {
            if (i > 0) out += strSeperator;
            out += right_constant(kListed[i]);
        }
    });
    return rc != 0 || out.empty() ? String(u"UNKNOWN") : out;
}

int32_t LocalSecurer::InitPolicies(String strPolicy, String strMachine) {
    SetPolicies(make<Collection>());
    Policy policy;
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        if (strPolicy.empty()) raise(kNoPolicy);
        const String target = policy_target(strMachine);
        if (Status s = policy.open(target, kListAccess)) {
            status = as_long(s);
            return;
        }
        auto held = lsa().accounts_with_right(policy.get(), strPolicy);
        if (!held.ok() && !no_holder(held.status)) {
            status = as_long(held.status);
            return;
        }
        const String computer = held.value.empty() ? String() : item_computer(target);
        auto& security = platform::current().security();
        policies_->reserve(held.value.size());
        for (const Sid& sid : held.value) {
            if (!sid.valid()) continue;
            auto named = security.lookup_account_sid(target, sid);
            auto item = make<LocalSecurer>();
            if (named.ok()) {
                const auto& a = named.value;
                item->load(computer, strPolicy, a.name, a.domain, type_text(a.usage), true);
            } else if (named.status == platform::status::kNoneMapped) {
                item->load(computer, strPolicy, String(kNoneMapped), String(kNoneMapped),
                           type_text(platform::SidUsage::Invalid), false);
            } else {
                status = as_long(named.status);
                return;
            }
            const StringView account = item->texts_[kAccount], domain = item->texts_[kDomain];
            String key(domain);
            if (!key.empty()) key += u'\\';
            key += account;
            policies_->add(Variant(std::move(item)), key);
        }
        status = as_long(policy.close());
    });
    return rc != 0 ? rc : status;
}

Variant LocalSecurer::AddPolicyRight() {
    const String right(texts_[kRight]), account(texts_[kAccount]);
    String domain(texts_[kDomain].empty() ? kNoDomain : texts_[kDomain]);
    const String machine(texts_[kComputer].empty() ? kLocalhost : texts_[kComputer]);
    load({}, {}, {}, {}, {}, false);
    Policy policy;
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        if (account.empty()) raise(kNoAccount);
        if (domain == kNoDomain) domain.clear();
        const String target = policy_target(machine);
        if (Status s = policy.open(target, kChangeAccess)) {
            status = as_long(s);
            return;
        }
        platform::Account found;
        if ((status = look_up(target, account, domain, found))) return;
        if (Status s = lsa().add_account_rights(policy.get(), found.sid, {right})) {
            status = as_long(s);
            return;
        }
        load(item_computer(target), right, account, found.domain, type_text(found.usage), true);
        status = as_long(policy.close());
    });
    const int32_t result = rc != 0 ? rc : status;
    if (result == 0) return Variant(int16_t{0});
    return Variant(result);
}

int32_t LocalSecurer::DeletePolicyRight(String strPolicy, String strAccount, String strDomain,
                                        String strMachine) {
    Policy policy;
    int32_t status = 0;
    const int32_t rc = attempt([&] {
        if (strAccount.empty()) raise(kNoAccount);
        if (strDomain == kNoDomain) strDomain.clear();
        const String target = policy_target(strMachine);
        if (Status s = policy.open(target, kChangeAccess)) {
            status = as_long(s);
            return;
        }
        platform::Account found;
        if ((status = look_up(target, strAccount, strDomain, found))) return;
        if (Status s = lsa().remove_account_rights(policy.get(), found.sid, false, {strPolicy})) {
            status = as_long(s);
            return;
        }
        status = as_long(policy.close());
    });
    return rc != 0 ? rc : status;
}

}  // namespace vorlek
