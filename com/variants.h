// VARIANT <-> Variant: the automation values as the COM run time carries them
// and as the library's members see them.
#pragma once

#include <oaidl.h>

#include "automation/variant.h"
#include "com/com_ptr.h"

namespace vorlek::com {

// A VARIANT the library cannot take: DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW.
struct UnsupportedValue {
    HRESULT hr;
};

// Reads a client's value (by reference or not). Supported as they are: Empty,
// Null, I2, I4, R8, Date, BSTR, Dispatch (null = Nothing), Bool, UI1, the
// missing-argument marker, and one-dimensional arrays of UI1, I4 or Variant.
// Other scalar types are converted to I4 or R8 by the run time's own rules.
// Throws UnsupportedValue, or std::bad_alloc.
Variant from_variant(const VARIANT& value);

// Writes a value into `out`, which must be cleared. Objects of the library
// become their one IDispatch peer; an enumerator becomes an IEnumVARIANT.
// Throws std::bad_alloc.
void to_variant(const Variant& value, VARIANT* out);

// Writes a member's in-out result back into a caller's VT_BYREF argument,
// converted to the type the caller's variable has.
void write_back(const Variant& value, VARIANT* target);

}  // namespace vorlek::com
