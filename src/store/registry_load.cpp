// Loading the store from the driver's registry keys at start-up.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "platform/address.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/mapping_values.h"
#include "store/port_manager.h"
#include "store/port_mapper_window.h"
#include "store/registry_values.h"

using platform::kErrorSuccess;
using platform::kKeyRead;
using platform::RegKey;

namespace {

constexpr std::uint32_t kKeyReadWrite = platform::kKeyRead | platform::kKeyWrite;  // 0x2001F
constexpr std::uint32_t kSubKeyNameSize = 256;
// COM numbers are kept from overflowing; anything above 255 is refused anyway.
constexpr std::int32_t kComNumberCap = 1000;

struct DriverKey {
  const char* path;
  RegKey TTorl7370PortManager::*handle;
  std::uint32_t failure;
};

const DriverKey kDriverKeys[] = {
    {kMappingListPath, &TTorl7370PortManager::hMappingList, PMERR_REG_DRIVER},
    {"Enum\\Root\\Ports", &TTorl7370PortManager::hDeviceNodes, PMERR_REG_DRIVER},
    {"System\\CurrentControlSet\\Services\\Class\\Ports", &TTorl7370PortManager::hClassDrivers,
     PMERR_REG_SERIALCOMM},
    {"Hardware\\DeviceMap\\SerialComm", &TTorl7370PortManager::hSerialComm, PMERR_REG_SERIALCOMM},
};

std::int32_t ComNumberOfName(const std::string& portName) {
  std::int32_t n = 0;
  for (char c : portName) {
    if (c < '0' || c > '9') continue;
    n = n * 10 + (c - '0');
    if (n > kComNumberCap) n = kComNumberCap;
  }
  return n;
}

}  // namespace

bool TTorl7370PortManager::OpenRegistry() {
  for (const DriverKey& key : kDriverKeys) {
    if (registry_.OpenKey(platform::kHKeyLocalMachine, key.path, kKeyReadWrite, &(this->*key.handle)) !=
        kErrorSuccess) {
      this->*key.handle = platform::kInvalidKey;
      mainWindow->ErrorCode = key.failure;
      return false;
    }
  }
  for (std::int32_t categoryId : kCategoryBuildOrder)
    if (!BuildCategory(categoryId)) return false;
  machineValue = ReadMachineValue(registry_);
  return true;
}

bool TTorl7370PortManager::BuildCategory(std::int32_t categoryId) {
  auto* header = new (std::nothrow) TTorl7370PortHeader(this, categoryId);
  if (header == nullptr) {
    mainWindow->ErrorCode = PMERR_NO_MEMORY;
    return false;
  }
  headers_.emplace_back(header);
  if (categoryId == CATEGORY_USED)
    usedHeader = header;
  else if (categoryId == CATEGORY_UNUSED)
    unusedHeader = header;
  else
    modelHeaders[KindOfCategoryId(categoryId)] = header;
  TreeNode* node = mainWindow->AddRootNode(CategoryCaption(categoryId), header);
  if (node == nullptr) {
    mainWindow->ErrorCode = PMERR_NO_MEMORY;
    return false;
  }
  return header->Attach(node);
}

bool TTorl7370PortManager::LoadPorts() {
  // Step 1: the ports the driver maps.
  char subKey[kSubKeyNameSize];
  for (std::uint32_t index = 0;;) {
    // Any other result than success ends the scan, as the end of the list does: there is
    // nothing to examine at an index that cannot be read.
    if (registry_.EnumKey(hMappingList, index, subKey, sizeof subKey) != kErrorSuccess) break;
    bool deleted = false;
    if (std::strstr(subKey, "OLMX") == nullptr) {
      deleted = registry_.DeleteKey(hMappingList, subKey) == kErrorSuccess;
    } else {
      RegKey portKey = platform::kInvalidKey;
      if (registry_.OpenKey(hMappingList, subKey, kKeyRead, &portKey) != kErrorSuccess) {
        mainWindow->ErrorCode = PMERR_REG_DRIVER;
        return false;
      }
      std::uint32_t modelCode = 0;
      const std::uint32_t failure = CheckMappingEntry(portKey, &modelCode);
      registry_.CloseKey(portKey);
      if (failure != PMERR_NONE) {
        mainWindow->ErrorCode = failure;
        deleted = registry_.DeleteKey(hMappingList, subKey) == kErrorSuccess;
      } else {
        const std::int32_t model = AcceptedModelIndexOfCode(modelCode);
        TTorl7370PortHeader* category = model != 0 ? modelHeaders[model] : usedHeader;
        if (!AddPortRecord(category, std::string("COM") + (subKey + 4))) return false;
      }
    }
    // After a deletion the next subkey has moved to this index. A key that could not be
    // deleted is passed over, so the scan always ends.
    if (!deleted) ++index;
  }

  // Step 2: which of the other COM numbers exist.
  mainWindow->RunPortDetection(*this);

  // Step 3: file the others as used or unused.
  for (std::int32_t n = 1; n <= 255; ++n) {
    const std::string name = "COM" + std::to_string(n);
    if (ports[n] == PORT_PRESENT) {
      ports[n] = nullptr;
      mainWindow->MappedAtStart[n] = 0;
      if (!AddPortRecord(usedHeader, name)) return false;
    } else if (ports[n] == nullptr) {
      mainWindow->MappedAtStart[n] = 0;
      if (!AddPortRecord(unusedHeader, name)) return false;
    } else {
      mainWindow->MappedAtStart[n] = 1;
    }
  }
  mainWindow->SortTree();
  mainWindow->Repaint();
  return true;
}

std::uint32_t TTorl7370PortManager::CheckMappingEntry(RegKey portKey, std::uint32_t* modelCode) {
  std::uint32_t number = 0;
  if (!ReadDword(registry_, portKey, "EnumID", &number)) return PMERR_REG_READ;
  if (!KeyNumberExists(hDeviceNodes, static_cast<std::int32_t>(number))) return PMERR_REG_DRIVER;
  if (!ReadDword(registry_, portKey, "PortID", &number)) return PMERR_REG_READ;
  if (!KeyNumberExists(hClassDrivers, static_cast<std::int32_t>(number))) return PMERR_REG_DRIVER;
  if (!ReadDword(registry_, portKey, "Model", modelCode)) return PMERR_REG_READ;
  return PMERR_NONE;
}

bool TTorl7370PortManager::KeyNumberExists(RegKey parent, std::int32_t number) {
  char name[16];
  FormatKeyNumber(name, number);
  RegKey key = platform::kInvalidKey;
  if (registry_.OpenKey(parent, name, kKeyRead, &key) != kErrorSuccess) return false;
  registry_.CloseKey(key);
  return true;
}

bool TTorl7370PortManager::AddPortRecord(TTorl7370PortHeader* category, const std::string& portName) {
  const std::int32_t n = ComNumberOfName(portName);
  if (n < 1 || n > 255) {
    mainWindow->ErrorCode = PMERR_REG_PORTNAME_BAD;
    return true;
  }
  if (ports[n] != nullptr) {
    mainWindow->ErrorCode = PMERR_REG_PORTNAME_DUP;
    return true;
  }
  auto* entry = new (std::nothrow) TTorl7370PortEntry(category, n);
  if (entry == nullptr) {
    mainWindow->ErrorCode = PMERR_NO_MEMORY;
    return false;
  }
  entries_.emplace_back(entry);
  ports[n] = entry;
  TreeNode* node = mainWindow->AddChildNode(category->node, portName, entry);
  if (node == nullptr) {
    mainWindow->ErrorCode = PMERR_NO_MEMORY;
    return false;
  }
  entry->Attach(node);
  return true;
}

bool TTorl7370PortEntry::Attach(TreeNode* treeNode) {
  node = treeNode;
  if (kind == KIND_USED || kind == KIND_UNUSED) {
    enumId = portId = -1;
    return true;
  }
  PortMapperWindow& window = Window();
  if (!IsModelKind(kind)) {
    window.ErrorCode = PMERR_PORT_TYPE;
    return false;
  }
  TTorl7370PortManager& store = Manager();
  platform::Registry& registry = store.registry();
  char keyName[16];
  std::snprintf(keyName, sizeof keyName, "OLMX%d", comNumber);
  RegKey key = platform::kInvalidKey;
  if (registry.OpenKey(store.hMappingList, keyName, kKeyRead, &key) != kErrorSuccess) {
    window.ErrorCode = PMERR_REG_DRIVER;
    return false;
  }
  MappingKeyValues values;
  const bool read = ReadMappingValues(registry, key, &values);
  // The key numbers go straight into the record, so a later failure leaves them set.
  if (values.enumIdRead) enumId = static_cast<std::int32_t>(values.enumId);
  if (values.portIdRead) portId = static_cast<std::int32_t>(values.portId);
  if (!read) {
    window.ErrorCode = PMERR_REG_READ;
    registry.CloseKey(key);
    return false;
  }
  if (kind == kModelTorl7370S || kind == kModelTorl7371S) LoadSecurity(*this, registry, key, store.machineValue);
  registry.CloseKey(key);
  devicePort = devicePortEdit = static_cast<std::int32_t>(values.port - 1u);
  ipAddress = values.ipAddress;
  CopyText(ipText, platform::InetNtoa(ipAddress).c_str());
  CopyText(description, values.description);
  autoReconn = autoReconnEdit = values.autoReconn;
  if (!window.HasKnownAddress(ipText)) window.AddKnownAddress(ipText);
  return true;
}
