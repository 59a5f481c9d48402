// What registration wrote, read back through the registry, and the identity
// of objects handed out through COM.
var shell = new ActiveXObject("WScript.Shell");
var CLSID = "{B852D280-2CE9-5F44-B289-599C6C04C977}";  // fixed: derived from the ProgID
var LIBID = "{74F13731-F240-5D8D-8118-98BEFC8B96B6}";
// _Collection's, derived from its description (docs/reference/Collection.idl).
var IID = "{19B2B437-49A6-56CA-A4F6-FA75ADA3B89E}";
function read(key) {
    try {
        return shell.RegRead(key);
    } catch (e) {
        return "missing: " + key;
    }
}
function endsWith(text, tail) {
    return text.toLowerCase().slice(-tail.length) === tail.toLowerCase();
}

check("ProgID names the class id", read("HKCR\\Vorlek.Stringer\\CLSID\\"), CLSID);
check("class name", read("HKCR\\CLSID\\" + CLSID + "\\"), "Stringer");
check("server is the DLL", endsWith(read("HKCR\\CLSID\\" + CLSID + "\\InprocServer32\\"), "\\vorlek.dll"), true);
check("threading model", read("HKCR\\CLSID\\" + CLSID + "\\InprocServer32\\ThreadingModel"), "Apartment");
check("class's ProgID", read("HKCR\\CLSID\\" + CLSID + "\\ProgID\\"), "Vorlek.Stringer");
check("class's type library", read("HKCR\\CLSID\\" + CLSID + "\\TypeLib\\"), LIBID);
check("type library name", read("HKCR\\TypeLib\\" + LIBID + "\\1.0\\"), "Vorlek");
check("interface registered", read("HKCR\\Interface\\" + IID + "\\"), "_Collection");
check("type library file", endsWith(read("HKCR\\TypeLib\\" + LIBID + "\\1.0\\409\\win64\\"), "\\vorlek.tlb"), true);

// One object, one identity: the same item handed out twice is the same object.
var s = new ActiveXObject("Vorlek.Stringer");
s.InitSeperator("a;b", ";");
var pieces = s.SepStrings;
check("collection identity", s.SepStrings === pieces, true);
check("item identity", pieces.Item(1) === pieces.Item("#1"), true);
pieces.Add(s, "Me");
check("own object comes back as itself", pieces.Item("ME") === s, true);
done(12);
