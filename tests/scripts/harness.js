// Shared by every JScript test. The runners (native host and Wine's cscript)
// put this file in front of the test script, so its functions are globals.
//
// A test script calls check()/checkError() and ends with done(N), N being the
// number of checks it makes: a run that reports fewer (a script that stopped
// early without saying so) counts as failed.
//
// WScript.Arguments(0) names the platform the run uses: "sim" (the simulated
// network) or "real" (the machine's own); WScript.Arguments(1) the engine:
// "vorlek-run" (the native host) or "wine-cscript".
var PLATFORM = WScript.Arguments.length > 0 ? WScript.Arguments.Item(0) : "sim";
var ENGINE = WScript.Arguments.length > 1 ? WScript.Arguments.Item(1) : "vorlek-run";
var __passed = 0, __failed = 0;

function __show(v) {
    if (v === undefined) return "undefined";
    if (v === null) return "null";
    if (typeof v === "string") return '"' + v + '"';
    return String(v);
}

function check(name, actual, expected) {
    if (actual === expected) {
        __passed++;
    } else {
        __failed++;
        WScript.Echo("FAIL " + name + ": got " + __show(actual) + ", expected " + __show(expected));
    }
}

// The low word of a script error's number (JScript under cscript reports
// 0x800Axxxx for run-time errors, HRESULTs for dispatch failures).
function errorNumber(fn) {
    try {
        fn();
    } catch (e) {
        return e.number & 0xFFFF;
    }
    return 0;
}

function checkError(name, fn, number) {
    check(name + " (error number)", errorNumber(fn), number);
}

// A case where a platform is known to differ: passes while it still differs,
// and fails once it agrees, so the marker gets removed.
function checkKnownDifference(name, actual, expected) {
    check(name + " (known difference)", actual !== expected, true);
}

// Bytes of a Byte array as a JScript array. A script engine's own JScript
// cannot look inside a Byte array (its VBArray takes Variant arrays only), so
// there the bytes go through the library's hex text.
function bytes(v) {
    if (ENGINE === "vorlek-run") return new VBArray(v).toArray();
    var hex = new ActiveXObject("Vorlek.Stringer").ByteArrayToHexString(v, ",", 0, "");
    var out = [];
    var parts = hex === "" ? [] : hex.split(",");
    for (var i = 0; i < parts.length; i++) out.push(parseInt(parts[i], 16));
    return out;
}

function done(expectedChecks) {
    if (__passed + __failed < expectedChecks) {
        __failed++;
        WScript.Echo("FAIL only " + (__passed + __failed - 1) + " of " + expectedChecks + " checks ran");
    }
    WScript.Echo(__passed + " passed, " + __failed + " failed");
    WScript.Quit(__failed === 0 ? 0 : 1);
}
