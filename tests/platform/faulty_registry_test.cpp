#include "support/faulty_registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/registry_sqlite.h"
#include "registry_test_helpers.h"
#include "support/temp_dir.h"

namespace {

using ::testing::ElementsAre;
using platform::RegKey;
using regtest::ReadDword;
using regtest::SetDword;
using testsupport::FaultyRegistry;
using testsupport::RegOp;

constexpr RegKey kRoot = platform::kHKeyLocalMachine;

class FaultyRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(inner_, nullptr);
    ASSERT_EQ(faulty_.CreateKey(kRoot, "Enum\\OLMXV1X\\OLMX5", platform::kKeyWrite, &port_, nullptr), 0);
    faulty_.ClearCalls();
  }

  std::uint32_t InnerDword(const char* name) {
    RegKey key = platform::kInvalidKey;
    std::uint32_t value = 0;
    EXPECT_EQ(inner_->OpenKey(kRoot, "Enum\\OLMXV1X\\OLMX5", platform::kKeyRead, &key), 0);
    const platform::RegResult result = ReadDword(*inner_, key, name, &value);
    inner_->CloseKey(key);
    return result == 0 ? value : 0xDEADu;
  }

  testsupport::TempDir dir_;
  std::unique_ptr<platform::SqliteRegistry> inner_ = platform::SqliteRegistry::Open(dir_.File("r.db"), nullptr);
  FaultyRegistry faulty_{*inner_};
  RegKey port_ = platform::kInvalidKey;
};

TEST_F(FaultyRegistryTest, ForwardsEveryCallAndRecordsItWithItsKeyPath) {
  RegKey list = platform::kInvalidKey;
  ASSERT_EQ(faulty_.OpenKey(kRoot, "Enum\\OLMXV1X", platform::kKeyRead, &list), 0);
  char name[256];
  ASSERT_EQ(faulty_.EnumKey(list, 0, name, sizeof(name)), 0);
  EXPECT_STREQ(name, "OLMX5");
  EXPECT_EQ(faulty_.EnumKey(list, 1, name, sizeof(name)), platform::kErrorNoMoreItems);
  ASSERT_EQ(SetDword(faulty_, port_, "Port", 2), 0);
  std::uint32_t value = 0;
  ASSERT_EQ(ReadDword(faulty_, port_, "Port", &value), 0);
  EXPECT_EQ(value, 2u);
  ASSERT_EQ(faulty_.DeleteValue(port_, "Port"), 0);
  ASSERT_EQ(faulty_.DeleteKey(list, "OLMX5"), 0);
  ASSERT_EQ(faulty_.CloseKey(list), 0);
  EXPECT_EQ(faulty_.CloseKey(list), platform::kErrorInvalidHandle);

  std::vector<std::tuple<RegOp, std::string, std::string, platform::RegResult>> seen;
  for (const auto& call : faulty_.calls()) seen.emplace_back(call.op, call.key, call.name, call.result);
  using Call = std::tuple<RegOp, std::string, std::string, platform::RegResult>;
  EXPECT_THAT(seen, ElementsAre(Call{RegOp::kOpenKey, "", "Enum\\OLMXV1X", 0},
                                Call{RegOp::kEnumKey, "Enum\\OLMXV1X", "", 0},
                                Call{RegOp::kEnumKey, "Enum\\OLMXV1X", "", platform::kErrorNoMoreItems},
                                Call{RegOp::kSetValue, "Enum\\OLMXV1X\\OLMX5", "Port", 0},
                                Call{RegOp::kQueryValue, "Enum\\OLMXV1X\\OLMX5", "Port", 0},
                                Call{RegOp::kDeleteValue, "Enum\\OLMXV1X\\OLMX5", "Port", 0},
                                Call{RegOp::kDeleteKey, "Enum\\OLMXV1X", "OLMX5", 0},
                                Call{RegOp::kCloseKey, "Enum\\OLMXV1X", "", 0},
                                Call{RegOp::kCloseKey, "?", "", platform::kErrorInvalidHandle}));
}

TEST_F(FaultyRegistryTest, TheNthCallFailsOnceWithoutReachingTheRegistry) {
  faulty_.FailCall(RegOp::kSetValue, 3, platform::kErrorAccessDenied);
  EXPECT_EQ(SetDword(faulty_, port_, "IP Address", 1), 0);
  EXPECT_EQ(SetDword(faulty_, port_, "Port", 2), 0);
  EXPECT_EQ(SetDword(faulty_, port_, "Model", 3), platform::kErrorAccessDenied);
  EXPECT_EQ(SetDword(faulty_, port_, "EnumID", 4), 0);
  EXPECT_EQ(InnerDword("Port"), 2u);
  EXPECT_EQ(InnerDword("Model"), 0xDEADu);
  EXPECT_EQ(InnerDword("EnumID"), 4u);
  EXPECT_EQ(faulty_.calls()[2].result, platform::kErrorAccessDenied);
  EXPECT_THAT(faulty_.NamesOf(RegOp::kSetValue), ElementsAre("IP Address", "Port", "Model", "EnumID"));
}

TEST_F(FaultyRegistryTest, AnAlwaysFaultFailsThatCallAndEveryLaterOne) {
  faulty_.FailCall(RegOp::kQueryValue, 2, platform::kErrorBadDb, FaultyRegistry::Times::kAlways);
  ASSERT_EQ(SetDword(faulty_, port_, "Port", 2), 0);
  std::uint32_t value = 0;
  EXPECT_EQ(ReadDword(faulty_, port_, "Port", &value), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadDword(faulty_, port_, "Port", &value), platform::kErrorBadDb);
  faulty_.ClearFaults();
  EXPECT_EQ(ReadDword(faulty_, port_, "Port", &value), 0);
}

TEST_F(FaultyRegistryTest, NamedFaultsHitOnlyThatNameWhateverItsCase) {
  faulty_.FailName(RegOp::kSetValue, "Description", platform::kErrorAccessDenied);
  faulty_.FailName(RegOp::kOpenKey, "OLMX5", platform::kErrorFileNotFound, FaultyRegistry::Times::kOnce);
  const std::uint8_t text[] = "memo";
  EXPECT_EQ(faulty_.SetValue(port_, "DESCRIPTION", platform::kRegSz, text, sizeof(text)), platform::kErrorAccessDenied);
  EXPECT_EQ(faulty_.SetValue(port_, "Description", platform::kRegSz, text, sizeof(text)), platform::kErrorAccessDenied);
  EXPECT_EQ(faulty_.SetValue(port_, "Descriptions", platform::kRegSz, text, sizeof(text)), 0);
  EXPECT_EQ(SetDword(faulty_, port_, "Port", 1), 0);

  RegKey list = platform::kInvalidKey;
  RegKey key = platform::kInvalidKey;
  ASSERT_EQ(faulty_.OpenKey(kRoot, "Enum\\OLMXV1X", platform::kKeyRead, &list), 0);
  EXPECT_EQ(faulty_.OpenKey(list, "olmx5", platform::kKeyRead, &key), platform::kErrorFileNotFound);
  EXPECT_EQ(key, platform::kInvalidKey);
  EXPECT_EQ(faulty_.OpenKey(list, "OLMX5", platform::kKeyRead, &key), 0);
  EXPECT_NE(key, platform::kInvalidKey);
}

TEST_F(FaultyRegistryTest, FaultsCountTheirOwnCallsFromWhenTheyAreSet) {
  EXPECT_EQ(SetDword(faulty_, port_, "A", 1), 0);
  faulty_.FailCall(RegOp::kSetValue, 2, platform::kErrorBadDb);
  faulty_.FailName(RegOp::kSetValue, "Port", platform::kErrorAccessDenied, FaultyRegistry::Times::kOnce);
  EXPECT_EQ(SetDword(faulty_, port_, "B", 1), 0);
  // Due together: the first set claims this call, the other the next one of its kind.
  EXPECT_EQ(SetDword(faulty_, port_, "Port", 1), platform::kErrorBadDb);
  EXPECT_EQ(SetDword(faulty_, port_, "C", 1), 0);
  EXPECT_EQ(SetDword(faulty_, port_, "Port", 1), platform::kErrorAccessDenied);
  EXPECT_EQ(SetDword(faulty_, port_, "Port", 1), 0);
}

TEST_F(FaultyRegistryTest, KeepsTrackOfTheKeysLeftOpen) {
  RegKey list = platform::kInvalidKey;
  RegKey made = platform::kInvalidKey;
  ASSERT_EQ(faulty_.OpenKey(kRoot, "Enum\\OLMXV1X", platform::kKeyRead, &list), 0);
  ASSERT_EQ(faulty_.CreateKey(list, "OLMX6", platform::kKeyWrite, &made, nullptr), 0);
  EXPECT_EQ(faulty_.openKeys().size(), 3u);  // with the fixture's port key
  EXPECT_EQ(faulty_.openKeys().at(made), "Enum\\OLMXV1X\\OLMX6");
  EXPECT_EQ(faulty_.CloseKey(made), 0);
  faulty_.FailCall(RegOp::kCloseKey, 1, platform::kErrorInvalidHandle);
  EXPECT_EQ(faulty_.CloseKey(list), platform::kErrorInvalidHandle);
  EXPECT_EQ(faulty_.openKeys().count(list), 1u);  // a failed close leaves it open
  EXPECT_EQ(faulty_.CloseKey(list), 0);
  EXPECT_EQ(faulty_.CloseKey(port_), 0);
  EXPECT_TRUE(faulty_.openKeys().empty());
}

}  // namespace
