#include "computers/computer.h"

#include "platform/platform.h"
#include "platform/servers.h"
#include "platform/system.h"

namespace vorlek {

namespace {

struct TypeBit {
    StringView name;
    uint32_t bit;
};

// The named server-type bits in interface order (lowest first).
constexpr TypeBit kTypeBits[] = {
    {u"SV_TYPE_WORKSTATION", 0x1},
    {u"SV_TYPE_SERVER", 0x2},
    {u"SV_TYPE_SQLSERVER", 0x4},
    {u"SV_TYPE_DOMAIN_CTRL", 0x8},
    {u"SV_TYPE_DOMAIN_BAKCTRL", 0x10},
    {u"SV_TYPE_TIME_SOURCE", 0x20},
    {u"SV_TYPE_AFP", 0x40},
    {u"SV_TYPE_NOVELL", 0x80},
    {u"SV_TYPE_DOMAIN_MEMBER", 0x100},
    {u"SV_TYPE_PRINTQ_SERVER", 0x200},
    {u"SV_TYPE_DIALIN_SERVER", 0x400},
    {u"SV_TYPE_XENIX_SERVER", 0x800},
    {u"SV_TYPE_NT", 0x1000},
    {u"SV_TYPE_WFW", 0x2000},
    {u"SV_TYPE_SERVER_MFPN", 0x4000},
    {u"SV_TYPE_SERVER_NT", 0x8000},
    {u"SV_TYPE_POTENTIAL_BROWSER", 0x10000},
    {u"SV_TYPE_BACKUP_BROWSER", 0x20000},
    {u"SV_TYPE_MASTER_BROWSER", 0x40000},
    {u"SV_TYPE_DOMAIN_MASTER", 0x80000},
    {u"SV_TYPE_SERVER_OSF", 0x100000},
    {u"SV_TYPE_SERVER_VMS", 0x200000},
    {u"SV_TYPE_WINDOWS", 0x400000},
    {u"SV_TYPE_DFS", 0x800000},
    {u"SV_TYPE_CLUSTER_NT", 0x1000000},
    {u"SV_TYPE_DCE", 0x10000000},
    {u"SV_TYPE_ALTERNATE_XPORT", 0x20000000},
    {u"SV_TYPE_LOCAL_LIST_ONLY", 0x40000000},
    {u"SV_TYPE_DOMAIN_ENUM", 0x80000000},
};

// A text from a record: trimmed, and `no_text` where it is empty or a NUL.
String record_text(StringView text, StringView no_text) {
    String t = trim_spaces(text);
    if (t.empty() || t == StringView(u"\0", 1)) return String(no_text);
    return t;
}

String upper_trimmed(StringView text) {
    return trim_spaces(to_upper(text));
}

// A machine as the network-management calls address it: "\\NAME".
String unc(StringView name) {
    return String(u"\\\\").append(name);
}

// The same for an optional name: empty stays empty, the local machine.
String unc_or_local(StringView name) {
    return name.empty() ? String() : unc(name);
}

bool has_wildcard(StringView name) {
    return name.find_first_of(u"?*") != StringView::npos;
}

// One pattern element at `p` against character `c`; `next` is where the
// element ends. An unclosed "[" is an ordinary character.
bool element_matches(StringView pattern, size_t p, char16_t c, size_t& next) {
    const char16_t e = pattern[p];
    next = p + 1;
    if (e == u'?') return true;
    if (e == u'#') return c >= u'0' && c <= u'9';
    if (e != u'[') return e == c;
    const size_t close = pattern.find(u']', p + 1);
    if (close == StringView::npos) return c == u'[';
    next = close + 1;
    size_t i = p + 1;
    const bool negate = i < close && pattern[i] == u'!';
    if (negate) ++i;
    bool found = false;
    for (; i < close; ++i) {
        if (i + 2 < close && pattern[i + 1] == u'-') {
            found = found || (c >= pattern[i] && c <= pattern[i + 2]);
            i += 2;
        } else {
            found = found || c == pattern[i];
        }
    }
    return found != negate;
}

}  // namespace

bool matches_pattern(StringView name, StringView pattern) {
    // Greedy with one resume point: the last "*" seen takes one more
    // character on each mismatch.
    size_t n = 0, p = 0;
    size_t star_p = StringView::npos, star_n = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star_p = ++p;
            star_n = n;
            continue;
        }
        size_t next;
        if (p < pattern.size() && element_matches(pattern, p, name[n], next)) {
            p = next;
            ++n;
            continue;
        }
        if (star_p == StringView::npos) return false;
        p = star_p;
        n = ++star_n;
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

String server_type_text(uint32_t type, StringView no_text) {
    String text;
    for (auto it = std::rbegin(kTypeBits); it != std::rend(kTypeBits); ++it) {
        if (type & it->bit) text.append(it->name).push_back(u';');
    }
    if (text.empty()) return String(no_text);
    text.pop_back();
    return text;
}

const ClassInfo& Computer::info() {
    static const ClassInfo info = [] {
        static constexpr StringView kComputersHelp =
            u"Collection of machine filtered in InitComputerInfo(...)";
        static constexpr StringView kParameterHelp = u"Parameter for InitComputerInfo(...)";
        ClassBuilder<Computer> b(u"Computer");
        b.get<&Computer::Computers>(u"Computers", {}, kComputersHelp)
            .set<&Computer::SetComputers>(u"Computers", kComputersHelp)
            .method<&Computer::InitComputerInfo>(
                u"InitComputerInfo",
                {optional(u"strName", u""), optional(u"lngType", -1),
                 optional(u"strDefault", u"unknown"), optional(u"lngLevel", kEnumOnly),
                 optional(u"strServer", u""), optional(u"strDomain", u"")},
                u"Sets initial parameters for the properties")
            .get<&Computer::CompName>(u"CompName")
            .get<&Computer::CompPlatformID>(u"CompPlatformID")
            .get<&Computer::CompVerMinor>(u"CompVerMinor")
            .get<&Computer::CompVerMajor>(u"CompVerMajor")
            .get<&Computer::CompLanroot>(u"CompLanroot")
            .get<&Computer::CompLangroup>(u"CompLangroup")
            .get<&Computer::CompLoggedOnUsers>(u"CompLoggedOnUsers")
            .get<&Computer::CompType>(u"CompType")
            .let<&Computer::SetCompComment>(u"CompComment")
            .get<&Computer::CompComment>(u"CompComment")
            .get<&Computer::CompUsers>(u"CompUsers")
            .get<&Computer::CompAutoDisconnect>(u"CompAutoDisconnect")
            .let<&Computer::SetCompHidden>(u"CompHidden")
            .get<&Computer::CompHidden>(u"CompHidden")
            .get<&Computer::CompAnnounceRate>(u"CompAnnounceRate")
            .get<&Computer::CompAnnounceDelta>(u"CompAnnounceDelta")
            .get<&Computer::CompLicenses>(u"CompLicenses")
            .get<&Computer::CompUserPath>(u"CompUserPath")
            .get<&Computer::CompAvailable>(u"CompAvailable")
            .get<&Computer::CompEntriesRead>(u"CompEntriesRead")
            .get<&Computer::CompTotalEntries>(u"CompTotalEntries");
        for (const auto& t : kTypeBits)
            b.constant(t.name, as_long(t.bit), u"Constant for computer type");
        b.constant(u"SV_TYPE_ALL", -1, u"Constant for computer type")
            .constant(u"SV_ENUM_ONLY", kEnumOnly, kParameterHelp)
            .constant(u"SV_ENUM_WITH_INFO", kEnumWithInfo, kParameterHelp)
            .method<&Computer::GetMachineName>(u"GetMachineName", {param(u"strDefault")},
                                               u"Returnes the name of the local machine")
            .get<&Computer::LastError>(u"LastError", {}, u"Common property of this class")
            .method<&Computer::GetPDCName>(
                u"GetPDCName",
                {optional(u"strMachine", u""), optional(u"strDomain", u""),
                 optional(u"strDefault", u"ERROR")},
                u"Returns the name of the primary domain controller")
            .method<&Computer::GetDCName>(
                u"GetDCName",
                {optional(u"strMachine", u""), optional(u"strDomain", u""),
                 optional(u"strDefault", u"")},
                u"Returns the name of any domain controller");
        return b.build();
    }();
    return info;
}

Computer::Computer() {
    // No default until a call names one: one empty text for all.
    static const auto none = std::make_shared<const String>();
    no_text_ = none;
}

const String& Computer::unread() const {
    static const String blank;
    return unread_blank_ ? blank : *no_text_;
}

String Computer::CompType() const {
    return type_read_ ? server_type_text(type_, *no_text_) : unread();
}

int32_t Computer::unread_number() const {
    return unread_blank_ ? 0 : err::kNotAvailable;
}

String Computer::detail_text(String Details::*text) const {
    return details_ ? *details_.*text : unread();
}

int32_t Computer::detail_number(int32_t Details::*number) const {
    return details_ ? *details_.*number : unread_number();
}

Computer::Details& Computer::details() {
    const int32_t n = unread_number();
    if (!details_)
        details_ =
            std::make_unique<Details>(Details{unread(), unread(), unread(), n, n, n, n, n, n});
    return *details_;
}

Ref<Collection> Computer::Computers() {
    if (!computers_) computers_ = make<Collection>();
    return computers_;
}

// ---------------------------------------------------------------------------
// InitComputerInfo

void Computer::reset_details(StringView no_text) {
    platform_id_ = version_major_ = version_minor_ = entries_read_ = total_entries_ =
        err::kNotAvailable;
    comment_ = String(no_text);
    no_text_ = std::make_shared<const String>(no_text);
    details_.reset();
    type_read_ = unread_blank_ = false;
    hidden_ = false;
}

uint32_t Computer::load_details(StringView name, bool name_from_record, StringView no_text) {
    auto& servers = platform::current().servers();
    available_ = true;
    auto server = servers.server_info(name, 102);
    if (!server.ok()) {
        available_ = false;
        return server.status;
    }
    const platform::ServerInfo& s = server.value;
    platform_id_ = as_long(s.platform_id);
    if (name_from_record) name_ = upper_trimmed(s.name);
    version_major_ = as_long(s.version_major);
    version_minor_ = as_long(s.version_minor);
    type_ = s.type;
    type_read_ = true;
    comment_ = record_text(s.comment, no_text);
    details().users = as_long(s.users);
    details().auto_disconnect = s.auto_disconnect;
    hidden_ = s.hidden == 1;
    details().announce_rate = as_long(s.announce);
    details().announce_delta = as_long(s.announce_delta);
    details().licenses = as_long(s.licenses);
    details().user_path = record_text(s.user_path, no_text);

    auto workstation = servers.workstation_info(name);
    if (!workstation.ok()) {
        available_ = false;
        return workstation.status;
    }
    const platform::WorkstationInfo& w = workstation.value;
    name_ = upper_trimmed(w.computer_name);
    details().lan_group = record_text(w.lan_group, no_text);
    details().lan_root = record_text(w.lan_root, no_text);
    details().logged_on_users = as_long(w.logged_on_users);
    platform_id_ = as_long(w.platform_id);
    version_major_ = as_long(w.version_major);
    version_minor_ = as_long(w.version_minor);
    return workstation.status;
}

int32_t Computer::InitComputerInfo(String strName, int32_t lngType, String strDefault,
                                   int32_t lngLevel, String strServer, String strDomain) {
    const String server = unc_or_local(to_upper(strServer));
    const String domain = to_upper(strDomain);
    const bool with_info = lngLevel == kEnumWithInfo;

    if (!has_wildcard(strName)) {
        name_ = upper_trimmed(strName);
        reset_details(strDefault);
        return static_cast<int32_t>(load_details(name_, !strName.empty(), strDefault));
    }

    auto& servers = platform::current().servers();
    const String pattern = to_upper(strName);
    const auto no_text = std::make_shared<const String>(strDefault);
    int32_t status = 0;
    uint32_t resume = 0;
    for (;;) {
        auto batch = servers.enumerate(server, static_cast<uint32_t>(lngType), domain,
                                       kPreferredBatchBytes, resume);
        status = static_cast<int32_t>(batch.status);
        if (batch.status != platform::status::kSuccess &&
            batch.status != platform::status::kMoreData)
            return status;
        const auto& entries = batch.value.entries;
        // Every name matches "*": room for the batch at once.
        if (pattern == u"*")
            Computers()->make_room_for(batch.value, [](const auto& e) { return e.name.size(); });
        for (const auto& entry : entries) {
            String name = upper_trimmed(entry.name);
            if (!matches_pattern(name, pattern)) continue;
            auto item = make<Computer>();
            item->no_text_ = no_text;
            if (with_info) {
                item->name_ = name;  // the record's name replaces it
                status = static_cast<int32_t>(item->load_details(name, true, strDefault));
            } else {
                item->name_ = std::move(name);
                item->platform_id_ = as_long(entry.platform_id);
                item->version_major_ = as_long(entry.version_major);
                item->version_minor_ = as_long(entry.version_minor);
                item->type_ = entry.type;
                item->type_read_ = true;
                item->comment_ = record_text(entry.comment, strDefault);
                item->entries_read_ = static_cast<int32_t>(entries.size());
                item->total_entries_ = as_long(batch.value.total_entries);
                item->hidden_ = false;
                item->unread_blank_ = false;
            }
            // The item stays where it is as the collection takes it over.
            const StringView key = item->name_;
            if (int32_t rc = attempt([&] { Computers()->add(Variant(std::move(item)), key); }))
                status = rc;
        }
        // Another call only while the browser says more follow and this one
        // moved the walk on; anything else would repeat the list forever.
        if (batch.status != platform::status::kMoreData || entries.empty() ||
            entries.size() == batch.value.total_entries)
            break;
    }
    return status;
}

// ---------------------------------------------------------------------------
// Write-through

String Computer::write_target() {
    const String name = to_upper(name_);
    if (name == GetMachineName(Variant(u"error"))) return {};
    auto env = platform::current().system().environment_variable(u"COMPUTERNAME");
    if (env.value && name == to_upper(*env.value)) return {};
    return unc(name_);
}

template <class Write>
void Computer::write_through(Write&& write) {
    const int32_t rc = attempt([&] {
        const platform::Status s = write(write_target());
        if (s != platform::status::kSuccess) last_error_ = static_cast<int32_t>(s);
    });
    if (rc != 0) last_error_ = rc;
}

void Computer::SetCompComment(String value) {
    write_through([&](const String& target) {
        const platform::Status s = platform::current().servers().set_comment(target, value);
        if (s == platform::status::kSuccess) comment_ = value;
        return s;
    });
}

void Computer::SetCompHidden(bool value) {
    write_through([&](const String& target) {
        const platform::Status s = platform::current().servers().set_hidden(target, value);
        if (s == platform::status::kSuccess) hidden_ = value;
        return s;
    });
}

// ---------------------------------------------------------------------------
// Machine and controller names

String Computer::GetMachineName(const Variant& strDefault) {
    auto name = platform::current().system().computer_name();
    if (name.ok()) return to_upper(name.value);
    String fallback;
    skip([&] { fallback = strDefault.to_string(); });
    return fallback;
}

template <class Lookup>
String Computer::controller_name(Lookup&& lookup, StringView machine, StringView domain,
                                 String strDefault) {
    last_error_ = 0;
    const String target = unc_or_local(machine);
    auto found = lookup(platform::current().servers(), target, domain);
    if (!found.ok()) {
        last_error_ = static_cast<int32_t>(found.status);
        return strDefault;
    }
    String name = trim_spaces(found.value);
    if (auto nul = name.find(u'\0'); nul != String::npos) name.resize(nul);
    if (!name.empty() && name[0] == u'\\') name.erase(0, std::min<size_t>(2, name.size()));
    return name;
}

String Computer::GetPDCName(String strMachine, String strDomain, String strDefault) {
    return controller_name(
        [](platform::Servers& s, StringView m, StringView d) { return s.dc_name(m, d); },
        strMachine, strDomain, std::move(strDefault));
}

String Computer::GetDCName(String strMachine, String strDomain, String strDefault) {
    return controller_name(
        [](platform::Servers& s, StringView m, StringView d) { return s.any_dc_name(m, d); },
        strMachine, strDomain, std::move(strDefault));
}

}  // namespace vorlek
