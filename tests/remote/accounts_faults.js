// The account classes signed in with a wrong password (vorlek-run --remote
// with a password file that does not match): every call ends in 1326.
var u = new ActiveXObject("Vorlek.UserManager");
check("an account read", u.GetUserInfo("Administrator", "", false), 1326);
check("an enumeration", u.InitUsers("", 0, "", false), 1326);
check("the members of a local group (SAM directly)",
      new ActiveXObject("Vorlek.GroupManager").InitGroups("", "Administrators", "", false), 1326);
check("the policy", new ActiveXObject("Vorlek.ModalsManager").GetModalsInfo(""), 1326);
done(4);
