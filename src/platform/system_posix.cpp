#include <cstdio>

#include "platform/system.h"

namespace platform {
namespace {

// Stands in for a Windows 98 machine: the program is built for the 9x family and a
// restart request must never restart the machine it is tried on.
class PosixSystemServices : public SystemServices {
 public:
  bool QueryVersion(OsVersionInfo* info) override {
    info->majorVersion = 4;
    info->minorVersion = 10;
    info->buildNumber = 2222;
    info->platformId = kVerPlatformWin32Windows;
    return true;
  }

  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) override {
    std::fprintf(stderr, "veq-comport-mapper: a system restart was requested (flags %u, reserved %u); "
                 "not carried out on this platform\n", flags, reserved);
    return true;
  }
};

}  // namespace

std::unique_ptr<SystemServices> CreateSystemServices() { return std::make_unique<PosixSystemServices>(); }

}  // namespace platform
