#include <gtest/gtest.h>

#include "host/messages.h"
#include "probe.h"

namespace vorlek::test {
namespace {

struct MappingCase {
    const char* expression;  // evaluated with p = new ActiveXObject("Vorlek.Probe")
    const char* printed;
};

// What a script sees of each automation value, and what a member receives for
// each script value.
class ValueMapping : public testing::TestWithParam<MappingCase> {};

TEST_P(ValueMapping, AsCscriptShowsIt) {
    auto [expression, printed] = GetParam();
    Outcome r =
        run_script(std::string("var p = new ActiveXObject('Vorlek.Probe');\nWScript.Echo(") +
                   expression + ");");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, std::string(printed) + "\n") << expression;
}

INSTANTIATE_TEST_SUITE_P(
    Host, ValueMapping,
    testing::Values(
        // Results.
        MappingCase{"typeof p.Int, p.Int, typeof p.Byte, p.Byte, p.Half",
                    "number 7 number 200 0.5"},
        MappingCase{"p.Flag === true", "true"}, MappingCase{"p.Nought === undefined", "true"},
        MappingCase{"p.Nothing === null, p.Nil === null", "true true"},
        MappingCase{"new Date(p.When).getFullYear(), new Date(p.When).getMonth(), new "
                    "Date(p.When).getHours()",
                    "2023 2 18"},
        MappingCase{"new VBArray(p.Bytes).toArray().join(',')", "1,2,255"},
        MappingCase{"new VBArray(p.Longs).lbound(), new VBArray(p.Longs).ubound(), new "
                    "VBArray(p.Longs).getItem(2)",
                    "1 2 7"},
        MappingCase{
            "new VBArray(p.Mixed).toArray()[1].TypeOf(1), new VBArray(p.Mixed).toArray()[2]",
            "Long "},
        // Arguments.
        MappingCase{"p.TypeOf(1), p.TypeOf(-2147483648), p.TypeOf(2147483648), p.TypeOf(0.5)",
                    "Long Long Double Double"},
        MappingCase{
            "p.TypeOf('x'), p.TypeOf(true), p.TypeOf(null), p.TypeOf(undefined), p.TypeOf(p)",
            "String Boolean Null Empty Object"},
        // A script Date goes in as its text, as cscript's object does.
        MappingCase{"p.TypeOf(new Date(2020, 1, 2)), p.TypeOf([1, 2])", "String String"},
        MappingCase{"p.Echo([1, 2]), p.Echo({toString: function () { return 'own'; }})", "1,2 own"},
        MappingCase{"p.Echo('\\uD83D\\uDE00').length, p.Echo('\\u00E9\\u20AC')",
                    "2 \xC3\xA9\xE2\x82\xAC"},
        MappingCase{"p.Echo(p.Bytes) !== undefined, new VBArray(p.Echo(p.Bytes)).ubound()",
                    "true 2"},
        // Optional arguments, in-out arguments, let, the default value.
        MappingCase{"p.Sum(1), p.Sum(1, 2), p.Sum('3', '4')", "11 3 7"},
        MappingCase{"(function () { var v = 'mine'; var r = p.Swap(v); return r + ' ' + v; })()",
                    "1 mine"},
        MappingCase{"(function () { p.Value = 42; return typeof p.Value + ' ' + p.Value; })()",
                    "string 42"},
        MappingCase{"p.echo('case-blind'), 'Echo' in p, 'Nope' in p", "case-blind true false"}));

struct ErrorCase {
    const char* statement;
    int number;
};

class ErrorNumbers : public testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorNumbers, ReachTheScriptAsCscriptReportsThem) {
    auto [statement, number] = GetParam();
    Outcome r = run_script(
        std::string("var p = new ActiveXObject('Vorlek.Probe');\n"
                    "var s = new ActiveXObject('Vorlek.Stringer'); s.InitSeperator('a;b', ';');\n"
                    "try { ") +
        statement +
        "; WScript.Echo('no error'); }\n"
        "catch (e) { WScript.Echo((e.number >>> 16).toString(16), e.number & 0xFFFF, "
        "e.description === e.message); }");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "800a " + std::to_string(number) + " true\n") << statement;
}

INSTANTIATE_TEST_SUITE_P(
    Host, ErrorNumbers,
    testing::Values(
        ErrorCase{"new ActiveXObject('Scripting.FileSystemObject')", 429},
        ErrorCase{"WScript.CreateObject('WScript.Shell')", 429}, ErrorCase{"p.NoSuch()", 438},
        ErrorCase{"p.NoSuch", 438}, ErrorCase{"p.NoSuch = 1", 438}, ErrorCase{"p.Int = 1", 438},
        ErrorCase{"p.TakesLong('abc')", 13}, ErrorCase{"p.TakesLong(3e9)", 6},
        ErrorCase{"p.TakesLong()", 450}, ErrorCase{"p.TakesLong(1, 2)", 450},
        ErrorCase{"p.Boom(5)", 5}, ErrorCase{"p.Boom(1)", 7}, ErrorCase{"p.Boom(0)", 51},
        ErrorCase{"p.Boom(457)", 457}, ErrorCase{"s.SepStrings.Item(9)", 9},
        ErrorCase{"s.SepStrings('#9')", 5}, ErrorCase{"s.SepStrings.Add(1, '#1')", 457},
        ErrorCase{"s.SepStrings()", 450}, ErrorCase{"'' + p", 438},
        ErrorCase{"new Enumerator(p)", 438}, ErrorCase{"p.TakesLong.call(s, 1)", 438},
        ErrorCase{"new VBArray([1])", 5013}, ErrorCase{"new VBArray(p.Bytes).getItem(3)", 9},
        ErrorCase{"new VBArray(p.Bytes).lbound(2)", 9}, ErrorCase{"WScript.Arguments(0)", 9},
        ErrorCase{"p.Echo.apply(p, new Array(40))", 450},
        // The engine's own errors carry cscript's numbers when caught.
        ErrorCase{"noSuchName", 5009}, ErrorCase{"null.x", 5007}, ErrorCase{"eval('a b')", 1002},
        ErrorCase{"new Array(-1)", 5029}));

TEST(Host, UncaughtErrorNamesFileLineAndNumber) {
    Outcome r = run_script(
        "var p = new ActiveXObject('Vorlek.Probe');\n\np.TakesLong('x');\nWScript.Echo('not "
        "here');");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "t.js(3): Type mismatch (0x800A000D)\n");

    r = run_script("WScript.Echo('before');\nthrow 'text';");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "before\n");
    EXPECT_EQ(r.err, "t.js(2): Exception thrown and not caught (0x800A139E)\n");

    r = run_script("\nnoSuchFunction();");
    EXPECT_EQ(r.err, "t.js(2): 'noSuchFunction' is undefined (0x800A1391)\n");

    // An error object whose properties throw still gets reported.
    r = run_script(
        "var e = new Error('x'); Object.defineProperty(e, 'message', {get: function () { throw 1; "
        "}});\n"
        "throw e;");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "t.js(2): Exception thrown and not caught (0x800A139E)\n");
}

TEST(Host, IncludesNameTheirOwnFile) {
    host::RunOptions options;
    options.includes.push_back({"harness.js", "harness.js", "function fail() {\n  missing();\n}"});
    Outcome r = run_script("fail();", options);
    EXPECT_EQ(r.err, "harness.js(2): 'missing' is undefined (0x800A1391)\n");
}

TEST(Host, QuitEndsTheScriptEvenInsideTry) {
    Outcome r = run_script(
        "try { WScript.Quit(7); } catch (e) { WScript.Echo('caught'); }\nWScript.Echo('after');");
    EXPECT_EQ(r.status, 7);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST(Host, ArgumentsAndEcho) {
    host::RunOptions options;
    options.arguments = {"sim", "caf\xC3\xA9"};
    Outcome r = run_script(
        "var a = WScript.Arguments;\nWScript.Echo(a.length, a.Count(), a(0), a.Item(1), "
        "a.Item(1).length, "
        "WScript.ScriptName);\nWScript.Echo();\nWScript.Echo(undefined, null, 1.5);",
        options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "2 2 sim caf\xC3\xA9 4 t.js\n\n null 1.5\n");
}

TEST(Host, SleepLetsTimePassOnTheSimulatedNetwork) {
    // SRV01 restarts at once and boots for a minute; the library's own classes.
    host::ScriptFile script{
        "t.js", "/tmp/t.js",
        "var d = new ActiveXObject('Vorlek.DllClass');\n"
        "WScript.Echo(d.EndWindows('SRV01', '', 0, false, true), d.EndWindows('SRV01'));\n"
        "WScript.Sleep(59999);\nWScript.Echo(d.EndWindows('SRV01'));\n"
        "WScript.Sleep(1);\nWScript.Echo(d.EndWindows('SRV01'));"};
    std::ostringstream out, err;
    EXPECT_EQ(host::run(script, {}, sim::make_network(u"default"), out, err), 0);
    EXPECT_EQ(out.str(), "0 53\n53\n0\n");
    EXPECT_EQ(err.str(), "");
}

TEST(Host, ScriptsCannotReachTheHostSystem) {
    Outcome r = run_script(
        "WScript.Echo(typeof Duktape, typeof Buffer, typeof CBOR, typeof require, typeof print, "
        "typeof process);\n"
        "var n = 0; var ids = ['Scripting.FileSystemObject', 'WScript.Shell', "
        "'Shell.Application'];\n"
        "for (var i = 0; i < ids.length; i++) { try { new ActiveXObject(ids[i]); } catch (e) { "
        "n++; } }\n"
        "WScript.Echo(n);");
    EXPECT_EQ(r.out, "undefined undefined undefined undefined undefined undefined\n3\n");
}

TEST(Host, EnumeratorWalksWhileTheCollectionIsReplaced) {
    Outcome r = run_script(
        "var s = new ActiveXObject('Vorlek.Stringer'); s.InitSeperator('a;b;c', ';');\n"
        "var seen = [];\n"
        "for (var e = new Enumerator(s.SepStrings); !e.atEnd(); e.moveNext()) {\n"
        "  seen.push(e.item().SepString); s.InitSeperator('x', ';'); s.SepStrings = null;\n"
        "}\n"
        "e.moveNext(); WScript.Echo(seen.join(''), e.atEnd(), e.item());\n"
        "e.moveFirst(); WScript.Echo(e.item().SepString);\n"
        "var empty = new Enumerator(); WScript.Echo(empty.atEnd(), empty.item());");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "abc true \na\ntrue \n");
}

TEST(Host, ReleasesEveryObjectItWrapped) {
    uint64_t before = Object::live_count();
    Outcome r = run_script(
        "var keep = [], s = new ActiveXObject('Vorlek.Stringer');\n"
        "for (var i = 0; i < 200; i++) { s.InitSeperator('a;b;c', ';'); "
        "keep.push(s.SepStrings(2)); }\n"
        "var e = new Enumerator(s.SepStrings); var p = new ActiveXObject('Vorlek.Probe');\n"
        "var cycle = {p: p}; cycle.self = cycle; var arr = new VBArray(p.Mixed).toArray();\n"
        "WScript.Echo(keep.length);");
    EXPECT_EQ(r.out, "200\n");
    EXPECT_EQ(Object::live_count(), before);

    // And the same when the script ends in an error or a Quit.
    run_script(
        "var s = new ActiveXObject('Vorlek.Stringer'); s.InitSeperator('a;b', ';'); var c = "
        "s.SepStrings; "
        "throw 1;");
    run_script(
        "var s = new ActiveXObject('Vorlek.Stringer'); s.InitSeperator('a;b', ';'); "
        "WScript.Quit(2);");
    EXPECT_EQ(Object::live_count(), before);
}

TEST(Host, ReleasesWrappersWhileTheScriptRuns) {
    // Each read of Mixed makes a new object inside an array value: they must
    // go as the script drops them, not only when the heap is destroyed.
    Outcome r = run_script(
        "var p = new ActiveXObject('Vorlek.Probe'), start = p.Live;\n"
        "for (var i = 0; i < 20000; i++) new VBArray(p.Mixed).toArray()[1].Int;\n"
        "WScript.Echo(p.Live - start < 100);");
    EXPECT_EQ(r.out, "true\n") << r.err;
}

TEST(Host, ReadsUnicodeScripts) {
    const std::string utf16 =
        std::string("\xFF\xFE") +
        std::string("W\0S\0c\0r\0i\0p\0t\0.\0E\0c\0h\0o\0(\0'\0\xE9\0'\0)\0", 34);
    for (const std::string& source : {utf16, std::string("\xEF\xBB\xBFWScript.Echo('\xC3\xA9')")}) {
        Outcome r = run_script(source);
        EXPECT_EQ(r.out, "\xC3\xA9\n") << r.err;
    }
}

TEST(Host, HugeStringsAndRunawayMemoryGiveAScriptError) {
    host::RunOptions options;
    options.memory_limit = size_t{64} << 20;
    Outcome r = run_script(
        "var s = new ActiveXObject('Vorlek.Stringer'), big = new Array(1 << 20).join('x');\n"
        "WScript.Echo(big.length, s.ReplaceString(big, 'yy', 'x').length);\n"
        "var grow = 'x'; while (true) grow += grow;",
        options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1048575 2097150\n");
    EXPECT_EQ(r.err, "t.js(3): Out of memory (0x800A0007)\n");
}

TEST(Host, RunawayRecursionIsOutOfStackSpace) {
    // In tail position too, where a frame that is reused would never end.
    Outcome r = run_script(
        "function f(n) { return f(n + 1) + 1; }\nfunction k() { return k(); }\n"
        "try { f(0); } catch (e) { WScript.Echo(e.number & 0xFFFF, e.description); }\n"
        "try { k(); } catch (e) { WScript.Echo(e.number & 0xFFFF); }\nk();");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "28 Out of stack space\n28\n");
    EXPECT_EQ(r.err, "t.js(2): Out of stack space (0x800A001C)\n");
}

TEST(HostMessages, NumbersAndTexts) {
    EXPECT_EQ(host::script_error_number(438), static_cast<int32_t>(0x800A01B6));
    EXPECT_EQ(host::script_error_number(-9999), static_cast<int32_t>(0x800AD8F1));
    EXPECT_EQ(host::script_error_number(static_cast<int32_t>(0x80070005)),
              static_cast<int32_t>(0x80070005));
    EXPECT_EQ(host::error_message(457),
              "This key is already associated with an element of this collection");
    EXPECT_EQ(host::error_message(12345), "Unknown runtime error");
}

}  // namespace
}  // namespace vorlek::test
