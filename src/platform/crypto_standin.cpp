#include "platform/crypto.h"

namespace platform {
namespace {

// The maker's library keeps no state this system depends on between its start and stop,
// so starting and stopping it has nothing to do here.
class StandInCryptoLibrary : public CryptoLibrary {
 public:
  void QmkCryptoInitialize() override {}
  void QmkCryptoTerminate() override {}
};

}  // namespace

std::unique_ptr<CryptoLibrary> CreateCryptoLibrary() { return std::make_unique<StandInCryptoLibrary>(); }

}  // namespace platform
