' Vorlek.Stringer from VBScript: collections, run-time errors as VBScript
' numbers them, type information, Nothing.
Dim s, pieces, p, walked, x, n, b
Set s = CreateObject("Vorlek.Stringer")

' For Each over SepStrings, Item by index and key, the default member.
Check "InitSeperator", s.InitSeperator("a;b;;c", ";"), 0
walked = ""
For Each p In s.SepStrings
    walked = walked & p.SepString & "|"
Next
Check "For Each walks in order", walked, "a|b||c|"
Set pieces = s.SepStrings
Check "Count", pieces.Count, 4
Check "default member by index", pieces(2).SepString, "b"
Check "property with arguments reaches the default member", s.SepStrings(4).SepString, "c"
Check "Item by key", pieces.Item("#1").SepString, "a"
pieces.Add s, "MixedCase"
Check "Item by key regardless of case", pieces("MIXEDCASE") Is s, True
pieces.Remove "mixedCASE"
Check "Remove by key", pieces.Count, 4
walked = ""
For Each p In pieces
    walked = walked & p.SepString
Next
Check "For Each after Remove", walked, "abc"

' Run-time errors of the dispatch layer as VBScript numbers them.
On Error Resume Next
x = s.ReverseString("abc", "", "abc")
n = Err.Number : Err.Clear
Check "type mismatch is error 13", n, 13
x = s.GetCharEx(300)
n = Err.Number : Err.Clear
Check "overflow is error 6", n, 6
x = s.GetCharEx(65, 1)
n = Err.Number : Err.Clear
Check "too many arguments is error 450", n, 450
x = s.ReverseString("abc")
n = Err.Number : Err.Clear
Check "missing argument is error 450", n, 450
x = s.NoSuchMember
n = Err.Number : Err.Clear
Check "unknown member is error 438", n, 438
x = pieces("#9")
n = Err.Number : Err.Clear
Check "unknown key raises 5", n, 5
x = pieces(99)
n = Err.Number : Err.Clear
Check "bad index raises 9", n, 9
pieces.Add s, "#1"
n = Err.Number : Err.Clear
Check "duplicate key raises 457", n, 457
Check "nothing added", pieces.Count, 4
' Nothing where an object is expected, and where a value is.
Set s.SepStrings = Nothing
n = Err.Number : Err.Clear
Check "Set to Nothing accepted", n, 0
Check "SepStrings is Nothing", s.SepStrings Is Nothing, True
Set s.SepStrings = pieces
Check "Set a collection back", s.SepStrings.Count, 4
Set s.SepStrings = CreateObject("Scripting.Dictionary")
n = Err.Number : Err.Clear
Check "a foreign object is not a collection", n, 13
Check "field unchanged after a failed Set", s.SepStrings Is pieces, True
x = s.ReverseString(Nothing, "d", 1)
n = Err.Number : Err.Clear
Check "Nothing for a String", n, 13
On Error GoTo 0

' Type information: TypeName asks the object's IDispatch for its type info.
' (Wine shows the interface name, "_Stringer"; either way it names the class.)
Check "TypeName from the type library", Replace(TypeName(s), "_", ""), "Stringer"
Check "TypeName of the collection", Replace(TypeName(pieces), "_", ""), "Collection"

' Byte arrays and VBScript's own Variant arrays.
b = s.StringToANSIByteArray("AB")
' Wine's VBScript cannot take the bounds of a Byte array (only of Variant arrays).
On Error Resume Next
n = UBound(b)
If Err.Number <> 0 Then n = "error " & Err.Number
Err.Clear
On Error GoTo 0
If ENGINE = "wine-cscript" Then
    CheckKnownDifference "Byte array bounds", n, 1
Else
    Check "Byte array bounds", n, 1
End If
Check "Byte array to hex", s.ByteArrayToHexString(b, " ", 0, ""), "41 42"
Check "Variant array to hex", s.ByteArrayToHexString(Array(1, 171, 255), " ", 2, "|"), "01 AB|FF"

' Omitted optionals and coercion.
Check "ReplaceString with defaults", s.ReplaceString("aXbXc", "-", "x"), "a-b-c"
Check "numeric text for a Long", s.ReverseString("abcdef", "", "2"), "efcdab"
Check "Boolean for a Long", s.ReverseString("abc", "", True), "abc"
Check "Date for a String", Len(s.ReplaceString(DateSerial(2001, 2, 3), "", "x")) > 0, True

' Huge text.
Check "huge string through ReplaceString", Len(s.ReplaceString(Space(2000000), "ab", " ")), 4000000

Done 34
