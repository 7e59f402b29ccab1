#include "telnet_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "bridge/device_option.h"

namespace devsimtest {
namespace {

namespace wire = veq::deviceoption;

const telnet_telopt_t kOptions[] = {
    {wire::kOptionBinary, TELNET_WILL, TELNET_DO},   {wire::kOptionSga, TELNET_WILL, TELNET_DO},
    {wire::kOptionComPort, TELNET_WILL, TELNET_DONT}, {wire::kControlOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

}  // namespace

TelnetClient::TelnetClient(int port) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd_);
    fd_ = -1;
    return;
  }
  const int yes = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  telnet_ = telnet_init(kOptions, &TelnetClient::OnEvent, 0, this);
  for (std::uint8_t option : {wire::kOptionBinary, wire::kOptionSga}) {
    telnet_negotiate(telnet_, TELNET_WILL, option);
    telnet_negotiate(telnet_, TELNET_DO, option);
  }
  telnet_negotiate(telnet_, TELNET_WILL, wire::kOptionComPort);
  telnet_negotiate(telnet_, TELNET_WILL, wire::kControlOption);
}

TelnetClient::~TelnetClient() {
  if (telnet_) telnet_free(telnet_);
  if (fd_ >= 0) close(fd_);
}

void TelnetClient::OnEvent(telnet_t*, telnet_event_t* event, void* self) {
  TelnetClient& client = *static_cast<TelnetClient*>(self);
  Received r{Received::kData, 0, {}};
  switch (event->type) {
    case TELNET_EV_SEND:
      (void)!send(client.fd_, event->data.buffer, event->data.size, MSG_NOSIGNAL);
      return;
    case TELNET_EV_DATA:
      r.bytes.assign(event->data.buffer, event->data.buffer + event->data.size);
      break;
    case TELNET_EV_SUBNEGOTIATION:
      r.kind = Received::kSub;
      r.option = event->sub.telopt;
      r.bytes.assign(event->sub.buffer, event->sub.buffer + event->sub.size);
      break;
    case TELNET_EV_DO: r.kind = Received::kDo; r.option = event->neg.telopt; break;
    case TELNET_EV_WARNING:
    case TELNET_EV_ERROR:
      r.kind = Received::kWarning;
      break;
    default:
      return;
  }
  client.received_.push_back(std::move(r));
}

void TelnetClient::Sub(std::uint8_t option, const std::vector<std::uint8_t>& body) {
  telnet_subnegotiation(telnet_, option, reinterpret_cast<const char*>(body.data()), body.size());
}

void TelnetClient::Data(const std::vector<std::uint8_t>& data) {
  telnet_send(telnet_, reinterpret_cast<const char*>(data.data()), data.size());
}

bool TelnetClient::WaitFor(const std::function<bool(const std::vector<Received>&)>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done(received_)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (closed_ || fd_ < 0 || left.count() <= 0) return false;
    pollfd entry{fd_, POLLIN, 0};
    if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[16384];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      closed_ = true;
      continue;
    }
    raw_.insert(raw_.end(), buffer, buffer + n);
    telnet_recv(telnet_, buffer, static_cast<std::size_t>(n));
  }
  return true;
}

std::vector<std::uint8_t> TelnetClient::Answer(std::uint8_t option, std::uint8_t code) {
  std::size_t found = 0;
  const bool came = WaitFor([&](const std::vector<Received>& all) {
    for (found = 0; found < all.size(); ++found) {
      const Received& r = all[found];
      if (r.kind == Received::kSub && r.option == option && !r.bytes.empty() && r.bytes[0] == code) return true;
    }
    return false;
  });
  if (!came) return {};
  // Taken, so that the next call finds the next answer of the same code.
  std::vector<std::uint8_t> body(received_[found].bytes.begin() + 1, received_[found].bytes.end());
  received_.erase(received_.begin() + static_cast<std::ptrdiff_t>(found));
  return body;
}

std::vector<std::uint8_t> TelnetClient::DataBytes(std::size_t count, int timeoutMs) {
  std::vector<std::uint8_t> data;
  WaitFor(
      [&](const std::vector<Received>& all) {
        data.clear();
        for (const Received& r : all)
          if (r.kind == Received::kData) data.insert(data.end(), r.bytes.begin(), r.bytes.end());
        return data.size() >= count;
      },
      timeoutMs);
  return data;
}

}  // namespace devsimtest
