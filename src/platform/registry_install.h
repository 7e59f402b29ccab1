// What the driver's installation leaves in a machine's registry: its four keys, and the
// moment of installation that the security seed reads.
#pragma once

#include "platform/registry.h"

namespace platform {

// Creates the keys (those present stay as they are) and writes FirstInstallDateTime as
// the local time now. Returns the first failing call's result.
RegResult InstallDriverKeys(Registry& registry);

}  // namespace platform
