// The network download worker against peers that only pretend to be a device: one that
// answers with random bytes and one that trickles them a byte at a time, on the command
// port and on the monitor port. Every run ends with its failure text within its time-outs.
#include <gtest/gtest.h>

#include <chrono>

#include "firmware/download_thread_v2.h"
#include "platform/address.h"
#include "support/hostile_peer.h"

namespace {

using testsupport::HostilePeer;
using Clock = std::chrono::steady_clock;

class RecordingWindow : public DownloadV2WindowOps {
 public:
  void StartAnimation() override {}
  void Progress(std::uint32_t) override {}
  void Success() override { outcome = "success"; }
  void Failure(const std::string& message) override { outcome = message; }
  void Inform(const std::string& text) override { informed.push_back(text); }
  bool Ask(const std::string&) override { return true; }
  std::string outcome;
  std::vector<std::string> informed;
};

const char kCommandFailure[] = "The Device fail to process the download command";
const char kMonitorFailure[] = "The target device is unsupported";
const char kRecovery[] = "Correct the error of last download";

class HostileDevice : public ::testing::Test {
 protected:
  HostileDevice() {
    std::vector<std::uint8_t> image1(3000, 0x5A), image2(2048, 0xA5);
    EXPECT_EQ(CheckExfBytes(BuildExfBytes(0x7316, image1, 1, 0, image2, 1, 0), 0x7316, &file), ExfResult::kAccepted);
  }

  // One run against the peer on the command port, or on the monitor port behind a command
  // port where nothing listens (the device's recovery path); its time taken.
  Clock::duration Run(const HostilePeer& peer, bool onMonitorPort) {
    EXPECT_TRUE(peer.ok());
    NetworkTimings timings;
    timings.commandPort = onMonitorPort ? testsupport::ClosedPort() : peer.port();
    timings.monitorPort = onMonitorPort ? peer.port() : testsupport::ClosedPort();
    timings.connectTimeoutMs = 2000;
    timings.receiveTimeoutMs = receiveTimeoutMs;
    timings.recoveryPauseMs = timings.resetPauseMs = 10;
    window = RecordingWindow();
    const auto start = Clock::now();
    auto worker = TDownloadThrdV2::Create(window, *network, platform::InetAddr("127.0.0.1"), file, timings);
    EXPECT_TRUE(worker->Start());
    worker.reset();  // waits for the run's end
    return Clock::now() - start;
  }

  std::unique_ptr<platform::Network> network = platform::CreateSystemNetwork();
  ExfFile file;
  RecordingWindow window;
  int receiveTimeoutMs = 400;
};

}  // namespace

TEST_F(HostileDevice, RandomBytesOnTheCommandPortFailTheFirstCommand) {
  for (unsigned seed = 1; seed <= 5; ++seed) {
    HostilePeer peer(HostilePeer::Manner::kRandomBytes, 0, seed);
    EXPECT_LT(Run(peer, false), std::chrono::seconds(2)) << seed;
    EXPECT_EQ(window.outcome, kCommandFailure) << seed;
    EXPECT_TRUE(window.informed.empty());
  }
}

TEST_F(HostileDevice, RandomBytesOnTheMonitorPortFailTheIdentification) {
  for (unsigned seed = 1; seed <= 5; ++seed) {
    HostilePeer peer(HostilePeer::Manner::kRandomBytes, 0, seed);
    EXPECT_LT(Run(peer, true), std::chrono::seconds(2)) << seed;
    EXPECT_EQ(window.informed, std::vector<std::string>{kRecovery}) << seed;
    EXPECT_EQ(window.outcome, kMonitorFailure) << seed;
    EXPECT_EQ(peer.Connections(), 1);
  }
}

// A byte a second never fills a header before the receive time-out ends the wait.
TEST_F(HostileDevice, AByteASecondEndsAtTheReceiveTimeOut) {
  {
    HostilePeer peer(HostilePeer::Manner::kTrickle, 1000);
    EXPECT_LT(Run(peer, false), std::chrono::milliseconds(1500 + receiveTimeoutMs));
    EXPECT_EQ(window.outcome, kCommandFailure);
  }
  {
    HostilePeer peer(HostilePeer::Manner::kTrickle, 1000);
    EXPECT_LT(Run(peer, true), std::chrono::milliseconds(1500 + receiveTimeoutMs));
    EXPECT_EQ(window.outcome, kMonitorFailure);
  }
}

// Bytes that come faster than the time-out keep each wait alive: the run ends when the
// nonsense they make is seen, not before and never later.
TEST_F(HostileDevice, ATrickleFasterThanTheTimeOutEndsAtTheFirstBadHeader) {
  receiveTimeoutMs = 1000;
  {
    HostilePeer peer(HostilePeer::Manner::kTrickle, 20);
    EXPECT_LT(Run(peer, false), std::chrono::seconds(3));  // 24 header bytes
    EXPECT_EQ(window.outcome, kCommandFailure);
  }
  {
    HostilePeer peer(HostilePeer::Manner::kTrickle, 20);
    EXPECT_LT(Run(peer, true), std::chrono::seconds(3));  // at most 13 header bytes
    EXPECT_EQ(window.outcome, kMonitorFailure);
  }
}
