// Vorlek.Sharer against the test domain controller through vorlek-run
// --remote ("" is the DC): its shares with their rights, a share created
// on a directory the DC script provides (WScript.Arguments(2)), read back,
// its remark changed, deleted; and the statuses of refused calls, Samba's
// turned into the ones Windows gives.
var s = new ActiveXObject("Vorlek.Sharer");
var dir = WScript.Arguments.Item(2);

check("the DC's shares", s.InitShares(""), 0);
check("sysvol, netlogon and the test data", s.Shares.Count >= 3, true);
var data = s.Shares.Item("data");
check("an item", data.ShRemark + "," + data.ShTypeStr + "," + data.Valid, "Test data,STYPE_DISKTREE,true");
check("its rights", data.InitShareRights(), 0);
check("listed", data.ShareRights.Count > 0, true);
check("the same record read alone", s.GetShareInfo("", "data") + "," + s.ShRemark, "0,Test data");

// Objects that write through are given the DC's name: the class puts the
// name of the machine the script runs on (here the Linux host) in place of
// "" and addresses that afterwards.
// A name of this run's own: Samba's workers can take a moment to see that a
// share of an earlier run is gone.
var name = "VorlekTest" + (new Date().getTime() % 100000000);
var n = new ActiveXObject("Vorlek.Sharer");
n.Computer = "DC1";
n.ShName = name;
n.ShPath = dir;
n.ShRemark = "made remotely";
check("create a share", n.Create() + "," + n.Valid + "," + n.ShMaxUses, "0,true,-1");
var r = new ActiveXObject("Vorlek.Sharer");
check("read back", r.GetShareInfo("\\\\DC1", name.toLowerCase()) + "," + r.ShName + "," + r.ShRemark,
      "0," + name + ",made remotely");
n.ShRemark = "changed";
check("remark written through", n.LastError + "," + n.ShRemark, "0,changed");
r.GetShareInfo("", name);
check("and read back", r.ShRemark, "changed");
check("a name in use", n.Create(), 2118);
check("remove it", n.RemoveShare("", name), 0);
// Samba answers 67 (deleting) and 123 (reading) for a share it does not
// have; Windows 2310.
check("gone", n.RemoveShare("", name), 2310);
check("no record", r.GetShareInfo("", name), 2310);

var m = new ActiveXObject("Vorlek.Sharer");
m.Computer = "DC1";
m.ShName = "VorlekNoDir";
m.ShPath = dir + "/no-such-directory";
check("a path the server does not have", m.Create(), 2116);
check("a name with NUL", s.GetShareInfo("", "da\u0000ta"), 123);
// Printers and drive connections are the script machine's own here.
check("no drive connections from Linux", s.NetUse("X:", "\\\\DC1\\data"), 50);
done(17);
