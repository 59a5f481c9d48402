// What regsvr32 does with the library: the type library and, for every class
// in the catalogue, its class id, ProgID and in-process server entry.
#pragma once

#include <windows.h>

#include <string>

namespace vorlek::com {

std::wstring module_path();

// Writes vorlek.tlb beside the DLL, registers it, and writes the class keys.
// A failure part way undoes what was written.
HRESULT register_server(const std::wstring& dll_path);
// Removes exactly what register_server wrote; keys already gone are fine.
HRESULT unregister_server(const std::wstring& dll_path);

}  // namespace vorlek::com
