// Vorlek.Computer against the test domain controller (DC1 of CORP) through
// vorlek-run --remote: "" is the DC. The server's record and the
// workstation's, the controllers of its domain, the browse list a DC
// without NetBIOS does not keep, and a write-through of the comment.
var c = new ActiveXObject("Vorlek.Computer");

// Run with a wrong password (argument "wrong-password"), every class gets
// the logon failure from the server.
if (WScript.Arguments.length > 3 && WScript.Arguments.Item(3) == "wrong-password") {
    check("the server's details", c.InitComputerInfo(), 1326);
    check("the holders of a right", new ActiveXObject("Vorlek.LocalSecurer").InitPolicies("SeBackupPrivilege"), 1326);
    check("the shares", new ActiveXObject("Vorlek.Sharer").InitShares(""), 1326);
    done(3);
}

check("the DC's details", c.InitComputerInfo(), 0);
check("its name", c.CompName, "DC1");
check("answered", c.CompAvailable, true);
check("its domain", c.CompLangroup, "CORP");
check("an NT platform", c.CompPlatformID, 500);
// Samba leaves the controller's bit out of the type it announces; a Windows
// controller sets it.
checkKnownDifference("a domain controller", c.CompType.indexOf("SV_TYPE_DOMAIN_CTRL") >= 0, true);
// Samba refuses the workstation's level 102 to administrators: its level 101
// gives the rest, without the logged-on users.
check("logged-on users unknown", c.CompLoggedOnUsers, 0);
check("nothing listed", c.Computers.Count, 0);

// The name the DC reports about itself reaches it as well.
var byName = new ActiveXObject("Vorlek.Computer");
check("by its own name", byName.InitComputerInfo("DC1"), 0);
check("the same record", byName.CompName + "," + byName.CompLangroup, "DC1,CORP");

check("the primary controller", c.GetPDCName(), "DC1");
check("of the domain named", c.GetPDCName("", "CORP"), "DC1");
// A controller asked about its own domain answers 1355 (Windows DCs too:
// NetGetAnyDCName names controllers of the domains it trusts).
check("any controller of its own domain", c.GetDCName("", "", "none") + "," + c.LastError,
      "none,1355");

// A Samba DC without NetBIOS keeps no browse list: 6118, as a Windows
// client gets from a server without the browser.
check("no browse list", c.InitComputerInfo("*"), 6118);

// The comment written through and read back, then put back as it was.
var before = c.CompComment;
c.CompComment = "Vorlek remote test";
var again = new ActiveXObject("Vorlek.Computer");
again.InitComputerInfo("DC1");
var written = again.CompComment;
c.CompComment = before;
// Samba accepts the change and keeps its configured comment: a Windows
// server stores it.
checkKnownDifference("the comment read back", written, "Vorlek remote test");

// Bad input and a machine nobody answers to end in the system's code.
var t0 = new Date().getTime();
check("a name nobody answers to", new ActiveXObject("Vorlek.Computer").InitComputerInfo("NOSUCHHOST"), 53);
check("and soon", new Date().getTime() - t0 < 30000, true);
check("a name with NUL", new ActiveXObject("Vorlek.Computer").InitComputerInfo("DC\u00001"), 123);
var far = new ActiveXObject("Vorlek.Computer");
check("a name too long for any machine", far.InitComputerInfo(new Array(300).join("x")), 123);
done(19);
