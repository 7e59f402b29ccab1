// The life every worker thread of the windows shares: started suspended, resumed by its
// window, told to terminate, sleeping in pauses that end as soon as it is told, and
// joined when it goes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/thread.h"

namespace platform {

class WorkerLife {
 public:
  WorkerLife() = default;
  // Waits for the worker's thread: a worker never resumed ends without running, a
  // resumed one runs to its end (its owner calls Terminate first to cut that short).
  ~WorkerLife();
  WorkerLife(const WorkerLife&) = delete;
  WorkerLife& operator=(const WorkerLife&) = delete;

  // Starts the thread suspended: body runs once Resume is called, and never when
  // Terminate comes first. False when no thread can be started.
  bool Start(std::function<void()> body);
  void Resume();
  bool Resumed() const { return resumed_.load(); }
  void Terminate();
  bool Terminated() const { return terminated_.load(); }
  // Sleeps for ms, or until told to terminate; false when told.
  bool Sleep(std::uint32_t ms);

 private:
  std::atomic<bool> resumed_{false};
  std::atomic<bool> terminated_{false};
  Event wake_;  // set by Resume and by Terminate
  Event terminate_;
  Thread thread_;
};

}  // namespace platform
