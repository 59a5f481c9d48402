// Who may log on locally, back up files and shut the machine down; then a
// right granted to an account, seen in the list and in a new logon of that
// account (a program started as it runs with the right in its token), and
// revoked again.
//   vorlek-run examples/rights.js        (simulated network)
//   cscript //nologo examples\rights.js  (Windows: the grant changes the machine)
var ls = new ActiveXObject("Vorlek.LocalSecurer");
var helper = new ActiveXObject("Vorlek.DllClass");

function explain(status) { return status == 0 ? "done" : helper.FormatAPIMessage(status, "status " + status) + " (" + status + ")"; }
function pad(text, width) {
    text = String(text);
    while (text.length < width) text += " ";
    return text;
}
function show(right, title) {
    WScript.Echo(title + " (" + right + "):");
    var status = ls.InitPolicies(right);
    for (var e = new Enumerator(ls.Policies); !e.atEnd(); e.moveNext()) {
        var item = e.item();
        var name = (item.PolicyAccountDomain == "" ? "" : item.PolicyAccountDomain + "\\") + item.PolicyAccount;
        WScript.Echo("  " + pad(name, 40) + item.PolicyAccountType);
    }
    if (status != 0) WScript.Echo("  (the list stopped: " + explain(status) + ")");
    else if (ls.Policies.Count == 0) WScript.Echo("  nobody");
}

show("SeInteractiveLogonRight", "Who may log on locally");
show("SeBackupPrivilege", "Who may back up files");
show("SeShutdownPrivilege", "Who may shut the machine down");
show("SeServiceLogonRight", "Who may log on as a service");

// The account the right is granted to: given as the first argument, else
// the local support account of the simulated workstation ("control", which
// the demo passes to every example, asks for that default too).
var account = WScript.Arguments.length > 0 && WScript.Arguments.Item(0) != "control"
                  ? WScript.Arguments.Item(0) : "support";
var password = WScript.Arguments.length > 1 ? WScript.Arguments.Item(1) : "";
WScript.Echo("");
ls.PolicyString = "SeSystemtimePrivilege";
ls.PolicyAccount = account;
var status = ls.AddPolicyRight();
WScript.Echo("Grant " + account + " the right to change the time: " + explain(status));
if (status == 0) {
    WScript.Echo("  " + ls.PolicyAccountDomain + "\\" + ls.PolicyAccount + " (" + ls.PolicyAccountType + ") on " + ls.Computer);
    show("SeSystemtimePrivilege", "Who may change the time now");
    // A new logon of the account takes its privileges from the authority.
    var p = new ActiveXObject("Vorlek.Process");
    WScript.Echo("A program started as " + account + " (a new logon): " +
                 explain(p.StartProcess("cmd.exe /c time /t", 5000, false, account, password)));
    WScript.Echo("Revoke it: " + explain(ls.DeletePolicyRight("SeSystemtimePrivilege", account)));
    show("SeSystemtimePrivilege", "Who may change the time after that");
}
