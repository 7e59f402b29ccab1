// The maker's crypto library: started when the program has started up, stopped on Exit,
// and asked to turn a PIN text into a TDES key block.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

class CryptoLibrary {
 public:
  virtual ~CryptoLibrary() = default;
  virtual void QmkCryptoInitialize() = 0;
  virtual void QmkCryptoTerminate() = 0;
  // Fills all 24 key bytes and all 8 tail bytes from the NUL-terminated pin alone: the same
  // text always gives the same key block.
  virtual void QmkPIN2TDESKey(const char* pin, std::uint8_t* key24, std::uint8_t* tail8) = 0;
};

std::unique_ptr<CryptoLibrary> CreateCryptoLibrary();

}  // namespace platform
