// Included ahead of GoogleTest in the Windows build: its Notification is built on
// std::mutex and std::condition_variable, which the win32 thread flavour of the runtime
// does not have. GoogleTest uses it only to start the threads of its own tests, so a
// flag that the waiting thread spins on serves.
#pragma once

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_ = true; }
  void WaitForNotification() {
    while (!notified_) {
    }
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing
