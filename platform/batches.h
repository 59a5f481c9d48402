// Walking an enumeration that the system hands out in batches with a resume
// handle (NetUserEnum, NetGroupEnum, NetLocalGroupGetMembers, ...).
#pragma once

#include <cstdint>

#include "platform/status.h"

namespace vorlek::platform {

// `fetch(resume_handle)` gives one batch ({entries, total_entries} in a
// Result); `each(entry)` takes its entries in order and returns false to
// stop the walk. Another batch is asked for while the system says more
// follow (234) and the last batch moved the walk on, so a misbehaving
// enumeration cannot repeat forever. The status of a failed call, else 0.
template <class Fetch, class Each>
Status walk_batches(Fetch&& fetch, Each&& each) {
    uint32_t resume_handle = 0;
    for (;;) {
        auto batch = fetch(resume_handle);
        if (batch.status != status::kSuccess && batch.status != status::kMoreData)
            return batch.status;
        const auto& entries = batch.value.entries;
        for (const auto& entry : entries)
            if (!each(entry)) return status::kSuccess;
        if (batch.status != status::kMoreData || entries.empty() ||
            entries.size() == batch.value.total_entries)
            return status::kSuccess;
    }
}

}  // namespace vorlek::platform
