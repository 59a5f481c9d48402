// A C++ client of vorlek.dll under Wine: what script engines never send
// (named arguments, typed by-reference arguments, arrays of other element
// types, raw DISPPARAMS), the type information, and the unload rules.
// Prints "N passed, M failed" last, like the script tests.
#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int g_passed = 0, g_failed = 0;

void check(const char* name, bool ok, const std::string& detail = {}) {
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
        std::printf("FAIL %s %s\n", name, detail.c_str());
    }
}

std::string hex(HRESULT hr) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08lx", static_cast<unsigned long>(hr));
    return buffer;
}

void check_hr(const char* name, HRESULT got, HRESULT expected) {
    check(name, got == expected, "got " + hex(got) + ", expected " + hex(expected));
}

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out.push_back(*text < 128 ? static_cast<char>(*text) : '?');
    return out;
}

void check_text(const char* name, const wchar_t* got, const wchar_t* expected) {
    check(name, got && std::wstring(got) == expected,
          "got \"" + narrow(got) + "\", expected \"" + narrow(expected) + "\"");
}

struct Var {
    VARIANT v;
    Var() { VariantInit(&v); }
    explicit Var(const wchar_t* text) : Var() {
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(text);
    }
    explicit Var(int value) : Var() {
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
    }
    ~Var() { VariantClear(&v); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
};

// A call through IDispatch; rgvarg is given in the client's order (first
// argument first) and reversed here as the protocol wants.
struct Call {
    IDispatch* target;
    DISPID id;
    WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    std::vector<VARIANT> args;  // borrowed, first argument first
    std::vector<DISPID> names;  // for the last names.size() args, in the same order
    Var result;
    EXCEPINFO excep{};
    UINT arg_error = 0xFFFF;

    HRESULT run() {
        std::vector<VARIANT> reversed(args.rbegin(), args.rend());
        std::vector<DISPID> named(names.rbegin(), names.rend());
        DISPPARAMS p{reversed.data(), named.data(), static_cast<UINT>(reversed.size()),
                     static_cast<UINT>(named.size())};
        HRESULT hr = target->Invoke(id, IID_NULL, 0x409, flags, &p, &result.v, &excep, &arg_error);
        for (size_t i = 0; i < args.size(); ++i)
            args[i] = reversed[reversed.size() - 1 - i];
        return hr;
    }
    ~Call() {
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }
};

DISPID id_of(IDispatch* d, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    auto* n = const_cast<LPOLESTR>(name);
    d->GetIDsOfNames(IID_NULL, &n, 1, 0x409, &id);
    return id;
}

VARIANT text_arg(const wchar_t* text) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
    return v;
}
VARIANT long_arg(int value) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}
void clear(std::vector<VARIANT>& args) {
    for (auto& a : args)
        VariantClear(&a);
}

const wchar_t* result_text(const Call& c) {
    return V_VT(&c.result.v) == VT_BSTR ? V_BSTR(&c.result.v) : L"(not text)";
}

void named_arguments(IDispatch* s) {
    // GetIDsOfNames: member and parameter names, any case.
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"replacestring"),
                        const_cast<LPOLESTR>(L"LNGCASESENS"), const_cast<LPOLESTR>(L"strToReplace"),
                        const_cast<LPOLESTR>(L"nosuchparam")};
    DISPID ids[4] = {};
    check_hr("GetIDsOfNames with an unknown parameter",
             s->GetIDsOfNames(IID_NULL, names, 4, 0x409, ids), DISP_E_UNKNOWNNAME);
    check("member id", ids[0] > 0);
    check("parameter ids are positions", ids[1] == 4 && ids[2] == 2,
          "got " + std::to_string(ids[1]) + "," + std::to_string(ids[2]));
    check("unknown parameter is DISPID_UNKNOWN", ids[3] == DISPID_UNKNOWN);
    check_hr("GetIDsOfNames all known", s->GetIDsOfNames(IID_NULL, names, 3, 0x409, ids), S_OK);
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
    DISPID unknown_id = 0;
    check_hr("unknown member name", s->GetIDsOfNames(IID_NULL, &unknown, 1, 0x409, &unknown_id),
             DISP_E_UNKNOWNNAME);

    // ReplaceString("aXbXc", "-", strToReplace:="x", lngCaseSens:=0): named
    // arguments in any order; the ones in between take their defaults.
    {
        Call c{s, ids[0]};
        c.args = {text_arg(L"aXbXc"), text_arg(L"-"), long_arg(0), text_arg(L"x")};
        c.names = {ids[1], ids[2]};
        check_hr("named call", c.run(), S_OK);
        check_text("named lngCaseSens 0 keeps upper case", result_text(c), L"aXbXc");
        clear(c.args);
    }
    {
        Call c{s, ids[0]};
        c.args = {text_arg(L"aXbXc"), text_arg(L"-"), text_arg(L"x")};
        c.names = {ids[2]};
        check_hr("named strToReplace only", c.run(), S_OK);
        check_text("default lngCaseSens is 1", result_text(c), L"a-b-c");
        clear(c.args);
    }
    {
        // A required parameter given by name only: strString named, strReplaceString missing.
        Call c{s, ids[0]};
        LPOLESTR n2[] = {const_cast<LPOLESTR>(L"ReplaceString"),
                         const_cast<LPOLESTR>(L"strString")};
        DISPID i2[2];
        s->GetIDsOfNames(IID_NULL, n2, 2, 0x409, i2);
        c.args = {text_arg(L"abc")};
        c.names = {i2[1]};
        check_hr("required parameter left out", c.run(), DISP_E_BADPARAMCOUNT);
        clear(c.args);
    }
    {
        // The same parameter both by position and by name.
        Call c{s, ids[0]};
        c.args = {text_arg(L"abc"), text_arg(L"-"), text_arg(L"b"), text_arg(L"c")};
        c.names = {ids[2]};
        check_hr("parameter given twice", c.run(), DISP_E_BADPARAMCOUNT);
        clear(c.args);
    }
    {
        // A type mismatch in a named argument points at its rgvarg slot.
        Call c{s, ids[0]};
        c.args = {text_arg(L"abc"), text_arg(L"-"), text_arg(L"zz"), text_arg(L"b")};
        c.names = {ids[1], ids[2]};  // lngCaseSens:="zz" is rgvarg[1]
        check_hr("named type mismatch", c.run(), DISP_E_TYPEMISMATCH);
        check("named puArgErr", c.arg_error == 1, "got " + std::to_string(c.arg_error));
        clear(c.args);
    }
    {
        // Positional mismatch: ReverseString("abc", "", "x"): the third
        // argument is rgvarg[0].
        Call c{s, id_of(s, L"ReverseString")};
        c.args = {text_arg(L"abc"), text_arg(L""), text_arg(L"x")};
        check_hr("positional type mismatch", c.run(), DISP_E_TYPEMISMATCH);
        check("positional puArgErr in reversed order", c.arg_error == 0,
              "got " + std::to_string(c.arg_error));
        clear(c.args);
    }
    {
        Call c{s, id_of(s, L"GetCharEx")};
        c.args = {long_arg(1000)};
        check_hr("overflow", c.run(), DISP_E_OVERFLOW);
        check("overflow puArgErr", c.arg_error == 0);
        clear(c.args);
    }
}

void raw_values(IDispatch* s) {
    const DISPID reverse = id_of(s, L"ReverseString");
    {
        // Typed by-reference input and the missing marker.
        Call c{s, reverse};
        LONG length = 2;
        VARIANT byref;
        V_VT(&byref) = VT_BYREF | VT_I4;
        V_I4REF(&byref) = &length;
        VARIANT missing;
        V_VT(&missing) = VT_ERROR;
        V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
        c.args = {text_arg(L"abcdef"), text_arg(L""), byref};
        check_hr("VT_BYREF|VT_I4 argument", c.run(), S_OK);
        check_text("by-reference Long read", result_text(c), L"efcdab");
        VariantClear(&c.args[0]);
        VariantClear(&c.args[1]);
        Call d{s, reverse};
        d.args = {text_arg(L"abc"), text_arg(L""), missing};
        check_hr("VT_ERROR marker", d.run(), S_OK);
        check_text("marker takes the default 1", result_text(d), L"cba");
        clear(d.args);
    }
    {
        // Types outside the set, converted by the run time: I8, R4, UI2.
        VARIANT v8;
        V_VT(&v8) = VT_I8;
        V_I8(&v8) = 3;
        VARIANT r4;
        V_VT(&r4) = VT_R4;
        V_R4(&r4) = 3.0f;
        for (VARIANT arg : {v8, r4}) {
            Call c{s, reverse};
            c.args = {text_arg(L"abcdefg"), text_arg(L""), arg};
            check_hr("converted numeric type", c.run(), S_OK);
            check_text("converted numeric value", result_text(c), L"gdefabc");
            VariantClear(&c.args[0]);
            VariantClear(&c.args[1]);
        }
        VARIANT big;
        V_VT(&big) = VT_I8;
        V_I8(&big) = 1LL << 40;
        Call c{s, reverse};
        c.args = {text_arg(L"abc"), text_arg(L""), big};
        check_hr("I8 beyond Long", c.run(), DISP_E_OVERFLOW);
        VariantClear(&c.args[0]);
        VariantClear(&c.args[1]);
    }
    {
        // Arrays: Byte, Long and Variant arrays are taken; other element
        // types and more dimensions are a type mismatch of the argument.
        const DISPID to_hex = id_of(s, L"ByteArrayToHexString");
        auto hex_of = [&](SAFEARRAY* sa, VARTYPE vt, HRESULT expected_hr, const wchar_t* expected) {
            Call c{s, to_hex};
            VARIANT a;
            V_VT(&a) = VARTYPE(VT_ARRAY | vt);
            V_ARRAY(&a) = sa;
            c.args = {a, text_arg(L" "), long_arg(0), text_arg(L"")};
            HRESULT hr = c.run();
            check_hr("array argument", hr, expected_hr);
            if (expected) check_text("array result", result_text(c), expected);
            if (FAILED(hr))
                check("array puArgErr", c.arg_error == 3, "got " + std::to_string(c.arg_error));
            clear(c.args);
        };
        SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 2);
        static_cast<BYTE*>(bytes->pvData)[0] = 0x0A;
        static_cast<BYTE*>(bytes->pvData)[1] = 0xFF;
        hex_of(bytes, VT_UI1, S_OK, L"0A FF");
        // The lower bound travels with the array: from 1, index 0 is missing.
        SAFEARRAY* from_one = SafeArrayCreateVector(VT_UI1, 1, 2);
        hex_of(from_one, VT_UI1, S_OK, L"");
        Call last_error{s, id_of(s, L"LastError"), DISPATCH_PROPERTYGET};
        last_error.run();
        check("lower bound 1 gives error 9",
              V_VT(&last_error.result.v) == VT_I4 && V_I4(&last_error.result.v) == 9);
        SAFEARRAY* longs = SafeArrayCreateVector(VT_I4, 0, 1);
        static_cast<LONG*>(longs->pvData)[0] = 171;
        hex_of(longs, VT_I4, S_OK, L"AB");
        SAFEARRAY* texts = SafeArrayCreateVector(VT_BSTR, 0, 1);
        static_cast<BSTR*>(texts->pvData)[0] = SysAllocString(L"1");
        hex_of(texts, VT_BSTR, DISP_E_TYPEMISMATCH, nullptr);
        SAFEARRAYBOUND two[2] = {{2, 0}, {2, 0}};
        hex_of(SafeArrayCreate(VT_UI1, 2, two), VT_UI1, DISP_E_TYPEMISMATCH, nullptr);
        SAFEARRAY* shorts = SafeArrayCreateVector(VT_I2, 0, 1);
        hex_of(shorts, VT_I2, DISP_E_TYPEMISMATCH, nullptr);
    }
    {
        // A by-reference Variant that points at itself is refused, not followed.
        VARIANT self;
        V_VT(&self) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&self) = &self;
        Call c{s, reverse};
        c.args = {self, text_arg(L""), long_arg(1)};
        check_hr("self-referencing argument", c.run(), DISP_E_TYPEMISMATCH);
        check("self-referencing puArgErr", c.arg_error == 2);
        VariantClear(&c.args[1]);
    }
    {
        // A huge string in and out.
        std::wstring big(8u << 20, L'a');
        Call c{s, id_of(s, L"ReplaceString")};
        c.args = {text_arg(big.c_str()), text_arg(L"bb"), text_arg(L"a")};
        check_hr("16M-character result", c.run(), S_OK);
        check("16M-character length",
              V_VT(&c.result.v) == VT_BSTR && SysStringLen(V_BSTR(&c.result.v)) == 2 * big.size());
        clear(c.args);
    }
    {
        // Malformed calls.
        Call c{s, reverse};
        DISPPARAMS bad{nullptr, nullptr, 2, 0};
        check_hr("arguments without rgvarg",
                 s->Invoke(reverse, IID_NULL, 0, DISPATCH_METHOD, &bad, nullptr, nullptr, nullptr),
                 E_INVALIDARG);
        VARIANT one = long_arg(1);
        DISPID n = 0;
        DISPPARAMS more_named{&one, &n, 0, 1};
        check_hr("more named than arguments",
                 s->Invoke(reverse, IID_NULL, 0, DISPATCH_METHOD, &more_named, nullptr, nullptr,
                           nullptr),
                 E_INVALIDARG);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        check_hr("unknown dispatch id",
                 s->Invoke(12345, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
                 DISP_E_MEMBERNOTFOUND);
        check_hr("let on a read-only property",
                 s->Invoke(id_of(s, L"LastError"), IID_NULL, 0, DISPATCH_PROPERTYPUT, &none,
                           nullptr, nullptr, nullptr),
                 DISP_E_BADPARAMCOUNT);
        check_hr("no result pointer",
                 s->Invoke(id_of(s, L"LastError"), IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                           nullptr, nullptr, nullptr),
                 S_OK);
    }
}

void exceptions_and_identity(IDispatch* s) {
    Call init{s, id_of(s, L"InitSeperator")};
    init.args = {text_arg(L"a;b"), text_arg(L";")};
    check_hr("InitSeperator", init.run(), S_OK);
    clear(init.args);

    Call get{s, id_of(s, L"SepStrings"), DISPATCH_PROPERTYGET};
    check_hr("SepStrings", get.run(), S_OK);
    Call again{s, id_of(s, L"SepStrings"), DISPATCH_PROPERTYGET};
    again.run();
    check("one peer per object", V_VT(&get.result.v) == VT_DISPATCH &&
                                     V_DISPATCH(&get.result.v) == V_DISPATCH(&again.result.v));
    IDispatch* pieces = V_DISPATCH(&get.result.v);

    Call item{pieces, DISPID_VALUE};
    item.args = {long_arg(7)};
    check_hr("bad index raises through EXCEPINFO", item.run(), DISP_E_EXCEPTION);
    check_hr("EXCEPINFO scode carries error 9", item.excep.scode, static_cast<HRESULT>(0x800A0009));
    check_text("EXCEPINFO description", item.excep.bstrDescription, L"Subscript out of range");
    check_text("EXCEPINFO source", item.excep.bstrSource, L"Vorlek.Collection");

    Call count{pieces, id_of(pieces, L"count"), DISPATCH_PROPERTYGET};
    check_hr("Count", count.run(), S_OK);
    check("Count is 2", V_VT(&count.result.v) == VT_I4 && V_I4(&count.result.v) == 2);

    Call enumerate{pieces, DISPID_NEWENUM};
    check_hr("_NewEnum", enumerate.run(), S_OK);
    IEnumVARIANT* e = nullptr;
    if (V_VT(&enumerate.result.v) == VT_UNKNOWN && V_UNKNOWN(&enumerate.result.v))
        V_UNKNOWN(&enumerate.result.v)
            ->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&e));
    check("IEnumVARIANT", e != nullptr);
    if (e) {
        VARIANT items[3];
        ULONG fetched = 0;
        check_hr("Next asks for more than there are", e->Next(3, items, &fetched), S_FALSE);
        check("Next fetched 2", fetched == 2);
        check("items are the collection's objects", fetched == 2 && V_VT(&items[0]) == VT_DISPATCH);
        for (ULONG i = 0; i < fetched; ++i)
            VariantClear(&items[i]);
        check_hr("Reset", e->Reset(), S_OK);
        check_hr("Skip past the end", e->Skip(5), S_FALSE);
        e->Release();
    }
}

void type_information(IDispatch* s) {
    UINT count = 0;
    check_hr("GetTypeInfoCount", s->GetTypeInfoCount(&count), S_OK);
    check("one type info", count == 1);
    ITypeInfo* info = nullptr;
    check_hr("GetTypeInfo", s->GetTypeInfo(0, 0x409, &info), S_OK);
    if (!info) return;
    BSTR name = nullptr;
    info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    check_text("interface name", name, L"_Stringer");
    SysFreeString(name);

    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    check("a dispatch interface", attr && attr->typekind == TKIND_DISPATCH);
    // SepStrings get and set, LastError, 3 methods, 4 constants, ReplaceString,
    // ReverseString, SepString, InitSeperator, GetCharEx: 15, plus IDispatch's 7.
    check("function count", attr && attr->cFuncs == 22,
          attr ? "got " + std::to_string(attr->cFuncs) : "");
    const UINT inherited = 7;
    info->ReleaseTypeAttr(attr);

    // Interface order, names, help strings, parameters and defaults.
    auto describe = [&](UINT index, const wchar_t* expected_name,
                        const wchar_t* expected_help) -> FUNCDESC* {
        FUNCDESC* f = nullptr;
        if (FAILED(info->GetFuncDesc(inherited + index, &f))) {
            check("GetFuncDesc", false, std::to_string(index));
            return nullptr;
        }
        BSTR n = nullptr, help = nullptr;
        info->GetDocumentation(f->memid, &n, &help, nullptr, nullptr);
        check_text("member name in order", n, expected_name);
        if (expected_help) check_text("help string", help, expected_help);
        SysFreeString(n);
        SysFreeString(help);
        return f;
    };
    if (FUNCDESC* f = describe(0, L"SepStrings",
                               L"Collection of with a specific seperator delimited strings")) {
        check("SepStrings is a get", f->invkind == INVOKE_PROPERTYGET);
        info->ReleaseFuncDesc(f);
    }
    if (FUNCDESC* f = describe(1, L"SepStrings", nullptr)) {
        check("then a set by reference", f->invkind == INVOKE_PROPERTYPUTREF && f->cParams == 1);
        info->ReleaseFuncDesc(f);
    }
    if (FUNCDESC* f = describe(10, L"ReplaceString",
                               L"Replaces as string within another string by using parameters")) {
        check("ReplaceString has 7 parameters", f->cParams == 7);
        BSTR names[8] = {};
        UINT got = 0;
        info->GetNames(f->memid, names, 8, &got);
        check("parameter names", got == 8 && std::wstring(names[3]) == L"strToReplace" &&
                                     std::wstring(names[7]) == L"lngStop");
        for (UINT i = 0; i < got; ++i)
            SysFreeString(names[i]);
        const ELEMDESC& to_replace = f->lprgelemdescParam[2];
        check("strToReplace optional with a default",
              (to_replace.paramdesc.wParamFlags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)) ==
                  (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT));
        if (to_replace.paramdesc.pparamdescex) {
            const VARIANT& d = to_replace.paramdesc.pparamdescex->varDefaultValue;
            check_text("strToReplace default", V_VT(&d) == VT_BSTR ? V_BSTR(&d) : L"", L"\u00B0^");
        }
        const ELEMDESC& start = f->lprgelemdescParam[5];
        check("lngStart default -9999999",
              start.paramdesc.pparamdescex &&
                  V_VT(&start.paramdesc.pparamdescex->varDefaultValue) == VT_I4 &&
                  V_I4(&start.paramdesc.pparamdescex->varDefaultValue) == -9999999);
        check("strString required",
              (f->lprgelemdescParam[0].paramdesc.wParamFlags & PARAMFLAG_FOPT) == 0);
        check("result is a String", f->elemdescFunc.tdesc.vt == VT_BSTR);
        info->ReleaseFuncDesc(f);
    }
    if (FUNCDESC* f =
            describe(14, L"GetCharEx", L"Returns a string corresponding to a special keycode")) {
        check("GetCharEx takes a Byte",
              f->cParams == 1 && f->lprgelemdescParam[0].tdesc.vt == VT_UI1);
        info->ReleaseFuncDesc(f);
    }
    // The class behind the interface, as hosts name an object's type.
    IProvideClassInfo* provide = nullptr;
    s->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide));
    check("IProvideClassInfo", provide != nullptr);
    if (provide) {
        ITypeInfo* coclass = nullptr;
        check_hr("GetClassInfo", provide->GetClassInfo(&coclass), S_OK);
        if (coclass) {
            BSTR class_name = nullptr;
            coclass->GetDocumentation(MEMBERID_NIL, &class_name, nullptr, nullptr, nullptr);
            check_text("class name", class_name, L"Stringer");
            SysFreeString(class_name);
            TYPEATTR* ca = nullptr;
            coclass->GetTypeAttr(&ca);
            CLSID clsid;
            CLSIDFromProgID(L"Vorlek.Stringer", &clsid);
            check("a creatable class with the registered id",
                  ca && ca->typekind == TKIND_COCLASS && (ca->wTypeFlags & TYPEFLAG_FCANCREATE) &&
                      ca->guid == clsid);
            coclass->ReleaseTypeAttr(ca);
            coclass->Release();
        }
        provide->Release();
    }
    ITypeLib* lib = nullptr;
    UINT index = 0;
    if (SUCCEEDED(info->GetContainingTypeLib(&lib, &index))) {
        TLIBATTR* la = nullptr;
        lib->GetLibAttr(&la);
        check("library version 1.0, locale 0x409",
              la && la->wMajorVerNum == 1 && la->wMinorVerNum == 0 && la->lcid == 0x409);
        lib->ReleaseTLibAttr(la);
        BSTR lib_name = nullptr;
        lib->GetDocumentation(-1, &lib_name, nullptr, nullptr, nullptr);
        check_text("library name", lib_name, L"Vorlek");
        SysFreeString(lib_name);
        lib->Release();
    }
    info->Release();
}

// The DLL loaded directly: the factory and the unload rules.
void unload_rules(const wchar_t* dll) {
    HMODULE module = LoadLibraryW(dll);
    check("LoadLibrary", module != nullptr);
    if (!module) return;
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(WINAPI*)();
    auto get_class_object = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    auto can_unload = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    CLSID clsid;
    CLSIDFromProgID(L"Vorlek.Stringer", &clsid);
    check_hr("nothing alive: may unload", can_unload(), S_OK);
    IClassFactory* factory = nullptr;
    check_hr("DllGetClassObject",
             get_class_object(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IClassFactory* none = nullptr;
    check_hr("unknown class",
             get_class_object(IID_IDispatch, IID_IClassFactory, reinterpret_cast<void**>(&none)),
             CLASS_E_CLASSNOTAVAILABLE);
    if (factory) {
        check_hr("factory alive", can_unload(), S_FALSE);
        IDispatch* object = nullptr;
        check_hr("aggregation refused",
                 factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown,
                                         reinterpret_cast<void**>(&object)),
                 CLASS_E_NOAGGREGATION);
        check_hr("CreateInstance",
                 factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)),
                 S_OK);
        factory->LockServer(TRUE);
        factory->Release();
        check_hr("object and lock alive", can_unload(), S_FALSE);
        if (object) object->Release();
        check_hr("lock alive", can_unload(), S_FALSE);
        // The lock is counted by the module, not the factory.
        get_class_object(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        factory->LockServer(FALSE);
        factory->Release();
        check_hr("all released", can_unload(), S_OK);
    }
    FreeLibrary(module);
}

}  // namespace

int main(int argc, char** argv) {
    if (FAILED(CoInitialize(nullptr))) {
        std::printf("CoInitialize failed\n0 passed, 1 failed\n");
        return 1;
    }
    CLSID clsid;
    IDispatch* s = nullptr;
    HRESULT hr = CLSIDFromProgID(L"Vorlek.Stringer", &clsid);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&s));
    check_hr("CoCreateInstance by ProgID", hr, S_OK);
    if (s) {
        named_arguments(s);
        raw_values(s);
        exceptions_and_identity(s);
        type_information(s);
        s->Release();
    }
    std::wstring dll = L"vorlek.dll";
    if (argc > 1) dll = std::wstring(argv[1], argv[1] + std::strlen(argv[1]));
    unload_rules(dll.c_str());
    CoUninitialize();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
