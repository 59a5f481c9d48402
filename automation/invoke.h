// Late-bound invoke: the one place where a call from a client meets a member.
#pragma once

#include <optional>
#include <span>

#include "automation/member.h"

namespace vorlek {

struct NamedArgument {
    int32_t param;  // index in the member's parameter list
    Variant value;
};

// Calls the member `id` of `object` with the kinds allowed by `kinds` (a mask
// of MemberKind values). `positional` holds the arguments in parameter order;
// for a let or set the assigned value comes last. In-out parameters are written
// back into the argument that supplied them. A property get without
// parameters that is given arguments passes them to the default member of
// the object it returns (`coll(1)` reads `coll.Item(1)`). Raises
// DispatchError for the failures a client can see; no other exception
// leaves this function.
Variant invoke(Object& object, DispId id, uint8_t kinds, std::span<Variant> positional,
               std::span<NamedArgument> named = {});

// The same by member name (case-insensitive).
Variant invoke(Object& object, StringView member, uint8_t kinds, std::span<Variant> positional,
               std::span<NamedArgument> named = {});

// What a call gave: its value, or the failure invoke() would raise.
struct Invoked {
    Variant value;
    std::optional<DispatchError> failure;
};

// invoke() with the failure returned rather than raised, for callers that
// expect many: a failed call then costs no unwinding.
Invoked try_invoke(Object& object, DispId id, uint8_t kinds, std::span<Variant> positional,
                   std::span<NamedArgument> named = {});
Invoked try_invoke(Object& object, StringView member, uint8_t kinds, std::span<Variant> positional,
                   std::span<NamedArgument> named = {});

}  // namespace vorlek
