// The COM download worker on its own thread against a simulated driver, with a window
// stand-in that makes the state changes the real window makes: whole downloads, every
// failure text, a second download after a failure, and ending the worker.
#include "firmware/download_thread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver_ports.h"
#include "firmware/firmware_image.h"
#include "platform/desktop.h"
#include "support/simulated_driver.h"
#include "support/temp_dir.h"

namespace {

const DownloadTiming kQuick{std::chrono::milliseconds(1), std::chrono::milliseconds(1)};
// A block index that no image in these tests reaches, for a driver that refuses nothing.
constexpr std::uint32_t kNoImageBlock = 0xFFFFFFF0;

struct Result {
  std::string text;
  std::uint32_t flags;
};

// Plays the firmware window: Start hands a job over, the callbacks move DownloadState as
// the window does, and ResetAfterDownload closes the file. Everything is recorded.
class WindowStandIn : public DownloadWindowOps {
 public:
  std::atomic<std::uint32_t> state{dlsIdle};

  void Start(const DownloadJob& job) {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = job;
    state = dlsStartRequested;
  }
  // Waits until the worker has handed back the window count times in all.
  bool WaitForDownloads(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return ended_.wait_for(lock, std::chrono::seconds(60), [&] { return downloads_ >= count; });
  }

  DownloadJob EnterDownloading() override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("EnterDownloading");
    state = dlsDownloading;
    return job_;
  }
  void ShowProgress(std::uint32_t bytesSent) override {
    std::lock_guard<std::mutex> lock(mutex_);
    progress_.push_back(bytesSent);
  }
  void EnterComplete() override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("EnterComplete");
    state = dlsComplete;
  }
  void EnterFailed() override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("EnterFailed");
    state = dlsFailed;
  }
  void ShowResult(const std::string& text, std::uint32_t flags) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("ShowResult");
    results_.push_back({text, flags});
  }
  void ResetAfterDownload() override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back("ResetAfterDownload");
    state = dlsIdle;
    std::fclose(job_.file);
    job_.file = nullptr;
    ++downloads_;
    ended_.notify_all();
  }

  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::vector<std::uint32_t> Progress() {
    std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
  }
  std::vector<Result> Results() {
    std::lock_guard<std::mutex> lock(mutex_);
    return results_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  DownloadJob job_;
  int downloads_ = 0;
  std::vector<std::string> calls_;
  std::vector<std::uint32_t> progress_;
  std::vector<Result> results_;
};

using Calls = std::vector<std::string>;
const Calls kSucceeded{"EnterDownloading", "EnterComplete", "ShowResult", "ResetAfterDownload"};
const Calls kFailed{"EnterDownloading", "EnterFailed", "ShowResult", "ResetAfterDownload"};

class ComDownloadWorker : public ::testing::Test {
 protected:
  ComDownloadWorker() : ports(driver) {}

  void SetUp() override {
    std::uint32_t error = 0;
    port = ports.Open("\\\\.\\COM5", &error);
    ASSERT_NE(port, nullptr);
    worker = TDownloadThrd::Create(window, window.state, kQuick);
    ASSERT_NE(worker, nullptr);
    worker->Resume();
  }

  std::string Image(const std::string& name, std::uint32_t model, std::uint32_t length) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteFirmwareImage(path, model, length));
    return path;
  }
  std::vector<std::uint8_t> Bytes(const std::string& path) {
    std::vector<std::uint8_t> bytes(std::filesystem::file_size(path));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
  }
  // Starts one download of the file at path, opened with mode, and waits for its end.
  void Download(const std::string& path, std::uint32_t model, const char* mode = "rb") {
    std::FILE* file = std::fopen(path.c_str(), mode);
    ASSERT_NE(file, nullptr);
    window.Start({port.get(), file, static_cast<std::uint32_t>(std::filesystem::file_size(path)), model});
    ASSERT_TRUE(window.WaitForDownloads(++downloads)) << "the worker never handed the window back";
  }

  testsupport::TempDir dir;
  testsupport::SimulatedDriver driver;
  testsupport::DriverPorts ports;
  std::unique_ptr<platform::SerialPort> port;
  WindowStandIn window;
  int downloads = 0;
  std::unique_ptr<TDownloadThrd> worker;  // last, so that it ends before what it uses
};

}  // namespace

TEST_F(ComDownloadWorker, AFullImageGoesOutAsBlocks0To255ThenCompletes) {
  const std::string path = Image("firmware.bin", 0x7370, kFirmwareImageSize);
  ASSERT_NO_FATAL_FAILURE(Download(path, 0x7370));

  EXPECT_EQ(window.Calls(), kSucceeded);
  ASSERT_EQ(window.Results().size(), 1u);
  EXPECT_EQ(window.Results()[0].text, "Download Complete");
  EXPECT_EQ(window.Results()[0].flags, platform::kMbOk);
  const auto blocks = driver.Blocks();
  ASSERT_EQ(blocks.size(), 256u);
  std::vector<std::uint8_t> sent;
  for (std::uint32_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].index, i);
    EXPECT_EQ(blocks[i].devicePath, "\\\\.\\COM5");
    sent.insert(sent.end(), blocks[i].data.begin(), blocks[i].data.end());
  }
  EXPECT_EQ(sent, Bytes(path));
  const auto progress = window.Progress();
  ASSERT_EQ(progress.size(), 256u);
  for (std::size_t i = 0; i < progress.size(); ++i) EXPECT_EQ(progress[i], (i + 1) * 1024);
  EXPECT_EQ(window.state.load(), dlsIdle);
}

TEST_F(ComDownloadWorker, AWImageEndsInATrailerBlockWithTheLastEightBytes) {
  const std::string path = Image("w.bin", 0xC371, 1032);
  ASSERT_NO_FATAL_FAILURE(Download(path, 0xC371));

  EXPECT_EQ(window.Calls(), kSucceeded);
  EXPECT_EQ(window.Results()[0].text, "Download Complete");
  const auto blocks = driver.Blocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].index, 0u);
  EXPECT_EQ(blocks[1].index, TRAILER_BLOCK_INDEX);
  const auto bytes = Bytes(path);
  EXPECT_EQ(std::vector<std::uint8_t>(blocks[1].data.begin(), blocks[1].data.begin() + 8),
            std::vector<std::uint8_t>(bytes.end() - 8, bytes.end()));
  EXPECT_EQ(window.Progress(), (std::vector<std::uint32_t>{1024, 1032}));
}

// Each failure stops at once, sends nothing more and names its cause with the error icon.
TEST_F(ComDownloadWorker, FailuresStopTheDownloadAndNameTheirCause) {
  struct Case {
    const char* name;
    std::uint32_t model;
    std::uint32_t length;
    int refusedBlock;
    std::size_t blocksSeen;  // by the driver, the refused one included
    const char* text;
  };
  const Case cases[] = {
      {"w-not-1024n+8.bin", 0xC370, 1288, -1, 1, "Read Download binary file length fail"},
      {"last-refused.bin", 0x7304, kFirmwareImageSize, 255, 256, "The format of Binary file Fail"},
      {"other-refused.bin", 0x7304, kFirmwareImageSize, 17, 18, "Download Binary file Fail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    driver.RefuseBlock(c.refusedBlock >= 0 ? static_cast<std::uint32_t>(c.refusedBlock) : kNoImageBlock);
    const std::size_t blocksBefore = driver.Blocks().size();
    const std::size_t callsBefore = window.Calls().size();
    const std::size_t progressBefore = window.Progress().size();

    ASSERT_NO_FATAL_FAILURE(Download(Image(c.name, c.model, c.length), c.model));

    const Calls calls = window.Calls();
    EXPECT_EQ(Calls(calls.begin() + static_cast<std::ptrdiff_t>(callsBefore), calls.end()), kFailed);
    EXPECT_EQ(window.Results().back().text, c.text);
    EXPECT_EQ(window.Results().back().flags, platform::kMbIconError | platform::kMbOk);
    EXPECT_EQ(driver.Blocks().size() - blocksBefore, c.blocksSeen);
    // Progress moves for every accepted block and for nothing else.
    const std::size_t accepted = c.refusedBlock >= 0 ? c.blocksSeen - 1 : c.blocksSeen;
    EXPECT_EQ(window.Progress().size() - progressBefore, accepted);
  }
}

TEST_F(ComDownloadWorker, AnUnreadableFileSendsNothing) {
  const std::string path = Image("firmware.bin", 0x7370, kFirmwareImageSize);
  ASSERT_NO_FATAL_FAILURE(Download(path, 0x7370, "ab"));  // open for writing only: every read fails

  EXPECT_EQ(window.Calls(), kFailed);
  EXPECT_EQ(window.Results()[0].text, "Read Download binary file fail");
  EXPECT_EQ(window.Results()[0].flags, platform::kMbIconError | platform::kMbOk);
  EXPECT_TRUE(driver.Blocks().empty());
  EXPECT_TRUE(window.Progress().empty());
  EXPECT_EQ(std::filesystem::file_size(path), kFirmwareImageSize);
}

TEST_F(ComDownloadWorker, ADownloadAfterAFailureStartsAgainFromBlock0) {
  driver.RefuseBlock(3);
  ASSERT_NO_FATAL_FAILURE(Download(Image("first.bin", 0x7370, kFirmwareImageSize), 0x7370));
  ASSERT_EQ(window.Results().back().text, "Download Binary file Fail");
  driver.RefuseBlock(kNoImageBlock);

  const std::string path = Image("second.bin", 0xC370, 2056);
  ASSERT_NO_FATAL_FAILURE(Download(path, 0xC370));

  EXPECT_EQ(window.Results().back().text, "Download Complete");
  const auto blocks = driver.Blocks();
  ASSERT_EQ(blocks.size(), 4u + 3u);
  EXPECT_EQ(blocks[4].index, 0u);
  EXPECT_EQ(blocks[5].index, 1u);
  EXPECT_EQ(blocks[6].index, TRAILER_BLOCK_INDEX);
  // Blocks 0 to 2 of the first download, then the whole second one from 0.
  EXPECT_EQ(window.Progress(), (std::vector<std::uint32_t>{1024, 2048, 3072, 1024, 2048, 2056}));
}

TEST_F(ComDownloadWorker, AnIdleWorkerEndsWhenTold) {
  worker->Terminate();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!worker->ThreadDone() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(worker->ThreadDone());
  EXPECT_TRUE(window.Calls().empty());
}

TEST(ComDownloadWorkerLife, ASuspendedWorkerTerminatedNeverTouchesItsWindow) {
  WindowStandIn window;
  window.state = dlsStartRequested;
  auto worker = TDownloadThrd::Create(window, window.state, kQuick);
  ASSERT_NE(worker, nullptr);
  EXPECT_FALSE(worker->Resumed());
  worker->Terminate();
  worker.reset();
  EXPECT_TRUE(window.Calls().empty());
  EXPECT_EQ(window.state.load(), dlsStartRequested);
}
