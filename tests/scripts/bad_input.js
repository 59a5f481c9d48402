// Bad input from a script: every case ends in a clear script error or the
// member's documented result, and the script carries on.
var s = new ActiveXObject("Vorlek.Stringer");

// A script error thrown and caught by the script itself.
check("script's own throw", errorNumber(function () { throw new Error(5, "mine"); }) >= 0, true);
var caught = "";
try { s.NoSuchMember(1, 2); } catch (e) { caught = e.description; }
check("unknown member text", caught, "Object doesn't support this property or method");

// Walking a collection while the object replaces it: the walk keeps the old one.
s.InitSeperator("a;b;c", ";");
var walked = [];
for (var e = new Enumerator(s.SepStrings); !e.atEnd(); e.moveNext()) {
    walked.push(e.item().SepString);
    s.InitSeperator("x;y;z;w", ";");
}
check("walk over the replaced collection", walked.join(""), "abc");
check("new collection in place", s.SepStrings.Count, 4);
s.SepStrings = null;
check("collection field set to nothing", s.SepStrings, null);

// Wrong types.
checkError("text for a Byte", function () { return s.GetCharEx("F2"); }, 13);
checkError("too large for a Byte", function () { return s.GetCharEx(300); }, 6);
checkError("too many arguments", function () { return s.GetCharEx(1, 2); }, 450);
checkError("too few arguments", function () { return s.ReverseString(); }, 450);
check("number to a String parameter", s.ReverseString(12345, ""), "54321");
check("boolean to a String parameter", s.ReverseString(true, ""), "eurT");
checkError("object of another class as the collection", function () { s.SepStrings = new ActiveXObject("Vorlek.Stringer"); }, 13);
check("not an array: documented result", s.ByteArrayToHexString(s, " ", 0, ""), "");
check("not an array: LastError", s.LastError, 13);

// Huge strings reach the members whole; where a member's Integer counter
// overflows it gives its documented result.
var big = new Array(200001).join("ab");
check("huge string replaced", s.ReplaceString(big, "", "b").length, 200000);
check("huge string reversed: strDefault", s.ReverseString(big, "?"), "?");
check("huge split: overflow", s.InitSeperator(big, "a"), 6);
check("huge split keeps what it had", s.SepStrings.Count, 32767);

done(18);
