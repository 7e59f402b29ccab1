// What the program relies on from the registry, on the stand-in and on the Win32 backend
// alike. Under Wine set to Windows 98 this checks the stand-in's model against an
// implementation of the real API.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/registry.h"
#include "support/test_registry.h"

namespace {

using platform::kHKeyLocalMachine;
using platform::RegKey;

class RegistryContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(registry.CreateKey(kHKeyLocalMachine, "Enum\\OLMXV1X\\OLMX9", platform::kKeyWrite, &key, nullptr), 0);
  }
  void TearDown() override { registry.CloseKey(key); }

  testsupport::TestRegistry machine;
  platform::Registry& registry = machine.registry();
  RegKey key = platform::kInvalidKey;
};

TEST_F(RegistryContract, ValuesComeBackWithTheirTypeAndBytes) {
  const std::uint8_t text[] = "10.0.0.9";
  const std::uint8_t dword[] = {9, 0, 0, 0};
  std::vector<std::uint8_t> binary(26);
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_EQ(registry.SetValue(key, "Description", platform::kRegSz, text, sizeof text), 0);
  ASSERT_EQ(registry.SetValue(key, "Port", platform::kRegDword, dword, sizeof dword), 0);
  ASSERT_EQ(registry.SetValue(key, "DCB", platform::kRegBinary, binary.data(), 26), 0);

  std::uint8_t data[64];
  std::uint32_t type = 0, size = sizeof data;
  ASSERT_EQ(registry.QueryValue(key, "description", &type, data, &size), 0);  // names ignore case
  EXPECT_EQ(type, platform::kRegSz);
  ASSERT_EQ(size, sizeof text);
  EXPECT_EQ(std::memcmp(data, text, size), 0);
  size = sizeof data;
  ASSERT_EQ(registry.QueryValue(key, "DCB", &type, data, &size), 0);
  EXPECT_EQ(type, platform::kRegBinary);
  EXPECT_EQ(std::vector<std::uint8_t>(data, data + size), binary);

  // Too small a buffer: 234 and the size needed; no buffer: the size alone.
  size = 3;
  EXPECT_EQ(registry.QueryValue(key, "Port", &type, data, &size), platform::kErrorMoreData);
  EXPECT_EQ(size, 4u);
  size = 0;
  EXPECT_EQ(registry.QueryValue(key, "DCB", nullptr, nullptr, &size), 0);
  EXPECT_EQ(size, 26u);
  EXPECT_EQ(registry.QueryValue(key, "Missing", nullptr, nullptr, &size), platform::kErrorFileNotFound);
  EXPECT_EQ(registry.DeleteValue(key, "Port"), 0);
  EXPECT_EQ(registry.QueryValue(key, "Port", nullptr, nullptr, &size), platform::kErrorFileNotFound);
}

TEST_F(RegistryContract, KeysOpenCreateAndEnumerateAsTheStoreExpects) {
  RegKey other = platform::kInvalidKey;
  EXPECT_EQ(registry.OpenKey(kHKeyLocalMachine, "Enum\\OLMXV1X\\OLMX10", platform::kKeyRead, &other),
            platform::kErrorFileNotFound);
  std::uint32_t disposition = 0;
  ASSERT_EQ(registry.CreateKey(kHKeyLocalMachine, "ENUM\\olmxv1x\\OLMX9", platform::kKeyWrite, &other, &disposition),
            0);
  EXPECT_EQ(disposition, platform::kRegOpenedExistingKey);
  registry.CloseKey(other);
  ASSERT_EQ(registry.CreateKey(kHKeyLocalMachine, "Enum\\OLMXV1X\\OLMX10", platform::kKeyWrite, &other, &disposition),
            0);
  EXPECT_EQ(disposition, platform::kRegCreatedNewKey);
  registry.CloseKey(other);

  ASSERT_EQ(registry.OpenKey(kHKeyLocalMachine, "Enum\\OLMXV1X", platform::kKeyRead, &other), 0);
  char name[256];
  std::vector<std::string> names;
  std::uint32_t index = 0;
  platform::RegResult result;
  while ((result = registry.EnumKey(other, index, name, sizeof name)) == 0) {
    names.push_back(name);
    ++index;
  }
  EXPECT_EQ(result, platform::kErrorNoMoreItems);
  EXPECT_EQ(names.size(), 2u);
  registry.CloseKey(other);
}

TEST_F(RegistryContract, DeletingAKeyTakesEverythingBelowIt) {
  // The Windows 9x meaning of RegDeleteKeyA, which the store's clean-up relies on. Wine
  // gives it only when set to the Windows 9x family; the NT family refuses a key with
  // subkeys.
  RegKey below = platform::kInvalidKey;
  ASSERT_EQ(registry.CreateKey(key, "Deeper\\Deepest", platform::kKeyWrite, &below, nullptr), 0);
  const std::uint8_t dword[] = {1, 0, 0, 0};
  ASSERT_EQ(registry.SetValue(below, "Value", platform::kRegDword, dword, sizeof dword), 0);
  registry.CloseKey(below);
  RegKey list = platform::kInvalidKey;
  ASSERT_EQ(registry.OpenKey(kHKeyLocalMachine, "Enum\\OLMXV1X", platform::kKeyWrite, &list), 0);
  EXPECT_EQ(registry.DeleteKey(list, "OLMX9"), 0);
  registry.CloseKey(list);
  EXPECT_EQ(registry.OpenKey(kHKeyLocalMachine, "Enum\\OLMXV1X\\OLMX9\\Deeper", platform::kKeyRead, &below),
            platform::kErrorFileNotFound);
  EXPECT_EQ(registry.OpenKey(kHKeyLocalMachine, "Enum\\OLMXV1X\\OLMX9", platform::kKeyRead, &below),
            platform::kErrorFileNotFound);
}

}  // namespace
