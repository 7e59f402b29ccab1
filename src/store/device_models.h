// The device models a COM port can be mapped to, and the categories of the port tree.
#pragma once

#include <cstdint>

// Port kinds besides the model indexes 1..11.
constexpr std::int32_t KIND_USED = 0xF00;
constexpr std::int32_t KIND_UNUSED = 0xF01;

// A category id is the kind of its ports with bit 15 set.
constexpr std::int32_t kCategoryBit = 0x8000;
constexpr std::int32_t CATEGORY_USED = KIND_USED | kCategoryBit;      // 0x8F00
constexpr std::int32_t CATEGORY_UNUSED = KIND_UNUSED | kCategoryBit;  // 0x8F01

constexpr std::int32_t kFirstModelIndex = 1;
constexpr std::int32_t kLastModelIndex = 11;
// The window offers and the load accepts only the models up to this index.
constexpr std::int32_t kLastOfferedModelIndex = 9;
// The secure models, the only ones that carry security settings.
constexpr std::int32_t kModelTorl7370S = 10;
constexpr std::int32_t kModelTorl7371S = 11;

struct DeviceModel {
  std::int32_t index;
  const char* name;
  std::uint32_t code;
  std::int32_t portCount;
  std::int32_t categoryId;
  const char* caption;  // null for the secure models: no category is made for them
  const char* categoryText;
};

// The model of index 1..11, or null.
const DeviceModel* ModelByIndex(std::int32_t index);
// The model index of one of the nine model codes the system accepts, or 0.
std::int32_t AcceptedModelIndexOfCode(std::uint32_t code);
// Number of device ports of a model index; 0 outside 1..11.
std::int32_t DevicePortCount(std::int32_t modelIndex);

inline bool IsSecureModelCode(std::uint32_t code) { return code == 0xA370 || code == 0xA371; }
inline bool IsCategoryKind(std::int32_t kind) { return (kind & kCategoryBit) != 0; }
inline std::int32_t CategoryIdOfKind(std::int32_t kind) { return kind | kCategoryBit; }
inline std::int32_t KindOfCategoryId(std::int32_t id) { return id & ~kCategoryBit; }
inline bool IsModelKind(std::int32_t kind) { return kind >= kFirstModelIndex && kind <= kLastModelIndex; }

// Caption and text of a category id (0x8001..0x800B, 0x8F00, 0x8F01); null for others.
const char* CategoryCaption(std::int32_t categoryId);
const char* CategoryText(std::int32_t categoryId);

// The categories in the order the store builds them.
constexpr std::int32_t kCategoryBuildOrder[] = {CATEGORY_USED, 0x8001, 0x8002, 0x8003, 0x8004, 0x8005,
                                                0x8006,        0x8007, 0x8008, 0x8009, CATEGORY_UNUSED};

extern const char* const kUsedPortDescription;
