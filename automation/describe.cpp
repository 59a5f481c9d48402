#include "automation/describe.h"

#include <charconv>

namespace vorlek {

namespace {

constexpr std::string_view kGenerated =
    "Generated from the member tables by vorlek-describe; do not edit. After a table "
    "changes, run `cmake --build --preset dev --target reference`.";

std::string number_text(double value) {
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

// A declared default as IDL writes it (Boolean as its -1/0 value).
std::string idl_default(const Variant& v) {
    switch (v.type()) {
        case VarType::String:
            return idl::quoted(to_utf8(*v.if_string()));
        case VarType::Boolean:
            return v.to_bool() ? "-1" : "0";
        case VarType::Integer:
        case VarType::Long:
        case VarType::Byte:
            return std::to_string(v.to_long());
        case VarType::Double:
            return number_text(v.to_double());
        case VarType::Date:
            return number_text(v.to_date().serial);
        default:
            return to_utf8(v.to_string());
    }
}

// The same default as a script writes it.
std::string script_default(const Variant& v) {
    if (v.type() == VarType::Boolean) return v.to_bool() ? "True" : "False";
    return idl_default(v);
}

bool is_put(MemberKind kind) {
    return kind == MemberKind::Let || kind == MemberKind::Set;
}

// Type information keeps one help string per dispatch id: the first entry's.
StringView help_of(const ClassInfo& info, const MemberInfo& m) {
    for (const MemberInfo& other : info.members) {
        if (other.dispid == m.dispid) return other.help;
    }
    return m.help;
}

idl::Interface interface_without_id(const ClassInfo& info) {
    idl::Interface iface;
    iface.name = to_utf8(info.interface_name);
    for (const MemberInfo& m : info.members) {
        idl::Entry e;
        e.name = to_utf8(m.name);
        e.kind = static_cast<uint8_t>(m.kind);
        e.dispid = m.dispid;
        e.hidden = m.hidden;
        e.help = to_utf8(help_of(info, m));
        for (size_t i = 0; i < m.params.size(); ++i) {
            const ParamInfo& p = m.params[i];
            idl::Param q;
            // The type library leaves the assigned value of a put unnamed.
            q.name = is_put(m.kind) && i + 1 == m.params.size() ? std::string(idl::kAssignedName)
                                                                : to_utf8(p.name);
            q.vt = automation_type(p.type);
            q.by_ref = q.out = p.by_ref;
            q.optional = p.optional;
            q.has_default = p.has_default;
            if (p.has_default) q.default_text = idl_default(p.default_value);
            e.params.push_back(std::move(q));
        }
        if (m.result != VarType::Empty) {
            idl::Param r;
            r.name = idl::kResultName;
            r.vt = result_type(m);
            r.by_ref = r.out = r.retval = true;
            e.params.push_back(std::move(r));
        }
        iface.entries.push_back(std::move(e));
    }
    return iface;
}

Uuid uuid_of(const idl::Interface& iface) {
    return name_uuid(kNamespace, idl::interface_block(iface, false));
}

std::string markdown_cell(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '|') out += '\\';
        out += c;
    }
    return out;
}

std::string kind_text(const MemberInfo& m) {
    std::string kind;
    switch (m.kind) {
        case MemberKind::Method:
            kind = "method";
            break;
        case MemberKind::Get:
            kind = m.thunk ? "get" : "constant";
            break;
        case MemberKind::Let:
            kind = "let";
            break;
        case MemberKind::Set:
            kind = "set";
            break;
    }
    return m.hidden ? kind + " (hidden)" : kind;
}

std::string parameters_text(const MemberInfo& m) {
    std::string out;
    for (const ParamInfo& p : m.params) {
        if (!out.empty()) out += ", ";
        std::string one =
            (p.by_ref ? "ByRef `" : "`") + to_utf8(p.name) + "` As " + to_utf8(type_name(p.type));
        if (p.has_default) one += " = " + script_default(p.default_value);
        out += p.optional ? "[" + one + "]" : one;
    }
    return markdown_cell(out);
}

std::string result_text(const MemberInfo& m) {
    if (m.result == VarType::Empty) return {};
    std::string out = to_utf8(type_name(m.result));
    if (!m.thunk) out += " = " + script_default(m.constant);
    return out;
}

std::string creation_text(const ClassInfo& info) {
    if (!info.create) return "by the library only (not creatable)";
    return "`CreateObject(\"" + to_utf8(info.progid) + "\")`";
}

}  // namespace

uint16_t automation_type(VarType type) {
    switch (type) {
        case VarType::Empty:
            return idl::kVoid;
        case VarType::Integer:
        case VarType::Long:
        case VarType::Double:
        case VarType::Date:
        case VarType::String:
        case VarType::Object:
        case VarType::Boolean:
        case VarType::Byte:
            return static_cast<uint16_t>(type);  // the numbers are VARTYPE's
        default:
            return idl::kVariant;
    }
}

uint16_t result_type(const MemberInfo& m) {
    return m.dispid == kDispIdNewEnum ? uint16_t{idl::kUnknown} : automation_type(m.result);
}

Uuid interface_uuid(const ClassInfo& info) {
    return uuid_of(interface_without_id(info));
}

Uuid class_uuid(const ClassInfo& info) {
    return name_uuid(kNamespace, to_utf8(info.progid));
}

Uuid library_uuid() {
    return name_uuid(kNamespace, "Vorlek");
}

idl::Interface describe_interface(const ClassInfo& info) {
    idl::Interface iface = interface_without_id(info);
    iface.uuid = to_text(uuid_of(iface));
    return iface;
}

std::string idl_file(const ClassInfo& info) {
    idl::CoClass coclass{to_utf8(info.name), to_text(class_uuid(info)), info.create != nullptr};
    return "// " + std::string(kGenerated) + "\n\n" +
           idl::library_text(describe_interface(info), coclass);
}

std::string reference_page(const ClassInfo& info) {
    const std::string name = to_utf8(info.name);
    std::string out = "<!-- " + std::string(kGenerated) + " -->\n\n# " + name + "\n\n";
    out += "| | |\n|---|---|\n";
    out += "| ProgID | `" + to_utf8(info.progid) + "` |\n";
    out += "| Interface | `" + to_utf8(info.interface_name) + "` (dual), id `" +
           to_text(interface_uuid(info)) + "` |\n";
    out += "| Class id | `" + to_text(class_uuid(info)) + "` |\n";
    out += "| Created | " + creation_text(info) + " |\n\n";
    out +=
        "The members in interface order. A property's get and its let or set share one "
        "dispatch id. Parameters in brackets are optional; `= value` is what a left-out one "
        "receives (without it, the zero value of its type, or the missing marker for a "
        "Variant). ByRef parameters are in-out: the member writes back into the caller's "
        "variable. IDL: [" +
        name + ".idl](" + name + ".idl).\n\n";
    out += "| Id | Member | Kind | Parameters | Result | Help |\n";
    out += "|---:|---|---|---|---|---|\n";
    for (const MemberInfo& m : info.members) {
        out += "| " + std::to_string(m.dispid) + " | `" + to_utf8(m.name) + "` | " + kind_text(m) +
               " | " + parameters_text(m) + " | " + result_text(m) + " | " +
               markdown_cell(to_utf8(m.help)) + " |\n";
    }
    return out;
}

std::string reference_index(const std::vector<const ClassInfo*>& classes) {
    std::string out = "<!-- " + std::string(kGenerated) + " -->\n\n# Reference\n\n";
    out += "The classes of the type library `Vorlek` 1.0 (id `" + to_text(library_uuid()) +
           "`, locale 0x409), one reference page and one IDL text each, generated from the "
           "member tables. An interface id is derived from the IDL of its interface without "
           "the help strings: any change of a member's name, kind, dispatch id, place, "
           "parameters, types or defaults gives the interface a new id, so a client compiled "
           "against the old one does not meet the new one unawares. Class ids and ProgIDs "
           "stay as they are.\n\n";
    out += "| Class | ProgID | Interface | Interface id | Members | |\n";
    out += "|---|---|---|---|---:|---|\n";
    for (const ClassInfo* info : classes) {
        const std::string name = to_utf8(info->name);
        out += "| " + name + " | " + (info->create ? "`" + to_utf8(info->progid) + "`" : "—") +
               " | `" + to_utf8(info->interface_name) + "` | `" + to_text(interface_uuid(*info)) +
               "` | " + std::to_string(info->members.size()) + " | [page](" + name +
               ".md), [IDL](" + name + ".idl) |\n";
    }
    return out;
}

}  // namespace vorlek
