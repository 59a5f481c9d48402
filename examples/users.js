// The accounts of the domain with their last logon, their state and their
// groups; then a dry run of creating an account and disabling it.
//   vorlek-run examples/users.js        (simulated network)
//   cscript //nologo examples\users.js  (Windows: reads the local machine's
//                                         accounts; the dry run changes them)
var users = new ActiveXObject("Vorlek.UserManager");
var groups = new ActiveXObject("Vorlek.GroupManager");
var helper = new ActiveXObject("Vorlek.DllClass");
var computer = new ActiveXObject("Vorlek.Computer");

function pad(text, width) {
    text = String(text);
    while (text.length < width) text += " ";
    return text;
}
function two(n) { return (n < 10 ? "0" : "") + n; }
function when(date) {
    var d = new Date(date);
    if (d.getFullYear() <= 1970) return "never";
    return d.getFullYear() + "-" + two(d.getMonth() + 1) + "-" + two(d.getDate()) + " " + two(d.getHours()) + ":" +
           two(d.getMinutes());
}
function explain(status) { return helper.FormatAPIMessage(status, "status " + status) + " (" + status + ")"; }

// The primary controller holds the domain's accounts; without a domain the
// local machine's own are listed.
var server = computer.GetPDCName("", "", "");
var status = users.InitUsers(server, users.FILTER_NORMAL_ACCOUNT);
WScript.Echo("Accounts of " + (server != "" ? server : "this machine") + ":");
if (status != 0) WScript.Echo("  " + explain(status));
for (var e = new Enumerator(users.Users); !e.atEnd(); e.moveNext()) {
    var u = e.item();
    var state = [];
    if (u.AccountDisabled) state.push("disabled");
    if (u.AccountLocked) state.push("locked");
    if (u.PasswordExpired) state.push("password expired");
    if (u.LogonHours.indexOf("0") >= 0) state.push("limited hours");
    var names = [];
    if (groups.InitGroups(server, "", u.UserName) == 0) {
        for (var g = new Enumerator(groups.Groups); !g.atEnd(); g.moveNext()) names.push(g.item().GroupName);
    }
    WScript.Echo("  " + pad(u.UserName, 16) + pad(u.PrivilegeStr, 17) + "last logon " + pad(when(u.LastLogon), 18) +
                 (state.length ? "[" + state.join(", ") + "] " : "") + names.join(", "));
}

// A dry run on the simulated network: a new account, disabled at once.
WScript.Echo("");
var trial = new ActiveXObject("Vorlek.UserManager");
trial.Computer = server;
trial.UserName = "trial.account";
trial.Password = "Start#2024";
trial.UserDescription = "Created by examples/users.js";
trial.AccountType = trial.UF_NORMAL_ACCOUNT;
status = trial.Create();
WScript.Echo("Create trial.account: " + explain(status));
if (status == 0) {
    trial.AccountDisabled = true;
    WScript.Echo("  disabled: " + trial.AccountDisabled + " (LastError " + trial.LastError + ")");
    trial.LogonHours = trial.LogonHours.replace(/1/g, "0");
    WScript.Echo("  hours now allowed on Monday: " + trial.LogonHours.substr(24, 24) + " (LastError " + trial.LastError + ")");
    WScript.Echo("  deleted again: " + explain(trial.DeleteUser("trial.account", server)));
}
WScript.Echo("Current user: " + users.GetCurrentUser("(unknown)"));
