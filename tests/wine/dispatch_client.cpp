// A C++ client of vorlek.dll under Wine: what script engines never send
// (named arguments, typed by-reference arguments, arrays of other element
// types, raw DISPPARAMS), calls through the function tables of the dual
// interfaces, the type libraries against docs/reference, and the unload rules.
// Prints "N passed, M failed" last, like the script tests.
#include <ocidl.h>
#include <ole2.h>
#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "automation/idl.h"

// The dual interfaces as a client compiled from the type library declares
// them. Outside the anonymous namespace: a type there without any
// implementation in this file would let the compiler drop every call through it.
struct IStringer : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_SepStrings(IDispatch** result) = 0;
    virtual HRESULT STDMETHODCALLTYPE putref_SepStrings(IDispatch* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LastError(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE StringToANSIByteArray(BSTR text, VARIANT* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE ByteArrayToHexString(VARIANT bytes, BSTR separator,
                                                           SHORT section, BSTR line,
                                                           BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReplaceEnvVars(BSTR text, BSTR fallback, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CASE_SENSITIVE(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NOT_CASE_SENSITIVE(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_REPLACE_ALL(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_REPLACE_LAST(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReplaceString(BSTR text, BSTR replacement, BSTR to_replace,
                                                    LONG position, LONG case_sensitive, LONG start,
                                                    LONG stop, BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReverseString(BSTR text, BSTR fallback, LONG length,
                                                    BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SepString(BSTR* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE InitSeperator(BSTR text, BSTR separator,
                                                    VARIANT_BOOL empty_strings, LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCharEx(BYTE key, BSTR* result) = 0;
};

struct ICollection : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Add(VARIANT item, VARIANT key) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(LONG* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Item(VARIANT index, VARIANT* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(VARIANT index) = 0;
    virtual HRESULT STDMETHODCALLTYPE NewEnum(IUnknown** result) = 0;
};

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

// The two views of a dual interface: the function table and the dispatch
// interface that follows from it. Either may be the one GetTypeInfo gives.
struct Views {
    ITypeInfo* table = nullptr;
    ITypeInfo* dispatch = nullptr;
    GUID iid{};
    ~Views() {
        if (table) table->Release();
        if (dispatch) dispatch->Release();
    }
};

TYPEKIND kind_of(ITypeInfo* info, WORD* flags = nullptr, GUID* guid = nullptr) {
    TYPEATTR* attr = nullptr;
    if (!info || FAILED(info->GetTypeAttr(&attr))) return TKIND_MAX;
    TYPEKIND kind = attr->typekind;
    if (flags) *flags = attr->wTypeFlags;
    if (guid) *guid = attr->guid;
    info->ReleaseTypeAttr(attr);
    return kind;
}

bool views_of(IDispatch* d, Views& views) {
    ITypeInfo* info = nullptr;
    if (FAILED(d->GetTypeInfo(0, 0x409, &info))) return false;
    ITypeInfo* other = nullptr;
    HREFTYPE pair = 0;
    if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &pair)))
        info->GetRefTypeInfo(pair, &other);
    if (kind_of(info) == TKIND_INTERFACE) {
        views.table = info;
        views.dispatch = other;
    } else {
        views.dispatch = info;
        views.table = other;
    }
    kind_of(views.table, nullptr, &views.iid);
    return views.table != nullptr;
}

// A member's description in a view, by name and invoke kind.
FUNCDESC* find_function(ITypeInfo* info, const wchar_t* name, INVOKEKIND kind) {
    MEMBERID id = MEMBERID_NIL;
    auto* n = const_cast<LPOLESTR>(name);
    if (FAILED(info->GetIDsOfNames(&n, 1, &id))) return nullptr;
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    const UINT count = attr ? attr->cFuncs : 0;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(info->GetFuncDesc(i, &f))) continue;
        if (f->memid == id && f->invkind == kind) return f;
        info->ReleaseFuncDesc(f);
    }
    return nullptr;
}

// A BSTR argument or result, freed at the end of the scope.
struct Text {
    BSTR b = nullptr;
    Text() = default;
    explicit Text(const wchar_t* text) : b(SysAllocString(text)) {}
    ~Text() { SysFreeString(b); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    BSTR* out() {
        SysFreeString(b);
        b = nullptr;
        return &b;
    }
};

template <class I>
I* query(IUnknown* from, const GUID& iid) {
    I* out = nullptr;
    from->QueryInterface(iid, reinterpret_cast<void**>(&out));
    return out;
}

// The late-bound result of a call, for comparison with the function table.
std::wstring late_text(IDispatch* d, const wchar_t* member, std::vector<VARIANT> args,
                       WORD flags = DISPATCH_METHOD) {
    Call c{d, id_of(d, member), flags};
    c.args = std::move(args);
    c.run();
    clear(c.args);
    return V_VT(&c.result.v) == VT_BSTR ? V_BSTR(&c.result.v) : L"(not text)";
}

VARIANT missing_arg() {
    VARIANT v;
    V_VT(&v) = VT_ERROR;
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}

std::string utf8(const wchar_t* text) {
    if (!text || !*text) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

// A BSTR whole: its length, not its first NUL, says where it ends.
std::string utf8_bstr(BSTR text) {
    const int length = static_cast<int>(SysStringLen(text));
    if (length == 0) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

std::string uuid_text(const GUID& guid) {
    wchar_t buffer[40] = {};
    StringFromGUID2(guid, buffer, 40);
    std::string out;
    for (const wchar_t* c = buffer + 1; *c && *c != L'}'; ++c)
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*c))));
    return out;
}

// The name of a type, a member or (for a library) the library.
template <class Described>
std::string name_of(Described* info, MEMBERID id = MEMBERID_NIL) {
    BSTR name = nullptr;
    info->GetDocumentation(id, &name, nullptr, nullptr, nullptr);
    std::string out = utf8(name);
    SysFreeString(name);
    return out;
}

// Numbers (and Boolean, -1/0) as their decimal text.
std::string default_text(const VARIANT& v) {
    if (V_VT(&v) == VT_BSTR) return vorlek::idl::quoted(utf8_bstr(V_BSTR(&v)));
    VARIANT n;
    VariantInit(&n);
    if (FAILED(VariantChangeType(&n, const_cast<VARIANT*>(&v), 0, VT_I4)))
        return "(type " + std::to_string(V_VT(&v)) + ")";
    return std::to_string(V_I4(&n));
}

// The interface as its type information describes it. The run time keeps
// the names and the help string of a member id with its first entry; the
// result and a put's value go by their fixed names.
vorlek::idl::Interface described(ITypeInfo* info, const TYPEATTR& attr, bool& table_entries) {
    vorlek::idl::Interface iface{name_of(info), uuid_text(attr.guid), {}};
    std::vector<MEMBERID> seen;
    for (UINT i = 0; i < attr.cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(info->GetFuncDesc(i, &f))) continue;
        table_entries = table_entries && f->funckind == FUNC_PUREVIRTUAL &&
                        f->callconv == CC_STDCALL && f->elemdescFunc.tdesc.vt == VT_HRESULT;
        BSTR names[64] = {};
        UINT named = 0;
        info->GetNames(f->memid, names, 64, &named);
        const bool first = std::find(seen.begin(), seen.end(), f->memid) == seen.end();
        seen.push_back(f->memid);
        BSTR help = nullptr;
        info->GetDocumentation(f->memid, nullptr, &help, nullptr, nullptr);
        vorlek::idl::Entry e{utf8(names[0]), static_cast<uint8_t>(f->invkind),
                             f->memid,       (f->wFuncFlags & FUNCFLAG_FRESTRICTED) != 0,
                             utf8(help),     {}};
        SysFreeString(help);
        for (SHORT k = 0; k < f->cParams; ++k) {
            const ELEMDESC& d = f->lprgelemdescParam[k];
            const USHORT flags = d.paramdesc.wParamFlags;
            vorlek::idl::Param p;
            p.by_ref = d.tdesc.vt == VT_PTR;
            p.vt = p.by_ref && d.tdesc.lptdesc ? d.tdesc.lptdesc->vt : d.tdesc.vt;
            p.out = flags & PARAMFLAG_FOUT;
            p.retval = flags & PARAMFLAG_FRETVAL;
            p.optional = flags & PARAMFLAG_FOPT;
            p.has_default = (flags & PARAMFLAG_FHASDEFAULT) && d.paramdesc.pparamdescex;
            if (p.has_default)
                p.default_text = default_text(d.paramdesc.pparamdescex->varDefaultValue);
            const UINT slot = static_cast<UINT>(k) + 1;
            if (first && slot < named)
                p.name = utf8(names[slot]);
            else
                p.name = p.retval ? vorlek::idl::kResultName : vorlek::idl::kAssignedName;
            e.params.push_back(std::move(p));
        }
        for (UINT k = 0; k < named; ++k)
            SysFreeString(names[k]);
        iface.entries.push_back(std::move(e));
        info->ReleaseFuncDesc(f);
    }
    return iface;
}

// The checked-in IDL of a class without its leading comment.
std::string reference_idl(const std::string& dir, const std::string& name) {
    std::string text;
    if (FILE* file = std::fopen((dir + "\\" + name + ".idl").c_str(), "rb")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            text.append(buffer, n);
        std::fclose(file);
    }
    size_t start = 0;
    while (text.compare(start, 2, "//") == 0 || text.compare(start, 1, "\n") == 0) {
        size_t end = text.find('\n', start);
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return text.substr(start);
}

// Expected difference: Wine's saved type library gives a Boolean default of
// True back as 255 (Windows keeps -1). Once Wine agrees, the check of the
// registered library fails and this goes.
// The same for a function with a Date default: Wine's saved library loses
// the whole function (its writer keeps no DATE constants); Windows keeps it.
std::string as_wine_reads_saved(std::string text) {
    const std::string windows = "defaultvalue(-1)] VARIANT_BOOL",
                      wine = "defaultvalue(255)] VARIANT_BOOL";
    for (size_t at; (at = text.find(windows)) != std::string::npos;)
        text.replace(at, windows.size(), wine);
    for (size_t at; (at = text.find(")] DATE ")) != std::string::npos;) {
        const size_t start = text.rfind("\n\n", at);
        const size_t end = text.find(");\n", at);
        if (start == std::string::npos || end == std::string::npos) break;
        text.erase(start + 1, end + 2 - start);
    }
    return text;
}

// Every class of a type library, read back through ITypeInfo and written as
// IDL, is the text docs/reference holds: the library says what the member
// tables say, interface ids included.
void library_matches_reference(ITypeLib* lib, const char* which, const std::string& dir,
                               bool saved) {
    int classes = 0;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        ITypeInfo* coclass = nullptr;
        TYPEATTR* ca = nullptr;
        if (FAILED(lib->GetTypeInfo(i, &coclass))) continue;
        coclass->GetTypeAttr(&ca);
        if (ca && ca->typekind == TKIND_COCLASS) {
            ++classes;
            vorlek::idl::CoClass c{name_of(coclass), uuid_text(ca->guid),
                                   (ca->wTypeFlags & TYPEFLAG_FCANCREATE) != 0};
            HREFTYPE ref = 0;
            ITypeInfo* view = nullptr;
            coclass->GetRefTypeOfImplType(0, &ref);
            coclass->GetRefTypeInfo(ref, &view);
            // A dual interface may be handed out as its dispatch view.
            ITypeInfo* table = view;
            if (view && kind_of(view) == TKIND_DISPATCH &&
                SUCCEEDED(view->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref))) {
                table = nullptr;
                view->GetRefTypeInfo(ref, &table);
            }
            TYPEATTR* ia = nullptr;
            if (table) table->GetTypeAttr(&ia);
            std::string got;
            if (ia) {
                bool table_entries = true;
                got = vorlek::idl::library_text(described(table, *ia, table_entries), c);
                HREFTYPE base_ref = 0;
                ITypeInfo* base = nullptr;
                GUID base_id{};
                if (SUCCEEDED(table->GetRefTypeOfImplType(0, &base_ref)))
                    table->GetRefTypeInfo(base_ref, &base);
                kind_of(base, nullptr, &base_id);
                if (base) base->Release();
                check((std::string(which) + ": " + c.name + " a dual interface of entries").c_str(),
                      ia->typekind == TKIND_INTERFACE && (ia->wTypeFlags & TYPEFLAG_FDUAL) &&
                          (ia->wTypeFlags & TYPEFLAG_FOLEAUTOMATION) && base_id == IID_IDispatch &&
                          table_entries);
                table->ReleaseTypeAttr(ia);
            }
            std::string expected = reference_idl(dir, c.name);
            if (saved) expected = as_wine_reads_saved(expected);
            check((std::string(which) + ": " + c.name + " as docs/reference/" + c.name + ".idl")
                      .c_str(),
                  !expected.empty() && got == expected, "\n--- library:\n" + got);
            if (table && table != view) table->Release();
            if (view) view->Release();
        }
        if (ca) coclass->ReleaseTypeAttr(ca);
        coclass->Release();
    }
    int files = 0;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*.idl").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            ++files;
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    check((std::string(which) + ": one class per reference IDL").c_str(),
          files > 0 && files == classes,
          std::to_string(classes) + " classes, " + std::to_string(files) + " files");
}

void type_information(IDispatch* s, const std::string& reference_dir) {
    UINT count = 0;
    check("one type info", s->GetTypeInfoCount(&count) == S_OK && count == 1);
    Views views;
    check("the interface's two views",
          views_of(s, views) && views.dispatch && kind_of(views.dispatch) == TKIND_DISPATCH);
    if (!views.table) return;
    // The class behind the interface, as hosts name an object's type.
    IProvideClassInfo* provide = query<IProvideClassInfo>(s, IID_IProvideClassInfo);
    ITypeInfo* coclass = nullptr;
    if (provide) provide->GetClassInfo(&coclass);
    TYPEATTR* ca = nullptr;
    if (coclass) coclass->GetTypeAttr(&ca);
    CLSID clsid{};
    CLSIDFromProgID(L"Vorlek.Stringer", &clsid);
    check("IProvideClassInfo gives the registered class", ca && ca->typekind == TKIND_COCLASS &&
                                                              ca->guid == clsid &&
                                                              name_of(coclass) == "Stringer");
    if (ca) coclass->ReleaseTypeAttr(ca);
    if (coclass) coclass->Release();
    if (provide) provide->Release();

    ITypeLib* built = nullptr;
    UINT index = 0;
    if (FAILED(views.table->GetContainingTypeLib(&built, &index))) {
        check("the containing type library", false);
        return;
    }
    TLIBATTR* la = nullptr;
    built->GetLibAttr(&la);
    check("library Vorlek 1.0, locale 0x409", la && la->wMajorVerNum == 1 &&
                                                  la->wMinorVerNum == 0 && la->lcid == 0x409 &&
                                                  name_of(built) == "Vorlek");
    library_matches_reference(built, "in memory", reference_dir, false);
    // What early-bound clients compile against: the registered file.
    ITypeLib* registered = nullptr;
    check_hr("LoadRegTypeLib", la ? LoadRegTypeLib(la->guid, 1, 0, 0x409, &registered) : E_FAIL,
             S_OK);
    if (registered) {
        library_matches_reference(registered, "registered", reference_dir, true);
        registered->Release();
    }
    if (la) built->ReleaseTLibAttr(la);
    built->Release();
}

void function_table(IDispatch* s) {
    Views views;
    views_of(s, views);
    auto* t = query<IStringer>(s, views.iid);
    check("QueryInterface for _Stringer", t != nullptr);
    if (!t) return;
    check("the dual interface is the object's IDispatch", static_cast<IDispatch*>(t) == s);
    IUnknown* unknown = query<IUnknown>(s, IID_IUnknown);
    check("and its IUnknown", unknown == static_cast<IUnknown*>(t));
    if (unknown) unknown->Release();
    if (auto* support = query<ISupportErrorInfo>(s, IID_ISupportErrorInfo)) {
        check_hr("error information for the interface",
                 support->InterfaceSupportsErrorInfo(views.iid), S_OK);
        check_hr("none for others", support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
        support->Release();
    } else {
        check("ISupportErrorInfo", false);
    }

    {
        // Early-bound callers pass every argument.
        Text in(L"abcdef"), fallback(L""), out;
        check_hr("ReverseString through the table",
                 t->ReverseString(in.b, fallback.b, 2, out.out()), S_OK);
        check_text("ReverseString result", out.b, L"efcdab");
    }
    {
        // The declared defaults given explicitly act as the left-out ones.
        Text in(L"a\u00B0^b"), with(L"-"), what(L"\u00B0^"), out;
        t->ReplaceString(in.b, with.b, what.b, 0, 1, -9999999, -9999999, out.out());
        std::wstring late =
            late_text(s, L"ReplaceString", {text_arg(L"a\u00B0^b"), text_arg(L"-")});
        check("explicit defaults as left out", out.b && late == out.b,
              narrow(out.b) + " / " + narrow(late.c_str()));
    }
    {
        // Constants: one entry each, the same values as late-bound.
        HRESULT(STDMETHODCALLTYPE IStringer::*constants[])
        (LONG*) = {&IStringer::get_CASE_SENSITIVE, &IStringer::get_NOT_CASE_SENSITIVE,
                   &IStringer::get_REPLACE_ALL, &IStringer::get_REPLACE_LAST};
        const wchar_t* names[] = {L"CASE_SENSITIVE", L"NOT_CASE_SENSITIVE", L"REPLACE_ALL",
                                  L"REPLACE_LAST"};
        for (size_t i = 0; i < 4; ++i) {
            LONG value = -1;
            HRESULT hr = (t->*constants[i])(&value);
            Call c{s, id_of(s, names[i]), DISPATCH_PROPERTYGET};
            c.run();
            check("constant through the table",
                  hr == S_OK && V_VT(&c.result.v) == VT_I4 && V_I4(&c.result.v) == value,
                  narrow(names[i]));
        }
    }
    {
        // Byte, Boolean and Variant arguments; Variant and object results.
        Text out;
        check_hr("GetCharEx", t->GetCharEx(13, out.out()), S_OK);
        std::wstring late_char = late_text(s, L"GetCharEx", {long_arg(13)});
        check("GetCharEx as late-bound", out.b && late_char == out.b);

        VARIANT bytes;
        V_VT(&bytes) = VT_ARRAY | VT_UI1;
        V_ARRAY(&bytes) = SafeArrayCreateVector(VT_UI1, 0, 2);
        static_cast<BYTE*>(V_ARRAY(&bytes)->pvData)[0] = 0x0A;
        static_cast<BYTE*>(V_ARRAY(&bytes)->pvData)[1] = 0xFF;
        Text space(L" "), none(L""), hex;
        check_hr("a Variant by value",
                 t->ByteArrayToHexString(bytes, space.b, 0, none.b, hex.out()), S_OK);
        check_text("ByteArrayToHexString", hex.b, L"0A FF");
        check("the caller's Variant is left alone",
              V_VT(&bytes) == (VT_ARRAY | VT_UI1) && V_ARRAY(&bytes)->rgsabound[0].cElements == 2);
        VariantClear(&bytes);

        VARIANT texts;
        V_VT(&texts) = VT_ARRAY | VT_BSTR;
        V_ARRAY(&texts) = SafeArrayCreateVector(VT_BSTR, 0, 1);
        check_hr("an array the library cannot take",
                 t->ByteArrayToHexString(texts, space.b, 0, none.b, hex.out()),
                 DISP_E_TYPEMISMATCH);
        check("no result after a failure", hex.b == nullptr);
        VariantClear(&texts);
        // A required Variant left out: what the late-bound call says.
        Call late{s, id_of(s, L"ByteArrayToHexString")};
        late.args = {missing_arg(), text_arg(L" "), long_arg(0), text_arg(L"")};
        HRESULT late_hr = late.run();
        clear(late.args);
        check_hr("a required Variant left out",
                 t->ByteArrayToHexString(missing_arg(), space.b, 0, none.b, hex.out()), late_hr);

        Text ab(L"AB");
        Var array;
        check_hr("a Variant result", t->StringToANSIByteArray(ab.b, &array.v), S_OK);
        check("a Byte array", V_VT(&array.v) == (VT_ARRAY | VT_UI1) &&
                                  V_ARRAY(&array.v)->rgsabound[0].cElements == 2 &&
                                  static_cast<BYTE*>(V_ARRAY(&array.v)->pvData)[1] == 'B');

        check_hr("no result pointer", t->ReverseString(ab.b, none.b, 1, nullptr), E_POINTER);
    }

    Text pieces_text(L"a;b"), semicolon(L";");
    LONG status = -1;
    check_hr("InitSeperator with a Boolean",
             t->InitSeperator(pieces_text.b, semicolon.b, VARIANT_TRUE, &status), S_OK);
    check("InitSeperator status", status == 0);
    IDispatch* pieces = nullptr;
    check_hr("an object result", t->get_SepStrings(&pieces), S_OK);
    Call late{s, id_of(s, L"SepStrings"), DISPATCH_PROPERTYGET};
    late.run();
    check("the same object as late-bound",
          pieces && V_VT(&late.result.v) == VT_DISPATCH && V_DISPATCH(&late.result.v) == pieces);
    if (!pieces) {
        t->Release();
        return;
    }
    check_hr("set by reference to Nothing", t->putref_SepStrings(nullptr), S_OK);
    IDispatch* nothing = pieces;
    t->get_SepStrings(&nothing);
    check("reads Nothing", nothing == nullptr);
    check_hr("set by reference", t->putref_SepStrings(pieces), S_OK);

    // The collection's interface is dual too.
    Views collection_views;
    views_of(pieces, collection_views);
    auto* c = query<ICollection>(pieces, collection_views.iid);
    check("QueryInterface for _Collection", c != nullptr);
    if (c) {
        LONG n = 0;
        check("Count through the table", c->get_Count(&n) == S_OK && n == 2);
        Var item;
        VARIANT key = text_arg(L"#2");
        check_hr("Item by key", c->Item(key, &item.v), S_OK);
        VariantClear(&key);
        if (V_VT(&item.v) == VT_DISPATCH && V_DISPATCH(&item.v)) {
            Views item_views;
            views_of(V_DISPATCH(&item.v), item_views);
            if (auto* piece = query<IStringer>(V_DISPATCH(&item.v), item_views.iid)) {
                Text text;
                piece->get_SepString(text.out());
                check_text("the item's SepString", text.b, L"b");
                piece->Release();
            }
        } else {
            check("Item is an object", false);
        }
        Var bad;
        SetErrorInfo(0, nullptr);
        check_hr("a bad index fails with error 9", c->Item(long_arg(7), &bad.v),
                 static_cast<HRESULT>(0x800A0009));
        check("and no result", V_VT(&bad.v) == VT_EMPTY);
        IErrorInfo* error = nullptr;
        check_hr("error information left", GetErrorInfo(0, &error), S_OK);
        if (error) {
            Text description, source;
            error->GetDescription(description.out());
            error->GetSource(source.out());
            check_text("its description", description.b, L"Subscript out of range");
            check_text("its source", source.b, L"Vorlek.Collection");
            error->Release();
        }
        check_hr("Add with the key left out", c->Add(text_arg(L""), missing_arg()), S_OK);
        check("Count after Add", c->get_Count(&n) == S_OK && n == 3);
        check_hr("Remove", c->Remove(long_arg(3)), S_OK);
        IUnknown* walk = nullptr;
        check_hr("_NewEnum", c->NewEnum(&walk), S_OK);
        IEnumVARIANT* e = walk ? query<IEnumVARIANT>(walk, IID_IEnumVARIANT) : nullptr;
        check("an IEnumVARIANT", e != nullptr);
        if (e) e->Release();
        if (walk) walk->Release();
        c->Release();
    }
    pieces->Release();
    t->Release();
}

// Clients that go through the type information: ITypeInfo::Invoke reaches
// the member through the table the library describes, with its defaults
// (DispCallFunc: in_out_through_the_table).
void through_type_information(IDispatch* s) {
    Views views;
    if (!views_of(s, views)) return;
    auto* t = query<IStringer>(s, views.iid);
    if (!t) return;
    {
        MEMBERID id = MEMBERID_NIL;
        LPOLESTR name = const_cast<LPOLESTR>(L"ReverseString");
        views.table->GetIDsOfNames(&name, 1, &id);
        check("the described member id is the dispatch id", id == id_of(s, L"ReverseString"));
        VARIANT args[2] = {text_arg(L""), text_arg(L"abc")};  // reversed
        DISPPARAMS params{args, nullptr, 2, 0};
        Var result;
        EXCEPINFO excep{};
        UINT arg_error = 0;
        check_hr(
            "ITypeInfo::Invoke",
            views.table->Invoke(t, id, DISPATCH_METHOD, &params, &result.v, &excep, &arg_error),
            S_OK);
        check_text("with the declared default",
                   V_VT(&result.v) == VT_BSTR ? V_BSTR(&result.v) : L"", L"cba");
        VariantClear(&args[0]);
        VariantClear(&args[1]);
    }
    t->Release();
}

// In-out Variants through the table: written into the caller's VARIANT, or
// through it into a typed variable it refers to.
void in_out_through_the_table() {
    CLSID clsid;
    IDispatch* d = nullptr;
    if (SUCCEEDED(CLSIDFromProgID(L"Vorlek.DllClass", &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                         reinterpret_cast<void**>(&d));
    check("Vorlek.DllClass", d != nullptr);
    if (!d) return;
    Views views;
    FUNCDESC* f = views_of(d, views) ? find_function(views.table, L"GetRasConnections", INVOKE_FUNC)
                                     : nullptr;
    check("GetRasConnections described", f != nullptr);
    if (f) {
        // A cursor that is no number: the member answers the same on every
        // platform and writes "---ERROR---" into the name.
        Var entries(L"x"), total(5), name;
        BSTR typed = SysAllocString(L"old");
        VARIANT typed_ref;
        V_VT(&typed_ref) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&typed_ref) = &typed;
        for (VARIANT* target : {&name.v, &typed_ref}) {
            LONG rc = 0;
            VARIANT args[4];
            VARIANT* outs[4] = {&entries.v, &total.v, target, nullptr};
            for (int i = 0; i < 3; ++i) {
                V_VT(&args[i]) = VT_BYREF | VT_VARIANT;
                V_VARIANTREF(&args[i]) = outs[i];
            }
            V_VT(&args[3]) = VT_BYREF | VT_I4;
            V_I4REF(&args[3]) = &rc;
            VARTYPE types[4] = {VT_BYREF | VT_VARIANT, VT_BYREF | VT_VARIANT, VT_BYREF | VT_VARIANT,
                                VT_BYREF | VT_I4};
            VARIANTARG* pointers[4] = {&args[0], &args[1], &args[2], &args[3]};
            VARIANT hr;
            VariantInit(&hr);
            DispCallFunc(d, f->oVft, f->callconv, VT_ERROR, 4, types, pointers, &hr);
            check("GetRasConnections through the table", V_ERROR(&hr) == S_OK);
        }
        check_text("written into the caller's Variant",
                   V_VT(&name.v) == VT_BSTR ? V_BSTR(&name.v) : L"", L"---ERROR---");
        check_text("written through to a typed variable", typed, L"---ERROR---");
        check("other in-out arguments keep their values",
              V_VT(&total.v) == VT_I4 && V_I4(&total.v) == 5 && V_VT(&entries.v) == VT_BSTR);
        SysFreeString(typed);
        views.table->ReleaseFuncDesc(f);
    }
    d->Release();
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
        if (object) {
            // The Stringer in its own SepStrings: the cycle goes with the
            // client's last reference, so nothing of it keeps the library.
            Var text(L"a;b"), separator(L";");
            Call split{object, id_of(object, L"InitSeperator"), DISPATCH_METHOD};
            split.args = {text.v, separator.v};
            split.run();
            Call pieces{object, id_of(object, L"SepStrings"), DISPATCH_PROPERTYGET};
            pieces.run();
            if (V_VT(&pieces.result.v) == VT_DISPATCH) {
                IDispatch* c = V_DISPATCH(&pieces.result.v);
                VARIANT self;
                V_VT(&self) = VT_DISPATCH;
                V_DISPATCH(&self) = object;
                Call add{c, id_of(c, L"Add"), DISPATCH_METHOD};
                add.args = {self};
                check_hr("a Stringer added to its own SepStrings", add.run(), S_OK);
            }
        }
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
    // Unbuffered, so that what passed before a crash is still seen.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (FAILED(CoInitialize(nullptr))) {
        std::printf("CoInitialize failed\n0 passed, 1 failed\n");
        return 1;
    }
    // vorlek.dll's path, and where the reference IDL is.
    std::wstring dll = L"vorlek.dll";
    if (argc > 1) dll = std::wstring(argv[1], argv[1] + std::strlen(argv[1]));
    const std::string reference_dir = argc > 2 ? argv[2] : "docs\\reference";
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
        type_information(s, reference_dir);
        function_table(s);
        through_type_information(s);
        s->Release();
    }
    in_out_through_the_table();
    unload_rules(dll.c_str());
    CoUninitialize();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
