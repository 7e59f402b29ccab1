#include "platform/registry_sqlite.h"

#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "registry_test_helpers.h"
#include "support/temp_dir.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using platform::RegKey;
using platform::SqliteRegistry;
using regtest::Create;
using regtest::ReadDword;
using regtest::SetDword;
using regtest::Subkeys;

constexpr RegKey kRoot = platform::kHKeyLocalMachine;

std::unique_ptr<SqliteRegistry> OpenOrReport(const std::string& path) {
  std::string failure;
  auto registry = SqliteRegistry::Open(path, &failure);
  EXPECT_NE(registry, nullptr) << failure;
  return registry;
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); }

class SqliteRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(registry_, nullptr); }

  RegKey OpenRead(RegKey parent, const char* path) {
    RegKey key = platform::kInvalidKey;
    EXPECT_EQ(registry_->OpenKey(parent, path, platform::kKeyRead, &key), platform::kErrorSuccess) << path;
    return key;
  }

  // The stored type and bytes of a value; nullopt when it cannot be read.
  std::optional<std::pair<std::uint32_t, std::vector<std::uint8_t>>> Value(RegKey key, const char* name) {
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (registry_->QueryValue(key, name, &type, nullptr, &size) != platform::kErrorSuccess) return std::nullopt;
    std::vector<std::uint8_t> data(size + 1, 0xEE);  // one spare byte shows overruns
    if (registry_->QueryValue(key, name, &type, data.data(), &size) != platform::kErrorSuccess) return std::nullopt;
    EXPECT_EQ(data.back(), 0xEE);
    data.resize(size);
    return std::make_pair(type, data);
  }

  testsupport::TempDir dir_;
  std::string path_ = dir_.File("registry.db");
  std::unique_ptr<SqliteRegistry> registry_ = OpenOrReport(path_);
};

TEST_F(SqliteRegistryTest, NewFileHoldsWhatTheDriverInstallationLeaves) {
  EXPECT_THAT(Subkeys(*registry_, kRoot), ElementsAre("Enum", "System", "Hardware", "Software"));
  EXPECT_THAT(Subkeys(*registry_, OpenRead(kRoot, "Enum")), ElementsAre("OLMXV1X", "Root"));
  EXPECT_THAT(Subkeys(*registry_, OpenRead(kRoot, "Enum\\OLMXV1X")), ElementsAre());
  EXPECT_THAT(Subkeys(*registry_, OpenRead(kRoot, "Enum\\Root")), ElementsAre("Ports"));
  EXPECT_THAT(Subkeys(*registry_, OpenRead(kRoot, "System\\CurrentControlSet\\Services\\Class")), ElementsAre("Ports"));
  EXPECT_THAT(Subkeys(*registry_, OpenRead(kRoot, "Hardware\\DeviceMap")), ElementsAre("SerialComm"));

  const auto installed = Value(OpenRead(kRoot, "Software\\Microsoft\\Windows\\CurrentVersion"), "FirstInstallDateTime");
  ASSERT_TRUE(installed.has_value());
  EXPECT_EQ(installed->first, platform::kRegBinary);
  ASSERT_EQ(installed->second.size(), 4u);
  // An MS-DOS date and time of now: date in the high half.
  const auto& b = installed->second;
  const std::uint32_t stamp = b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  EXPECT_NEAR(static_cast<int>(stamp >> 25) + 1980, local.tm_year + 1900, 1);
  EXPECT_GE(stamp >> 21 & 0xF, 1u);
  EXPECT_LE(stamp >> 21 & 0xF, 12u);
  EXPECT_GE(stamp >> 16 & 0x1F, 1u);
}

TEST_F(SqliteRegistryTest, CreateKeyMakesEveryMissingLevelAndSaysWhetherItDid) {
  RegKey key = platform::kInvalidKey;
  std::uint32_t disposition = 0;
  ASSERT_EQ(registry_->CreateKey(kRoot, "A\\B\\C", platform::kKeyWrite, &key, &disposition), 0);
  EXPECT_EQ(disposition, platform::kRegCreatedNewKey);
  EXPECT_EQ(registry_->CreateKey(kRoot, "A\\B\\C", platform::kKeyWrite, &key, &disposition), 0);
  EXPECT_EQ(disposition, platform::kRegOpenedExistingKey);
  EXPECT_EQ(registry_->CreateKey(kRoot, "A\\B", platform::kKeyWrite, &key, &disposition), 0);
  EXPECT_EQ(disposition, platform::kRegOpenedExistingKey);

  const RegKey a = OpenRead(kRoot, "A");
  ASSERT_EQ(registry_->CreateKey(a, "B\\D", platform::kKeyWrite, &key, nullptr), 0);
  EXPECT_THAT(Subkeys(*registry_, OpenRead(kRoot, "A\\B")), ElementsAre("C", "D"));

  // An empty subkey gives a second handle to the same key.
  RegKey again = platform::kInvalidKey;
  ASSERT_EQ(registry_->CreateKey(a, "", platform::kKeyWrite, &again, &disposition), 0);
  EXPECT_EQ(disposition, platform::kRegOpenedExistingKey);
  EXPECT_NE(again, a);
  RegKey reopened = platform::kInvalidKey;
  ASSERT_EQ(registry_->OpenKey(a, nullptr, platform::kKeyRead, &reopened), 0);
  EXPECT_NE(reopened, a);
  EXPECT_EQ(registry_->CloseKey(a), 0);
  EXPECT_THAT(Subkeys(*registry_, again), ElementsAre("B"));
  EXPECT_THAT(Subkeys(*registry_, reopened), ElementsAre("B"));
}

TEST_F(SqliteRegistryTest, NamesIgnoreCaseAndKeepTheSpellingOfCreation) {
  ASSERT_NE(Create(*registry_, "Enum\\OLMXV1X\\OlMx5"), platform::kInvalidKey);
  const RegKey port = OpenRead(kRoot, "enum\\olmxv1x\\OLMX5");
  RegKey key = platform::kInvalidKey;
  std::uint32_t disposition = 0;
  ASSERT_EQ(registry_->CreateKey(kRoot, "ENUM\\OLMXV1X\\olmx5", platform::kKeyWrite, &key, &disposition), 0);
  EXPECT_EQ(disposition, platform::kRegOpenedExistingKey);
  EXPECT_THAT(Subkeys(*registry_, OpenRead(kRoot, "Enum\\OLMXV1X")), ElementsAre("OlMx5"));

  ASSERT_EQ(SetDword(*registry_, port, "AutoReconn", 1), 0);
  ASSERT_EQ(SetDword(*registry_, key, "AUTORECONN", 2), 0);
  std::uint32_t value = 0;
  EXPECT_EQ(ReadDword(*registry_, port, "autoreconn", &value), 0);
  EXPECT_EQ(value, 2u);
  EXPECT_EQ(registry_->DeleteValue(port, "AutoReconn"), 0);
  EXPECT_EQ(registry_->QueryValue(key, "AUTORECONN", nullptr, nullptr, nullptr), platform::kErrorFileNotFound);
}

TEST_F(SqliteRegistryTest, ValuesKeepTheirExactBytesAndType) {
  const RegKey key = Create(*registry_, "Values");
  const std::vector<std::uint8_t> text = {'C', 'O', 'M', '5', 0};
  std::vector<std::uint8_t> binary(32);
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<std::uint8_t>(i * 37);  // holds zeros
  ASSERT_EQ(registry_->SetValue(key, "Description", platform::kRegSz, text.data(), 5), 0);
  ASSERT_EQ(registry_->SetValue(key, "SecSig", platform::kRegBinary, binary.data(), 32), 0);
  ASSERT_EQ(SetDword(*registry_, key, "Port", 0x04030201), 0);
  ASSERT_EQ(registry_->SetValue(key, "Odd", 0x12345678, text.data(), 2), 0);
  ASSERT_EQ(registry_->SetValue(key, "Empty", platform::kRegNone, nullptr, 0), 0);

  EXPECT_EQ(Value(key, "Description"), std::make_pair(platform::kRegSz, text));
  EXPECT_EQ(Value(key, "SecSig"), std::make_pair(platform::kRegBinary, binary));
  EXPECT_EQ(Value(key, "Port"), std::make_pair(platform::kRegDword, std::vector<std::uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(Value(key, "Odd"), std::make_pair(0x12345678u, Bytes("CO")));
  EXPECT_EQ(Value(key, "Empty"), std::make_pair(platform::kRegNone, std::vector<std::uint8_t>{}));

  // A size query without a buffer, and reads without a type.
  std::uint32_t size = 0;
  EXPECT_EQ(registry_->QueryValue(key, "SecSig", nullptr, nullptr, &size), 0);
  EXPECT_EQ(size, 32u);
  EXPECT_EQ(registry_->QueryValue(key, "SecSig", nullptr, nullptr, nullptr), 0);

  // Rewriting replaces type and size; the null name and the empty name are the same value.
  ASSERT_EQ(registry_->SetValue(key, "Port", platform::kRegBinary, binary.data(), 3), 0);
  EXPECT_EQ(Value(key, "Port"), std::make_pair(platform::kRegBinary, std::vector<std::uint8_t>(binary.begin(), binary.begin() + 3)));
  ASSERT_EQ(registry_->SetValue(key, nullptr, platform::kRegSz, text.data(), 5), 0);
  EXPECT_EQ(Value(key, ""), std::make_pair(platform::kRegSz, text));
  EXPECT_EQ(registry_->DeleteValue(key, ""), 0);
  EXPECT_EQ(registry_->QueryValue(key, nullptr, nullptr, nullptr, nullptr), platform::kErrorFileNotFound);
}

TEST_F(SqliteRegistryTest, ShortBuffersReportMoreDataAndTheSizeNeeded) {
  const RegKey key = Create(*registry_, "Enum\\OLMXV1X\\Name");
  const std::vector<std::uint8_t> eight = Bytes("12345678");
  ASSERT_EQ(registry_->SetValue(key, "V", platform::kRegBinary, eight.data(), 8), 0);
  std::uint8_t buffer[8] = {};
  std::uint32_t type = 0;
  std::uint32_t size = 7;
  EXPECT_EQ(registry_->QueryValue(key, "V", &type, buffer, &size), platform::kErrorMoreData);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(registry_->QueryValue(key, "V", &type, buffer, &size), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + 8), eight);

  // "Name" and its NUL need five bytes.
  const RegKey list = OpenRead(kRoot, "Enum\\OLMXV1X");
  char name[8] = {};
  EXPECT_EQ(registry_->EnumKey(list, 0, name, 4), platform::kErrorMoreData);
  EXPECT_EQ(registry_->EnumKey(list, 0, name, 5), 0);
  EXPECT_STREQ(name, "Name");

  // The longest name a key may have still fits the 256 bytes the store gives.
  const std::string longest(255, 'x');
  ASSERT_NE(Create(*registry_, "Enum\\OLMXV1X\\" + longest), platform::kInvalidKey);
  char big[256];
  EXPECT_EQ(registry_->EnumKey(list, 1, big, sizeof(big)), 0);
  EXPECT_EQ(big, longest);
}

TEST_F(SqliteRegistryTest, EnumerationFollowsCreationOrderUntilNoMoreItems) {
  const RegKey key = Create(*registry_, "Order");
  for (const char* name : {"b", "a", "OLMX10", "OLMX9"}) ASSERT_NE(Create(*registry_, std::string("Order\\") + name), 0u);
  EXPECT_THAT(Subkeys(*registry_, key), ElementsAre("b", "a", "OLMX10", "OLMX9"));
  char name[256];
  EXPECT_EQ(registry_->EnumKey(key, 4, name, sizeof(name)), platform::kErrorNoMoreItems);
  EXPECT_EQ(registry_->EnumKey(key, 0xFFFFFFFFu, name, sizeof(name)), platform::kErrorNoMoreItems);
  EXPECT_EQ(registry_->EnumKey(Create(*registry_, "Order\\b"), 0, name, sizeof(name)), platform::kErrorNoMoreItems);
}

TEST_F(SqliteRegistryTest, DeletingTheSubkeyAtAnIndexMovesTheNextOneThere) {
  const RegKey key = Create(*registry_, "Enum\\OLMXV1X");
  for (const char* name : {"OLMX1", "XYZ", "Junk", "OLMX4", "Bad", "OLMX6"}) {
    ASSERT_NE(Create(*registry_, std::string("Enum\\OLMXV1X\\") + name), 0u);
  }
  char name[256];
  ASSERT_EQ(registry_->DeleteKey(key, "XYZ"), 0);
  ASSERT_EQ(registry_->EnumKey(key, 1, name, sizeof(name)), 0);
  EXPECT_STREQ(name, "Junk");

  // The loading loop: delete what does not belong and look at the same index again.
  std::vector<std::string> kept;
  for (std::uint32_t index = 0; registry_->EnumKey(key, index, name, sizeof(name)) == 0;) {
    if (std::string(name).find("OLMX") == std::string::npos) {
      ASSERT_EQ(registry_->DeleteKey(key, name), 0);
    } else {
      kept.emplace_back(name);
      ++index;
    }
  }
  EXPECT_THAT(kept, ElementsAre("OLMX1", "OLMX4", "OLMX6"));
  EXPECT_THAT(Subkeys(*registry_, key), ElementsAre("OLMX1", "OLMX4", "OLMX6"));
}

TEST_F(SqliteRegistryTest, DeleteKeyTakesTheWholeSubtreeAndNothingElse) {
  ASSERT_NE(Create(*registry_, "Enum\\OLMXV1X\\OLMX5\\Deep\\Deeper"), 0u);
  for (const char* path : {"Enum\\OLMXV1X\\OLMX5", "Enum\\OLMXV1X\\OLMX5\\Deep\\Deeper", "Enum\\OLMXV1X\\OLMX50"}) {
    ASSERT_EQ(SetDword(*registry_, Create(*registry_, path), "Port", 1), 0);
  }
  const RegKey list = OpenRead(kRoot, "Enum\\OLMXV1X");
  ASSERT_EQ(registry_->DeleteKey(list, "olmx5"), 0);
  RegKey key = platform::kInvalidKey;
  EXPECT_EQ(registry_->OpenKey(kRoot, "Enum\\OLMXV1X\\OLMX5", platform::kKeyRead, &key), platform::kErrorFileNotFound);
  EXPECT_THAT(Subkeys(*registry_, list), ElementsAre("OLMX50"));
  std::uint32_t value = 0;
  EXPECT_EQ(ReadDword(*registry_, OpenRead(list, "OLMX50"), "Port", &value), 0);

  // Made again, it is empty: nothing of the old subtree comes back.
  std::uint32_t disposition = 0;
  ASSERT_EQ(registry_->CreateKey(list, "OLMX5", platform::kKeyWrite, &key, &disposition), 0);
  EXPECT_EQ(disposition, platform::kRegCreatedNewKey);
  EXPECT_THAT(Subkeys(*registry_, key), ElementsAre());
  EXPECT_EQ(registry_->QueryValue(key, "Port", nullptr, nullptr, nullptr), platform::kErrorFileNotFound);

  // A path of several levels names the key to delete.
  ASSERT_EQ(registry_->DeleteKey(kRoot, "Enum\\OLMXV1X\\OLMX50"), 0);
  EXPECT_THAT(Subkeys(*registry_, list), ElementsAre("OLMX5"));
}

TEST_F(SqliteRegistryTest, HandlesOfDeletedKeysReportKeyDeleted) {
  const RegKey key = Create(*registry_, "X\\Y");
  const RegKey below = Create(*registry_, "X\\Y\\Z");
  ASSERT_EQ(SetDword(*registry_, key, "V", 1), 0);
  ASSERT_EQ(registry_->DeleteKey(kRoot, "X"), 0);
  ASSERT_NE(Create(*registry_, "X\\Y\\Z"), 0u);  // a new key of the same path is another key

  for (const RegKey gone : {key, below}) {
    RegKey result = platform::kInvalidKey;
    char name[256];
    std::uint32_t value = 0;
    EXPECT_EQ(registry_->OpenKey(gone, nullptr, platform::kKeyRead, &result), platform::kErrorKeyDeleted);
    EXPECT_EQ(registry_->OpenKey(gone, "Z", platform::kKeyRead, &result), platform::kErrorKeyDeleted);
    EXPECT_EQ(registry_->CreateKey(gone, "W", platform::kKeyWrite, &result, nullptr), platform::kErrorKeyDeleted);
    EXPECT_EQ(registry_->EnumKey(gone, 0, name, sizeof(name)), platform::kErrorKeyDeleted);
    EXPECT_EQ(ReadDword(*registry_, gone, "V", &value), platform::kErrorKeyDeleted);
    EXPECT_EQ(SetDword(*registry_, gone, "V", 2), platform::kErrorKeyDeleted);
    EXPECT_EQ(registry_->DeleteValue(gone, "V"), platform::kErrorKeyDeleted);
    EXPECT_EQ(registry_->DeleteKey(gone, "Z"), platform::kErrorKeyDeleted);
    EXPECT_EQ(registry_->CloseKey(gone), 0);
  }
  EXPECT_THAT(Subkeys(*registry_, OpenRead(kRoot, "X\\Y")), ElementsAre("Z"));
}

TEST_F(SqliteRegistryTest, UnknownAndClosedHandlesAreInvalid) {
  const RegKey closed = Create(*registry_, "Enum");
  ASSERT_EQ(registry_->CloseKey(closed), 0);
  for (const RegKey bad : {closed, RegKey{12345}, platform::kInvalidKey}) {
    RegKey result = platform::kInvalidKey;
    char name[256];
    std::uint32_t value = 0;
    EXPECT_EQ(registry_->OpenKey(bad, "OLMXV1X", platform::kKeyRead, &result), platform::kErrorInvalidHandle);
    EXPECT_EQ(registry_->CreateKey(bad, "W", platform::kKeyWrite, &result, nullptr), platform::kErrorInvalidHandle);
    EXPECT_EQ(registry_->EnumKey(bad, 0, name, sizeof(name)), platform::kErrorInvalidHandle);
    EXPECT_EQ(ReadDword(*registry_, bad, "V", &value), platform::kErrorInvalidHandle);
    EXPECT_EQ(SetDword(*registry_, bad, "V", 2), platform::kErrorInvalidHandle);
    EXPECT_EQ(registry_->DeleteValue(bad, "V"), platform::kErrorInvalidHandle);
    EXPECT_EQ(registry_->DeleteKey(bad, "OLMXV1X"), platform::kErrorInvalidHandle);
    EXPECT_EQ(registry_->CloseKey(bad), platform::kErrorInvalidHandle);
  }
  // The root cannot be closed away.
  EXPECT_EQ(registry_->CloseKey(kRoot), 0);
  EXPECT_EQ(Subkeys(*registry_, kRoot).size(), 4u);
}

TEST_F(SqliteRegistryTest, MissingKeysAndValuesAreNotFound) {
  RegKey key = platform::kInvalidKey;
  EXPECT_EQ(registry_->OpenKey(kRoot, "Enum\\OLMXV1X\\OLMX5", platform::kKeyRead, &key), platform::kErrorFileNotFound);
  EXPECT_EQ(registry_->OpenKey(kRoot, "Nowhere\\OLMXV1X", platform::kKeyRead, &key), platform::kErrorFileNotFound);
  EXPECT_EQ(key, platform::kInvalidKey);
  EXPECT_EQ(registry_->DeleteKey(kRoot, "Enum\\OLMXV1X\\OLMX5"), platform::kErrorFileNotFound);
  const RegKey list = OpenRead(kRoot, "Enum\\OLMXV1X");
  std::uint32_t value = 0;
  EXPECT_EQ(ReadDword(*registry_, list, "EnumID", &value), platform::kErrorFileNotFound);
  EXPECT_EQ(registry_->DeleteValue(list, "EnumID"), platform::kErrorFileNotFound);
  ASSERT_EQ(SetDword(*registry_, list, "EnumID", 1), 0);
  EXPECT_EQ(registry_->DeleteValue(list, "EnumID"), 0);
  EXPECT_EQ(registry_->DeleteValue(list, "EnumID"), platform::kErrorFileNotFound);
}

TEST_F(SqliteRegistryTest, BadArgumentsAreInvalidParametersAndChangeNothing) {
  RegKey key = platform::kInvalidKey;
  std::uint8_t data[4] = {};
  EXPECT_EQ(registry_->OpenKey(kRoot, "Enum", platform::kKeyRead, nullptr), platform::kErrorInvalidParameter);
  EXPECT_EQ(registry_->CreateKey(kRoot, "New", platform::kKeyWrite, nullptr, nullptr), platform::kErrorInvalidParameter);
  EXPECT_EQ(registry_->CreateKey(kRoot, nullptr, platform::kKeyWrite, &key, nullptr), platform::kErrorInvalidParameter);
  for (const std::string& bad : {std::string("\\New"), std::string("New\\"), std::string("New\\\\Key"), std::string(256, 'n')}) {
    EXPECT_EQ(registry_->CreateKey(kRoot, bad.c_str(), platform::kKeyWrite, &key, nullptr), platform::kErrorInvalidParameter) << bad;
    EXPECT_EQ(registry_->OpenKey(kRoot, bad.c_str(), platform::kKeyRead, &key), platform::kErrorInvalidParameter) << bad;
    EXPECT_EQ(registry_->DeleteKey(kRoot, bad.c_str()), platform::kErrorInvalidParameter) << bad;
  }
  EXPECT_EQ(registry_->DeleteKey(kRoot, nullptr), platform::kErrorInvalidParameter);
  EXPECT_EQ(registry_->DeleteKey(kRoot, ""), platform::kErrorInvalidParameter);
  EXPECT_EQ(registry_->EnumKey(kRoot, 0, nullptr, 256), platform::kErrorInvalidParameter);
  EXPECT_EQ(registry_->QueryValue(kRoot, "V", nullptr, data, nullptr), platform::kErrorInvalidParameter);
  EXPECT_EQ(registry_->SetValue(kRoot, "V", platform::kRegDword, nullptr, 4), platform::kErrorInvalidParameter);
  EXPECT_EQ(registry_->QueryValue(kRoot, "V", nullptr, nullptr, nullptr), platform::kErrorFileNotFound);
  EXPECT_THAT(Subkeys(*registry_, kRoot), ElementsAre("Enum", "System", "Hardware", "Software"));
}

TEST_F(SqliteRegistryTest, EverythingSurvivesReopening) {
  const RegKey port = Create(*registry_, "Enum\\OLMXV1X\\OLMX7");
  ASSERT_EQ(SetDword(*registry_, port, "IP Address", 0x0100000A), 0);
  ASSERT_EQ(SetDword(*registry_, port, "Gone", 1), 0);
  ASSERT_EQ(registry_->DeleteValue(port, "Gone"), 0);
  for (const char* name : {"0002", "0001", "0003"}) ASSERT_NE(Create(*registry_, std::string("Enum\\Root\\Ports\\") + name), 0u);
  ASSERT_EQ(registry_->DeleteKey(kRoot, "Enum\\Root\\Ports\\0001"), 0);
  const auto installed = Value(OpenRead(kRoot, "Software\\Microsoft\\Windows\\CurrentVersion"), "FirstInstallDateTime");

  registry_.reset();
  registry_ = OpenOrReport(path_);
  ASSERT_NE(registry_, nullptr);
  std::uint32_t value = 0;
  EXPECT_EQ(ReadDword(*registry_, port, "IP Address", &value), platform::kErrorInvalidHandle);  // handles are per run
  const RegKey again = OpenRead(kRoot, "Enum\\OLMXV1X\\OLMX7");
  EXPECT_EQ(ReadDword(*registry_, again, "IP Address", &value), 0);
  EXPECT_EQ(value, 0x0100000Au);
  EXPECT_EQ(ReadDword(*registry_, again, "Gone", &value), platform::kErrorFileNotFound);
  EXPECT_THAT(Subkeys(*registry_, OpenRead(kRoot, "Enum\\Root\\Ports")), ElementsAre("0002", "0003"));
  // An existing file is not set up again.
  EXPECT_THAT(Subkeys(*registry_, kRoot), ElementsAre("Enum", "System", "Hardware", "Software"));
  EXPECT_EQ(Value(OpenRead(kRoot, "Software\\Microsoft\\Windows\\CurrentVersion"), "FirstInstallDateTime"), installed);
}

// What a refused file must keep: its bytes and its modification time.
struct FileState {
  std::string bytes;
  std::int64_t modified = 0;
  bool operator==(const FileState& other) const { return bytes == other.bytes && modified == other.modified; }
};

FileState StateOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  FileState state{std::string(std::istreambuf_iterator<char>(in), {}), 0};
  struct stat status {};
  stat(path.c_str(), &status);
  state.modified = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  return state;
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

void RunSql(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

struct ForeignFile {
  const char* what;
  std::function<void(const std::string& path)> make;
  const char* reason;
};

TEST(RegistryFileTest, RefusesEveryOtherFileAndLeavesItUntouched) {
  const ForeignFile files[] = {
      {"text", [](const std::string& p) { WriteFile(p, "[VEQ COMPORT MAPPING]\r\nVersion=1.20\r\n"); }, "not a registry file"},
      {"empty", [](const std::string& p) { WriteFile(p, ""); }, "empty"},
      {"binary", [](const std::string& p) { WriteFile(p, std::string(4096, '\0') + "SQLite format 3"); }, "not a registry file"},
      {"short header", [](const std::string& p) { WriteFile(p, std::string("SQLite format 3\0", 16)); }, "not a registry file"},
      {"other database", [](const std::string& p) { RunSql(p, "CREATE TABLE keys(x); CREATE TABLE vals(y);"); },
       "another program"},
      {"other wal database", [](const std::string& p) { RunSql(p, "PRAGMA journal_mode=WAL; CREATE TABLE t(x);"); },
       "another program"},
      {"registry of another layout",
       [](const std::string& p) {
         SqliteRegistry::Open(p, nullptr);
         RunSql(p, "PRAGMA user_version = 2;");
       },
       "unknown layout"},
  };
  for (const ForeignFile& file : files) {
    SCOPED_TRACE(file.what);
    testsupport::TempDir dir;
    const std::string path = dir.File("registry.db");
    file.make(path);
    const FileState before = StateOf(path);
    const std::vector<std::string> listing = Listing(dir.path());

    std::string failure;
    EXPECT_EQ(SqliteRegistry::Open(path, &failure), nullptr);
    EXPECT_THAT(failure, HasSubstr("\"" + path + "\""));
    EXPECT_THAT(failure, HasSubstr(file.reason));
    EXPECT_EQ(StateOf(path), before);
    EXPECT_EQ(Listing(dir.path()), listing);
  }
}

TEST(RegistryFileTest, RefusesPlacesWhereNoRegistryFileCanBe) {
  testsupport::TempDir dir;
  WriteFile(dir.File("plain"), "x");
  const struct {
    std::string path;
    const char* reason;
  } places[] = {
      {dir.path(), "directory"},
      {dir.File("missing/registry.db"), "No such file or directory"},
      {dir.File("plain/registry.db"), "Not a directory"},
  };
  for (const auto& place : places) {
    std::string failure;
    EXPECT_EQ(SqliteRegistry::Open(place.path, &failure), nullptr) << place.path;
    EXPECT_THAT(failure, HasSubstr("\"" + place.path + "\""));
    EXPECT_THAT(failure, HasSubstr(place.reason));
  }
  EXPECT_THAT(Listing(dir.path()), ElementsAre("plain"));
}

// Runs check in a child process that cannot override file permissions as root can, and
// returns the failures it reports; empty when all went as expected.
std::string RunUnprivileged(const std::function<std::string()>& check) {
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string report;
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      report = "cannot give up root";
    } else {
      report = check();
    }
    if (write(fds[1], report.data(), report.size()) < 0) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  std::string report;
  char buffer[256];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof(buffer))) > 0;) report.append(buffer, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) report += " (the child ended abnormally)";
  return report;
}

TEST(RegistryFileTest, RegistryThatCanOnlyBeReadOpensReadOnly) {
  testsupport::TempDir dir;
  const std::string path = dir.File("registry.db");
  {
    auto registry = OpenOrReport(path);
    ASSERT_NE(registry, nullptr);
    ASSERT_EQ(SetDword(*registry, Create(*registry, "Enum\\OLMXV1X\\OLMX3"), "Port", 3), 0);
  }
  chmod(dir.path().c_str(), 0777);  // the reader makes the log's index beside the file
  chmod(path.c_str(), 0444);
  const std::string before = StateOf(path).bytes;

  const std::string failures = RunUnprivileged([&] {
    std::string report;
    const auto expect = [&](bool held, const char* what) {
      if (!held) report += std::string(what) + "; ";
    };
    std::string failure;
    auto registry = SqliteRegistry::Open(path, &failure);
    if (registry == nullptr) return "cannot open: " + failure;
    expect(registry->readOnly(), "not read-only");
    RegKey key = platform::kInvalidKey;
    std::uint32_t value = 0;
    expect(registry->OpenKey(kRoot, "Enum\\OLMXV1X\\OLMX3", platform::kKeyRead, &key) == 0, "open for reading");
    expect(ReadDword(*registry, key, "Port", &value) == 0 && value == 3, "read");
    RegKey other = platform::kInvalidKey;
    const std::uint32_t writeAccess = platform::kKeyRead | platform::kKeyWrite;
    expect(registry->OpenKey(kRoot, "Enum", writeAccess, &other) == platform::kErrorAccessDenied, "open for writing");
    expect(SetDword(*registry, key, "Port", 4) == platform::kErrorAccessDenied, "SetValue");
    expect(registry->CreateKey(key, "New", platform::kKeyWrite, &other, nullptr) == platform::kErrorAccessDenied,
           "CreateKey");
    expect(registry->DeleteValue(key, "Port") == platform::kErrorAccessDenied, "DeleteValue");
    expect(registry->DeleteKey(kRoot, "Enum\\OLMXV1X\\OLMX3") == platform::kErrorAccessDenied, "DeleteKey");
    expect(ReadDword(*registry, key, "Port", &value) == 0 && value == 3, "value kept");
    return report;
  });
  EXPECT_EQ(failures, "");
  EXPECT_EQ(StateOf(path).bytes, before);
}

TEST(RegistryFileTest, FolderThatCannotBeWrittenGetsNoRegistry) {
  testsupport::TempDir dir;
  chmod(dir.path().c_str(), 0555);
  const std::string path = dir.File("registry.db");
  const std::string failures = RunUnprivileged([&] {
    std::string failure;
    if (SqliteRegistry::Open(path, &failure) != nullptr) return std::string("opened");
    if (failure.find("Cannot create the registry file \"" + path + "\": Permission denied") == std::string::npos) {
      return "wrong reason: " + failure;
    }
    return std::string();
  });
  chmod(dir.path().c_str(), 0700);
  EXPECT_EQ(failures, "");
  EXPECT_THAT(Listing(dir.path()), ElementsAre());
}

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    if (old != nullptr) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SystemRegistryTest, PathComesFromTheEnvironmentInOrder) {
  ScopedEnv home("HOME", "/home/user");
  {
    ScopedEnv chosen("VEQ_REGISTRY", "/data/reg.db");
    ScopedEnv data("XDG_DATA_HOME", "/xdg");
    EXPECT_EQ(SqliteRegistry::DefaultPath(), "/data/reg.db");
  }
  {
    ScopedEnv chosen("VEQ_REGISTRY", "");
    ScopedEnv data("XDG_DATA_HOME", "/xdg");
    EXPECT_EQ(SqliteRegistry::DefaultPath(), "/xdg/veq-comport/registry.db");
  }
  {
    ScopedEnv chosen("VEQ_REGISTRY", nullptr);
    ScopedEnv data("XDG_DATA_HOME", "relative/ignored");
    EXPECT_EQ(SqliteRegistry::DefaultPath(), "/home/user/.local/share/veq-comport/registry.db");
  }
}

TEST(SystemRegistryTest, MakesTheMissingFoldersOfItsPath) {
  testsupport::TempDir dir;
  const std::string path = dir.File("a/b/registry.db");
  ScopedEnv chosen("VEQ_REGISTRY", path.c_str());
  std::string failure;
  auto registry = platform::OpenSystemRegistry(&failure);
  ASSERT_NE(registry, nullptr) << failure;
  EXPECT_TRUE(std::filesystem::is_regular_file(path));
  EXPECT_THAT(Subkeys(*registry, kRoot), ElementsAre("Enum", "System", "Hardware", "Software"));

  ScopedEnv blocked("VEQ_REGISTRY", dir.File("a/b/registry.db/c/registry.db").c_str());
  EXPECT_EQ(platform::OpenSystemRegistry(&failure), nullptr);
  EXPECT_THAT(failure, HasSubstr("folder"));
}

}  // namespace
