#include "store/os_check.h"

#include "store/error_codes.h"

std::uint32_t CheckOperatingSystem(platform::SystemServices& system) {
  platform::OsVersionInfo version;
  if (!system.QueryVersion(&version)) return PMERR_OS_VERSION_CHECK;
  if (version.platformId == platform::kVerPlatformWin32Nt) return PMERR_UNSUPPORTED_OS;
  return PMERR_NONE;
}
