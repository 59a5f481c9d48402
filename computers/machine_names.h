// The two ways the account, policy and service classes address a machine.
// The normalised target is the name upper-cased and emptied when it names the
// local machine (as Computer.GetMachineName or COMPUTERNAME gives it); the
// plain target is the caller's text as given. Either way an empty target is
// the local machine, and any other gets "\\" in front; a name that already
// has it is taken as it is, so a target can be handed on.
#pragma once

#include <optional>

#include "automation/string.h"

namespace vorlek::machines {

String normalized_target(StringView name);
String plain_target(StringView name);

// What a Computer field left empty becomes at a load: the local machine's
// name, or COMPUTERNAME when the name cannot be read.
String local_machine_name();

// The two above for the items of one listing, which all name the same
// computer: each is found once, not once per item.
class ListingNames {
  public:
    const String& normalized_target(const String& asked);
    const String& local_machine_name();

  private:
    String asked_;
    std::optional<String> target_;
    std::optional<String> local_;
};

}  // namespace vorlek::machines
