// Code page and locale ids of a simulated machine.
#pragma once

#include <cstdint>

#include "platform/sim/faults.h"

namespace vorlek::sim {

struct LocaleState {
    uint32_t ansi_code_page = 1252;
    uint32_t user_lcid = 1033;
    uint32_t system_lcid = 1033;
};

namespace op {
inline constexpr Operation WideCharToMultiByte{u"WideCharToMultiByte"};
inline constexpr Operation MultiByteToWideChar{u"MultiByteToWideChar"};
inline constexpr Operation LCMapString{u"LCMapString"};
}  // namespace op

}  // namespace vorlek::sim
