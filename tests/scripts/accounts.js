// Vorlek.UserManager and Vorlek.GroupManager as a script uses them: Dates
// and Booleans out of an account, lets that write through, an account object
// handed to another class's member, collections keyed by domain and name.
// Under the real platform only what reads nothing on Wine's platform runs
// (Wine answers the policy read with a failure and ends the process on an
// account write); the rest runs on the default simulated network.
var SIM = PLATFORM == "sim";
var u = new ActiveXObject("Vorlek.UserManager");
var g = new ActiveXObject("Vorlek.GroupManager");

check("constant", u.UF_WORKSTATION_TRUST_ACCOUNT, 4096);
check("an empty Users collection", u.Users.Count, 0);
check("the password is never shown", u.Password, "**************");
check("a Date field of a new object", new Date(u.LastLogon).getFullYear(), 1899);
check("a foreign object is no account", g.AddMember(new ActiveXObject("Vorlek.Stringer")), 87);
check("nor is an account that describes none", g.AddMember(u), 87);
check("the current user has a name", u.GetCurrentUser("?") != "?", true);

if (SIM) {
    check("read an account", u.GetUserInfo("dbrown", "DC01"), 0);
    check("a Boolean", u.AccountLocked, true);
    check("a Date", new Date(u.LastLogon).getDate(), 12);
    u.AccountLocked = false;
    check("unlocked through the let", u.LastError, 0);
    var again = new ActiveXObject("Vorlek.UserManager");
    again.GetUserInfo("dbrown", "DC01");
    check("and on the store", again.AccountLocked, false);

    check("InitUsers", u.InitUsers("DC01", 2, "Sales"), 0);
    check("keyed by domain and name", u.Users.Item("CORP\\mmueller").UserFullName, "Maria M\u00FCller");
    var names = [];
    for (var e = new Enumerator(u.Users); !e.atEnd(); e.moveNext()) names.push(e.item().UserName);
    check("walked in order", names.join(","), "mmueller,pdubois,kwilliams");

    check("a group", g.GetGroupInfo("Sales", "DC01"), 0);
    check("an account handed to a member", g.AddMember(again), 0);
    check("its membership", u.InitUsers("DC01", 2, "Sales"), 0);
    check("now four", u.Users.Count, 4);
    check("InitGroups", g.InitGroups("DC01", "", "dbrown"), 0);
    check("a global group key", g.Groups("CORP\\Sales").GroupID > 1000, true);

    // Logons follow the policy: three bad passwords lock the account out for
    // the lockout duration (half an hour); DC01 counts them.
    var m = new ActiveXObject("Vorlek.ModalsManager");
    check("the domain's policy", m.GetModalsInfo("DC01"), 0);
    m.LockoutThreshold = 3;
    var p = new ActiveXObject("Vorlek.Process");
    var tries = [];
    for (var i = 0; i < 4; i++) tries.push(p.StartProcess("cmd /c exit 0", 0, false, "tnguyen", "wrong", "CORP"));
    check("bad passwords, then locked out", tries.join(","), "1326,1326,1326,1909");
    u.GetUserInfo("tnguyen", "DC01");
    check("counted", u.BadPasswordCount + "," + u.AccountLocked, "3,true");
    var logons = u.NumLogons;
    check("the right one is refused too", p.StartProcess("cmd /c exit 0", 0, false, "tnguyen", "Secret#tnguyen", "CORP"), 1909);
    new ActiveXObject("Vorlek.DllClass").Sleeping(1800000);
    check("the lockout has run out", p.StartProcess("cmd /c exit 0", 0, false, "tnguyen", "Secret#tnguyen", "CORP"), 0);
    u.GetUserInfo("tnguyen", "DC01");
    check("and the logon counted", u.BadPasswordCount + "," + u.AccountLocked + "," + (u.NumLogons - logons), "0,false,1");
    check("when", new Date(u.LastLogon).getHours(), 11);
} else {
    checkKnownDifference("Wine's account read", u.GetUserInfo("Administrator"), 0);
}

done(SIM ? 28 : 8);
