// The type library, generated from the member tables: one dual interface
// per class (in the catalogue's order, members in interface order, with help
// strings, parameter names, optional parameters and their defaults) and one
// class per entry (the collection's class is not creatable).
#pragma once

#include <oaidl.h>

#include <string>

#include "automation/member.h"

namespace vorlek::com {

// Builds the library in memory; saves it to `path` when `save` is set.
HRESULT build_type_library(const std::wstring& path, bool save, ITypeLib** out);

// The type information of a class's interface, from the library built once
// per process (the in-memory copy: no file has to be found at run time).
HRESULT interface_type_info(const ClassInfo& info, ITypeInfo** out);

// The type information of the class itself (the coclass).
HRESULT class_type_info(const ClassInfo& info, ITypeInfo** out);

// Drops the process's copy (when the server is about to be unloaded).
void release_type_library() noexcept;

}  // namespace vorlek::com
