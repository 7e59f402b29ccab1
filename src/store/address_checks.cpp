// The record operations that judge a typed device address: the address check, the
// duplicate check, the device twin lookup, and undoing refused edits.
#include <cstdio>

#include "platform/address.h"
#include "platform/desktop.h"
#include "store/address_rules.h"
#include "store/device_models.h"
#include "store/error_codes.h"
#include "store/port_manager.h"
#include "store/port_mapper_window.h"
#include "store/port_records.h"

namespace {

// Numbers are kept from overflowing; anything above 255 is refused anyway.
constexpr std::uint32_t kNumberCap = 1000;

bool IsAcceptableAddress(const char* text) {
  std::uint32_t numbers[4] = {0, 0, 0, 0};
  int dots = 0;
  int digitsInNumber = 0;
  bool leadingZero = false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c >= '0' && *c <= '9') {
      // The platform's conversion reads a number with a leading zero as octal, so such a
      // number would be stored as another address than the one checked here.
      if (digitsInNumber == 1 && numbers[dots] == 0) leadingZero = true;
      std::uint32_t& n = numbers[dots];
      n = n * 10 + static_cast<std::uint32_t>(*c - '0');
      if (n > kNumberCap) n = kNumberCap;
      ++digitsInNumber;
    } else if (*c == '.') {
      // An empty number would not convert at all.
      if (numbers[dots] > 255 || dots == 3 || digitsInNumber == 0) return false;
      ++dots;
      digitsInNumber = 0;
    } else {
      return false;
    }
  }
  if (dots != 3 || digitsInNumber == 0 || leadingZero) return false;
  if (numbers[0] < 1 || numbers[0] > 233) return false;
  if (numbers[3] < 1 || numbers[3] > 254) return false;
  const std::uint32_t a = numbers[0] << 24 | numbers[1] << 16 | numbers[2] << 8 | numbers[3];
  return HostPartIsUsable(a);
}

bool IsMappedRecord(const TTorl7370PortEntry* entry) {
  return entry != nullptr && entry != PORT_PRESENT && entry->kind != KIND_USED && entry->kind != KIND_UNUSED;
}

}  // namespace

void TTorl7370PortEntry::RevertEdits() {
  CopyText(ipText, ipAddress == 0 ? "" : platform::InetNtoa(ipAddress).c_str());
  devicePortEdit = devicePort;
  autoReconnEdit = autoReconn;
  PortMapperWindow& window = Window();
  window.SetAddressText(ipText);
  window.SetDevicePortIndex(devicePortEdit);
  window.SetAutoReconnChecked(autoReconnEdit != 0);
  window.ShowPort(*this);
}

bool TTorl7370PortEntry::CheckAddress() {
  PortMapperWindow& window = Window();
  if (IsAcceptableAddress(ipText)) {
    if (!window.HasKnownAddress(ipText)) window.AddKnownAddress(ipText);
    return true;
  }
  ipText[0] = '\0';
  window.SetAddressText("");
  window.ErrorCode = PMERR_BAD_IP;
  window.ShowErrorMessage();
  return false;
}

bool TTorl7370PortEntry::CheckDuplicate() {
  const std::uint32_t address = platform::InetAddr(ipText);
  for (TTorl7370PortEntry* other : Manager().ports) {
    if (other == this || !IsMappedRecord(other)) continue;
    if (other->ipAddress == address && other->devicePortEdit == devicePortEdit) {
      char text[128];
      std::snprintf(text, sizeof text, "The setting is same as %s. Please verify the setting again.", other->name);
      Window().ShowWindowMessage(text, platform::kMbIconError | platform::kMbOk);
      return false;
    }
  }
  return true;
}

TTorl7370PortEntry* TTorl7370PortEntry::FindDeviceTwin() {
  const std::uint32_t address = platform::InetAddr(ipText);
  for (TTorl7370PortEntry* other : Manager().ports) {
    if (other == this || !IsMappedRecord(other)) continue;
    if (other->kind == kModelTorl7370S && other->ipAddress == address) return other;
  }
  return nullptr;
}
