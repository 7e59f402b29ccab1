// The registry on systems without one: HKEY_LOCAL_MACHINE kept in one SQLite file, with
// the calls, result codes and Windows 9x semantics of the Win32 registry.
//
// Every call that changes something is one transaction in a WAL-mode file, so a killed
// process never loses an acknowledged change nor leaves a damaged file, and several
// processes may share one file. Names of keys and values compare case-insensitively
// (ASCII) and keep the case they were created with. Subkeys enumerate in creation order.
// Failures of the file itself (I/O errors, disk full, a lock held too long) give
// kErrorBadDb; changes to a file that can only be read give kErrorAccessDenied.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/registry.h"

struct sqlite3;

namespace platform {

class SqliteRegistry : public Registry {
 public:
  // $VEQ_REGISTRY when set and not empty, else $XDG_DATA_HOME/veq-comport/registry.db,
  // else ~/.local/share/veq-comport/registry.db.
  static std::string DefaultPath();

  // Opens the registry file at path. A path that does not exist is created holding the
  // keys that the driver's installation leaves. A path that holds anything but a
  // registry file is refused and left untouched; a registry file that can only be read
  // opens read-only. Returns null with the reason in *failure.
  static std::unique_ptr<SqliteRegistry> Open(const std::string& path, std::string* failure);

  ~SqliteRegistry() override;
  SqliteRegistry(const SqliteRegistry&) = delete;
  SqliteRegistry& operator=(const SqliteRegistry&) = delete;

  bool readOnly() const { return readOnly_; }

  RegResult OpenKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result) override;
  RegResult CreateKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result,
                      std::uint32_t* disposition) override;
  RegResult EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) override;
  RegResult QueryValue(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                       std::uint32_t* dataSize) override;
  RegResult SetValue(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                     std::uint32_t dataSize) override;
  RegResult DeleteKey(RegKey key, const char* subKey) override;
  RegResult DeleteValue(RegKey key, const char* valueName) override;
  RegResult CloseKey(RegKey key) override;
  // One write transaction from the outermost BeginChanges to its EndChanges; each call
  // inside is a savepoint of it, so a failed call still undoes only itself.
  void BeginChanges() override;
  RegResult EndChanges() override;

 private:
  struct Statements;

  SqliteRegistry(sqlite3* db, bool readOnly);
  static std::unique_ptr<SqliteRegistry> Connect(const std::string& path, std::string* failure);
  // Makes a new registry file at path holding the driver's installed keys.
  static bool CreateRegistryFile(const std::string& path, std::string* reason);

  // The key id behind a handle; kErrorInvalidHandle for a handle never given or closed.
  RegResult Resolve(RegKey handle, std::int64_t* id) const;
  RegKey NewHandle(std::int64_t id);
  // kErrorSuccess when the key still exists, kErrorKeyDeleted when it has gone.
  RegResult CheckAlive(std::int64_t id);
  // Walks a backslash-separated path down from an existing key.
  RegResult Walk(std::int64_t from, const char* path, std::int64_t* id);
  // Runs body inside one write transaction, committed only when body succeeds.
  template <typename Body>
  RegResult Change(Body body);

  sqlite3* db_;
  bool readOnly_;
  std::unique_ptr<Statements> statements_;
  std::map<RegKey, std::int64_t> handles_;
  RegKey nextHandle_ = 1;
  std::mutex mutex_;
  int changeDepth_ = 0;     // open BeginChanges brackets
  bool inBracket_ = false;  // the outermost bracket holds a transaction
};

}  // namespace platform
