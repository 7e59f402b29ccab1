// The port mapping store: one record per COM number 1..255 filed under its category, the
// driver's four open registry keys, and the state of the mapping file reader.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "store/port_records.h"

class MappingFile;
class PortMapperWindow;

// Written by the port detection into an empty entry of ports: the port exists.
inline TTorl7370PortEntry* const PORT_PRESENT =
    reinterpret_cast<TTorl7370PortEntry*>(static_cast<std::intptr_t>(-1));

using PortTable = std::array<TTorl7370PortEntry*, 256>;

class TTorl7370PortManager {
 public:
  TTorl7370PortManager(PortMapperWindow* window, platform::Registry& registry);
  ~TTorl7370PortManager();
  TTorl7370PortManager(const TTorl7370PortManager&) = delete;
  TTorl7370PortManager& operator=(const TTorl7370PortManager&) = delete;

  // Opens the driver's four keys and builds the categories with their tree nodes.
  bool OpenRegistry();
  // Loads every COM number: the mapped ports from the registry, the others through the
  // port detection. Deletes broken mapping entries on the way.
  bool LoadPorts();
  bool AddPortRecord(TTorl7370PortHeader* category, const std::string& portName);

  // Writing the driver's keys for a port record.
  std::int32_t FirstFreeId(platform::RegKey parent);
  bool CreateDriverKeys(TTorl7370PortEntry& record);
  bool DeleteDriverKeys(TTorl7370PortEntry& record);
  bool CreatePortRegistry(TTorl7370PortEntry& record);
  bool DeletePortRegistry(TTorl7370PortEntry& record);
  // False when the port key names other device keys than the record: another instance of
  // the utility freed the port and mapped it anew since the load, and the record's keys
  // may belong to another mapping by now. A key that cannot be read is not judged here.
  bool NamesOwnDriverKeys(const char* portKey, const TTorl7370PortEntry& record);

  // The mapping file (.cpm): export of every mapped port, import in a checking and an
  // applying pass. Results are PMERR_ codes.
  std::uint32_t ExportMappings(MappingFile& file);
  std::uint32_t ImportMappings(MappingFile& file);
  // The next non-empty line, with its newline when it had one; false at the end.
  bool ReadMappingLine(MappingFile& file, std::string* line);
  std::uint32_t CheckMappingFile(MappingFile& file);
  std::uint32_t ApplyMappingFile(MappingFile& file);

  // The category record of an id, or null.
  TTorl7370PortHeader* HeaderOfCategory(std::int32_t categoryId) const;

  platform::Registry& registry() { return registry_; }

  PortMapperWindow* mainWindow;
  platform::RegKey hMappingList = platform::kInvalidKey;
  platform::RegKey hDeviceNodes = platform::kInvalidKey;
  platform::RegKey hClassDrivers = platform::kInvalidKey;
  platform::RegKey hSerialComm = platform::kInvalidKey;
  TTorl7370PortHeader* usedHeader = nullptr;
  TTorl7370PortHeader* unusedHeader = nullptr;
  std::array<TTorl7370PortHeader*, 12> modelHeaders{};  // by model index 1..11
  std::uint32_t machineValue = 0;
  std::int32_t selectedModel = 1;
  std::int32_t importLine = 0;
  std::int32_t importHasAutoReconn = 0;
  PortTable ports{};

 private:
  bool BuildCategory(std::int32_t categoryId);
  // PMERR_NONE, or the code of the first thing a mapping entry lacks.
  std::uint32_t CheckMappingEntry(platform::RegKey portKey, std::uint32_t* modelCode);
  bool KeyNumberExists(platform::RegKey parent, std::int32_t number);

  platform::Registry& registry_;
  std::vector<std::unique_ptr<TTorl7370PortHeader>> headers_;
  std::vector<std::unique_ptr<TTorl7370PortEntry>> entries_;
};
