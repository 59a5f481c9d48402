// Run after `regsvr32 /u`: what registration wrote is gone.
var shell = new ActiveXObject("WScript.Shell");
function present(key) {
    try {
        shell.RegRead(key);
        return true;
    } catch (e) {
        return false;
    }
}
var CLSID = "{B852D280-2CE9-5F44-B289-599C6C04C977}";  // Vorlek.Stringer
var LIBID = "{74F13731-F240-5D8D-8118-98BEFC8B96B6}";  // Vorlek 1.0
var IID = "{19B2B437-49A6-56CA-A4F6-FA75ADA3B89E}";  // _Collection, as registry.js finds it

check("ProgID gone", present("HKCR\\Vorlek.Stringer\\"), false);
check("ProgID's CLSID gone", present("HKCR\\Vorlek.Stringer\\CLSID\\"), false);
check("class id gone", present("HKCR\\CLSID\\" + CLSID + "\\"), false);
check("server entry gone", present("HKCR\\CLSID\\" + CLSID + "\\InprocServer32\\"), false);
check("type library gone", present("HKCR\\TypeLib\\" + LIBID + "\\1.0\\"), false);
check("type library file entry gone", present("HKCR\\TypeLib\\" + LIBID + "\\1.0\\409\\win64\\"), false);
check("interface gone", present("HKCR\\Interface\\" + IID + "\\"), false);
check("creation fails", errorNumber(function () { return new ActiveXObject("Vorlek.Stringer"); }), 429);
// Unrelated entries stay.
check("other classes untouched", present("HKCR\\Scripting.Dictionary\\CLSID\\"), true);
done(9);
