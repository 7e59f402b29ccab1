// The bridge against a device server it was not written with: Debian's ser2net, its RFC 2217
// accepter in front of a pty whose other end socat holds and echoes. A program on
// $VEQ_COM_DIR/COM7 talks through pty, bridge, TCP, ser2net, pty and back.
//
// What ser2net cannot do there: a pty has no modem lines, so ser2net reports the modem
// state as all lines off and leaves SET-CONTROL for DTR and RTS unanswered; and it refuses
// the private control option, so the driver's control codes fail.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge_harness.h"
#include "platform/serial.h"
#include "support/registry_builder.h"
#include "support/temp_dir.h"
#include "support/test_registry.h"

namespace {

using bridgetest::Harness;
using testsupport::ChildProcess;
using Bytes = std::vector<std::uint8_t>;

int FreeTcpPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

bool Listening(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return up;
}

speed_t SpeedOf(const std::string& tty) {
  const int fd = open(tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios settings{};
  const bool read = fd >= 0 && tcgetattr(fd, &settings) == 0;
  if (fd >= 0) close(fd);
  return read ? cfgetospeed(&settings) : B0;
}

bool SetSpeed(int fd, speed_t speed) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  cfsetspeed(&settings, speed);
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

// Writes everything and reads as many bytes back, within a generous deadline.
Bytes RoundTrip(int fd, const Bytes& payload) {
  std::size_t written = 0;
  Bytes back;
  Harness::Eventually([&] {
    if (written < payload.size()) {
      const ssize_t n = write(fd, payload.data() + written, payload.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
    }
    std::uint8_t buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) back.insert(back.end(), buffer, buffer + n);
    return back.size() >= payload.size();
  });
  return back;
}

Bytes EveryValue(int times) {
  Bytes bytes;
  for (int t = 0; t < times; ++t)
    for (int v = 0; v < 256; ++v) bytes.push_back(static_cast<std::uint8_t>(v));
  bytes.insert(bytes.end(), 16, 0xFF);  // a run of IACs
  return bytes;
}

class Ser2netPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(system("command -v ser2net >/dev/null && command -v socat >/dev/null"), 0)
        << "ser2net and socat are needed: scripts/setup.sh installs them";
    mkdir(comDir.c_str(), 0700);
    setenv("VEQ_COM_DIR", comDir.c_str(), 1);  // where the utility's serial layer looks
    socat = std::make_unique<ChildProcess>(std::vector<std::string>{"socat", "pty,rawer,link=" + tty, "PIPE"},
                                           std::vector<std::string>{}, dir.File("socat.log"));
    ASSERT_TRUE(Harness::Eventually([&] { return Harness::Exists(tty); }));
    const int port = FreeTcpPort();
    std::ofstream(dir.File("ser2net.yaml")) << "connection: &peer\n"
                                            << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << port << "\n"
                                            << "  connector: serialdev," << tty << ",115200n81,local\n"
                                            << "  options:\n    kickolduser: true\n";
    peer = std::make_unique<ChildProcess>(
        std::vector<std::string>{"ser2net", "-n", "-c", dir.File("ser2net.yaml"), "-P", dir.File("ser2net.pid")},
        std::vector<std::string>{}, dir.File("ser2net.log"));
    ASSERT_TRUE(Harness::Eventually([&] { return Listening(port); }));

    testsupport::MappingValues mapping;
    mapping.model = 0x7316;
    mapping.ip = "127.0.0.1";
    mapping.port = 1;  // at the base + 1: the base is one below ser2net's port
    ASSERT_TRUE(testsupport::RegistryBuilder(registry.registry()).WriteMapping("OLMX7", mapping));
    bridge = std::make_unique<ChildProcess>(
        std::vector<std::string>{VEQ_BRIDGE_PROGRAM, "--tcp-base", std::to_string(port - 1)},
        std::vector<std::string>{"VEQ_REGISTRY=" + registry.Location(), "VEQ_COM_DIR=" + comDir},
        dir.File("bridge.log"));
    ASSERT_TRUE(Harness::Eventually([&] { return Harness::Exists(comDir + "/COM7"); })) << Log("bridge.log");
  }

  std::string Log(const std::string& name) {
    std::ifstream in(dir.File(name));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  testsupport::TempDir dir;
  std::string tty = dir.File("ttyS");
  std::string comDir = dir.File("com");
  testsupport::TestRegistry registry;
  std::unique_ptr<ChildProcess> socat, peer, bridge;
};

TEST_F(Ser2netPeerTest, EveryByteComesBackAt115200And300AndTheSpeedReachesThePeer) {
  const int fd = open((comDir + "/COM7").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(SetSpeed(fd, B115200));
  const Bytes fast = EveryValue(16);
  EXPECT_EQ(RoundTrip(fd, fast), fast) << Log("bridge.log");
  EXPECT_TRUE(Harness::Eventually([&] { return SpeedOf(tty) == B115200; }));

  ASSERT_TRUE(SetSpeed(fd, B300));
  EXPECT_TRUE(Harness::Eventually([&] { return SpeedOf(tty) == B300; })) << Log("bridge.log");
  const Bytes slow = EveryValue(1);
  EXPECT_EQ(RoundTrip(fd, slow), slow) << Log("bridge.log");
  close(fd);
}

// On a pty ser2net leaves DTR, RTS (and one and a half stop bits) unanswered and reports
// every modem line off: whatever the bridge makes of the missing answers, it never reports
// a line on. The control codes fail as with a driver that refuses them.
TEST_F(Ser2netPeerTest, TheUtilitysSerialCallsShowWhatAPtyPeerLacks) {
  std::uint32_t error = 0;
  auto port = platform::CreateSystemSerialPorts()->Open("\\\\.\\COM7", &error);
  ASSERT_TRUE(port) << error;
  port->EscapeCommFunction(platform::kSetDtr);
  port->EscapeCommFunction(platform::kSetRts);
  std::uint32_t lines = 0;
  if (port->GetCommModemStatus(&lines)) {
    EXPECT_EQ(lines & (platform::kMsCtsOn | platform::kMsDsrOn | platform::kMsRingOn | platform::kMsRlsdOn), 0u);
  }

  EXPECT_FALSE(port->DeviceIoControl(3000, nullptr, 0)) << Log("bridge.log");
  const std::vector<std::uint8_t> block(1028, 0xFF);
  EXPECT_FALSE(port->DeviceIoControl(3001, block.data(), static_cast<std::uint32_t>(block.size())));
}

}  // namespace
