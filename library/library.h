// The library as a whole: every class in the catalogue.
#pragma once

#include "automation/catalogue.h"

namespace vorlek {

// The catalogue of the creatable classes, in the order the type library lists
// them.
const Catalogue& library();

// The classes the type library and the reference describe: the catalogue,
// then the collection.
std::vector<const ClassInfo*> described_classes();

}  // namespace vorlek
