#include "eventlog/eventer.h"

#include <map>
#include <optional>
#include <unordered_map>

#include "automation/calendar.h"
#include "automation/text.h"
#include "computers/computer.h"
#include "platform/eventlog.h"
#include "platform/locale.h"
#include "platform/platform.h"
#include "platform/security.h"
#include "registry/registry.h"
#include "strings/stringer.h"
#include "system/dll_class.h"
#include "users/user_manager.h"

namespace vorlek {

namespace {

namespace st = platform::status;
namespace evt = platform::evt;
using platform::EventLogHandle;

constexpr uint32_t kFirstBuffer = 8192;
constexpr uint32_t kReadForwards = evt::kSequentialRead | evt::kForwardsRead;
constexpr int32_t kGerman = 1031;
constexpr StringView kNoText = u"---";
constexpr StringView kSourcesKey =
    u"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\";
constexpr StringView kCallingUser = u"\\??\\";

// The type names, compared in this order.
struct TypeName {
    int32_t type;
    StringView name;
};
constexpr TypeName kTypeNames[] = {
    {Eventer::kTypeAuditFailure, u"TYPE_AUDIT_FAILURE"},
    {Eventer::kTypeAuditSuccess, u"TYPE_AUDIT_SUCCESS"},
    {Eventer::kTypeError, u"TYPE_ERROR"},
    {Eventer::kTypeInformation, u"TYPE_INFORMATION"},
    {Eventer::kTypeWarning, u"TYPE_WARNING"},
};

StringView type_name(uint16_t type) {
    for (const TypeName& t : kTypeNames)
        if (t.type == type) return t.name;
    return kNoText;
}

struct FallbackTexts {
    StringView description;  // %1 the event identifier, %2 the source
    StringView no_user;
    StringView no_category;
};
constexpr FallbackTexts kEnglish{
    u"The description for Event ID ( %1 ) in Source ( %2 ) could not be found. It contains the "
    u"following insertion string(s): ",
    u"N/A", u"none"};
constexpr FallbackTexts kGermanTexts{
    u"Die Beschreibung der Ereignis-ID ( %1 ) in Quelle ( %2 ) konnte nicht gefunden werden. Sie "
    u"enth\u00e4lt folgende Einf\u00fcgezeichenkette(n): ",
    u"---", u"---"};

bool is_single_nul(StringView text) {
    return text.size() == 1 && text[0] == u'\0';
}

// A pattern that is "*" matches everything: the common case costs nothing.
bool every_text(StringView pattern) {
    return pattern.size() == 1 && pattern[0] == u'*';
}
bool matches(StringView text, StringView pattern) {
    return every_text(pattern) || matches_pattern(text, pattern);
}

// "\\" and the machine's name, up to two leading backslashes of the given
// name dropped; empty for the local machine.
String server_name(StringView connect) {
    if (connect.empty()) return {};
    for (int i = 0; i < 2 && !connect.empty() && connect.front() == u'\\'; ++i)
        connect.remove_prefix(1);
    return String(u"\\\\").append(connect);
}

// The platform's code, or the run-time error's number, as a Long.
int32_t code(platform::Status s) {
    return as_long(s);
}

String hex2(uint8_t b) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    return {kHex[b >> 4], kHex[b & 0xF]};
}

// An open log or source, closed with the member that opened it.
class OpenLog {
  public:
    explicit OpenLog(EventLogHandle h, bool source = false) : h_(h), source_(source) {}
    ~OpenLog() {
        auto& el = platform::current().eventlog();
        source_ ? el.deregister_source(h_) : el.close(h_);
    }
    OpenLog(const OpenLog&) = delete;
    OpenLog& operator=(const OpenLog&) = delete;
    EventLogHandle get() const noexcept { return h_; }

  private:
    EventLogHandle h_;
    bool source_;
};

}  // namespace

String data_bytes_text(const std::vector<uint8_t>& data) {
    if (data.empty()) return String(kNoText);
    String out;
    out.reserve(data.size() * 3);
    for (size_t k = 0; k < data.size(); ++k)
        out.append(hex2(data[k])).push_back(k % 8 == 7 ? u'\n' : u' ');
    out.pop_back();
    return out;
}

String data_words_text(const std::vector<uint8_t>& data) {
    if (data.empty()) return String(kNoText);
    String out;
    const size_t words = data.size() / 4;
    for (size_t w = 0; w < words; ++w) {
        for (size_t b = 4; b-- > 0;)
            out.append(hex2(data[w * 4 + b]));
        out.push_back(w % 4 == 3 ? u'\n' : u' ');
    }
    for (size_t k = words * 4; k < data.size(); ++k)
        out.append(hex2(data[k]));
    return out;
}

String data_chars_text(const String& chars) {
    if (chars.empty()) return String(kNoText);
    String out;
    out.reserve(chars.size() + chars.size() / 8);
    for (size_t k = 0; k < chars.size(); ++k) {
        const char16_t c = chars[k];
        out.push_back(c <= 32 || c == 127 || c == 160 ? u'.' : c);
        if (k % 8 == 7) out.push_back(u'\n');
    }
    return out;
}

String insert_strings(StringView message, const std::vector<String>& strings) {
    String out;
    out.reserve(message.size());
    size_t i = 0;
    while (i < message.size()) {
        const size_t at = message.find(u'%', i);
        if (at == StringView::npos) break;
        out.append(message.substr(i, at - i));
        size_t end = at + 1;
        uint64_t n = 0;
        while (end < message.size() && message[end] >= u'0' && message[end] <= u'9' &&
               n <= strings.size())
            n = n * 10 + (message[end++] - u'0');
        // A number that runs on past the strings is no placeholder: its digits stay.
        while (end < message.size() && message[end] >= u'0' && message[end] <= u'9')
            ++end, n = strings.size() + 1;
        if (n >= 1 && n <= strings.size())
            out.append(strings[n - 1]);
        else
            out.append(message.substr(at, end - at));
        i = end;
    }
    out.append(message.substr(std::min(i, message.size())));
    return out;
}

// What one InitReadEvents call needs besides the log: the private objects of
// the other classes, made on first use, and what it has looked up already.
// Message files, their texts and account names do not change during a call,
// so each is looked up once per call; the next call sees any change.
class Eventer::Reader {
  public:
    Reader(String log, bool german)
        : log_(std::move(log)), texts_(german ? kGermanTexts : kEnglish) {}

    const FallbackTexts& texts() const { return texts_; }

    // The local date of a time written or generated. The conversion takes
    // the machine's bias of the moment, which holds for the whole call: once
    // one conversion has shown it, the others add it themselves.
    Date local_date(uint32_t seconds) {
        if (offset_) return date_at(int64_t{seconds} + *offset_);
        const Date local = dll().FileTimeToLocFileTime(date_at(seconds));
        if (local.serial != kDate19700101 && calendar::in_date_range(local.serial)) {
            const calendar::DateTime p = calendar::parts_from_serial(local.serial);
            offset_ = calendar::days_from_civil(p.year, p.month, p.day) * 86400 + p.hour * 3600 +
                      p.minute * 60 + p.second - int64_t{seconds};
        }
        return local;
    }

    String user(const std::vector<uint8_t>& sid) {
        if (sid.empty()) return String(texts_.no_user);
        auto [it, made] = users_.try_emplace(String(sid.begin(), sid.end()));
        if (made) {
            it->second = String(kNoText);
            auto parsed = platform::Sid::from_bytes(sid.data(), sid.size());
            if (parsed) {
                auto found = platform::current().security().lookup_account_sid(u"", *parsed);
                if (found.ok()) it->second = found.value.name;
            }
        }
        return it->second;
    }

    // The message files of a source and what was found in them.
    struct Files {
        std::vector<String> event;  // each file of EventMessageFile, expanded
        String event_raw = String(kNoText);
        String category = String(kNoText);
        String parameter = String(kNoText);
        std::unordered_map<int32_t, String> categories;  // by number: the text or "---"
        std::unordered_map<uint32_t, String> messages;   // by event id: the text or "---"
        std::unordered_map<int32_t, String> parameters;  // by number: the text or "---"
    };

    Files& files(StringView source) {
        auto [it, made] = files_.try_emplace(String(source));
        if (made) {
            Files& f = it->second;
            f.event_raw = file_value(source, u"EventMessageFile");
            if (f.event_raw != kNoText) {
                Stringer& s = stringer();
                s.InitSeperator(f.event_raw, u";", true);
                const Ref<Collection> pieces = s.SepStrings();
                for (size_t i = 0; pieces && i < pieces->size(); ++i)
                    f.event.push_back(pieces->object_at<Stringer>(i)->SepString());
            }
            f.category = file_value(source, u"CategoryMessageFile");
            f.parameter = file_value(source, u"ParameterMessageFile");
        }
        return it->second;
    }

    // One insertion string as the message takes it.
    String insertion(Files& f, const String& raw) {
        String s = raw;
        if (s.starts_with(u"%%") && f.parameter != kNoText) {
            const int32_t number = parameter_number(StringView(s).substr(2));
            auto [it, made] = f.parameters.try_emplace(number);
            if (made) it->second = message(f.parameter, number);
            if (it->second != kNoText) s = it->second;
        }
        if (s.find(u"%%") != String::npos) s = replace_all(s, u"%", u"%%");
        if (s.find(u"\r\n") != String::npos) s = replace_all(s, u"\n", u"\r\n");
        if (!s.empty() && s.back() == u'\n') s.pop_back();
        if (!s.empty() && s.back() == u'\r') s.pop_back();
        return s;
    }

    String category(Files& f, int16_t category) {
        String text = category ? u"(" + decimal(category) + u")" : String(texts_.no_category);
        const String& file = f.category != kNoText ? f.category : f.event_raw;
        if (file != kNoText) {
            auto [it, made] = f.categories.try_emplace(category);
            if (made) it->second = message(file, category);
            if (it->second != kNoText) text = it->second;
        }
        return text;
    }

    String description(Files& f, uint32_t event_id, StringView source,
                       const std::vector<String>& strings) {
        auto [it, made] = f.messages.try_emplace(event_id, String(kNoText));
        if (made) {
            for (const String& file : f.event) {
                String found = message(file, as_long(event_id));
                if (found != kNoText) {
                    it->second = std::move(found);
                    break;
                }
            }
        }
        if (it->second != kNoText) return insert_strings(it->second, strings);
        String text =
            insert_strings(texts_.description, {decimal(event_id & 0xFFFF), String(source)});
        for (size_t i = 0; i < strings.size(); ++i) {
            if (i) text.push_back(u',');
            text.append(strings[i]);
        }
        return text;
    }

    // The texts an item shares with the items before it that have the same.
    std::shared_ptr<const Shared> shared(String source, String computer, String category,
                                         String user) {
        const auto same = [&](const Shared& s) {
            return s.source == source && s.computer == computer && s.category == category &&
                   s.user == user;
        };
        if (last_shared_ && same(*last_shared_)) return last_shared_;
        String key = source;
        for (const String* t : {&computer, &category, &user})
            key.append(1, u'\0').append(*t);
        auto& kept = shared_[std::move(key)];
        if (!kept)
            kept = std::make_shared<const Shared>(Shared{std::move(source), std::move(computer),
                                                         std::move(category), std::move(user)});
        last_shared_ = kept;
        return kept;
    }

    String data_chars(const std::vector<uint8_t>& data) {
        return data.empty() ? String() : characters(data);
    }

  private:
    static Date date_at(int64_t unix_seconds) {
        const int64_t days =
            unix_seconds >= 0 ? unix_seconds / 86400 : -((-unix_seconds + 86399) / 86400);
        const int64_t rest = unix_seconds - days * 86400;
        const calendar::Civil c = calendar::civil_from_days(days);
        return Date{calendar::serial_from_parts(
            {c.year, c.month, c.day, static_cast<unsigned>(rest / 3600),
             static_cast<unsigned>(rest % 3600 / 60), static_cast<unsigned>(rest % 60)})};
    }

    DllClass& dll() {
        if (!dll_) dll_ = make<DllClass>();
        return *dll_;
    }
    Stringer& stringer() {
        if (!stringer_) stringer_ = make<Stringer>();
        return *stringer_;
    }
    Registry& registry() {
        if (!registry_) registry_ = make<Registry>();
        return *registry_;
    }

    String replace_all(const String& text, StringView with, StringView what) {
        return stringer().ReplaceString(text, String(with), String(what), Stringer::kReplaceAll,
                                        Stringer::kCaseSensitive, Stringer::kNoBound,
                                        Stringer::kNoBound);
    }

    static int32_t parameter_number(StringView digits) {
        if (digits.empty() || digits.size() > 10) return kNotANumber;
        int64_t n = 0;
        for (char16_t c : digits) {
            if (c < u'0' || c > u'9') return kNotANumber;
            n = n * 10 + (c - u'0');
        }
        return n > INT32_MAX ? kNotANumber : static_cast<int32_t>(n);
    }

    // A value of the source's key, its environment references expanded;
    // "---" when there is none.
    String file_value(StringView source, StringView value) {
        String key = String(kSourcesKey).append(log_).append(u"\\").append(source);
        String file = registry().GetRegValueSZ(u"", key, String(value), String(kNoText));
        if (file == kNoText) return file;
        return stringer().ReplaceEnvVars(file, String(kNoText));
    }

    String message(const String& file, int32_t number) {
        return dll().FormatAPIMessage(number, String(kNoText), file, 0);
    }

    // The data's bytes as characters of the system code page, one per byte.
    String characters(const std::vector<uint8_t>& data) {
        auto& locale = platform::current().locale();
        auto whole = locale.multibyte_to_wide(platform::kCodePageAnsi, data);
        if (whole.ok() && whole.value.size() == data.size()) return std::move(whole.value);
        String out;
        for (uint8_t b : data) {
            auto one = locale.multibyte_to_wide(platform::kCodePageAnsi, {b});
            out.push_back(one.ok() && one.value.size() == 1 ? one.value[0] : u'?');
        }
        return out;
    }

    String log_;
    const FallbackTexts& texts_;
    Ref<DllClass> dll_;
    Ref<Stringer> stringer_;
    Ref<Registry> registry_;
    std::unordered_map<String, Files, CaseInsensitiveHash, CaseInsensitiveEqual> files_;
    std::optional<int64_t> offset_;   // local time minus UTC, in seconds
    std::map<String, String> users_;  // by the SID's bytes
    // The shared texts made so far, by their texts one after another.
    struct ExactHash {
        size_t operator()(const String& s) const noexcept { return std::hash<StringView>{}(s); }
    };
    std::unordered_map<String, std::shared_ptr<const Shared>, ExactHash> shared_;
    std::shared_ptr<const Shared> last_shared_;
};

const ClassInfo& Eventer::info() {
    static const ClassInfo info = [] {
        static constexpr StringView kEventsHelp = u"Collection containing the evntlog properties";
        static constexpr StringView kSourceHelp =
            u"Used like a constant to specify the source in function InitReadEvents";
        static constexpr StringView kTypeHelp =
            u"Used like a constant to filter the events in function InitReadEvents";
        ClassBuilder<Eventer> b(u"Eventer");
        b.get<&Eventer::Events>(u"Events", {}, kEventsHelp)
            .set<&Eventer::SetEvents>(u"Events", kEventsHelp)
            .get<&Eventer::EventID>(u"EventID")
            .get<&Eventer::EventType>(u"EventType")
            .get<&Eventer::EventSource>(u"EventSource")
            .get<&Eventer::EventRecordNumber>(u"EventRecordNumber")
            .get<&Eventer::EventDateGenerated>(u"EventDateGenerated")
            .get<&Eventer::EventDateWritten>(u"EventDateWritten")
            .get<&Eventer::EventComputer>(u"EventComputer")
            .get<&Eventer::EventCategory>(u"EventCategory")
            .get<&Eventer::EventDescription>(u"EventDescription")
            .get<&Eventer::EventData>(u"EventData")
            .get<&Eventer::EventDataBytes>(u"EventDataBytes")
            .get<&Eventer::EventDataWords>(u"EventDataWords")
            .get<&Eventer::EventDataString>(u"EventDataString")
            .get<&Eventer::EventUser>(u"EventUser")
            .get<&Eventer::SOURCE_APPLICATION>(u"SOURCE_APPLICATION", {}, kSourceHelp)
            .get<&Eventer::SOURCE_SECURITY>(u"SOURCE_SECURITY", {}, kSourceHelp)
            .get<&Eventer::SOURCE_SYSTEM>(u"SOURCE_SYSTEM", {}, kSourceHelp)
            .constant(u"TYPE_INFORMATION", kTypeInformation, kTypeHelp)
            .constant(u"TYPE_WARNING", kTypeWarning, kTypeHelp)
            .constant(u"TYPE_ERROR", kTypeError, kTypeHelp)
            .constant(u"TYPE_AUDIT_SUCCESS", kTypeAuditSuccess, kTypeHelp)
            .constant(u"TYPE_AUDIT_FAILURE", kTypeAuditFailure, kTypeHelp)
            .get<&Eventer::EventRecordsNum>(u"EventRecordsNum")
            .method<&Eventer::InitReadEvents>(
                u"InitReadEvents",
                {optional(u"strConnect", u""), optional(u"strEventSource", u"Application"),
                 optional(u"dteFrom", Date{kDate19700101}),
                 optional(u"dteUntil", Date{kDate19700101}), optional(u"lngType", -1),
                 optional(u"strSource", u"*"), optional(u"strCategory", u"*"),
                 optional(u"strDescription", u"*"), optional(u"strDataString", u"*"),
                 optional(u"strComputer", u"*"), optional(u"strUser", u"*"), optional(u"lngID", -1),
                 optional(u"strFile", u"")})
            .method<&Eventer::WriteEvent>(
                u"WriteEvent",
                {param(u"intEventType"), param(u"lngEventID"), param(u"strSourceName"),
                 param(u"intCategory"), param(u"strDesc"), optional(u"varData"),
                 optional(u"strConnect", u""), optional(u"strUser", u""),
                 optional(u"strUserMachine", u"")},
                u"Writes an event to the eventlog of the specified computer")
            .method<&Eventer::SaveEventLog>(
                u"SaveEventLog",
                {param(u"strFile"), optional(u"strConnect", u""),
                 optional(u"strEventSource", u"Application")},
                u"Saves the eventlog of the specified computer to a file")
            .method<&Eventer::CleanEventLog>(
                u"CleanEventLog",
                {optional(u"strFile", u""), optional(u"strConnect", u""),
                 optional(u"strEventSource", u"Application")},
                u"Clears the eventlog on the specified computer");
        return b.build();
    }();
    return info;
}

Ref<Collection> Eventer::Events() {
    if (!events_) SetEvents(make<Collection>());
    return events_;
}

String Eventer::EventType() const {
    return has_type_ ? String(type_name(type_)) : String();
}

Variant Eventer::EventData() const {
    if (!has_type_) return Variant();
    return Variant::byte_array(data_size_ == 0 ? std::vector<uint8_t>{0} : data());
}

String Eventer::EventDataBytes() const {
    return has_type_ ? data_bytes_text(data()) : String();
}

String Eventer::EventDataWords() const {
    return has_type_ ? data_words_text(data()) : String();
}

String Eventer::EventDataString() const {
    if (!has_type_) return {};
    Reader r({}, false);
    return data_chars_text(r.data_chars(data()));
}

int32_t Eventer::InitReadEvents(String strConnect, String strEventSource, Date dteFrom,
                                Date dteUntil, int32_t lngType, String strSource,
                                String strCategory, String strDescription, String strDataString,
                                String strComputer, String strUser, int32_t lngID, String strFile) {
    for (String* pattern : {&strSource, &strCategory, &strComputer, &strUser})
        if (pattern->empty() || is_single_nul(*pattern)) *pattern = u"*";
    if (strDescription.empty()) strDescription = u"*";
    if (strEventSource.empty() || is_single_nul(strEventSource)) strEventSource = u"Application";
    if (is_single_nul(strConnect)) strConnect.clear();

    records_num_ = 0;
    SetEvents(make<Collection>());
    Collection& events = *events_;
    auto& el = platform::current().eventlog();
    const bool german = platform::current().locale().user_default_lcid() == kGerman;
    Reader reader(strEventSource, german);

    auto opened = strFile.empty() ? el.open(server_name(strConnect), strEventSource)
                                  : el.open_backup(u"", strFile);
    if (!opened.ok()) return code(opened.status);
    OpenLog log(opened.value);
    auto count = el.record_count(log.get());
    if (!count.ok()) return code(count.status);
    records_num_ = as_long(count.value);

    const bool from_bound = dteFrom.serial != kDate19700101;
    const bool until_bound = dteUntil.serial != kDate19700101;
    uint32_t buffer = kFirstBuffer;
    return attempt([&] {
        for (;;) {
            auto read = el.read(log.get(), kReadForwards, 0, buffer);
            if (read.status == st::kHandleEof) return;
            if (read.status == st::kInsufficientBuffer && read.value.needed > buffer) {
                buffer = read.value.needed;
                continue;
            }
            if (!read.ok()) raise(code(read.status));
            for (platform::EventLogRecord& r : read.value.records) {
                const int32_t id = static_cast<int32_t>(r.event_id & 0xFFFF);
                if (lngID != -1 && lngID != id) continue;
                if (lngType != -1 && (lngType & r.type) == 0) continue;
                const Date written = reader.local_date(r.time_written);
                if (from_bound && written.serial < dteFrom.serial) continue;
                if (until_bound && written.serial > dteUntil.serial) continue;
                const Date generated = reader.local_date(r.time_generated);
                String source = r.source.empty() ? String(kNoText) : std::move(r.source);
                if (!matches(source, strSource)) continue;
                String computer = r.computer.empty() ? String(kNoText) : std::move(r.computer);
                if (!matches(computer, strComputer)) continue;
                String user = reader.user(r.sid);
                if (!matches(user, strUser)) continue;
                auto& files = reader.files(source);
                for (String& s : r.strings)
                    s = reader.insertion(files, s);
                String category = reader.category(files, r.category);
                if (!matches(category, strCategory)) continue;
                String description = reader.description(files, r.event_id, source, r.strings);
                if (!matches(description, strDescription)) continue;
                if (!every_text(strDataString) &&
                    !matches(data_chars_text(reader.data_chars(r.data)), strDataString))
                    continue;

                auto item = make<Eventer>();
                item->generated_ = generated;
                item->written_ = written;
                item->id_ = id;
                item->record_number_ = as_long(r.number);
                item->shared_ = reader.shared(std::move(source), std::move(computer),
                                              std::move(category), std::move(user));
                item->description_.set({{0, description}});
                if (!r.data.empty()) {
                    item->data_ = std::make_unique_for_overwrite<uint8_t[]>(r.data.size());
                    std::copy(r.data.begin(), r.data.end(), item->data_.get());
                    item->data_size_ = static_cast<uint32_t>(r.data.size());
                }
                item->type_ = r.type;
                item->has_type_ = true;
                events.add(Variant(std::move(item)), decimal(r.number));
            }
        }
    });
}

int32_t Eventer::WriteEvent(int16_t intEventType, int32_t lngEventID, String strSourceName,
                            int16_t intCategory, String strDesc, Variant varData, String strConnect,
                            String strUser, String strUserMachine) {
    std::vector<uint8_t> sid;
    if (!strUser.empty()) {
        auto dll = make<DllClass>();
        Variant longs;
        if (strUser == kCallingUser) {
            auto users = make<UserManager>();
            const String name = users->GetCurrentUser(u"");
            longs = dll->GetDomSIDArray(u"", name);
            if (dll->LastError()) return dll->LastError();
            if (users->LastError()) return users->LastError();
        } else {
            longs = dll->GetDomSIDArray(strUserMachine, strUser);
            if (dll->LastError()) return dll->LastError();
        }
        if (const Array* a = longs.if_array())
            if (auto* values = std::get_if<std::vector<int32_t>>(&a->elements))
                for (int32_t v : *values)
                    for (int i = 0; i < 4; ++i)
                        sid.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    }
    std::vector<uint8_t> data;
    if (!varData.is_missing() && !varData.is_empty()) {
        const Array* a = varData.if_array();
        const auto* bytes = a ? std::get_if<std::vector<uint8_t>>(&a->elements) : nullptr;
        if (!bytes) return err::kTypeMismatch;
        data = *bytes;
    }
    auto& el = platform::current().eventlog();
    auto registered = el.register_source(server_name(strConnect), strSourceName);
    if (!registered.ok()) return code(registered.status);
    OpenLog source(registered.value, true);
    std::vector<String> strings;
    auto splitter = make<Stringer>();
    if (int32_t rc = splitter->InitSeperator(strDesc, String(1, u'\0'), true)) return rc;
    const Ref<Collection> pieces = splitter->SepStrings();
    for (size_t i = 0; pieces && i < pieces->size(); ++i)
        strings.push_back(pieces->object_at<Stringer>(i)->SepString());
    return code(el.report(source.get(), static_cast<uint16_t>(intEventType),
                          static_cast<uint16_t>(intCategory), as_dword(lngEventID), sid, strings,
                          data));
}

int32_t Eventer::SaveEventLog(String strFile, String strConnect, String strEventSource) {
    auto& el = platform::current().eventlog();
    auto opened = el.open(server_name(strConnect), strEventSource);
    if (!opened.ok()) return code(opened.status);
    OpenLog log(opened.value);
    return code(el.backup(log.get(), strFile));
}

int32_t Eventer::CleanEventLog(String strFile, String strConnect, String strEventSource) {
    auto& el = platform::current().eventlog();
    auto opened = el.open(server_name(strConnect), strEventSource);
    if (!opened.ok()) return code(opened.status);
    OpenLog log(opened.value);
    return code(
        el.clear(log.get(), strFile.empty() ? std::nullopt : std::optional<StringView>(strFile)));
}

}  // namespace vorlek
