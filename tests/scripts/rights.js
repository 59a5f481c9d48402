// Vorlek.LocalSecurer as a script uses it: the right names, the holders of
// a right as a keyed collection, a right granted and read back, revoked,
// and the results of refused calls. On the real platform under Wine the
// authority lists nobody and ignores additions: the read-backs are known
// differences there.
var ls = new ActiveXObject("Vorlek.LocalSecurer");
var SIM = PLATFORM == "sim";

var names = ls.GetPolicyStrings().split(";");
check("28 right names", names.length, 28);
check("the first", names[0], "SeAssignPrimaryTokenPrivilege");
check("a new object", ls.Valid + "," + ls.PolicyAccount + "," + ls.Computer, "false,,");

function holders(right, machine) {
    var rc = machine === undefined ? ls.InitPolicies(right) : ls.InitPolicies(right, machine);
    var out = [];
    for (var e = new Enumerator(ls.Policies); !e.atEnd(); e.moveNext()) {
        var item = e.item();
        out.push((item.PolicyAccountDomain == "" ? "" : item.PolicyAccountDomain + "\\") + item.PolicyAccount);
    }
    return rc + ":" + out.join(",");
}

var backup = holders("SeBackupPrivilege");
if (SIM) {
    check("who backs up files", backup, "0:BUILTIN\\Administrators,BUILTIN\\Backup Operators");
    var admins = ls.Policies.Item("builtin\\administrators");
    check("an item by its key", admins.PolicyAccountType + "," + admins.Computer + "," + admins.Valid,
          "AccTypeAlias,WS0001,true");
    check("the same by the machine's own name", holders("SeBackupPrivilege", "\\\\ws0001"), backup);
} else {
    checkKnownDifference("who backs up files", backup.indexOf("BUILTIN\\Administrators") >= 0, true);
}
check("nobody acts as part of the system", holders("SeTcbPrivilege"), "0:");

// Granted through a new object's own properties, to the local Users group
// (a loaded object keeps its fields: its lets change nothing).
function grant(right, account) {
    var g = new ActiveXObject("Vorlek.LocalSecurer");
    g.PolicyString = right;
    g.PolicyAccount = account;
    return g;
}
var grantor = grant("SeBatchLogonRight", "Users");
check("granted", grantor.AddPolicyRight(), 0);
check("and loaded", grantor.Valid + "," + grantor.PolicyAccountDomain + "," + grantor.PolicyAccountType,
      "true,BUILTIN,AccTypeAlias");
var granted = holders("SeBatchLogonRight");
if (SIM)
    check("read back", granted, "0:BUILTIN\\Users");
else
    checkKnownDifference("read back", granted, "0:BUILTIN\\Users");
check("revoked", ls.DeletePolicyRight("SeBatchLogonRight", "Users"), 0);
check("gone", holders("SeBatchLogonRight"), "0:");

// Refused calls return their code; the object is reset after a refused grant.
check("no right named", ls.InitPolicies(""), -541);
var refused = grant("SeBackupPrivilege", "");
check("no account named", refused.AddPolicyRight(), -545);
check("reset", refused.Valid + "," + refused.PolicyString, "false,");
var bogus = grant("SeNoSuchRight", "Users").AddPolicyRight();
if (SIM)
    check("a right that is none", bogus, 1313);
else
    checkKnownDifference("a right that is none", bogus, 1313);
check("a text with NUL", ls.InitPolicies("SeBackup\u0000Privilege"), 123);
done(SIM ? 17 : 15);
