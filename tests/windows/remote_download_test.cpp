// The network download over Winsock against the device simulator running natively on
// 127.0.0.1: the Wine stage starts it and passes its ports and the firmware file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "firmware/download_thread_v2.h"
#include "firmware/recording_download_window.h"
#include "platform/address.h"
#include "support/stage_setting.h"

namespace {

void Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST(RemoteDownload, BothImagesReachTheDeviceOverWinsock) {
  const std::string exf = StageSetting("VEQ_DEVSIM_EXF");
  if (exf.empty()) GTEST_SKIP() << "VEQ_DEVSIM_EXF and the simulator's ports come from the Wine stage";
  ExfFile file;
  ASSERT_EQ(ReadExfFile(exf, 0x7316, &file), ExfResult::kAccepted) << exf;
  NetworkTimings timings;
  timings.commandPort = static_cast<std::uint16_t>(std::atoi(StageSetting("VEQ_DEVSIM_COMMAND_PORT").c_str()));
  timings.monitorPort = static_cast<std::uint16_t>(std::atoi(StageSetting("VEQ_DEVSIM_MONITOR_PORT").c_str()));
  timings.connectTimeoutMs = 5000;
  timings.receiveTimeoutMs = 5000;
  timings.recoveryPauseMs = 10;
  timings.resetPauseMs = 10;

  std::unique_ptr<platform::Network> network = platform::CreateSystemNetwork();
  RecordingDownloadWindow window;
  auto worker = TDownloadThrdV2::Create(window, *network, platform::InetAddr("127.0.0.1"), file, timings);
  ASSERT_TRUE(worker->Start());
  worker.reset();  // waits for the run's end

  EXPECT_EQ(window.outcome, "success");
  ASSERT_FALSE(window.progress.empty());
  EXPECT_EQ(window.progress.back(), 100u);
  // What the simulator must have received, for the stage to compare with its images.
  Save(exf + ".image1", file.image1);
  Save(exf + ".image2", file.image2);
}

}  // namespace
