#include <cstring>

#include "platform/comm_dcb.h"

namespace platform {

// Without the platform's parser the bytes are laid out directly, little-endian: BaudRate
// 9600; flags fBinary, fDtrControl enable, fOutX, fInX, fRtsControl toggle (0x3311);
// XonLim and XoffLim 10; 8 data bits, no parity, one stop bit; XON 0x11, XOFF 0x13.
bool BuildDefaultDcb(std::uint8_t (&bytes)[kStoredDcbSize]) {
  static const std::uint8_t kDefault[kStoredDcbSize] = {0x00, 0x00, 0x00, 0x00, 0x80, 0x25, 0x00, 0x00, 0x11,
                                                        0x33, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x0A, 0x00,
                                                        0x08, 0x00, 0x00, 0x11, 0x13, 0x00, 0x00, 0x00};
  std::memcpy(bytes, kDefault, sizeof bytes);
  return true;
}

}  // namespace platform
