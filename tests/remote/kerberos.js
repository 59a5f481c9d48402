// Run with a Kerberos ticket and no password (kerberos-test.sh): the
// account classes reach the DC by its DNS name.
var u = new ActiveXObject("Vorlek.UserManager");
check("an account read", u.GetUserInfo("Administrator", "", false), 0);
check("its name", u.UserName, "Administrator");
check("a listing", u.InitUsers("", 0, "", false), 0);
done(3);
