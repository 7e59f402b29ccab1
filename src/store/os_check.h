// The start-up check of the operating system: the driver exists for the Windows 95 family
// only, so the program refuses to run anywhere else before it touches the registry.
#pragma once

#include <cstdint>

#include "platform/system.h"

// PMERR_NONE on the Windows 95 family; PMERR_OS_VERSION_CHECK when the version query
// fails; PMERR_UNSUPPORTED_OS on the NT family.
std::uint32_t CheckOperatingSystem(platform::SystemServices& system);
