#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/bridge_io.h"
#include "platform/port_control.h"
#include "platform/system.h"

namespace platform {
namespace {

// Stands in for a Windows 98 machine: the program is built for the 9x family and a
// restart request must never restart the machine it is tried on. The restart exists so
// that the driver reads its changed keys: here the port bridge serving $VEQ_COM_DIR is
// told to read them again instead.
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
    const char* dir = std::getenv("VEQ_COM_DIR");
    if (dir == nullptr || *dir == '\0') return true;
    const std::string socket = std::string(dir) + "/" + kBridgeCommandSocket;
    const int fd = bridgeio::ConnectLocal(socket);
    std::string answer;
    const bool reloaded = fd >= 0 && bridgeio::AskLocal(fd, "RELOAD", &answer, kReloadWaitMs) &&
                          answer.compare(0, 2, "OK") == 0;
    bridgeio::Close(fd);
    if (reloaded)
      std::fprintf(stderr, "veq-comport-mapper: the port bridge of %s has read the mappings again\n", dir);
    else
      std::fprintf(stderr, "veq-comport-mapper: no port bridge serves %s; the mappings take effect when one starts\n",
                   dir);
    return true;
  }

 private:
  static constexpr int kReloadWaitMs = 10000;
};

}  // namespace

std::unique_ptr<SystemServices> CreateSystemServices() { return std::make_unique<PosixSystemServices>(); }

}  // namespace platform
