#include "automation/idl.h"

namespace vorlek::idl {

namespace {

struct Named {
    unsigned number;
    std::string_view name;
};

constexpr Named kTypes[] = {
    {kI2, "short"},          {kI4, "long"},         {kR8, "double"},
    {kDate, "DATE"},         {kBstr, "BSTR"},       {kDispatch, "IDispatch*"},
    {kBool, "VARIANT_BOOL"}, {kVariant, "VARIANT"}, {kUnknown, "IUnknown*"},
    {kUi1, "unsigned char"}, {kVoid, "void"},
};
constexpr Named kKinds[] = {
    {kMethod, ""}, {kPropGet, "propget"}, {kPropPut, "propput"}, {kPropPutRef, "propputref"}};

template <size_t N>
std::string_view name_of(const Named (&table)[N], unsigned number) {
    for (const auto& entry : table) {
        if (entry.number == number) return entry.name;
    }
    return "?";
}

std::string param_text(const Param& p) {
    std::string out = p.out ? (p.retval ? "[out, retval" : "[in, out") : "[in";
    if (p.optional) out += ", optional";
    if (p.has_default) out += ", defaultvalue(" + p.default_text + ")";
    out += "] ";
    out += name_of(kTypes, p.vt);
    if (p.by_ref) out += '*';
    out += ' ';
    out += p.name;
    return out;
}

void entry_text(std::string& out, const Entry& e, bool with_help) {
    out += "    [id(" + std::to_string(e.dispid) + ")";
    if (auto kind = name_of(kKinds, e.kind); !kind.empty()) out += ", " + std::string(kind);
    if (e.hidden) out += ", restricted, hidden";
    if (with_help && !e.help.empty()) out += ", helpstring(" + quoted(e.help) + ")";
    out += "]\n    HRESULT " + e.name + "(";
    // One parameter stays on the line; more get a line each.
    if (e.params.size() == 1) {
        out += param_text(e.params.front());
    } else {
        for (size_t i = 0; i < e.params.size(); ++i) {
            out += "\n        " + param_text(e.params[i]);
            if (i + 1 < e.params.size()) out += ',';
        }
    }
    out += ");\n";
}

}  // namespace

std::string quoted(std::string_view utf8) {
    std::string out = "\"";
    static constexpr char kHex[] = "0123456789abcdef";
    for (char c : utf8) {
        // Control characters as escapes: a default of one NUL (the local
        // machine of the service members) must not end the text.
        const auto u = static_cast<unsigned char>(c);
        if (u == 0) {
            out += "\\0";
            continue;
        }
        if (u < 0x20) {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string interface_block(const Interface& iface, bool with_help) {
    std::string out = "interface " + iface.name + " : IDispatch {\n";
    for (size_t i = 0; i < iface.entries.size(); ++i) {
        if (i) out += '\n';
        entry_text(out, iface.entries[i], with_help);
    }
    return out + "};\n";
}

std::string library_text(const Interface& iface, const CoClass& coclass) {
    std::string out = "[\n    uuid(" + iface.uuid + "),\n    dual,\n    oleautomation\n]\n";
    out += interface_block(iface, true);
    out += "\n[\n    uuid(" + coclass.uuid + ")";
    if (!coclass.creatable) out += ",\n    noncreatable";
    out += "\n]\ncoclass " + coclass.name + " {\n    [default] interface " + iface.name + ";\n};\n";
    return out;
}

}  // namespace vorlek::idl
