// A script's view of the library, in C++: create by ProgID, call members by
// name, loop over a collection.
#include <iostream>

#include "library/client.h"

using vorlek::String;
using vorlek::Variant;
using vorlek::client::Dispatch;

namespace {

void echo(std::string_view label, const Variant& value) {
    std::cout << "  " << label << ": " << vorlek::to_utf8(value.to_string()) << "\n";
}

}  // namespace

int main() {
    Dispatch s = vorlek::client::create(u"Vorlek.Stringer");
    std::cout << "Vorlek.Stringer on the simulated machine "
              << vorlek::to_utf8(s.call(u"ReplaceEnvVars", {u"%COMPUTERNAME%", u"?"}).to_string())
              << "\n";

    echo("ReplaceString('aXbXc', '-', 'x')", s.call(u"ReplaceString", {u"aXbXc", u"-", u"x"}));
    echo("ReplaceString('aaa', 'b', 'aa', 2)", s.call(u"ReplaceString", {u"aaa", u"b", u"aa", 2}));
    echo("ReplaceString('abcdef', 'XY', lngStart:=2, lngStop:=4)",
         s.call(u"ReplaceString", {u"abcdef", u"XY"},
                {vorlek::client::arg(u"lngStart", 2), vorlek::client::arg(u"lngStop", 4)}));
    echo("ReverseString('abcdefg', '', 3)", s.call(u"ReverseString", {u"abcdefg", u"", 3}));
    echo("ReplaceEnvVars('%SystemRoot%\\system32')",
         s.call(u"ReplaceEnvVars", {u"%SystemRoot%\\system32", u"?"}));
    echo("ByteArrayToHexString(StringToANSIByteArray('Caf\u00e9 \u20ac'), ' ', 4, ' | ')",
         s.call(u"ByteArrayToHexString",
                {s.call(u"StringToANSIByteArray", {u"Caf\u00e9 \u20ac"}), u" ", 4, u" | "}));
    echo("GetCharEx(113)", s.call(u"GetCharEx", {113}));

    std::cout << "  InitSeperator('C:\\WINNT;C:\\WINNT\\system32;;C:\\Tools', ';', False) = "
              << s.call(u"InitSeperator",
                        {u"C:\\WINNT;C:\\WINNT\\system32;;C:\\Tools", u";", false})
                     .to_long()
              << "\n";
    Dispatch pieces(s.get(u"SepStrings"));
    int n = 0;
    for (const Variant& item : pieces.each()) {
        std::cout << "    item " << ++n << ": "
                  << vorlek::to_utf8(Dispatch(item).get(u"SepString").to_string()) << "\n";
    }
    std::cout << "  SepStrings(\"#4\"): "
              << vorlek::to_utf8(
                     Dispatch(pieces.call(u"Item", {u"#4"})).get(u"SepString").to_string())
              << "\n";
    return 0;
}
