// The groups of the domain and of this machine, the members of the local
// Administrators group, and a dry run of a new local group.
//   vorlek-run examples/groups.js        (simulated network)
//   cscript //nologo examples\groups.js  (Windows: the dry run changes the machine)
var groups = new ActiveXObject("Vorlek.GroupManager");
var users = new ActiveXObject("Vorlek.UserManager");
var helper = new ActiveXObject("Vorlek.DllClass");
var computer = new ActiveXObject("Vorlek.Computer");

function explain(status) { return helper.FormatAPIMessage(status, "status " + status) + " (" + status + ")"; }
function pad(text, width) {
    text = String(text);
    while (text.length < width) text += " ";
    return text;
}

var server = computer.GetPDCName("", "", "");
var status = groups.InitGroups(server);
WScript.Echo("Groups of " + (server != "" ? server : "this machine") + ":");
if (status != 0) WScript.Echo("  " + explain(status));
for (var e = new Enumerator(groups.Groups); !e.atEnd(); e.moveNext()) {
    var g = e.item();
    WScript.Echo("  " + pad(g.IsLocal ? "local" : "global", 8) + pad(g.GroupName, 24) + g.GroupComment);
}

WScript.Echo("");
WScript.Echo("Members of Administrators on this machine:");
if (users.InitUsers("", 0, "Administrators") == 0) {
    for (var u = new Enumerator(users.Users); !u.atEnd(); u.moveNext())
        WScript.Echo("  user   " + u.item().DomainName + "\\" + u.item().UserName);
}
// A member whose account was deleted has no name, only its SID, and ends the
// list of groups with error 5 (the groups before it are listed).
status = groups.InitGroups("", "Administrators");
for (var g2 = new Enumerator(groups.Groups); !g2.atEnd(); g2.moveNext())
    WScript.Echo("  group  " + g2.item().DomainName + "\\" + g2.item().GroupName + (g2.item().Valid ? "" : " (of another domain)"));
if (status != 0) WScript.Echo("  (the list of groups stopped with " + status + ")");

// A dry run on the simulated network: a local group with one domain account.
WScript.Echo("");
var team = new ActiveXObject("Vorlek.GroupManager");
team.GroupName = "Script Testers";
team.GroupComment = "Made by examples/groups.js";
team.IsLocal = true;
status = team.Create();
WScript.Echo("Create local group Script Testers: " + explain(status));
if (status == 0) {
    var admin = new ActiveXObject("Vorlek.UserManager");
    if (admin.GetUserInfo("Administrator", server) == 0)
        WScript.Echo("  add " + admin.DomainName + "\\Administrator: " + explain(team.AddMember(admin)));
    WScript.Echo("  delete again: " + explain(team.DeleteGroup("Script Testers")));
}
