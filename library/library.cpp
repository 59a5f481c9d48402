#include "library/library.h"

#include "strings/stringer.h"

namespace vorlek {

const Catalogue& library() {
    static const Catalogue catalogue = [] {
        Catalogue c;
        c.add(Stringer::info());
        return c;
    }();
    return catalogue;
}

}  // namespace vorlek
