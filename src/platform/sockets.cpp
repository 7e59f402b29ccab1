#include "platform/sockets.h"

namespace platform {

bool SendAll(Socket& socket, const void* data, int size) {
  const auto* bytes = static_cast<const char*>(data);
  for (int sent = 0; sent < size;) {
    const int n = socket.Send(bytes + sent, size - sent);
    if (n <= 0) return false;
    sent += n;
  }
  return true;
}

bool ReceiveExactly(Socket& socket, void* buffer, int size) {
  auto* bytes = static_cast<char*>(buffer);
  for (int received = 0; received < size;) {
    const int n = socket.Receive(bytes + received, size - received);
    if (n <= 0) return false;
    received += n;
  }
  return true;
}

}  // namespace platform
