#include "store/device_models.h"

namespace {

const DeviceModel kModels[] = {
    {1, "TORL7370", 0x7370, 2, 0x8001, "TORL7370 Ports", "These ports have already been assigned to TORL7370 port."},
    {2, "TORL7371", 0x7371, 1, 0x8002, "TORL7371 Ports", "These ports have already been assigned to TORL7371 port."},
    {3, "VEQ7304", 0x7304, 4, 0x8003, "VEQ7304  Ports", "These ports have already been assigned to VEQ7304 port."},
    {4, "TORL7370L", 0xB370, 2, 0x8004, "TORL7370L Ports",
     "These ports have already been assigned to TORL7370L port."},
    {5, "TORL7371L", 0xB371, 1, 0x8005, "TORL7371L Ports",
     "These ports have already been assigned to TORL7371L port."},
    {6, "VEQ7308(R)+", 0x7308, 8, 0x8006, "VEQ7308(R)+ Ports",
     "These ports have already been assigned to VEQ7308(R)+ port."},
    {7, "VEQ7316(R)+", 0x7316, 16, 0x8007, "VEQ7316(R)+ Ports",
     "These ports have already been assigned to VEQ7316(R)+ port."},
    {8, "TORL7370W", 0xC370, 2, 0x8008, "TORL7370W Ports",
     "These ports have already been assigned to TORL7370W port."},
    {9, "TORL7371W", 0xC371, 1, 0x8009, "TORL7371W Ports",
     "These ports have already been assigned to TORL7371W port."},
    {10, "TORL7370S", 0xA370, 2, 0x800A, nullptr, "These ports have already been assigned to TORL7370S port."},
    {11, "TORL7371S", 0xA371, 1, 0x800B, nullptr, "These ports have already been assigned to TORL7371S port."},
};

const char kUsedCaption[] = "Used Ports";
const char kUnusedCaption[] = "Unused Ports";
const char kUsedText[] =
    "These ports have already been used by the system. "
    "Therefore, neither of them can be assigned to the "
    "VEQ COMPort device.";
const char kUnusedText[] = "These ports is free to be used for the VEQ COMPort device.";

}  // namespace

const char* const kUsedPortDescription = "The port can not be configured by this program.";

const DeviceModel* ModelByIndex(std::int32_t index) {
  if (index < kFirstModelIndex || index > kLastModelIndex) return nullptr;
  return &kModels[index - 1];
}

std::int32_t AcceptedModelIndexOfCode(std::uint32_t code) {
  for (std::int32_t i = kFirstModelIndex; i <= kLastOfferedModelIndex; ++i)
    if (kModels[i - 1].code == code) return i;
  return 0;
}

std::int32_t DevicePortCount(std::int32_t modelIndex) {
  const DeviceModel* model = ModelByIndex(modelIndex);
  return model ? model->portCount : 0;
}

const char* CategoryCaption(std::int32_t categoryId) {
  if (categoryId == CATEGORY_USED) return kUsedCaption;
  if (categoryId == CATEGORY_UNUSED) return kUnusedCaption;
  const DeviceModel* model = ModelByIndex(KindOfCategoryId(categoryId));
  return model && IsCategoryKind(categoryId) ? model->caption : nullptr;
}

const char* CategoryText(std::int32_t categoryId) {
  if (categoryId == CATEGORY_USED) return kUsedText;
  if (categoryId == CATEGORY_UNUSED) return kUnusedText;
  const DeviceModel* model = ModelByIndex(KindOfCategoryId(categoryId));
  return model && IsCategoryKind(categoryId) ? model->categoryText : nullptr;
}
