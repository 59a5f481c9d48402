// The dual interface (IDispatch and function table) of the library's objects:
// one peer per object, calls mapped onto the member tables, enumerators as
// IEnumVARIANT.
#pragma once

#include <oaidl.h>

#include "automation/collection.h"
#include "com/com_ptr.h"

namespace vorlek::com {

// The IDispatch of an object, made on first use and kept as the object's peer
// so that the client sees one identity per object. Returns a new reference;
// null for a null object.
IDispatch* dispatch_for(const Ref<Object>& object);

// The object behind a client's IDispatch: the library's own object, or the
// foreign object wrapped so that it can be stored and handed back unchanged.
Ref<Object> object_for(IDispatch* dispatch);

// The client's interface of a foreign object, null for the library's own.
IDispatch* foreign_dispatch(const Object& object) noexcept;

// An IEnumVARIANT over a collection enumerator (new reference).
IEnumVARIANT* enumerator_for(Ref<CollectionEnumerator> enumerator);

}  // namespace vorlek::com
