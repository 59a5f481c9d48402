' Vorlek.DllClass's dial-up cursor from VBScript, which passes variables by
' reference: the in-out arguments come back into the caller's variables.
Dim d, entries, total, name, rc, i
Set d = CreateObject("Vorlek.DllClass")

entries = 0
total = 0
name = "before"
For i = 1 To 3
    rc = d.GetRasConnections(entries, total, name)
Next
Check "result", rc, 0
If PLATFORM = "sim" Then
    ' WS0001 has one dial-up connection: the cursor stays on it.
    Check "entries read", entries, 1
    Check "total", total, 1
    Check "name", name, "Zentrale"
Else
    Check "entries read", entries >= 0, True
    Check "total", total >= 0, True
    Check "name is text", VarType(name), vbString
End If

' A cursor that is not a number, and Nothing.
entries = "first"
rc = d.GetRasConnections(entries, total, name)
Check "non-numeric cursor", rc, -9999
Check "name says so", name, "---ERROR---"
Check "cursor untouched", entries, "first"
Set entries = Nothing
rc = d.GetRasConnections(entries, total, name)
Check "Nothing as cursor", rc, -9999
Check "LastError", d.LastError, 0
Done 9
