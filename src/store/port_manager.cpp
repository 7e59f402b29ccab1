#include "store/port_manager.h"

#include "store/device_models.h"
#include "store/port_mapper_window.h"

TTorl7370PortManager::TTorl7370PortManager(PortMapperWindow* window, platform::Registry& registry)
    : mainWindow(window), registry_(registry) {}

TTorl7370PortManager::~TTorl7370PortManager() {
  for (platform::RegKey key : {hMappingList, hDeviceNodes, hClassDrivers, hSerialComm})
    if (key != platform::kInvalidKey) registry_.CloseKey(key);
}

TTorl7370PortHeader* TTorl7370PortManager::HeaderOfCategory(std::int32_t categoryId) const {
  if (categoryId == CATEGORY_USED) return usedHeader;
  if (categoryId == CATEGORY_UNUSED) return unusedHeader;
  const std::int32_t index = KindOfCategoryId(categoryId);
  return IsCategoryKind(categoryId) && IsModelKind(index) ? modelHeaders[index] : nullptr;
}
