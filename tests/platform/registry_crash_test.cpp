// The registry file under killed and concurrent writers: other processes, forked, so that
// each has its own connection as separate program runs would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

#include "platform/registry_sqlite.h"
#include "registry_test_helpers.h"
#include "support/temp_dir.h"

namespace {

// Each step is three changes; enough for the two writers to interleave many times.
constexpr std::uint32_t kStepsPerWriter = 500;

using ::testing::ElementsAre;
using platform::RegKey;
using platform::SqliteRegistry;
using regtest::Create;
using regtest::ReadDword;
using regtest::SetDword;
using regtest::Subkeys;

constexpr RegKey kRoot = platform::kHKeyLocalMachine;

std::string IntegrityOf(const std::string& path) {
  sqlite3* db = nullptr;
  std::string verdict = "cannot open";
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      verdict = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(db);
  return verdict;
}

// In a child: one round of writes, acknowledging each finished call of round r through fd
// until killed. Each step makes a key with a value and bumps a counter.
[[noreturn]] void WriteUntilKilled(const std::string& path, int round, int fd) {
  auto registry = SqliteRegistry::Open(path, nullptr);
  if (registry == nullptr) _exit(2);
  const RegKey counter = Create(*registry, "Counters");
  for (std::uint32_t i = 0;; ++i) {
    const std::string name = "Enum\\OLMXV1X\\R" + std::to_string(round) + "-" + std::to_string(i);
    const RegKey key = Create(*registry, name);
    if (key == platform::kInvalidKey || SetDword(*registry, key, "Port", i) != 0 ||
        SetDword(*registry, counter, "Round" + std::to_string(round), i) != 0) {
      _exit(3);
    }
    registry->CloseKey(key);
    if (write(fd, &i, sizeof(i)) != sizeof(i)) _exit(4);
  }
}

TEST(RegistryCrashTest, KilledWriterKeepsEveryAcknowledgedWrite) {
  testsupport::TempDir dir;
  const std::string path = dir.File("registry.db");
  constexpr int kRounds = 5;
  std::uint32_t acknowledged[kRounds] = {};
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      WriteUntilKilled(path, round, fds[1]);
    }
    close(fds[1]);
    // Kill it a few hundred steps in, wherever it is; acknowledgements already in the
    // pipe were given before the kill and count.
    std::uint32_t step = 0;
    std::uint32_t count = 0;
    while (read(fds[0], &step, sizeof(step)) == sizeof(step)) {
      if (++count == 300 + 50 * static_cast<std::uint32_t>(round)) kill(pid, SIGKILL);
    }
    close(fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the writer ended by itself: " << status;
    ASSERT_GE(count, 300u);
    acknowledged[round] = count;

    std::string failure;
    auto registry = SqliteRegistry::Open(path, &failure);
    ASSERT_NE(registry, nullptr) << failure;
    const RegKey counter = Create(*registry, "Counters");
    for (int earlier = 0; earlier <= round; ++earlier) {
      std::uint32_t last = 0;
      ASSERT_EQ(ReadDword(*registry, counter, "Round" + std::to_string(earlier), &last), 0);
      // The step under way at the kill may have been written without being acknowledged.
      EXPECT_TRUE(last == acknowledged[earlier] - 1 || last == acknowledged[earlier]) << last;
      for (std::uint32_t i = 0; i < acknowledged[earlier]; ++i) {
        RegKey key = platform::kInvalidKey;
        const std::string name = "Enum\\OLMXV1X\\R" + std::to_string(earlier) + "-" + std::to_string(i);
        ASSERT_EQ(registry->OpenKey(kRoot, name.c_str(), platform::kKeyRead, &key), 0) << name;
        std::uint32_t value = 0;
        ASSERT_EQ(ReadDword(*registry, key, "Port", &value), 0) << name;
        ASSERT_EQ(value, i);
        registry->CloseKey(key);
      }
    }
    registry.reset();
    EXPECT_EQ(IntegrityOf(path), "ok");
  }
}

// In a child: opens the registry (made by whichever process comes first) and makes its own
// keys and values while also changing keys both writers share. Exits 0 when every call
// succeeded.
[[noreturn]] void WriteAlongside(const std::string& path, int writer, int startFd) {
  char go = 0;
  if (read(startFd, &go, 1) != 0) _exit(5);  // waits for the start: the pipe's close
  auto registry = SqliteRegistry::Open(path, nullptr);
  if (registry == nullptr) _exit(2);
  const std::string own = "Enum\\OLMXV1X\\W" + std::to_string(writer);
  const RegKey key = Create(*registry, own);
  const RegKey shared = Create(*registry, "Hardware\\DeviceMap\\SerialComm");
  if (key == platform::kInvalidKey || shared == platform::kInvalidKey) _exit(3);
  for (std::uint32_t i = 0; i < kStepsPerWriter; ++i) {
    const std::string scratch = "Shared\\S" + std::to_string(i % 10);
    const RegKey made = Create(*registry, scratch);
    if (SetDword(*registry, key, "V" + std::to_string(i), i) != 0 ||
        SetDword(*registry, shared, "Last", writer * 100000 + i) != 0 || made == platform::kInvalidKey ||
        registry->CloseKey(made) != 0) {
      _exit(4);
    }
    const platform::RegResult deleted = registry->DeleteKey(kRoot, scratch.c_str());
    if (deleted != 0 && deleted != platform::kErrorFileNotFound) _exit(6);  // the other may have been first
  }
  _exit(0);
}

TEST(RegistryCrashTest, TwoProcessesWritingOneFileAtOnceBothSucceed) {
  testsupport::TempDir dir;
  const std::string path = dir.File("registry.db");  // not there yet: both race to make it
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  pid_t writers[2];
  for (int writer = 0; writer < 2; ++writer) {
    writers[writer] = fork();
    ASSERT_GE(writers[writer], 0);
    if (writers[writer] == 0) {
      close(start[1]);
      WriteAlongside(path, writer, start[0]);
    }
  }
  close(start[0]);
  close(start[1]);
  for (const pid_t pid : writers) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }

  EXPECT_EQ(IntegrityOf(path), "ok");
  std::string failure;
  auto registry = SqliteRegistry::Open(path, &failure);
  ASSERT_NE(registry, nullptr) << failure;
  EXPECT_THAT(Subkeys(*registry, kRoot), ElementsAre("Enum", "System", "Hardware", "Software", "Shared"));
  EXPECT_THAT(Subkeys(*registry, Create(*registry, "Enum\\OLMXV1X")), ::testing::UnorderedElementsAre("W0", "W1"));
  EXPECT_THAT(Subkeys(*registry, Create(*registry, "Shared")), ElementsAre());
  for (int writer = 0; writer < 2; ++writer) {
    const RegKey key = Create(*registry, "Enum\\OLMXV1X\\W" + std::to_string(writer));
    for (std::uint32_t i = 0; i < kStepsPerWriter; ++i) {
      std::uint32_t value = 0;
      ASSERT_EQ(ReadDword(*registry, key, "V" + std::to_string(i), &value), 0);
      ASSERT_EQ(value, i);
    }
  }
  std::uint32_t last = 0;
  ASSERT_EQ(ReadDword(*registry, Create(*registry, "Hardware\\DeviceMap\\SerialComm"), "Last", &last), 0);
  EXPECT_EQ(last % 100000, kStepsPerWriter - 1);
}

}  // namespace
