' Vorlek.LocalSecurer from VBScript: AddPolicyRight's Variant result is an
' Integer 0 on success and a Long code otherwise; the optional arguments
' of DeletePolicyRight and InitPolicies take their defaults; For Each over
' Policies.
Dim ls, result, item, walked
Set ls = CreateObject("Vorlek.LocalSecurer")

ls.PolicyString = "SeBackupPrivilege"
result = ls.AddPolicyRight()
Check "refused: a Long", VarType(result), vbLong
Check "no account", result, -545

ls.PolicyString = "SeBatchLogonRight"
ls.PolicyAccount = "Users"
result = ls.AddPolicyRight()
If PLATFORM = "sim" Then
    Check "granted: an Integer", VarType(result), vbInteger
    Check "granted", result, 0
Else
    ' Wine's authority: a result of either kind, whatever it made of the call.
    Check "a result", VarType(result) = vbInteger Or VarType(result) = vbLong, True
    Check "a number", IsNumeric(result), True
End If
Check "revoked with the default domain and machine", ls.DeletePolicyRight("SeBatchLogonRight", "Users"), 0

walked = 0
If ls.InitPolicies("SeChangeNotifyPrivilege") = 0 Then
    For Each item In ls.Policies
        If item.PolicyString = "SeChangeNotifyPrivilege" Then walked = walked + 1
    Next
End If
If PLATFORM = "sim" Then
    Check "For Each over Policies", walked, 2
Else
    CheckKnownDifference "For Each over Policies", walked, 2
End If
Done 6
