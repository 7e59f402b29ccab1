#include "security/port_security.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/test_registry.h"

namespace {

class SecurityStore : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(registry->CreateKey(platform::kHKeyLocalMachine, "Enum\\OLMXV1X\\OLMX5", platform::kKeyWrite, &key,
                                  nullptr),
              0);
  }
  void TearDown() override { registry->CloseKey(key); }

  void SetRaw(const char* name, std::uint32_t type, std::vector<std::uint8_t> bytes) {
    ASSERT_EQ(registry->SetValue(key, name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())), 0);
  }
  bool Has(const char* name) {
    std::uint32_t size = 0;
    return registry->QueryValue(key, name, nullptr, nullptr, &size) == 0;
  }

  testsupport::TestRegistry machine;
  platform::Registry* registry = &machine.registry();
  platform::RegKey key = 0;
};

PortSecurity PasswordKeyed() {
  PortSecurity security;
  security.secUserKey = 1;
  for (std::size_t i = 0; i < sizeof security.tdesKey; ++i) security.tdesKey[i] = static_cast<std::uint8_t>(i * 9);
  std::memset(security.tdesTail, 0xC5, sizeof security.tdesTail);
  return security;
}

}  // namespace

TEST(Scrambling, UnscrambleUndoesScrambleAndOnlyItsFourParametersCount) {
  std::mt19937 random(7);
  std::uint8_t block[32], scrambled[32], back[32], other[32];
  for (int round = 0; round < 2000; ++round) {
    for (auto& b : block) b = static_cast<std::uint8_t>(random());
    const std::uint32_t v = round == 0 ? 0 : static_cast<std::uint32_t>(random());
    ScrambleBytes(block, scrambled, 32, v);
    UnscrambleBytes(scrambled, back, 32, v);
    ASSERT_EQ(std::memcmp(back, block, 32), 0) << std::hex << v;
    if (v == 0) {
      ASSERT_EQ(std::memcmp(scrambled, block, 32), 0);
    }
    // Bits 0-3, 7 and 19-23 take no part.
    ScrambleBytes(block, other, 32, v ^ 0x00F8008F);
    ASSERT_EQ(std::memcmp(other, scrambled, 32), 0);
  }
  std::uint8_t one = 0x81, out = 0;
  ScrambleBytes(&one, &out, 1, 0x00010000);  // rotate right by 1
  EXPECT_EQ(out, 0xC0);
}

TEST_F(SecurityStore, KeyBlocksComeBackAsTheyWereSaved) {
  PortSecurity saved;  // TDES with the default key
  SaveSecurity(saved, *registry, key, 0x12345678, 0x01D9ABCD00001111ull);
  PortSecurity loaded = PasswordKeyed();
  LoadSecurity(loaded, *registry, key, 0x12345678);
  EXPECT_EQ(loaded.secMethod, 1u);
  EXPECT_EQ(loaded.secUserKey, 0u);
  EXPECT_TRUE(SameKeyBlock(loaded, saved));

  const PortSecurity password = PasswordKeyed();
  SaveSecurity(password, *registry, key, 0x12345678, 0x01D9ABCD00002222ull);
  PortSecurity again;
  LoadSecurity(again, *registry, key, 0x12345678);
  EXPECT_EQ(again.secMethod, 1u);
  EXPECT_EQ(again.secMethodEdit, 1u);
  EXPECT_EQ(again.secUserKey, 1u);
  EXPECT_EQ(again.secUserKeyEdit, 1u);
  EXPECT_TRUE(SameKeyBlock(again, password));

  // Another machine decodes other bytes, without any error.
  PortSecurity elsewhere;
  LoadSecurity(elsewhere, *registry, key, kDefaultMachineValue);
  EXPECT_EQ(elsewhere.secUserKey, 1u);
  EXPECT_FALSE(SameKeyBlock(elsewhere, password));
}

TEST_F(SecurityStore, EverySaveMakesAFreshSeedAndTheMethodWordCarriesItsMarker) {
  PortSecurity security;
  SaveSecurity(security, *registry, key, 1, 0x0000000100000010ull);
  std::uint32_t seed = 0, method = 0, size = 4;
  registry->QueryValue(key, "SecSeed", nullptr, reinterpret_cast<std::uint8_t*>(&seed), &size);
  registry->QueryValue(key, "SecMethod", nullptr, reinterpret_cast<std::uint8_t*>(&method), &size);
  EXPECT_EQ(seed, MakeSeed(0x0000000100000010ull));
  EXPECT_EQ(method ^ seed, 0x59010001u);
  SaveSecurity(security, *registry, key, 1, 0x0000000100000011ull);
  std::uint32_t next = 0;
  registry->QueryValue(key, "SecSeed", nullptr, reinterpret_cast<std::uint8_t*>(&next), &size);
  EXPECT_NE(next, seed);
  EXPECT_GE(MakeSeed(0x10), 0x10u);
  EXPECT_LE(MakeSeed(0x10), 0x10u + 32767u);
}

TEST_F(SecurityStore, NoneSavesAllThreeValuesAndLoadsWithTheDefaultKey) {
  PortSecurity none = PasswordKeyed();
  none.secMethod = 0;
  SaveSecurity(none, *registry, key, 5, 99);
  EXPECT_TRUE(Has("SecSeed") && Has("SecMethod") && Has("SecSig"));
  PortSecurity loaded = PasswordKeyed();
  LoadSecurity(loaded, *registry, key, 5);
  EXPECT_EQ(loaded.secMethod, 0u);
  EXPECT_EQ(loaded.secUserKey, 0u);
  EXPECT_TRUE(SameKeyBlock(loaded, PortSecurity()));
}

TEST_F(SecurityStore, MissingShortOrForeignValuesFallBackToTheDefaults) {
  PortSecurity loaded = PasswordKeyed();
  loaded.secMethod = 0;
  LoadSecurity(loaded, *registry, key, 5);  // nothing saved at all
  EXPECT_EQ(loaded.secMethod, 1u);
  EXPECT_EQ(loaded.secUserKey, 0u);
  EXPECT_TRUE(SameKeyBlock(loaded, PortSecurity()));

  SaveSecurity(PasswordKeyed(), *registry, key, 5, 1234);
  SetRaw("SecSig", platform::kRegBinary, std::vector<std::uint8_t>(33, 1));  // longer than 32: missing
  LoadSecurity(loaded, *registry, key, 5);
  EXPECT_EQ(loaded.secUserKey, 1u);  // the method word still says password
  EXPECT_TRUE(SameKeyBlock(loaded, PortSecurity()));
  SetRaw("SecSig", platform::kRegBinary, std::vector<std::uint8_t>(31, 1));  // shorter: missing too
  loaded = PasswordKeyed();
  LoadSecurity(loaded, *registry, key, 5);
  EXPECT_TRUE(SameKeyBlock(loaded, PortSecurity()));

  SaveSecurity(PasswordKeyed(), *registry, key, 5, 1234);
  SetRaw("SecSeed", platform::kRegDword, {1, 2, 3});  // short seed
  loaded = PasswordKeyed();
  LoadSecurity(loaded, *registry, key, 5);
  EXPECT_EQ(loaded.secUserKey, 0u);
  EXPECT_TRUE(SameKeyBlock(loaded, PortSecurity()));

  SaveSecurity(PasswordKeyed(), *registry, key, 5, 1234);
  std::uint32_t seed = 0, size = 4;
  registry->QueryValue(key, "SecSeed", nullptr, reinterpret_cast<std::uint8_t*>(&seed), &size);
  SetRaw("SecSeed", platform::kRegBinary,
         {static_cast<std::uint8_t>(seed), static_cast<std::uint8_t>(seed >> 8), static_cast<std::uint8_t>(seed >> 16),
          static_cast<std::uint8_t>(seed >> 24)});  // right bytes, wrong type
  loaded = PasswordKeyed();
  LoadSecurity(loaded, *registry, key, 5);
  EXPECT_EQ(loaded.secUserKey, 0u);

  SaveSecurity(PasswordKeyed(), *registry, key, 5, 1234);
  SetRaw("SecMethod", platform::kRegDword, {0, 0, 0, 0});  // marker gone
  loaded = PasswordKeyed();
  LoadSecurity(loaded, *registry, key, 5);
  EXPECT_EQ(loaded.secMethod, 1u);
  EXPECT_EQ(loaded.secUserKey, 0u);

  DeleteSecurity(*registry, key);
  EXPECT_FALSE(Has("SecSeed") || Has("SecMethod") || Has("SecSig"));
}

TEST_F(SecurityStore, TheMachineValueIsTheInstallationsFirstInstallTime) {
  const std::uint32_t own = ReadMachineValue(*registry);  // a new registry file has one
  EXPECT_NE(own, kDefaultMachineValue);
  platform::RegKey version = 0;
  ASSERT_EQ(registry->OpenKey(platform::kHKeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                              platform::kKeyWrite, &version),
            0);
  const std::uint8_t bytes[4] = {0x78, 0x56, 0x34, 0x12};
  registry->SetValue(version, "FirstInstallDateTime", platform::kRegBinary, bytes, 4);
  EXPECT_EQ(ReadMachineValue(*registry), 0x12345678u);
  registry->SetValue(version, "FirstInstallDateTime", platform::kRegBinary, bytes, 2);
  EXPECT_EQ(ReadMachineValue(*registry), kDefaultMachineValue);
  registry->DeleteValue(version, "FirstInstallDateTime");
  EXPECT_EQ(ReadMachineValue(*registry), kDefaultMachineValue);
  registry->CloseKey(version);
}

TEST(SecurityLinks, TakingAndCopyingSettingsBetweenTwins) {
  PortSecurity mine, twin = PasswordKeyed();
  twin.secMethod = 1;
  twin.secMethodEdit = 0;
  TakeSecurityFrom(mine, twin);
  EXPECT_EQ(mine.secMethodEdit, 1u);  // the twin's committed method, not its pending one
  EXPECT_EQ(mine.secUserKeyEdit, 1u);
  EXPECT_EQ(mine.secMethod, 1u);
  EXPECT_TRUE(SameKeyBlock(mine, twin));

  PortSecurity source = PasswordKeyed(), target;
  source.secMethodEdit = 0;
  source.secUserKeyEdit = 1;
  CopySecuritySettings(source, target);
  EXPECT_EQ(target.secMethod, 0u);
  EXPECT_EQ(target.secMethodEdit, 0u);
  EXPECT_EQ(target.secUserKey, 1u);
  EXPECT_TRUE(SameKeyBlock(target, source));
}
