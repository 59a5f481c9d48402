// Vorlek.ModalsManager as a script uses it. Under the real platform only the
// read runs: Wine keeps no policy beyond level 2 and ends the process on a
// policy write, so the lets run under "sim" only (the default network:
// WS0001 a member of CORP, DC01 its primary and DC02 its backup controller).
var m = new ActiveXObject("Vorlek.ModalsManager");
var SIM = PLATFORM == "sim";

check("TIMEQ_FOREVER", m.TIMEQ_FOREVER, -1);
check("ONE_DAY", m.ONE_DAY, 86400);
check("a new object is not valid", m.Valid, false);
m.MinPasswordLen = 5;
check("a let on it writes nothing", m.LastError, 0);

var rc = m.GetModalsInfo();
check("valid exactly after a complete read", m.Valid, rc == 0);
if (SIM) {
    check("local read", rc, 0);
    check("local machine's name", m.Computer, "WS0001");
    check("role", m.LogonServerRoleStr, "UAS_ROLE_MEMBER");
    check("read of the primary", m.GetModalsInfo("DC01"), 0);
    m.MaxPasswordAge = m.TIMEQ_FOREVER;
    check("written through", m.MaxPasswordAge, -1);
    var backup = new ActiveXObject("Vorlek.ModalsManager");
    backup.GetModalsInfo("DC02");
    check("the backup reads the same policy", backup.MaxPasswordAge, -1);
    backup.LockoutThreshold = 3;
    check("the backup refuses a write", backup.LastError, 2226);
} else {
    // Wine answers level 0 with 2140.
    checkKnownDifference("Wine's password policy read", rc, 0);
}

done(SIM ? 12 : 6);
