' Shared by every VBScript test; the runners put it in front of the test
' script. Same contract as harness.js: Check / CheckKnownDifference, then
' Done N with N the number of checks the script makes; the last line printed
' is "N passed, M failed".
'
' WScript.Arguments(0) names the platform ("sim" or "real"), (1) the engine
' ("vorlek-run" or "wine-cscript").
Option Explicit
Dim PLATFORM, ENGINE, passedCount, failedCount
PLATFORM = "sim"
ENGINE = "vorlek-run"
If WScript.Arguments.Count > 0 Then PLATFORM = WScript.Arguments(0)
If WScript.Arguments.Count > 1 Then ENGINE = WScript.Arguments(1)
passedCount = 0
failedCount = 0

Function Show(v)
    If IsObject(v) Then
        If v Is Nothing Then Show = "Nothing" Else Show = "(object)"
    ElseIf IsNull(v) Then
        Show = "Null"
    ElseIf VarType(v) = vbString Then
        Show = """" & v & """"
    Else
        Show = CStr(v)
    End If
End Function

' Equal values of the same type (objects compare by identity).
Function Same(actual, expected)
    Same = False
    If IsObject(actual) Or IsObject(expected) Then
        If IsObject(actual) And IsObject(expected) Then Same = (actual Is expected)
    ElseIf IsNull(actual) Or IsNull(expected) Then
        Same = IsNull(actual) And IsNull(expected)
    ElseIf IsNumber(actual) And IsNumber(expected) Then
        Same = (actual = expected)
    ElseIf VarType(actual) = VarType(expected) Then
        Same = (actual = expected)
    End If
End Function

' Integer, Long, Single, Double, Currency, Decimal, Byte: compared by value.
Function IsNumber(v)
    Select Case VarType(v)
        Case 2, 3, 4, 5, 6, 14, 17
            IsNumber = True
        Case Else
            IsNumber = False
    End Select
End Function

Sub Check(name, actual, expected)
    If Same(actual, expected) Then
        passedCount = passedCount + 1
    Else
        failedCount = failedCount + 1
        WScript.Echo "FAIL " & name & ": got " & Show(actual) & ", expected " & Show(expected)
    End If
End Sub

' Passes while a platform still differs; fails once it agrees.
Sub CheckKnownDifference(name, actual, expected)
    Check name & " (known difference)", Same(actual, expected), False
End Sub

Sub Done(expectedChecks)
    If passedCount + failedCount < expectedChecks Then
        failedCount = failedCount + 1
        WScript.Echo "FAIL only " & (passedCount + failedCount - 1) & " of " & expectedChecks & " checks ran"
    End If
    WScript.Echo passedCount & " passed, " & failedCount & " failed"
    If failedCount = 0 Then WScript.Quit 0 Else WScript.Quit 1
End Sub
