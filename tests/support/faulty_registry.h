// A registry that forwards to another one, fails chosen calls on request and records
// every call, so tests can drive each failure path of code using the registry and check
// the order of its calls.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace testsupport {

enum class RegOp { kOpenKey, kCreateKey, kEnumKey, kQueryValue, kSetValue, kDeleteKey, kDeleteValue, kCloseKey };

// One call as made. key is the path of the handle used, from HKEY_LOCAL_MACHINE ("" for
// the root, "?" for a handle this wrapper did not hand out); name is the subkey or value
// name given ("" for EnumKey and CloseKey, and for a null name).
struct RegCall {
  RegOp op;
  std::string key;
  std::string name;
  platform::RegResult result;
};

class FaultyRegistry : public platform::Registry {
 public:
  enum class Times { kOnce, kAlways };

  explicit FaultyRegistry(platform::Registry& inner) : inner_(inner) {}

  // The nth call of op from now on (1 = the next one) fails with result, without reaching
  // the inner registry; kAlways makes every later call of op fail too.
  void FailCall(RegOp op, int nth, platform::RegResult result, Times times = Times::kOnce);
  // Calls of op naming the subkey or value name (compared without case, as the registry
  // does) fail with result.
  void FailName(RegOp op, const std::string& name, platform::RegResult result, Times times = Times::kAlways);
  void ClearFaults() { faults_.clear(); }

  const std::vector<RegCall>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // The names of the recorded calls of op, in order.
  std::vector<std::string> NamesOf(RegOp op) const;
  // Handles handed out by OpenKey or CreateKey and not closed yet, with their paths.
  const std::map<platform::RegKey, std::string>& openKeys() const { return openKeys_; }

  platform::RegResult OpenKey(platform::RegKey parent, const char* subKey, std::uint32_t access,
                              platform::RegKey* result) override;
  platform::RegResult CreateKey(platform::RegKey parent, const char* subKey, std::uint32_t access,
                                platform::RegKey* result, std::uint32_t* disposition) override;
  platform::RegResult EnumKey(platform::RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) override;
  platform::RegResult QueryValue(platform::RegKey key, const char* valueName, std::uint32_t* type,
                                 std::uint8_t* data, std::uint32_t* dataSize) override;
  platform::RegResult SetValue(platform::RegKey key, const char* valueName, std::uint32_t type,
                               const std::uint8_t* data, std::uint32_t dataSize) override;
  platform::RegResult DeleteKey(platform::RegKey key, const char* subKey) override;
  platform::RegResult DeleteValue(platform::RegKey key, const char* valueName) override;
  platform::RegResult CloseKey(platform::RegKey key) override;
  // Brackets reach the registry beneath, so the store's changes are kept together there too.
  void BeginChanges() override { inner_.BeginChanges(); }
  platform::RegResult EndChanges() override { return inner_.EndChanges(); }

 private:
  struct Fault {
    RegOp op;
    std::string name;  // empty: any call of op
    int callsToGo;     // matching calls still to pass before the first failure
    bool always;
    platform::RegResult result;
  };

  // Records the call; sets *result and returns true when a fault claims it.
  bool Injected(RegOp op, platform::RegKey key, const char* name, platform::RegResult* result);
  platform::RegResult Finish(platform::RegResult result);
  std::string PathOf(platform::RegKey key) const;
  void Opened(platform::RegKey parent, const char* subKey, platform::RegKey key);

  platform::Registry& inner_;
  std::vector<Fault> faults_;
  std::vector<RegCall> calls_;
  std::map<platform::RegKey, std::string> openKeys_;
};

}  // namespace testsupport
