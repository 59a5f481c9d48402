#include "automation/idl.h"

namespace vorlek::idl {

namespace {

std::string_view type_name(uint16_t vt) {
    switch (vt) {
        case kI2:
            return "short";
        case kI4:
            return "long";
        case kR8:
            return "double";
        case kDate:
            return "DATE";
        case kBstr:
            return "BSTR";
        case kDispatch:
            return "IDispatch*";
        case kBool:
            return "VARIANT_BOOL";
        case kVariant:
            return "VARIANT";
        case kUnknown:
            return "IUnknown*";
        case kUi1:
            return "unsigned char";
        case kVoid:
            return "void";
        default:
            return "?";
    }
}

std::string_view kind_attribute(uint8_t kind) {
    switch (kind) {
        case kPropGet:
            return "propget";
        case kPropPut:
            return "propput";
        case kPropPutRef:
            return "propputref";
        default:
            return {};
    }
}

std::string param_text(const Param& p) {
    std::string out = p.out ? (p.retval ? "[out, retval" : "[in, out") : "[in";
    if (p.optional) out += ", optional";
    if (p.has_default) out += ", defaultvalue(" + p.default_text + ")";
    out += "] ";
    out += type_name(p.vt);
    if (p.by_ref) out += '*';
    out += ' ';
    out += p.name;
    return out;
}

void entry_text(std::string& out, const Entry& e, bool with_help) {
    out += "    [id(" + std::to_string(e.dispid) + ")";
    if (auto kind = kind_attribute(e.kind); !kind.empty()) out += ", " + std::string(kind);
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
    for (char c : utf8) {
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
