// Threads, events, a lock and a millisecond clock in the calls Windows 9x has: this
// runtime's <thread>, <mutex> and <condition_variable> import functions that Windows 98
// lacks, and its steady_clock is not monotonic.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

constexpr std::uint32_t kWaitForever = 0xFFFFFFFF;

class Thread {
 public:
  Thread();
  // Waits for the thread's end.
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Runs body on a new thread; false when none can be started (or one already was).
  bool Start(std::function<void()> body);
  // Waits for the thread's end; returns at once when none was started.
  void Join();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// A manual-reset event: once set it stays set until reset.
class Event {
 public:
  Event();
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event is set, at once or within timeoutMs.
  bool Wait(std::uint32_t timeoutMs = kWaitForever);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// A lock that one thread at a time holds; not recursive.
class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void Acquire();
  void Release();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Holds a lock for the scope it lives in.
class Locked {
 public:
  explicit Locked(Lock& lock) : lock_(lock) { lock_.Acquire(); }
  ~Locked() { lock_.Release(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  Lock& lock_;
};

// Milliseconds since an arbitrary start, never going back; wraps after about 49 days, so
// compare differences, not values.
std::uint32_t MonotonicMs();

void SleepMs(std::uint32_t ms);

// The calling thread's identity, for telling one thread from another.
std::uintptr_t CurrentThreadId();

}  // namespace platform
