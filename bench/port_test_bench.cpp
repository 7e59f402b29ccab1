// Times a complete 720-setting loopback run on the simulated port with no time-out waits:
// the procedure itself, and the cost per report line of the synchronous window call,
// which here hands each line to a second thread and waits for it as the window's thread
// would run it.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <cstdio>
#include <mutex>
#include <thread>

#include "porttest/port_test_thread.h"
#include "support/loopback_serial_port.h"

namespace {

// Runs each call on its own thread while the caller waits, like a blocking queued call.
class HandOffWindow : public PortTestWindowOps {
 public:
  HandOffWindow() : thread_([this] { Serve(); }) {}
  ~HandOffWindow() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  void ReportLine(const std::string& line) override {
    Run([this, line] { lines.push_back(line); });
  }
  void EnterRunning() override {}
  void EnterStopped() override {}
  void EnterFinished() override {}

  std::vector<std::string> lines;

 private:
  void Run(std::function<void()> call) {
    std::unique_lock<std::mutex> lock(mutex_);
    pending_ = std::move(call);
    wake_.notify_all();
    done_.wait(lock, [this] { return !pending_; });
  }
  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return quit_ || pending_; });
      if (quit_) return;
      pending_();
      pending_ = nullptr;
      done_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  std::function<void()> pending_;
  bool quit_ = false;
  std::thread thread_;
};

// Counts lines only, on the caller's thread.
class DirectWindow : public PortTestWindowOps {
 public:
  void ReportLine(const std::string&) override { ++lines; }
  void EnterRunning() override {}
  void EnterStopped() override {}
  void EnterFinished() override {}
  int lines = 0;
};

template <typename Window>
double Run(Window& window) {
  auto line = std::make_shared<testsupport::LoopbackLine>();
  testsupport::LoopbackPorts ports(line, "\\\\.\\COM1");
  std::uint32_t error = 0;
  auto port = ports.Open("\\\\.\\COM1", &error);
  std::atomic<std::uint32_t> state{ptsRunning};
  std::atomic<int> done{0};
  TPortTestThrd worker(window, *port, "COM1", state, done, 0);
  const auto start = std::chrono::steady_clock::now();
  worker.ResetSettings();
  while (worker.TestStep()) {
  }
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  DirectWindow direct;
  HandOffWindow handOff;
  const double procedure = Run(direct);
  const double synchronous = Run(handOff);
  std::printf("720-setting run, lines counted in place: %.2f ms (%d lines)\n", procedure, direct.lines);
  std::printf("the same with every line handed to a window thread: %.2f ms\n", synchronous);
  std::printf("per report line in the synchronous call: %.1f us\n",
              1000.0 * (synchronous - procedure) / static_cast<double>(handOff.lines.size()));
  return 0;
}
