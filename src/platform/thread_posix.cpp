#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/thread.h"

namespace platform {

struct Thread::Impl {
  std::thread thread;
};

Thread::Thread() : impl_(new Impl) {}

Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> body) {
  if (impl_->thread.joinable()) return false;
  try {
    impl_->thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void Thread::Join() {
  if (impl_->thread.joinable()) impl_->thread.join();
}

struct Event::Impl {
  std::mutex mutex;
  std::condition_variable changed;
  bool set = false;
};

Event::Event() : impl_(new Impl) {}

Event::~Event() = default;

void Event::Set() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->set = true;
  impl_->changed.notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->set = false;
}

bool Event::Wait(std::uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  const auto isSet = [this] { return impl_->set; };
  if (timeoutMs == kWaitForever) {
    impl_->changed.wait(lock, isSet);
    return true;
  }
  return impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet);
}

struct Lock::Impl {
  std::mutex mutex;
};

Lock::Lock() : impl_(new Impl) {}

Lock::~Lock() = default;

void Lock::Acquire() { impl_->mutex.lock(); }

void Lock::Release() { impl_->mutex.unlock(); }

std::uint32_t MonotonicMs() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::uintptr_t CurrentThreadId() { return std::hash<std::thread::id>()(std::this_thread::get_id()); }

}  // namespace platform
