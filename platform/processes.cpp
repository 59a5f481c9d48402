// Parts of the processes area that both backends share.
#include "platform/processes.h"

namespace vorlek::platform {

AccessList grant_access(AccessList list, const Sid& trustee, uint32_t mask) {
    for (AccessEntry& e : list) {
        if (e.allow && e.flags == 0 && e.trustee == trustee) {
            e.mask |= mask;
            return list;
        }
    }
    list.push_back({trustee, mask, true, 0});
    return list;
}

}  // namespace vorlek::platform
