// Vorlek.Registry against the test DC through the remote backend: a walk of
// HKLM\SOFTWARE, a key of its own with values of each kind written, read
// back (one by one and as a collection) and deleted, and the statuses of bad
// input. The DC's registry is Samba's: where it differs from an NT server's,
// the check names the difference.
var r = new ActiveXObject("Vorlek.Registry");
var s = new ActiveXObject("Vorlek.Stringer");
var DC = "DC1";  // the test DC's name (scripts/samba-dc)

check("open HKLM of the server", r.OpenRegistry(r.HK_LOCAL_MACHINE, ""), 0);
check("open SOFTWARE", r.OpenRegKey(r.K_READ, "SOFTWARE"), 0);
check("it has sub-keys", r.RegKeyNumSubKeys > 0, true);
check("walk them", r.InitRegSubKeys(), 0);
check("all of them", r.RegSubKeys.Count, r.RegKeyNumSubKeys);
check("Microsoft is one", r.RegSubKeys.Item("Microsoft").RegKeyName, "Microsoft");
check("close SOFTWARE", r.CloseRegKey(), 0);
check("a key that is not there", r.OpenRegKey(r.K_READ, "SOFTWARE\\VorlekNoSuchKey"), 2);
check("a leading separator", r.OpenRegKey(r.K_READ, "\\SOFTWARE"), 161);
check("a name with a NUL inside", r.OpenRegKey(r.K_READ, "SOFT\0WARE"), 123);
check("doubled and trailing separators", r.OpenRegKey(r.K_READ, "SOFTWARE\\\\Microsoft\\"), 0);
check("close it", r.CloseRegKey(), 0);
check("closed twice", r.CloseRegKey(), 6);

check("open SOFTWARE to write", r.OpenRegKey(r.K_ALL_ACCESS, "SOFTWARE"), 0);
r.DeleteRegSubKey("VorlekRemote\\Sub");
r.DeleteRegSubKey("VorlekRemote");
check("create a key", r.CreateRegSubKey("VorlekRemote", false, "RemoteClass"), 0);
check("it exists now", r.CreateRegSubKey("VorlekRemote"), -9999);
check("a path of keys at once", r.CreateRegSubKey("VorlekRemote\\Sub"), 0);
check("close SOFTWARE", r.CloseRegKey(), 0);

check("open the key", r.OpenRegKey(r.K_ALL_ACCESS, "SOFTWARE\\VorlekRemote"), 0);
check("a string with its terminator", r.SetRegValue("sz", r.R_SZ, "abc\u00E9\0"), 0);
check("a number", r.SetRegValue("n", r.R_DWORD, 12), 0);
check("big-endian bytes as they are", r.SetRegValue("be", r.R_DWORD_BIG_ENDIAN, 16777216), 0);
check("a byte array", r.SetRegValue("bin", r.R_BINARY, s.StringToANSIByteArray("AB\u00E9")), 0);
check("a list", r.SetRegValue("multi", r.R_MULTI_SZ, "a\0b\0\0"), 0);
check("not expanded", r.SetRegValue("exp", r.R_EXPAND_SZ, "%TEMP%\0"), 0);
check("the default value", r.SetRegValue("", r.R_SZ, "dflt"), 0);
check("a value name with a NUL", r.SetRegValue("x\0y", r.R_SZ, "v"), 123);
check("close", r.CloseRegKey(), 0);

check("open for reading", r.OpenRegKey(r.K_READ, "SOFTWARE\\VorlekRemote"), 0);
check("value count", r.RegKeyNumValues, 7);
// Samba's registry keeps no class for a key.
checkKnownDifference("the class", r.RegKeyClass, "RemoteClass");
check("InitRegValues", r.InitRegValues(), 0);
var v = r.RegValues;
check("a string in the code page", v.Item("sz").RegValue, "abc\u00E9");
check("a Long", v.Item("n").RegValue, 12);
check("big-endian reads back unswapped", v.Item("be").RegValue, 16777216);
check("a Byte array", bytes(v.Item("bin").RegValue).join(","), "65,66,233");
check("a list keeps its NULs", v.Item("multi").RegValue, "a\0b\0");
check("an expandable string", v.Item("exp").RegValue, "%TEMP%");
check("the default value's name", v.Item("Default").RegValue, "dflt");
check("one value alone", r.GetRegValueInfo("bin"), 0);
check("its bytes", bytes(r.RegValue).join(","), "65,66,233");
check("a missing value", r.GetRegValueInfo("none"), 2);
check("sub-keys", r.InitRegSubKeys(), 0);
check("one", r.RegSubKeys.Count, 1);
check("close", r.CloseRegKey(), 0);

check("one-shot read", r.GetRegValueSZ("", "HKEY_LOCAL_MACHINE\\SOFTWARE\\VorlekRemote", "multi", "d"), "a^b\0");
check("one-shot write", r.SetRegValueSZ("", "HKEY_LOCAL_MACHINE\\SOFTWARE\\VorlekRemote", "w", "x", 1), 1);

check("clean up", r.OpenRegKey(r.K_ALL_ACCESS, "SOFTWARE\\VorlekRemote"), 0);
check("delete a value", r.DeleteRegValue("w"), 0);
check("a value that is gone", r.DeleteRegValue("w"), 2);
check("close", r.CloseRegKey(), 0);
check("open SOFTWARE", r.OpenRegKey(r.K_ALL_ACCESS, "SOFTWARE"), 0);
check("a key with children stays", r.DeleteRegSubKey("VorlekRemote"), 5);
check("delete its child", r.DeleteRegSubKey("VorlekRemote\\Sub"), 0);
check("then the key", r.DeleteRegSubKey("VorlekRemote"), 0);
check("a key that is gone", r.DeleteRegSubKey("VorlekRemote"), 2);
check("close the hive", r.CloseRegistry(), 0);

// The server by its name is another machine to the client: HKLM and HKU only.
check("connect by name", r.OpenRegistry(r.HK_LOCAL_MACHINE, DC), 0);
check("read through it", r.OpenRegKey(r.K_READ, "SOFTWARE"), 0);
check("close all", r.CloseRegistry(), 0);
check("HKCU of another machine", r.OpenRegistry(r.HK_CURRENT_USER, DC), 6);
check("a machine nobody answers to", r.OpenRegistry(r.HK_LOCAL_MACHINE, "VORLEKNOSUCHPC"), 53);
done(62);
