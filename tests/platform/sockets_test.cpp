// TCP sockets against a listener of the test's own on 127.0.0.1.
#include "platform/sockets.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "platform/address.h"

using namespace platform;

namespace {

constexpr int kConnectTimeoutMs = 2000;

// Accepts one connection on an ephemeral port of 127.0.0.1 and hands it to serve.
class Peer {
 public:
  explicit Peer(std::function<void(int)> serve) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      std::abort();
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, serve] {
      const int connection = accept(listener_, nullptr, nullptr);
      if (connection >= 0) {
        serve(connection);
        close(connection);
      }
    });
  }
  ~Peer() {
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    close(listener_);
  }
  std::uint16_t port() const { return port_; }

 private:
  int listener_;
  std::uint16_t port_;
  std::thread thread_;
};

std::unique_ptr<Socket> Connected(Network& network, std::uint16_t port, int receiveTimeoutMs = 5000) {
  auto socket = network.CreateTcpSocket();
  EXPECT_NE(socket, nullptr);
  EXPECT_EQ(socket->Connect(InetAddr("127.0.0.1"), port, kConnectTimeoutMs, receiveTimeoutMs),
            ConnectResult::kConnected);
  return socket;
}

}  // namespace

TEST(Sockets, ExactReceivesGatherSplitSegmentsAndSendsGoOutWhole) {
  auto network = CreateSystemNetwork();
  ASSERT_TRUE(network->Startup());
  std::string received;
  {
    Peer peer([&](int connection) {
      send(connection, "LROT", 4, 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a second TCP segment
      send(connection, "-header", 7, 0);
      char buffer[64];
      ssize_t n;
      while (received.size() < 5000 && (n = recv(connection, buffer, sizeof buffer, 0)) > 0) received.append(buffer, n);
    });
    auto socket = Connected(*network, peer.port());
    char header[11];
    ASSERT_TRUE(ReceiveExactly(*socket, header, sizeof header));
    EXPECT_EQ(std::string(header, sizeof header), "LROT-header");
    const std::string big(5000, 'x');
    ASSERT_TRUE(SendAll(*socket, big.data(), static_cast<int>(big.size())));
    EXPECT_TRUE(SendAll(*socket, nullptr, 0));
    EXPECT_TRUE(ReceiveExactly(*socket, nullptr, 0));
    socket.reset();
  }  // the peer has read everything once its thread is joined
  network->Cleanup();
  EXPECT_EQ(received, std::string(5000, 'x'));
}

TEST(Sockets, AClosedPeerOrASilentOneEndsTheReceive) {
  auto network = CreateSystemNetwork();
  Peer closing([](int connection) { send(connection, "ab", 2, 0); });
  auto socket = Connected(*network, closing.port());
  char buffer[4];
  EXPECT_FALSE(ReceiveExactly(*socket, buffer, 4));  // two bytes, then the close

  Peer silent([](int connection) {
    char byte;
    recv(connection, &byte, 1, 0);  // until the client goes
  });
  auto waiting = Connected(*network, silent.port(), 200);
  EXPECT_EQ(waiting->WaitReadable(50), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ReceiveExactly(*waiting, buffer, 1));  // the receive time-out
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
  waiting.reset();
}

TEST(Sockets, AConnectionNobodyAcceptsFails) {
  auto network = CreateSystemNetwork();
  std::uint16_t port;
  {
    Peer gone([](int) {});
    port = gone.port();
    // Connect once so the peer's thread ends and its listener closes with it.
    Connected(*network, port);
  }
  auto socket = network->CreateTcpSocket();
  ASSERT_NE(socket, nullptr);
  EXPECT_EQ(socket->Connect(InetAddr("127.0.0.1"), port, kConnectTimeoutMs, 1000), ConnectResult::kFailed);
}
