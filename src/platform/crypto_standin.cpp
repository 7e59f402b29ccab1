#include <openssl/evp.h>

#include <cstring>

#include "platform/crypto.h"

namespace platform {
namespace {

// The key derivation: PBKDF2 with HMAC-SHA-256 over the PIN text, this fixed salt and
// this iteration count, 32 bytes out: the first 24 are the key, the last 8 the tail.
const char kSalt[] = "VEQ COMPort PIN to TDES key";
constexpr int kIterations = 10000;

// The maker's library keeps no state this system depends on between its start and stop,
// so starting and stopping it has nothing to do here.
class StandInCryptoLibrary : public CryptoLibrary {
 public:
  void QmkCryptoInitialize() override {}
  void QmkCryptoTerminate() override {}
  void QmkPIN2TDESKey(const char* pin, std::uint8_t* key24, std::uint8_t* tail8) override {
    std::uint8_t block[32] = {};
    PKCS5_PBKDF2_HMAC(pin, static_cast<int>(std::strlen(pin)), reinterpret_cast<const unsigned char*>(kSalt),
                      sizeof kSalt - 1, kIterations, EVP_sha256(), sizeof block, block);
    std::memcpy(key24, block, 24);
    std::memcpy(tail8, block + 24, 8);
  }
};

}  // namespace

std::unique_ptr<CryptoLibrary> CreateCryptoLibrary() { return std::make_unique<StandInCryptoLibrary>(); }

}  // namespace platform
