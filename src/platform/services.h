// The platform services a window works with, handed down from the program entry so that
// tests can put stand-ins in their place.
#pragma once

#include "platform/crypto.h"
#include "platform/desktop.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "platform/sockets.h"
#include "platform/system.h"

namespace platform {

struct Services {
  Registry& registry;
  SystemServices& system;
  Desktop& desktop;
  CryptoLibrary& crypto;
  SerialPorts& serial;
  Network& network;
};

}  // namespace platform
