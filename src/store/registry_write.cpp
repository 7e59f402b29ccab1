// Writing and deleting the four registry entries of a mapped port.
#include <cstdio>

#include "platform/clock.h"
#include "platform/comm_dcb.h"
#include "store/device_models.h"
#include "store/port_manager.h"
#include "store/registry_values.h"

using platform::kErrorSuccess;
using platform::RegKey;

namespace {

const char kPortsClassGuid[] = "{4d36e978-e325-11ce-bfc1-08002be10318}";
const char kMaker[] = "Quellmark Co., Ltd.";

struct PortTexts {
  explicit PortTexts(std::int32_t comNumber) {
    std::snprintf(portName, sizeof portName, "COM%d", comNumber);
    std::snprintf(description, sizeof description, "Communications Port (COM%d)", comNumber);
    std::snprintf(portKey, sizeof portKey, "OLMX%d", comNumber);
  }
  char portName[16];
  char description[48];
  char portKey[16];
};

bool WriteDeviceNodeValues(platform::Registry& registry, RegKey key, const PortTexts& texts, std::int32_t portId) {
  static const std::uint8_t kCapabilities[4] = {0x14, 0, 0, 0};
  static const std::uint8_t kConfigFlags[4] = {0, 0, 0, 0};
  char driver[32];
  std::snprintf(driver, sizeof driver, "Ports\\%04X", static_cast<std::uint32_t>(portId));
  return ValueWriter(registry, key)
      .Binary("Capabilities", kCapabilities, sizeof kCapabilities)
      .Binary("ConfigFlags", kConfigFlags, sizeof kConfigFlags)
      .String("Class", "Ports")
      .String("ClassGUID", kPortsClassGuid)
      .String("DeviceDesc", texts.description)
      .String("Driver", driver)
      .String("FRIENDLYNAME", texts.description)
      .String("HardwareID", "OLMXV1X")
      .String("Mfg", kMaker)
      .String("PORTNAME", texts.portName)
      .ok();
}

bool WriteClassDriverValues(platform::Registry& registry, RegKey key, const PortTexts& texts) {
  static const std::uint8_t kPortSubClass[1] = {0x01};
  std::uint8_t dcb[platform::kStoredDcbSize];
  if (!platform::BuildDefaultDcb(dcb)) return false;
  return ValueWriter(registry, key)
      .String("ConfigDialog", "serialui.dll")
      .Binary("DCB", dcb, sizeof dcb)
      .String("DevLoader", "*vcomm")
      .String("DriverDesc", texts.description)
      .String("EnumPropPages", "serialui.dll,EnumPropPages")
      .String("InfPath", "olmxv1x.inf")
      .String("InfSection", "ComPort")
      .String("MatchingDeviceId", "OLMXV1X")
      .String("PortDriver", "olmxv1x.vxd")
      .Binary("PortSubClass", kPortSubClass, sizeof kPortSubClass)
      .String("ProviderName", kMaker)
      .ok();
}

}  // namespace

bool TTorl7370PortManager::NamesOwnDriverKeys(const char* portKey, const TTorl7370PortEntry& record) {
  RegKey key = platform::kInvalidKey;
  if (registry_.OpenKey(hMappingList, portKey, platform::kKeyRead, &key) != kErrorSuccess) return true;
  std::uint32_t enumId = 0, portId = 0;
  const bool other = (record.enumId != -1 && ReadDword(registry_, key, "EnumID", &enumId) &&
                      enumId != static_cast<std::uint32_t>(record.enumId)) ||
                     (record.portId != -1 && ReadDword(registry_, key, "PortID", &portId) &&
                      portId != static_cast<std::uint32_t>(record.portId));
  registry_.CloseKey(key);
  return !other;
}

std::int32_t TTorl7370PortManager::FirstFreeId(RegKey parent) {
  std::int32_t n = 0;
  while (KeyNumberExists(parent, n)) ++n;
  return n;
}

bool TTorl7370PortManager::CreateDriverKeys(TTorl7370PortEntry& record) {
  const std::int32_t portCandidate = FirstFreeId(hClassDrivers);
  const std::int32_t enumCandidate = FirstFreeId(hDeviceNodes);
  char deviceName[16], className[16];
  FormatKeyNumber(deviceName, enumCandidate);
  FormatKeyNumber(className, portCandidate);
  RegKey deviceKey = platform::kInvalidKey, classKey = platform::kInvalidKey;
  if (registry_.CreateKey(hDeviceNodes, deviceName, platform::kKeyWrite, &deviceKey, nullptr) != kErrorSuccess)
    return false;
  if (registry_.CreateKey(hClassDrivers, className, platform::kKeyWrite, &classKey, nullptr) != kErrorSuccess) {
    registry_.CloseKey(deviceKey);
    registry_.DeleteKey(hDeviceNodes, deviceName);
    return false;
  }
  const PortTexts texts(record.comNumber);
  const bool written = WriteDeviceNodeValues(registry_, deviceKey, texts, portCandidate) &&
                       WriteClassDriverValues(registry_, classKey, texts);
  registry_.CloseKey(deviceKey);
  registry_.CloseKey(classKey);
  if (!written) {
    registry_.DeleteKey(hDeviceNodes, deviceName);
    registry_.DeleteKey(hClassDrivers, className);
    return false;
  }
  record.portId = portCandidate;
  record.enumId = enumCandidate;
  return true;
}

bool TTorl7370PortManager::DeleteDriverKeys(TTorl7370PortEntry& record) {
  char name[16];
  if (record.portId != -1) {
    FormatKeyNumber(name, record.portId);
    registry_.DeleteKey(hClassDrivers, name);
    record.portId = -1;
  }
  if (record.enumId != -1) {
    FormatKeyNumber(name, record.enumId);
    registry_.DeleteKey(hDeviceNodes, name);
    record.enumId = -1;
  }
  return true;
}

bool TTorl7370PortManager::CreatePortRegistry(TTorl7370PortEntry& record) {
  // A mapping is whole or absent, even when the process dies half-way through it or a
  // second instance of the utility writes at the same time.
  ChangeBracket bracket(registry_);
  if (!CreateDriverKeys(record)) return false;
  const PortTexts texts(record.comNumber);
  RegKey portKey = platform::kInvalidKey;
  std::uint32_t disposition = 0;
  if (registry_.CreateKey(hMappingList, texts.portKey, platform::kKeyWrite, &portKey, &disposition) != kErrorSuccess) {
    DeleteDriverKeys(record);
    return false;
  }
  // A port key that is already there belongs to a mapping another instance of the utility
  // has made since the load: overwriting it would orphan that mapping's device keys.
  if (disposition == platform::kRegOpenedExistingKey) {
    registry_.CloseKey(portKey);
    DeleteDriverKeys(record);
    return false;
  }
  const bool written = ValueWriter(registry_, portKey)
                           .Dword("IP Address", record.ipAddress)
                           .Dword("Port", static_cast<std::uint32_t>(record.devicePortEdit + 1))
                           .Dword("Model", record.modelCode)
                           .String("Description", record.description)
                           .Dword("EnumID", static_cast<std::uint32_t>(record.enumId))
                           .Dword("PortID", static_cast<std::uint32_t>(record.portId))
                           .Dword("AutoReconn", record.autoReconn)
                           .ok();
  if (written && IsSecureModelCode(record.modelCode))
    SaveSecurity(record, registry_, portKey, machineValue, platform::SystemTimeAsFileTime());
  registry_.CloseKey(portKey);
  // A mapping the serial device map does not list is as incomplete as one without its
  // port key, so its failure undoes the rest too.
  if (!written || !WriteString(registry_, hSerialComm, texts.portName, texts.portName)) {
    registry_.DeleteKey(hMappingList, texts.portKey);
    DeleteDriverKeys(record);
    return false;
  }
  if (!bracket.End()) {
    record.portId = record.enumId = -1;
    return false;
  }
  return true;
}

bool TTorl7370PortManager::DeletePortRegistry(TTorl7370PortEntry& record) {
  const PortTexts texts(record.comNumber);
  ChangeBracket bracket(registry_);
  if (!NamesOwnDriverKeys(texts.portKey, record)) return false;
  // The port key goes first: while it cannot be deleted the mapping stays whole.
  if (registry_.DeleteKey(hMappingList, texts.portKey) != kErrorSuccess) return false;
  const std::int32_t portId = record.portId, enumId = record.enumId;
  DeleteDriverKeys(record);
  registry_.DeleteValue(hSerialComm, texts.portName);
  if (bracket.End()) return true;
  record.portId = portId;
  record.enumId = enumId;
  return false;
}
