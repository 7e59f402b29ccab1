// The values of one mapping key ("Enum\OLMXV1X\OLMXn"), read by the one piece of code that
// both the store's load and the port bridge use.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/registry.h"

constexpr const char* kMappingListPath = "Enum\\OLMXV1X";

struct MappingKeyValues {
  std::uint32_t ipAddress = 0;  // network byte order
  std::uint32_t port = 0;       // the device port, 1 for the first
  std::uint32_t enumId = 0;
  std::uint32_t portId = 0;
  std::uint32_t autoReconn = 0;  // 0 when the value is absent
  bool enumIdRead = false, portIdRead = false;
  char description[256] = {};
};

// Reads "IP Address", "Port", "Description", "EnumID", "PortID" in this order, stopping
// at the first that cannot be read (the fields read so far stay set), then the optional
// "AutoReconn". False when one of the five could not be read.
bool ReadMappingValues(platform::Registry& registry, platform::RegKey key, MappingKeyValues* values);

// A mapped port as the driver serves it.
struct MappedPort {
  std::int32_t comNumber = 0;  // n of "OLMXn", 1..255
  MappingKeyValues values;
};

// Every "OLMXn" subkey of the mapping list whose values read completely, in key order;
// never writes. False when the list itself cannot be opened.
bool ListMappedPorts(platform::Registry& registry, std::vector<MappedPort>* ports);
