// What a member table says about a class, as text and as identifiers: the
// IDL of its dual interface and class, its reference page, and the ids the
// type library and registration use. Everything here is derived from the
// table, so a change of the table shows in the text and in the interface id.
#pragma once

#include <string>
#include <vector>

#include "automation/idl.h"
#include "automation/member.h"
#include "automation/uuid.h"

namespace vorlek {

// The type number a parameter or a result of this type has in a type library.
uint16_t automation_type(VarType type);
// The type of a member's result there (the enumerator is handed out as an
// IUnknown).
uint16_t result_type(const MemberInfo& m);

// The interface as IDL describes it, its uuid included.
idl::Interface describe_interface(const ClassInfo& info);

// The interface id: a name-based uuid of the interface block without help
// strings, so that every change of a name, kind, dispatch id, order, type,
// optional flag or default gives a new id and a corrected help text does not.
Uuid interface_uuid(const ClassInfo& info);
// Class ids and the library id are derived from names only: they are in the
// registries of the machines the library was installed on.
Uuid class_uuid(const ClassInfo& info);
Uuid library_uuid();

// docs/reference/<Class>.idl, <Class>.md and README.md.
std::string idl_file(const ClassInfo& info);
std::string reference_page(const ClassInfo& info);
std::string reference_index(const std::vector<const ClassInfo*>& classes);

}  // namespace vorlek
