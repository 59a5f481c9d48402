// DllClass's SID members as a script uses them: the SID text, the SID as an
// array of Longs (a safe array of VT_I4 to a script), names back from text.
// The lookups of well-known names run on Wine's real platform too.
var d = new ActiveXObject("Vorlek.DllClass");

check("Administrators", d.GetDomSID("", "Administrators", "none"), "S-1-5-32-544");
check("unknown account", d.GetDomSID("", "no such account", "none"), "none");
var longs;
try {
    longs = new VBArray(d.GetDomSIDArray("", "Everyone")).toArray().join(",");
} catch (e) {
    longs = "error " + e.number;
}
// Wine's JScript takes only arrays of Variants into a VBArray.
if (ENGINE === "wine-cscript") checkKnownDifference("Everyone as Longs", longs, "257,16777216,0");
else check("Everyone as Longs", longs, "257,16777216,0");
check("LastError after the array", d.LastError, 0);
check("the array of an unknown account", d.GetDomSIDArray("", "no such account"), undefined);
check("its status", d.LastError, 1332);
check("name of a SID", d.GetDomName("", "S-1-5-32-544", "none"), "Administrators");
check("hexadecimal authority", d.GetDomName("", "S-1-0x000000000005-32-544", "none"), "Administrators");
check("too many sub-authorities", d.GetDomName("", "S-1-5-1-2-3-4-5-6-7-8-9", "none"), "none");
check("LastError 9", d.LastError, 9);

done(10);
