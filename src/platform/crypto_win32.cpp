// The maker's crypto library, bound when it is first needed.
#include <windows.h>

#include <cstring>

#include "platform/crypto.h"

namespace platform {
namespace {

class Win32CryptoLibrary : public CryptoLibrary {
 public:
  Win32CryptoLibrary() : library_(LoadLibraryA("QMKCRYPTO.DLL")) {}
  ~Win32CryptoLibrary() override {
    if (library_ != nullptr) FreeLibrary(library_);
  }

  void QmkCryptoInitialize() override { Call<void(WINAPI*)()>("QmkCryptoInitialize"); }
  void QmkCryptoTerminate() override { Call<void(WINAPI*)()>("QmkCryptoTerminate"); }
  void QmkPIN2TDESKey(const char* pin, std::uint8_t* key24, std::uint8_t* tail8) override {
    // Without the library the key block stays zero: a defined block, never garbage.
    std::memset(key24, 0, 24);
    std::memset(tail8, 0, 8);
    Call<void(WINAPI*)(const char*, std::uint8_t*, std::uint8_t*)>("QmkPIN2TDESKey", pin, key24, tail8);
  }

 private:
  template <typename Function, typename... Args>
  void Call(const char* name, Args... args) {
    if (library_ == nullptr) return;
    // Through void*: a FARPROC is no function type of its own.
    if (FARPROC address = GetProcAddress(library_, name))
      reinterpret_cast<Function>(reinterpret_cast<void*>(address))(args...);
  }

  HMODULE library_;
};

}  // namespace

std::unique_ptr<CryptoLibrary> CreateCryptoLibrary() { return std::make_unique<Win32CryptoLibrary>(); }

}  // namespace platform
