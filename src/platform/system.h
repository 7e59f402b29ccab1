// System services: the version query and the restart request.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

constexpr std::uint32_t kVerPlatformWin32s = 0;
constexpr std::uint32_t kVerPlatformWin32Windows = 1;
constexpr std::uint32_t kVerPlatformWin32Nt = 2;

// ExitWindowsEx flags.
constexpr std::uint32_t kEwxReboot = 0x2;
constexpr std::uint32_t kEwxForce = 0x4;

// The parts of OSVERSIONINFOA that callers read.
struct OsVersionInfo {
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint32_t buildNumber = 0;
  std::uint32_t platformId = 0;
};

class SystemServices {
 public:
  virtual ~SystemServices() = default;
  // GetVersionExA; false when the query fails.
  virtual bool QueryVersion(OsVersionInfo* info) = 0;
  // ExitWindowsEx(flags, reserved); the result is not examined by callers.
  virtual bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) = 0;
};

// Windows: the real calls. Elsewhere: a Windows 98 version (platform 1, 4.10.2222) and a
// restart request that is reported on standard error and never carried out.
std::unique_ptr<SystemServices> CreateSystemServices();

}  // namespace platform
