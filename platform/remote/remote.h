// The remote backend: the platform operations carried out on real NT and
// Samba servers over their administration protocols (SMB named pipes,
// MS-RPC), from a machine that is not one of them. Built only where Samba's
// client libraries are (VORLEK_REMOTE in CMake).
#pragma once

#include <memory>

#include "platform/platform.h"
#include "platform/remote/session.h"

namespace vorlek::platform::remote {

// A platform whose machine-named operations reach `credentials.server` ("",
// the script's machine, is that server too) and the servers it names;
// operations only the local machine could do answer 50. The status is the
// client library's when it cannot be set up.
Result<std::shared_ptr<Platform>> make_platform(Credentials credentials);

}  // namespace vorlek::platform::remote
