' Vorlek.DllClass from VBScript: in-out arguments written back into the
' caller's variables (VBScript passes variables by reference).
Dim d, entries, total, name, rc
Set d = CreateObject("Vorlek.DllClass")

' A cursor that is no number: strName says so, on every platform; what this
' checks is the way back into the caller's variables.
entries = "five"
total = 6
name = "before"
rc = d.GetRasConnections(entries, total, name)
Check "result", rc, -9999
Check "in-out argument written back", name, "---ERROR---"
Check "untouched in-out argument keeps its value", entries, "five"
Check "and its type", VarType(total), vbInteger
Check "LastError", d.LastError, 0

' By-value arguments stay as they were.
Dim number
number = 255
Check "CBase", d.CBase(number, 16, 4, "?"), "00FF"
Check "argument unchanged", number, 255
Done 7
