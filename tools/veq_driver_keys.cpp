// Writes into this machine's registry what the VEQ driver's installation leaves there:
// its four keys and FirstInstallDateTime. For a Wine prefix, where the utility is tried
// without the driver ever having been installed.
// Usage: veq-driver-keys
#include <cstdio>
#include <memory>
#include <string>

#include "platform/registry.h"
#include "platform/registry_install.h"

int main() {
  std::string failure;
  const std::unique_ptr<platform::Registry> registry = platform::OpenSystemRegistry(&failure);
  if (!registry) {
    std::fprintf(stderr, "veq-driver-keys: %s\n", failure.c_str());
    return 1;
  }
  const platform::RegResult result = platform::InstallDriverKeys(*registry);
  if (result != platform::kErrorSuccess) {
    std::fprintf(stderr, "veq-driver-keys: writing the driver's keys failed with error %ld\n",
                 static_cast<long>(result));
    return 1;
  }
  std::fputs("veq-driver-keys: the driver's keys are in place\n", stdout);
  return 0;
}
