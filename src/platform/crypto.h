// The maker's crypto library: started when the program has started up, stopped on Exit.
#pragma once

#include <memory>

namespace platform {

class CryptoLibrary {
 public:
  virtual ~CryptoLibrary() = default;
  virtual void QmkCryptoInitialize() = 0;
  virtual void QmkCryptoTerminate() = 0;
};

std::unique_ptr<CryptoLibrary> CreateCryptoLibrary();

}  // namespace platform
