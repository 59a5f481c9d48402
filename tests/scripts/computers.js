// Vorlek.Computer as a script uses it. Under the real platform only the
// local machine's name and details are read (and nothing is written); the
// browse list, the controllers and the write-through run under "sim" on the
// default network (domain CORP: DC01, DC02, SRV01-SRV03, WS0001-WS0003).
var c = new ActiveXObject("Vorlek.Computer");
var SIM = PLATFORM == "sim";

function names(collection) {
    var out = [];
    for (var e = new Enumerator(collection); !e.atEnd(); e.moveNext()) out.push(e.item().CompName);
    return out.join(",");
}

check("constant SV_TYPE_DOMAIN_ENUM", c.SV_TYPE_DOMAIN_ENUM, -2147483648);
check("new object has an empty list", c.Computers.Count, 0);
check("LastError is text", c.LastError, "0");

var me = c.GetMachineName("none");
check("machine name in upper case", me.length > 0 && me == me.toUpperCase(), true);

// The local machine's own details.
var rc = c.InitComputerInfo();
if (rc == 0) {
    check("local name", c.CompName, me);
    check("local details answered", c.CompAvailable, true);
} else {
    // A platform without the level-102 server record reports its status.
    check("local details status", rc > 0, true);
    check("local details not available", c.CompAvailable, false);
}
check("nothing added", c.Computers.Count, 0);

if (SIM) {
    check("machine name", me, "WS0001");
    check("local lan group", c.CompLangroup, "CORP");
    check("enumerate all", c.InitComputerInfo("*"), 0);
    check("browse list", names(c.Computers), "DC01,DC02,SRV01,SRV02,SRV03,WS0001,WS0002,WS0003");
    check("item by key", c.Computers.Item("dc01").CompComment, "Primary domain controller");
    check("second call", c.InitComputerInfo("*"), 457);

    var w = new ActiveXObject("Vorlek.Computer");
    w.InitComputerInfo("SRV*", -1, "unknown", w.SV_ENUM_WITH_INFO);
    check("with info", names(w.Computers), "SRV01,SRV02,SRV03");
    check("answering server", w.Computers.Item("SRV01").CompAvailable, true);

    check("primary controller", c.GetPDCName(), "DC01");
    check("workgroup machine", c.GetPDCName("LABPC1"), "ERROR");

    var srv = w.Computers.Item("SRV02");
    srv.CompComment = "Printers and plotters";
    check("comment written", srv.CompComment, "Printers and plotters");
    var again = new ActiveXObject("Vorlek.Computer");
    again.InitComputerInfo("SRV02");
    check("comment read back", again.CompComment, "Printers and plotters");
}

done(SIM ? 19 : 7);
