#include "support/faulty_registry.h"

#include <strings.h>

namespace testsupport {

using platform::RegKey;
using platform::RegResult;

void FaultyRegistry::FailCall(RegOp op, int nth, RegResult result, Times times) {
  faults_.push_back(Fault{op, std::string(), nth - 1, times == Times::kAlways, result});
}

void FaultyRegistry::FailName(RegOp op, const std::string& name, RegResult result, Times times) {
  faults_.push_back(Fault{op, name, 0, times == Times::kAlways, result});
}

std::vector<std::string> FaultyRegistry::NamesOf(RegOp op) const {
  std::vector<std::string> names;
  for (const RegCall& call : calls_) {
    if (call.op == op) names.push_back(call.name);
  }
  return names;
}

bool FaultyRegistry::Injected(RegOp op, RegKey key, const char* name, RegResult* result) {
  const std::string given = name != nullptr ? name : "";
  calls_.push_back(RegCall{op, PathOf(key), given, platform::kErrorSuccess});
  // Every fault counts every call it matches; the first one due claims the call.
  bool claimed = false;
  for (auto fault = faults_.begin(); fault != faults_.end();) {
    const bool matches = fault->op == op && (fault->name.empty() || strcasecmp(fault->name.c_str(), given.c_str()) == 0);
    if (!matches || claimed) {
      ++fault;
    } else if (fault->callsToGo > 0) {
      --fault->callsToGo;
      ++fault;
    } else {
      claimed = true;
      *result = calls_.back().result = fault->result;
      fault = fault->always ? fault + 1 : faults_.erase(fault);
    }
  }
  return claimed;
}

RegResult FaultyRegistry::Finish(RegResult result) {
  calls_.back().result = result;
  return result;
}

std::string FaultyRegistry::PathOf(RegKey key) const {
  if (key == platform::kHKeyLocalMachine) return std::string();
  const auto found = openKeys_.find(key);
  return found != openKeys_.end() ? found->second : "?";
}

void FaultyRegistry::Opened(RegKey parent, const char* subKey, RegKey key) {
  std::string path = PathOf(parent);
  if (subKey != nullptr && *subKey != '\0') path = path.empty() ? subKey : path + "\\" + subKey;
  openKeys_[key] = path;
}

RegResult FaultyRegistry::OpenKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result) {
  RegResult injected = platform::kErrorSuccess;
  if (Injected(RegOp::kOpenKey, parent, subKey, &injected)) return injected;
  const RegResult outcome = inner_.OpenKey(parent, subKey, access, result);
  if (outcome == platform::kErrorSuccess) Opened(parent, subKey, *result);
  return Finish(outcome);
}

RegResult FaultyRegistry::CreateKey(RegKey parent, const char* subKey, std::uint32_t access, RegKey* result,
                                    std::uint32_t* disposition) {
  RegResult injected = platform::kErrorSuccess;
  if (Injected(RegOp::kCreateKey, parent, subKey, &injected)) return injected;
  const RegResult outcome = inner_.CreateKey(parent, subKey, access, result, disposition);
  if (outcome == platform::kErrorSuccess) Opened(parent, subKey, *result);
  return Finish(outcome);
}

RegResult FaultyRegistry::EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t nameSize) {
  RegResult injected = platform::kErrorSuccess;
  if (Injected(RegOp::kEnumKey, key, nullptr, &injected)) return injected;
  return Finish(inner_.EnumKey(key, index, name, nameSize));
}

RegResult FaultyRegistry::QueryValue(RegKey key, const char* valueName, std::uint32_t* type, std::uint8_t* data,
                                     std::uint32_t* dataSize) {
  RegResult injected = platform::kErrorSuccess;
  if (Injected(RegOp::kQueryValue, key, valueName, &injected)) return injected;
  return Finish(inner_.QueryValue(key, valueName, type, data, dataSize));
}

RegResult FaultyRegistry::SetValue(RegKey key, const char* valueName, std::uint32_t type, const std::uint8_t* data,
                                   std::uint32_t dataSize) {
  RegResult injected = platform::kErrorSuccess;
  if (Injected(RegOp::kSetValue, key, valueName, &injected)) return injected;
  return Finish(inner_.SetValue(key, valueName, type, data, dataSize));
}

RegResult FaultyRegistry::DeleteKey(RegKey key, const char* subKey) {
  RegResult injected = platform::kErrorSuccess;
  if (Injected(RegOp::kDeleteKey, key, subKey, &injected)) return injected;
  return Finish(inner_.DeleteKey(key, subKey));
}

RegResult FaultyRegistry::DeleteValue(RegKey key, const char* valueName) {
  RegResult injected = platform::kErrorSuccess;
  if (Injected(RegOp::kDeleteValue, key, valueName, &injected)) return injected;
  return Finish(inner_.DeleteValue(key, valueName));
}

RegResult FaultyRegistry::CloseKey(RegKey key) {
  RegResult injected = platform::kErrorSuccess;
  if (Injected(RegOp::kCloseKey, key, nullptr, &injected)) return injected;
  const RegResult outcome = inner_.CloseKey(key);
  if (outcome == platform::kErrorSuccess) openKeys_.erase(key);
  return Finish(outcome);
}

}  // namespace testsupport
