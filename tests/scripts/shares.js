// Vorlek.Sharer as a script uses it: the shares of the file server, one
// share with its rights, the lets, creating and removing a share, and a
// drive mapped with "*". Wine's shares are stubs (nothing is listed, no share
// is found) and its NetShareSetInfo ends the process: on its own platform
// the script only reads, and every let it makes lands on an unloaded object.
var s = new ActiveXObject("Vorlek.Sharer");
var SIM = PLATFORM == "sim";

check("STYPE_SPECIAL", s.STYPE_SPECIAL, -2147483648);
check("ACCESS_ALL", s.ACCESS_ALL, 127);
check("nothing loaded yet", s.Valid, false);
check("the password is never shown", s.ShPassword, "********");
check("an empty share name", s.GetShareInfo("", ""), 87);
check("NetUse without a remote name", s.NetUse("X:", ""), 87);
check("NetUse with a name that is no UNC name", s.NetUse("X:", "server\\share"), 67);
checkError("NetUseDel without a device", function () { return s.NetUseDel(""); }, 87);
// Unloaded, the lets only store (no call reaches the server).
s.ShMaxUses = 0;
s.ShRemark = "prepared";
check("a let on an unloaded object", s.ShRemark + "," + s.LastError, "prepared,0");
check("refused before anything is created", s.Create(), 87);

if (SIM) {
    check("the shares of the file server", s.InitShares("SRV01"), 0);
    check("how many", s.Shares.Count, 7);
    var home = s.Shares.Item("home");
    check("an item", home.ShPath + "," + home.ShTypeStr + "," + home.Valid, "D:\\Home,STYPE_DISKTREE,true");
    check("its rights", home.InitShareRights(), 0);
    check("who may change", home.ShareRights.Item("CORP\\Domain Users").ShRightStr, "CHANGE");
    home.ShMaxUses = 40;
    check("a write-through", home.LastError + "," + home.ShMaxUses + "," + home.ShRemark, "0,40,Home folders");
    home.ShPassword = "123456789";
    check("a password too long", home.LastError, 87);
    check("the printer", s.GetShareInfo("SRV02", "LaserJet"), 0);
    s.InitShareRights();
    check("its rights", s.ShareRights.Item("Everyone").ShRightStr, "PRINT");

    var n = new ActiveXObject("Vorlek.Sharer");
    n.Computer = "SRV01";
    n.ShName = "Scratch";
    n.ShPath = "D:\\Public";
    check("create a share", n.Create() + "," + n.Valid + "," + n.ShMaxUses, "0,true,-1");
    check("map it to the first free letter", s.NetUse("*", "\\\\SRV01\\Scratch", "", "", false), 0);
    n.GetShareInfo("SRV01", "Scratch");
    check("one use", n.ShCurUses, 1);
    check("disconnect", s.NetUseDel("D:", false, false), 0);
    check("remove it", n.RemoveShare("SRV01", "Scratch"), 0);
    check("gone", n.RemoveShare("SRV01", "Scratch"), 2310);
    done(25);
} else {
    checkKnownDifference("the shares of the machine", s.InitShares(""), 0);
    checkKnownDifference("its administrative share", s.GetShareInfo("", "C$"), 0);
    check("so it stays unloaded", s.Valid, false);
    check("and NetUse finds no share", s.NetUse("*", "\\\\localhost\\C$") != 0, true);
    done(14);
}
