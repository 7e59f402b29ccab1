#include <windows.h>

#include <cstring>

#include "platform/comm_dcb.h"

namespace platform {

bool BuildDefaultDcb(std::uint8_t (&bytes)[kStoredDcbSize]) {
  DCB dcb;
  std::memset(&dcb, 0, sizeof dcb);
  if (!BuildCommDCBA("baud=9600 parity=N data=8 stop=1", &dcb)) return false;
  dcb.DCBlength = 0;
  dcb.BaudRate = 9600;
  dcb.fBinary = 1;
  dcb.fParity = 0;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = 0;
  dcb.fOutX = 1;
  dcb.fInX = 1;
  dcb.fErrorChar = 0;
  dcb.fNull = 0;
  dcb.fRtsControl = RTS_CONTROL_TOGGLE;
  dcb.fAbortOnError = 0;
  dcb.XonLim = 10;
  dcb.XoffLim = 10;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  dcb.ErrorChar = 0;
  dcb.EofChar = 0;
  dcb.EvtChar = 0;
  static_assert(sizeof(DCB) >= kStoredDcbSize, "the stored block is the head of a DCB");
  std::memcpy(bytes, &dcb, kStoredDcbSize);
  return true;
}

}  // namespace platform
