// Brackets of changes on the stand-in registry: what a bracket holds reaches the file at
// its end, all together, and a process that dies inside one leaves nothing of it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/registry_sqlite.h"
#include "registry_test_helpers.h"
#include "support/temp_dir.h"

namespace {

using platform::RegKey;
using platform::SqliteRegistry;
using regtest::Create;
using regtest::ReadDword;
using regtest::SetDword;

constexpr RegKey kRoot = platform::kHKeyLocalMachine;

class RegistryBracket : public ::testing::Test {
 protected:
  void SetUp() override {
    registry = Open();
    ASSERT_TRUE(registry);
  }
  std::unique_ptr<SqliteRegistry> Open() {
    std::string failure;
    auto opened = SqliteRegistry::Open(dir.File("registry.db"), &failure);
    EXPECT_TRUE(opened) << failure;
    return opened;
  }
  bool Exists(platform::Registry& reader, const char* path) {
    RegKey key = platform::kInvalidKey;
    if (reader.OpenKey(kRoot, path, platform::kKeyRead, &key) != platform::kErrorSuccess) return false;
    reader.CloseKey(key);
    return true;
  }

  testsupport::TempDir dir;
  std::unique_ptr<SqliteRegistry> registry;
};

}  // namespace

TEST_F(RegistryBracket, OthersSeeTheChangesOnlyWhenTheOutermostBracketEnds) {
  auto other = Open();
  registry->BeginChanges();
  registry->BeginChanges();
  const RegKey key = Create(*registry, "Software\\Bracket");
  ASSERT_NE(key, platform::kInvalidKey);
  EXPECT_EQ(SetDword(*registry, key, "Value", 7), platform::kErrorSuccess);
  std::uint32_t value = 0;
  EXPECT_EQ(ReadDword(*registry, key, "Value", &value), platform::kErrorSuccess);  // its own changes it sees
  EXPECT_EQ(value, 7u);
  EXPECT_EQ(registry->EndChanges(), platform::kErrorSuccess);
  EXPECT_FALSE(Exists(*other, "Software\\Bracket"));
  EXPECT_EQ(registry->EndChanges(), platform::kErrorSuccess);
  EXPECT_TRUE(Exists(*other, "Software\\Bracket"));
  registry->CloseKey(key);
}

TEST_F(RegistryBracket, AFailedCallUndoesOnlyItself) {
  registry->BeginChanges();
  const RegKey kept = Create(*registry, "Software\\Kept");
  const RegKey gone = Create(*registry, "Software\\Gone");
  ASSERT_EQ(registry->DeleteKey(kRoot, "Software\\Gone"), platform::kErrorSuccess);
  EXPECT_EQ(SetDword(*registry, gone, "Value", 1), platform::kErrorKeyDeleted);
  EXPECT_EQ(SetDword(*registry, kept, "Value", 2), platform::kErrorSuccess);
  EXPECT_EQ(registry->EndChanges(), platform::kErrorSuccess);
  registry->CloseKey(kept);
  registry->CloseKey(gone);

  auto other = Open();
  RegKey key = platform::kInvalidKey;
  ASSERT_EQ(other->OpenKey(kRoot, "Software\\Kept", platform::kKeyRead, &key), platform::kErrorSuccess);
  std::uint32_t value = 0;
  EXPECT_EQ(ReadDword(*other, key, "Value", &value), platform::kErrorSuccess);
  EXPECT_EQ(value, 2u);
  other->CloseKey(key);
  EXPECT_FALSE(Exists(*other, "Software\\Gone"));
}

TEST_F(RegistryBracket, AnEndWithoutABeginIsRefused) {
  EXPECT_EQ(registry->EndChanges(), platform::kErrorInvalidParameter);
  // Calls outside brackets still stand on their own.
  const RegKey key = Create(*registry, "Software\\Alone");
  ASSERT_NE(key, platform::kInvalidKey);
  registry->CloseKey(key);
  EXPECT_TRUE(Exists(*Open(), "Software\\Alone"));
}

TEST_F(RegistryBracket, AProcessKilledInsideABracketLeavesNothingOfIt) {
  const RegKey before = Create(*registry, "Software\\Before");
  ASSERT_NE(before, platform::kInvalidKey);
  registry->CloseKey(before);
  registry.reset();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto own = Open();
    own->BeginChanges();
    const RegKey key = Create(*own, "Software\\Half");
    for (int i = 0; i < 50; ++i) SetDword(*own, key, "Value" + std::to_string(i), i);
    own->DeleteKey(kRoot, "Software\\Before");
    raise(SIGKILL);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  auto after = Open();
  EXPECT_FALSE(Exists(*after, "Software\\Half"));
  EXPECT_TRUE(Exists(*after, "Software\\Before"));
}
