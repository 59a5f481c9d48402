// Vorlek.LocalSecurer against the test domain controller through
// vorlek-run --remote ("(localhost)", the default machine, is the DC): the
// holders of a right, a right granted to the domain's Guest account, read
// back and revoked, and the statuses of refused calls.
var ls = new ActiveXObject("Vorlek.LocalSecurer");

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
check("who backs up files", backup.indexOf("0:") == 0 && backup.indexOf("BUILTIN\\Administrators") >= 0, true);
var admins = ls.Policies.Item("builtin\\administrators");
check("an item by its key", admins.PolicyAccountType + "," + admins.Valid, "AccTypeAlias,true");
check("the same by the DC's UNC name", holders("SeBackupPrivilege", "\\\\DC1"), backup);
check("nobody adds machines to the domain", holders("SeMachineAccountPrivilege"), "0:");
// Samba's authority does not know every right Windows has.
checkKnownDifference("acting as part of the system", holders("SeTcbPrivilege"), "0:");

function grant(right, account, domain) {
    var g = new ActiveXObject("Vorlek.LocalSecurer");
    g.PolicyString = right;
    g.PolicyAccount = account;
    if (domain !== undefined) g.PolicyAccountDomain = domain;
    return g;
}
var grantor = grant("SeUndockPrivilege", "Guest");
check("granted", grantor.AddPolicyRight(), 0);
check("and loaded", grantor.Valid + "," + grantor.PolicyAccountDomain + "," + grantor.PolicyAccountType,
      "true,CORP,AccTypeUser");
check("read back", holders("SeUndockPrivilege").indexOf("CORP\\Guest") >= 0, true);
check("revoked", ls.DeletePolicyRight("SeUndockPrivilege", "Guest"), 0);
check("gone", holders("SeUndockPrivilege").indexOf("CORP\\Guest"), -1);
// Samba says nothing when an account that holds no right loses one; Windows
// answers 2.
check("revoked again", ls.DeletePolicyRight("SeUndockPrivilege", "Guest"), 2);
// The account named with its domain: looked up on the domain's primary
// controller, the DC itself.
check("granted by domain", grant("SeManageVolumePrivilege", "Guest", "CORP").AddPolicyRight(), 0);
check("revoked by domain", ls.DeletePolicyRight("SeManageVolumePrivilege", "Guest", "CORP"), 0);

// Refused calls return their code.
check("a right that is none", grant("SeNoSuchRight", "Guest").AddPolicyRight(), 1313);
check("listing a right that is none", ls.InitPolicies("SeNoSuchRight"), 1313);
check("an account nobody knows", grant("SeBackupPrivilege", "NoSuchAccount").AddPolicyRight(), 1332);
check("a text with NUL", ls.InitPolicies("SeBackup\u0000Privilege"), 123);
check("a machine with NUL", ls.InitPolicies("SeBackupPrivilege", "DC\u00001"), 123);
done(18);
