// The worker that sweeps COM1 to COM255 and marks in the store's table which of the ports
// no mapping holds exist on this machine.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>

#include "platform/serial.h"
#include "platform/worker_life.h"
#include "store/port_manager.h"

// What the worker asks of its window; each call runs synchronously on the window's thread.
class DetectPortWindowOps {
 public:
  virtual ~DetectPortWindowOps() = default;
  virtual void StepProgress() = 0;
  virtual void SetDetectFinished() = 0;
};

class TDetectPortThrd {
 public:
  static constexpr std::chrono::milliseconds kPresentPortWait{100};

  // Creates the worker running; null when no thread can be started.
  static std::unique_ptr<TDetectPortThrd> Create(DetectPortWindowOps& window, PortTable& ports,
                                                 platform::SerialPorts& serial,
                                                 std::chrono::milliseconds presentWait = kPresentPortWait);
  // Waits for the sweep to end.
  ~TDetectPortThrd() = default;
  TDetectPortThrd(const TDetectPortThrd&) = delete;
  TDetectPortThrd& operator=(const TDetectPortThrd&) = delete;

  // True once Execute has returned.
  bool Finished() const { return finished_.load(); }

 private:
  TDetectPortThrd(DetectPortWindowOps& window, PortTable& ports, platform::SerialPorts& serial,
                  std::chrono::milliseconds presentWait);
  void Execute();

  DetectPortWindowOps& window_;
  PortTable& ports_;
  platform::SerialPorts& serial_;
  std::chrono::milliseconds presentWait_;
  std::atomic<bool> finished_{false};
  platform::WorkerLife life_;  // last: its thread ends before the members above go
};
