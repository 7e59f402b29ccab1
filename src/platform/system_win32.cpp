#include <windows.h>

#include "platform/system.h"

namespace platform {
namespace {

class Win32SystemServices : public SystemServices {
 public:
  bool QueryVersion(OsVersionInfo* info) override {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);  // 148
    if (!GetVersionExA(&version)) return false;
    info->majorVersion = version.dwMajorVersion;
    info->minorVersion = version.dwMinorVersion;
    info->buildNumber = version.dwBuildNumber;
    info->platformId = version.dwPlatformId;
    return true;
  }

  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) override {
    return ::ExitWindowsEx(flags, reserved) != 0;
  }
};

}  // namespace

std::unique_ptr<SystemServices> CreateSystemServices() { return std::make_unique<Win32SystemServices>(); }

}  // namespace platform
