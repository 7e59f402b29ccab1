// Stand-ins for the system services, the crypto library and the machine's serial ports.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/crypto.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "platform/system.h"
#include "platform/thread.h"

namespace testsupport {

class FakeSystemServices : public platform::SystemServices {
 public:
  bool queryFails = false;
  std::uint32_t platformId = platform::kVerPlatformWin32Windows;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> restarts;  // flags, reserved

  bool QueryVersion(platform::OsVersionInfo* info) override {
    if (queryFails) return false;
    info->majorVersion = 4;
    info->minorVersion = 10;
    info->platformId = platformId;
    return true;
  }
  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reserved) override {
    restarts.emplace_back(flags, reserved);
    return true;
  }
};

// Counts the start and stop; the key derivation is the real stand-in's.
class CountingCrypto : public platform::CryptoLibrary {
 public:
  int initializations = 0;
  int terminations = 0;
  std::vector<std::string> pins;
  void QmkCryptoInitialize() override { ++initializations; }
  void QmkCryptoTerminate() override { ++terminations; }
  void QmkPIN2TDESKey(const char* pin, std::uint8_t* key24, std::uint8_t* tail8) override {
    pins.push_back(pin);
    real_->QmkPIN2TDESKey(pin, key24, tail8);
  }

 private:
  std::unique_ptr<platform::CryptoLibrary> real_ = platform::CreateCryptoLibrary();
};

// An open port that nothing is plugged into.
class IdlePort : public platform::SerialPort {
 public:
  bool GetCommState(platform::Dcb*) override { return true; }
  bool SetCommState(const platform::Dcb&) override { return true; }
  bool GetCommTimeouts(platform::CommTimeouts*) override { return true; }
  bool SetCommTimeouts(const platform::CommTimeouts&) override { return true; }
  bool PurgeComm(std::uint32_t) override { return true; }
  bool EscapeCommFunction(std::uint32_t) override { return true; }
  bool GetCommModemStatus(std::uint32_t* status) override {
    *status = 0;
    return true;
  }
  bool ReadFile(void*, std::uint32_t, std::uint32_t* transferred) override {
    *transferred = 0;
    return true;
  }
  bool WriteFile(const void*, std::uint32_t size, std::uint32_t* transferred) override {
    *transferred = size;
    return true;
  }
  bool DeviceIoControl(std::uint32_t, const void*, std::uint32_t) override { return false; }
  std::uint32_t LastError() const override { return platform::kSerialErrorInvalidFunction; }
};

// Ports that exist by COM number; every other path is missing (error 2). Records every
// path opened; safe to use from a worker thread.
class FakeSerialPorts : public platform::SerialPorts {
 public:
  explicit FakeSerialPorts(std::set<int> present = {}) : present_(std::move(present)) {}

  std::unique_ptr<platform::SerialPort> Open(const std::string& devicePath, std::uint32_t* lastError) override;
  std::vector<std::string> Opened() {
    platform::Locked lock(lock_);
    return opened_;
  }

 private:
  std::set<int> present_;
  platform::Lock lock_;
  std::vector<std::string> opened_;
};

// A registry that holds nothing and takes nothing: every call fails with 2.
class EmptyRegistry : public platform::Registry {
 public:
  platform::RegResult OpenKey(platform::RegKey, const char*, std::uint32_t, platform::RegKey*) override {
    return platform::kErrorFileNotFound;
  }
  platform::RegResult CreateKey(platform::RegKey, const char*, std::uint32_t, platform::RegKey*,
                                std::uint32_t*) override {
    return platform::kErrorFileNotFound;
  }
  platform::RegResult EnumKey(platform::RegKey, std::uint32_t, char*, std::uint32_t) override {
    return platform::kErrorFileNotFound;
  }
  platform::RegResult QueryValue(platform::RegKey, const char*, std::uint32_t*, std::uint8_t*,
                                 std::uint32_t*) override {
    return platform::kErrorFileNotFound;
  }
  platform::RegResult SetValue(platform::RegKey, const char*, std::uint32_t, const std::uint8_t*,
                               std::uint32_t) override {
    return platform::kErrorFileNotFound;
  }
  platform::RegResult DeleteKey(platform::RegKey, const char*) override { return platform::kErrorFileNotFound; }
  platform::RegResult DeleteValue(platform::RegKey, const char*) override { return platform::kErrorFileNotFound; }
  platform::RegResult CloseKey(platform::RegKey) override { return platform::kErrorFileNotFound; }
};

}  // namespace testsupport
