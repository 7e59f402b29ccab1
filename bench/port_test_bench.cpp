// Times complete 720-setting loopback runs on the simulated port with no time-out waits,
// through the worker's own thread from Start to its finish line: once with the window
// side answered in place (the procedure alone), once with every window call handed to a
// second thread and waited for, as the window's thread runs it. The difference per
// report line is the cost of the synchronous window call.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "porttest/port_test_thread.h"
#include "support/simulated_serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;

// The window side: keeps TestState as the window does and counts the lines; run() runs
// each call where the window's thread would.
class BenchWindow : public PortTestWindowOps {
 public:
  explicit BenchWindow(std::function<void(std::function<void()>)> run) : run_(std::move(run)) {}
  void ReportLine(const std::string& line) override {
    run_([this, &line] {
      ++lines;
      if (line.find("finsih test") != std::string::npos) finished = Clock::now().time_since_epoch().count();
    });
  }
  void EnterRunning() override { run_([this] { state = ptsRunning; }); }
  void EnterStopped() override { run_([this] { state = ptsStopped; }); }
  void EnterFinished() override { run_([this] { state = ptsFinished; }); }

  std::atomic<std::uint32_t> state{ptsStartRequested};
  std::atomic<int> done{0};
  int lines = 0;
  std::atomic<Clock::rep> finished{0};

 private:
  std::function<void(std::function<void()>)> run_;
};

// A window thread: runs one call at a time while the caller waits for it.
class WindowThread {
 public:
  WindowThread() : thread_([this] { Serve(); }) {}
  ~WindowThread() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  void Run(std::function<void()> call) {
    std::unique_lock<std::mutex> lock(mutex_);
    pending_ = std::move(call);
    wake_.notify_all();
    done_.wait(lock, [this] { return !pending_; });
  }

 private:
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

struct Figures {
  double ms;
  int lines;
};

// One run from Start to the finish line; the time-out of 0 never makes a read wait here.
Figures Run(BenchWindow& window) {
  testsupport::SimulatedSerialPorts serial("COM1");
  std::uint32_t error = 0;
  auto port = serial.Open("\\\\.\\COM1", &error);
  auto worker = TPortTestThrd::Create(window, *port, "COM1", window.state, window.done, 0);
  const Clock::time_point start = Clock::now();
  worker->Resume();
  while (window.finished == 0)
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  const double ms = std::chrono::duration<double, std::milli>(Clock::duration(window.finished) - start.time_since_epoch()).count();
  worker.reset();
  return {ms, window.lines};
}

double Best(const std::function<Figures()>& run, int* lines) {
  std::vector<double> times;
  for (int i = 0; i < 7; ++i) {
    const Figures figures = run();
    times.push_back(figures.ms);
    *lines = figures.lines;
  }
  return *std::min_element(times.begin(), times.end());
}

}  // namespace

int main() {
  int lines = 0;
  const double inPlace = Best(
      [] {
        BenchWindow window([](const std::function<void()>& call) { call(); });
        return Run(window);
      },
      &lines);
  WindowThread windowThread;
  const double handedOver = Best(
      [&windowThread] {
        BenchWindow window([&windowThread](std::function<void()> call) { windowThread.Run(std::move(call)); });
        return Run(window);
      },
      &lines);
  std::printf("720-setting run, window calls answered in place: %.2f ms (%d report lines; best of 7)\n", inPlace,
              lines);
  std::printf("the same with every window call run on a window thread: %.2f ms\n", handedOver);
  std::printf("per report line in the synchronous window call: %.1f us\n",
              1000.0 * (handedOver - inPlace) / static_cast<double>(lines));
  return 0;
}
