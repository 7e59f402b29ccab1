#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "detect/detect_port_thread.h"
#include "platform/serial.h"
#include "support/fake_platform.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace {

// Counts the worker's calls; they come from the worker's thread.
class CountingWindow : public DetectPortWindowOps {
 public:
  void StepProgress() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++steps;
    if (finished) ++stepsAfterFinish;
  }
  void SetDetectFinished() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++finished;
  }
  std::mutex mutex;
  int steps = 0;
  int finished = 0;
  int stepsAfterFinish = 0;
};

// Some record that stands for a mapped port; the worker only looks at the pointer.
TTorl7370PortEntry* MappedRecord() {
  static char storage[sizeof(void*)];
  return reinterpret_cast<TTorl7370PortEntry*>(storage);
}

void Sweep(PortTable& ports, platform::SerialPorts& serial, CountingWindow& window) {
  auto worker = TDetectPortThrd::Create(window, ports, serial, std::chrono::milliseconds(0));
  ASSERT_NE(worker, nullptr);
  worker.reset();  // waits for the end of the sweep
}

// A serial layer whose ports fail to open with a chosen error.
class RefusingPorts : public platform::SerialPorts {
 public:
  explicit RefusingPorts(std::uint32_t error) : error_(error) {}
  std::unique_ptr<platform::SerialPort> Open(const std::string&, std::uint32_t* lastError) override {
    *lastError = error_;
    return nullptr;
  }

 private:
  std::uint32_t error_;
};

}  // namespace

TEST(DetectPortThread, MarksPresentPortsAndLeavesMissingAndMappedOnes) {
  testsupport::FakeSerialPorts serial({1, 4, 200});
  PortTable ports{};
  ports[4] = MappedRecord();
  CountingWindow window;
  Sweep(ports, serial, window);
  EXPECT_EQ(ports[1], PORT_PRESENT);
  EXPECT_EQ(ports[200], PORT_PRESENT);
  EXPECT_EQ(ports[4], MappedRecord());
  EXPECT_EQ(ports[2], nullptr);
  EXPECT_EQ(ports[255], nullptr);
  EXPECT_EQ(ports[0], nullptr);
  const std::vector<std::string> opened = serial.Opened();
  EXPECT_EQ(opened.size(), 254u);
  EXPECT_EQ(opened.front(), "\\\\.\\COM1");
  EXPECT_EQ(opened.back(), "\\\\.\\COM255");
  for (const std::string& path : opened) EXPECT_NE(path, "\\\\.\\COM4");
  // One step for every COM number, mapped ones too, then the end once.
  EXPECT_EQ(window.steps, 255);
  EXPECT_EQ(window.finished, 1);
  EXPECT_EQ(window.stepsAfterFinish, 0);
}

TEST(DetectPortThread, AnyOtherOpenErrorMeansThePortExists) {
  for (std::uint32_t error : {platform::kSerialErrorAccessDenied, platform::kSerialErrorSharingViolation,
                              platform::kSerialErrorGenFailure}) {
    RefusingPorts serial(error);
    PortTable ports{};
    CountingWindow window;
    Sweep(ports, serial, window);
    for (int i = 1; i <= 255; ++i) EXPECT_EQ(ports[i], PORT_PRESENT) << error << " COM" << i;
  }
  RefusingPorts missing(platform::kSerialErrorFileNotFound);
  PortTable ports{};
  CountingWindow window;
  Sweep(ports, missing, window);
  for (int i = 1; i <= 255; ++i) EXPECT_EQ(ports[i], nullptr);
}

// Through the real serial layer, on ptys linked into a temporary COM folder.
TEST(DetectPortThread, FindsRealPtysAndNeverOpensAMappedOne) {
  testsupport::TempDir dir;
  setenv("VEQ_COM_DIR", dir.path().c_str(), 1);
  testsupport::PtyPair present, held, mapped;
  present.LinkAs(dir.path(), "COM3");
  held.LinkAs(dir.path(), "COM7");
  mapped.LinkAs(dir.path(), "COM9");
  std::unique_ptr<platform::SerialPorts> serial = platform::CreateSystemSerialPorts();
  std::uint32_t error = 0;
  std::unique_ptr<platform::SerialPort> holder = serial->Open("\\\\.\\COM7", &error);
  ASSERT_NE(holder, nullptr) << error;

  // Every open of the mapped port's tty would show here.
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, mapped.slavePath().c_str(), IN_OPEN), 0);

  PortTable ports{};
  ports[9] = MappedRecord();
  CountingWindow window;
  Sweep(ports, *serial, window);
  EXPECT_EQ(ports[3], PORT_PRESENT);
  EXPECT_EQ(ports[7], PORT_PRESENT);  // held open by another: still present
  EXPECT_EQ(ports[9], MappedRecord());
  EXPECT_EQ(ports[4], nullptr);  // no link: no port
  char events[4096];
  EXPECT_EQ(read(watch, events, sizeof events), -1) << "the mapped port's tty was opened";
  close(watch);

  // The watch itself does see an open, so its silence above means something.
  const int check = inotify_init1(IN_NONBLOCK);
  inotify_add_watch(check, mapped.slavePath().c_str(), IN_OPEN);
  EXPECT_NE(serial->Open("\\\\.\\COM9", &error), nullptr);
  EXPECT_GT(read(check, events, sizeof events), 0);
  close(check);
  unsetenv("VEQ_COM_DIR");
}
