#include "automation/variant.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "automation/calendar.h"
#include "automation/checked.h"
#include "automation/error.h"
#include "automation/text.h"

namespace vorlek {

namespace {

bool is_space(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

StringView trim(StringView s) {
    while (!s.empty() && is_space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_space(s.back()))
        s.remove_suffix(1);
    return s;
}

// Numeric text as the automation coercion reads it: optional sign, digits with
// an optional decimal point and exponent, or "&H"/"&O" integers.
std::optional<double> parse_number(StringView text) {
    StringView s = trim(text);
    if (s.empty()) return std::nullopt;
    if (s.size() > 2 && s[0] == u'&' &&
        (s[1] == u'H' || s[1] == u'h' || s[1] == u'O' || s[1] == u'o')) {
        int base = (s[1] == u'H' || s[1] == u'h') ? 16 : 8;
        uint64_t value = 0;
        for (char16_t c : s.substr(2)) {
            int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                        : c >= u'a' && c <= u'f' ? c - u'a' + 10
                        : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                                 : 99;
            if (digit >= base) return std::nullopt;
            value = value * base + digit;
            if (value > 0xFFFFFFFFull) return std::nullopt;
        }
        // Hex literals are 32-bit patterns: &HFFFFFFFF is -1.
        if (value > 0xFFFF)
            return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
        return static_cast<double>(value > 0x7FFF ? static_cast<int16_t>(value)
                                                  : static_cast<int64_t>(value));
    }
    std::string ascii;
    ascii.reserve(s.size());
    size_t i = 0;
    if (s[i] == u'+' || s[i] == u'-') ascii.push_back(static_cast<char>(s[i++]));
    bool digits = false;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9')
        ascii.push_back(static_cast<char>(s[i++])), digits = true;
    if (i < s.size() && s[i] == u'.') {
        ascii.push_back('.');
        ++i;
        while (i < s.size() && s[i] >= u'0' && s[i] <= u'9')
            ascii.push_back(static_cast<char>(s[i++])), digits = true;
    }
    if (!digits) return std::nullopt;
    if (i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        ascii.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
            ascii.push_back(static_cast<char>(s[i++]));
        bool exp_digits = false;
        while (i < s.size() && s[i] >= u'0' && s[i] <= u'9')
            ascii.push_back(static_cast<char>(s[i++])), exp_digits = true;
        if (!exp_digits) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    double value = std::strtod(ascii.c_str(), nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// Integer conversion of a double: round half to even, then range check.
template <class T>
T round_to(double value) {
    if (std::isnan(value)) raise(err::kOverflow);
    double rounded = std::nearbyint(value);  // default rounding mode: half to even
    return checked::narrow<T>(rounded);
}

// A date from its parts, validated as the automation coercion does.
std::optional<double> serial_from_civil(int64_t y, int m, int d, int hh, int mm, int ss) {
    if (m < 1 || m > 12 || d < 1 || hh < 0 || hh > 23 || mm < 0 || mm > 59 || ss < 0 || ss > 59)
        return std::nullopt;
    const auto month = static_cast<unsigned>(m);
    if (static_cast<unsigned>(d) > calendar::days_in_month(y, month)) return std::nullopt;
    return calendar::serial_from_parts({y, month, static_cast<unsigned>(d),
                                        static_cast<unsigned>(hh), static_cast<unsigned>(mm),
                                        static_cast<unsigned>(ss)});
}

// Dates in text: "YYYY-MM-DD[ HH:MM[:SS]]" or "M/D/YYYY[ H:MM[:SS][ AM|PM]]".
std::optional<double> parse_date(StringView text) {
    std::string s = to_utf8(trim(text));
    int a = 0, b = 0, c = 0, hh = 0, mm = 0, ss = 0, used = 0;
    char ampm[3] = {};
    bool iso = std::sscanf(s.c_str(), "%4d-%2d-%2d%n", &a, &b, &c, &used) == 3;
    bool us = !iso && std::sscanf(s.c_str(), "%2d/%2d/%4d%n", &b, &c, &a, &used) == 3;
    if (!iso && !us) return std::nullopt;
    std::string rest = s.substr(static_cast<size_t>(used));
    if (!rest.empty()) {
        int tail = 0;
        int n = std::sscanf(rest.c_str(), " %2d:%2d%n:%2d%n", &hh, &mm, &tail, &ss, &tail);
        if (n < 2) return std::nullopt;
        rest = rest.substr(static_cast<size_t>(tail));
        if (std::sscanf(rest.c_str(), " %2[AaPp]%*[Mm]", ampm) == 1) {
            if (hh < 1 || hh > 12) return std::nullopt;
            bool pm = ampm[0] == 'P' || ampm[0] == 'p';
            hh = (hh % 12) + (pm ? 12 : 0);
        } else if (rest.find_first_not_of(' ') != std::string::npos) {
            return std::nullopt;
        }
    }
    return serial_from_civil(a, b, c, hh, mm, ss);
}

String format_double(double value) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    return from_utf8(buf);
}

Date date_in_range(double serial) {
    if (!calendar::in_date_range(serial)) raise(err::kOverflow);
    return Date{serial};
}

String format_date(double serial) {
    // A client can hand in any double as a Date; past the Date's range it
    // has no text, as the automation coercion reports.
    if (!calendar::in_date_range(serial)) raise(err::kOverflow);
    const calendar::DateTime c = calendar::parts_from_serial(serial);
    char buf[64];
    std::string out;
    bool has_time = c.hour != 0 || c.minute != 0 || c.second != 0;
    if (std::trunc(serial) != 0 || !has_time) {
        std::snprintf(buf, sizeof buf, "%u/%u/%lld", c.month, c.day,
                      static_cast<long long>(c.year));
        out = buf;
    }
    if (has_time) {
        unsigned h12 = c.hour % 12 == 0 ? 12 : c.hour % 12;
        std::snprintf(buf, sizeof buf, "%s%u:%02u:%02u %s", out.empty() ? "" : " ", h12, c.minute,
                      c.second, c.hour < 12 ? "AM" : "PM");
        out += buf;
    }
    return from_utf8(out);
}

double number_of(const String& s) {
    auto n = parse_number(s);
    if (!n) raise(err::kTypeMismatch);
    return *n;
}

}  // namespace

VarType Array::element_type() const noexcept {
    switch (elements.index()) {
        case 0:
            return VarType::Byte;
        case 1:
            return VarType::Long;
        default:
            return VarType::Variant;
    }
}

size_t Array::size() const noexcept {
    return std::visit([](const auto& v) { return v.size(); }, elements);
}

Variant Array::at(int32_t index) const {
    int64_t offset = static_cast<int64_t>(index) - lower_bound;
    if (offset < 0 || offset >= static_cast<int64_t>(size())) raise(err::kSubscript);
    return std::visit([offset](const auto& v) { return Variant(v[static_cast<size_t>(offset)]); },
                      elements);
}

Variant Variant::byte_array(std::vector<uint8_t> bytes, int32_t lower_bound) {
    return Variant(std::make_shared<const Array>(Array{lower_bound, std::move(bytes)}));
}
Variant Variant::long_array(std::vector<int32_t> values, int32_t lower_bound) {
    return Variant(std::make_shared<const Array>(Array{lower_bound, std::move(values)}));
}
Variant Variant::variant_array(std::vector<Variant> values, int32_t lower_bound) {
    return Variant(std::make_shared<const Array>(Array{lower_bound, std::move(values)}));
}

VarType Variant::type() const noexcept {
    static constexpr VarType kTypes[] = {VarType::Empty,   VarType::Null,   VarType::Missing,
                                         VarType::Integer, VarType::Long,   VarType::Byte,
                                         VarType::Double,  VarType::Date,   VarType::Boolean,
                                         VarType::String,  VarType::Object, VarType::Array};
    return kTypes[v_.index()];
}

double Variant::to_double() const {
    return std::visit(
        [](const auto& v) -> double {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Empty>)
                return 0;
            else if constexpr (std::is_same_v<T, int16_t> || std::is_same_v<T, int32_t> ||
                               std::is_same_v<T, uint8_t> || std::is_same_v<T, double>)
                return static_cast<double>(v);
            else if constexpr (std::is_same_v<T, Date>)
                return v.serial;
            else if constexpr (std::is_same_v<T, Bool>)
                return v.value ? -1 : 0;
            else if constexpr (std::is_same_v<T, String>)
                return number_of(v);
            else
                raise(err::kTypeMismatch);
        },
        v_);
}

int16_t Variant::to_integer() const {
    if (auto* i = std::get_if<int16_t>(&v_)) return *i;
    return round_to<int16_t>(to_double());
}

int32_t Variant::to_long() const {
    if (auto* i = std::get_if<int32_t>(&v_)) return *i;
    return round_to<int32_t>(to_double());
}

uint8_t Variant::to_byte() const {
    if (auto* b = std::get_if<uint8_t>(&v_)) return *b;
    return round_to<uint8_t>(to_double());
}

void Variant::visit_references(ReferenceVisitor& visit) const {
    if (auto* o = std::get_if<Ref<Object>>(&v_)) {
        if (*o) visit(**o);
    } else if (auto* a = std::get_if<ArrayRef>(&v_)) {
        if (*a) visit(**a, a->use_count());
    }
}

void release_value(Variant& value) noexcept {
    std::vector<Ref<Object>> inside;
    try {
        std::vector<const Array*> todo;
        if (const Array* a = value.if_array()) todo.push_back(a);
        while (!todo.empty()) {
            const Array* a = todo.back();
            todo.pop_back();
            if (auto* items = std::get_if<std::vector<Variant>>(&a->elements)) {
                for (const Variant& v : *items) {
                    if (Object* o = v.if_object()) inside.emplace_back(o);
                    if (const Array* nested = v.if_array()) todo.push_back(nested);
                }
            }
        }
    } catch (...) {
        // Out of memory: what was gathered is still checked.
    }
    value = Variant();
    // `inside` goes last: releasing each object checks its cycle, if any.
}

Date Variant::to_date() const {
    if (auto* d = std::get_if<Date>(&v_)) return *d;
    if (auto* s = std::get_if<String>(&v_)) {
        if (auto n = parse_number(*s)) return date_in_range(*n);
        if (auto d = parse_date(*s)) return Date{*d};
        raise(err::kTypeMismatch);
    }
    return date_in_range(to_double());
}

bool Variant::to_bool() const {
    if (auto* b = std::get_if<Bool>(&v_)) return b->value;
    if (auto* s = std::get_if<String>(&v_)) {
        StringView t = trim(*s);
        if (equal_ignore_case(t, u"True")) return true;
        if (equal_ignore_case(t, u"False")) return false;
    }
    return to_double() != 0;
}

String Variant::to_string() const {
    return std::visit(
        [](const auto& v) -> String {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Empty>)
                return {};
            else if constexpr (std::is_same_v<T, int16_t> || std::is_same_v<T, int32_t> ||
                               std::is_same_v<T, uint8_t>)
                return decimal(v);
            else if constexpr (std::is_same_v<T, double>)
                return format_double(v);
            else if constexpr (std::is_same_v<T, Date>)
                return format_date(v.serial);
            else if constexpr (std::is_same_v<T, Bool>)
                return v.value ? u"True" : u"False";
            else if constexpr (std::is_same_v<T, String>)
                return v;
            else
                raise(err::kTypeMismatch);
        },
        v_);
}

String Variant::take_string() {
    if (auto* s = std::get_if<String>(&v_)) return std::move(*s);
    return to_string();
}

Ref<Object> Variant::to_object() const {
    if (auto* o = std::get_if<Ref<Object>>(&v_)) return *o;
    if (is_empty() || std::holds_alternative<Null>(v_)) return {};
    raise(err::kTypeMismatch);
}

Variant Variant::coerce(VarType type) const {
    switch (type) {
        case VarType::Integer:
            return to_integer();
        case VarType::Long:
            return to_long();
        case VarType::Byte:
            return to_byte();
        case VarType::Double:
            return to_double();
        case VarType::Date:
            return to_date();
        case VarType::Boolean:
            return to_bool();
        case VarType::String:
            return to_string();
        case VarType::Object:
            return to_object();
        case VarType::Variant:
            return *this;
        case VarType::Empty:
            return Variant();
        default:
            if (this->type() == type) return *this;
            raise(err::kTypeMismatch);
    }
}

bool operator==(const Variant& a, const Variant& b) noexcept {
    if (a.v_.index() != b.v_.index()) return false;
    if (auto* x = std::get_if<ArrayRef>(&a.v_)) {
        auto* y = std::get_if<ArrayRef>(&b.v_);
        if (*x == *y) return true;
        return (*x)->lower_bound == (*y)->lower_bound && (*x)->elements == (*y)->elements;
    }
    return a.v_ == b.v_;
}

StringView type_name(VarType type) {
    static constexpr std::pair<VarType, StringView> kNames[] = {
        {VarType::Empty, u"Empty"},     {VarType::Null, u"Null"},
        {VarType::Integer, u"Integer"}, {VarType::Long, u"Long"},
        {VarType::Double, u"Double"},   {VarType::Date, u"Date"},
        {VarType::String, u"String"},   {VarType::Object, u"Object"},
        {VarType::Missing, u"Error"},   {VarType::Boolean, u"Boolean"},
        {VarType::Variant, u"Variant"}, {VarType::Byte, u"Byte"},
        {VarType::Array, u"Variant()"},
    };
    for (const auto& [t, name] : kNames) {
        if (t == type) return name;
    }
    return u"Unknown";
}

}  // namespace vorlek
