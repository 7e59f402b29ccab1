// The network download worker against the device simulator on 127.0.0.1.
#include "firmware/download_thread_v2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "devsim/device_simulator.h"
#include "firmware/device_fault_cases.h"
#include "firmware/recording_download_window.h"
#include "platform/address.h"

namespace {

std::vector<std::uint8_t> Bytes(std::size_t size, int seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * seed + 1);
  return bytes;
}

class NetworkDownload : public ::testing::Test {
 protected:
  void Prepare(std::size_t size1, std::size_t size2, std::uint16_t (&fileVersions)[4],
               const devsim::DeviceSettings& device = devsim::DeviceSettings()) {
    const auto bytes = BuildExfBytes(0x7316, Bytes(size1, 3), fileVersions[0], fileVersions[1], Bytes(size2, 5),
                                     fileVersions[2], fileVersions[3]);
    ASSERT_EQ(CheckExfBytes(bytes, 0x7316, &file), ExfResult::kAccepted);
    simulator = std::make_unique<devsim::DeviceSimulator>(device);
    ASSERT_TRUE(simulator->ok());
    timings.commandPort = simulator->commandPort();
    timings.monitorPort = simulator->monitorPort();
  }
  void Run() {
    auto worker = TDownloadThrdV2::Create(window, *network, platform::InetAddr("127.0.0.1"), file, timings);
    ASSERT_TRUE(worker->Start());
    worker.reset();  // waits for the run's end
  }
  std::vector<std::uint8_t> WholeBlocksOfImage2() {
    return std::vector<std::uint8_t>(file.image2.begin(), file.image2.begin() + file.image2.size() / 1024 * 1024);
  }

  std::unique_ptr<platform::Network> network = platform::CreateSystemNetwork();
  NetworkTimings timings{0, 0, 2000, 500, 10, 10};
  ExfFile file;
  std::unique_ptr<devsim::DeviceSimulator> simulator;
  RecordingDownloadWindow window;
};

using Codes = std::vector<std::uint32_t>;

}  // namespace

TEST_F(NetworkDownload, EqualVersionsSendBothImagesWhole) {
  std::uint16_t versions[4] = {1, 0, 1, 0};
  Prepare(5000, 4096, versions);
  Run();
  EXPECT_EQ(window.outcome, "success");
  EXPECT_EQ(window.animations, 1);
  EXPECT_EQ(simulator->Image1(), file.image1);
  EXPECT_EQ(simulator->Image2(), file.image2);
  EXPECT_EQ(window.progress.back(), 100u);
  EXPECT_TRUE(window.asked.empty());
  const Codes commands = simulator->Commands();
  ASSERT_GE(commands.size(), 5u);
  EXPECT_EQ(Codes(commands.begin(), commands.begin() + 4), (Codes{kCmdDeviceInformation, kCmdErase, kCmdReset, kCmdInit}));
  EXPECT_EQ(Codes(commands.end() - 3, commands.end()), (Codes{kCmdComplete, kCmdRomDownload, kCmdReset}));
  EXPECT_EQ(simulator->Problem(), "");
}

// done x 100 no longer fits 32 bits after about 42.9 MB: the bar must still only rise.
TEST_F(NetworkDownload, ProgressOfAnImageAbove42MegabytesNeverFallsBack) {
  std::uint16_t versions[4] = {1, 0, 1, 0};
  Prepare(43u * 1000 * 1000, 1024, versions);
  Run();
  EXPECT_EQ(window.outcome, "success");
  EXPECT_TRUE(std::is_sorted(window.progress.begin(), window.progress.end()));
  EXPECT_EQ(window.progress.back(), 100u);
}

TEST_F(NetworkDownload, AResponseHeaderInTwoSegmentsIsReadWhole) {
  std::uint16_t versions[4] = {1, 0, 1, 0};
  devsim::DeviceSettings device;
  device.fault = devsim::Fault::kSplitHeader;
  Prepare(2048, 2048, versions, device);
  Run();
  EXPECT_EQ(window.outcome, "success");
  EXPECT_EQ(simulator->Image1(), file.image1);
}

TEST_F(NetworkDownload, ANewerDeviceImage1SendsOnlyImage2ThenResets) {
  std::uint16_t versions[4] = {1, 0, 2, 0};
  devsim::DeviceSettings device;
  device.versions[0] = 3;  // image 1 newer on the device, image 2 older
  Prepare(3000, 3072, versions, device);
  Run();
  EXPECT_EQ(window.outcome, "success");
  EXPECT_EQ(simulator->Commands(), (Codes{kCmdDeviceInformation, kCmdRomDownload, kCmdReset}));
  EXPECT_EQ(simulator->Image2(), file.image2);
  EXPECT_TRUE(simulator->Image1().empty());
}

TEST_F(NetworkDownload, OlderFileAnsweredNoSendsNothingAndEndsAtFullProgress) {
  std::uint16_t versions[4] = {1, 0, 1, 0};
  devsim::DeviceSettings device;
  device.versions[0] = device.versions[2] = 2;
  Prepare(3000, 3072, versions, device);
  Run();
  EXPECT_EQ(window.asked, (std::vector<std::string>{"The current image is older than the firmware of device.\nUpdate it ?"}));
  EXPECT_EQ(window.outcome, "success");
  EXPECT_EQ(window.progress, (std::vector<std::uint32_t>{100}));
  EXPECT_EQ(simulator->Commands(), (Codes{kCmdDeviceInformation}));
}

TEST_F(NetworkDownload, OpenPortsOrAnotherDeviceEndTheRunBeforeAnyErase) {
  std::uint16_t versions[4] = {1, 0, 1, 0};
  devsim::DeviceSettings device;
  device.openPorts = 1;
  Prepare(1024, 1024, versions, device);
  Run();
  EXPECT_EQ(window.outcome, "Please make sure all ports have been closed before updating the firmware");
  EXPECT_EQ(simulator->Commands(), (Codes{kCmdDeviceInformation}));

  device.openPorts = 0;
  device.deviceCode = 0x7308;
  Prepare(1024, 1024, versions, device);
  window = RecordingDownloadWindow();
  Run();
  EXPECT_EQ(window.outcome, "The image file is for the device[7316] instead of device[7308]");
}

TEST_F(NetworkDownload, ALastShortBlockStillCarries1036Bytes) {
  std::uint16_t versions[4] = {1, 0, 0, 9};
  Prepare(1025, 1024, versions);
  Run();
  EXPECT_EQ(window.outcome, "success");
  EXPECT_EQ(simulator->InitBlocks(), 2u);
  EXPECT_EQ(simulator->ImageBlockLengths(), (std::vector<std::uint32_t>{1024, 1}));
  EXPECT_EQ(simulator->Image1(), file.image1);
  EXPECT_EQ(simulator->Resets(), 2);  // for the download and after it
}

TEST_F(NetworkDownload, Image2BytesAfterTheLastWholeBlockAreNotSent) {
  std::uint16_t versions[4] = {0, 9, 1, 0};
  Prepare(1024, 3000, versions);
  Run();
  EXPECT_EQ(window.outcome, "success");
  EXPECT_EQ(simulator->Image2(), WholeBlocksOfImage2());
  EXPECT_LT(window.progress.back(), 100u);
}

TEST_F(NetworkDownload, ARefusedCommandPortTakesTheRecoveryPath) {
  std::uint16_t versions[4] = {1, 0, 1, 0};
  devsim::DeviceSettings device;
  device.fault = devsim::Fault::kRefuseCommandPort;
  Prepare(2048, 2048, versions, device);
  timings.recoveryPauseMs = 300;  // time for the recovered device to listen again
  Run();
  EXPECT_EQ(window.informed, (std::vector<std::string>{"Correct the error of last download"}));
  EXPECT_EQ(window.outcome, "success");  // the device answered the new attempt
  EXPECT_EQ(simulator->Image1(), file.image1);
}

TEST_F(NetworkDownload, EveryMisbehaviourEndsWithItsText) {
  for (const DeviceFaultCase& c : kDeviceFaultCases) {
    std::uint16_t versions[4] = {1, 0, 1, 0};
    devsim::DeviceSettings device;
    device.fault = c.fault;
    device.faultCommand = c.code;
    Prepare(5000, 4096, versions, device);
    window = RecordingDownloadWindow();
    const auto start = std::chrono::steady_clock::now();
    Run();
    EXPECT_EQ(window.outcome, c.text) << static_cast<int>(c.fault) << " " << c.code;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  }
}

TEST_F(NetworkDownload, AStopRequestEndsASilentRunAtOnce) {
  std::uint16_t versions[4] = {1, 0, 1, 0};
  devsim::DeviceSettings device;
  device.fault = devsim::Fault::kFallSilent;
  Prepare(5000, 4096, versions, device);
  timings.receiveTimeoutMs = 30000;
  auto worker = TDownloadThrdV2::Create(window, *network, platform::InetAddr("127.0.0.1"), file, timings);
  ASSERT_TRUE(worker->Start());
  while (simulator->ImageBlockLengths().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const auto start = std::chrono::steady_clock::now();
  worker->RequestStop();
  worker.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_NE(window.outcome, "success");
}
