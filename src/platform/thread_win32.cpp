#include <windows.h>

#include "platform/thread.h"

namespace platform {

struct Thread::Impl {
  std::function<void()> body;
  HANDLE handle = nullptr;
};

namespace {

DWORD WINAPI RunBody(LPVOID impl) {
  static_cast<Thread::Impl*>(impl)->body();
  return 0;
}

}  // namespace

Thread::Thread() : impl_(new Impl) {}

Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> body) {
  if (impl_->handle != nullptr) return false;
  impl_->body = std::move(body);
  // Windows 9x fails CreateThread when the thread id pointer is null.
  DWORD id = 0;
  impl_->handle = CreateThread(nullptr, 0, RunBody, impl_.get(), 0, &id);
  return impl_->handle != nullptr;
}

void Thread::Join() {
  if (impl_->handle == nullptr) return;
  WaitForSingleObject(impl_->handle, INFINITE);
  CloseHandle(impl_->handle);
  impl_->handle = nullptr;
}

struct Event::Impl {
  HANDLE handle = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

Event::Event() : impl_(new Impl) {}

Event::~Event() {
  if (impl_->handle != nullptr) CloseHandle(impl_->handle);
}

void Event::Set() { SetEvent(impl_->handle); }

void Event::Reset() { ResetEvent(impl_->handle); }

bool Event::Wait(std::uint32_t timeoutMs) {
  return WaitForSingleObject(impl_->handle, timeoutMs == kWaitForever ? INFINITE : timeoutMs) == WAIT_OBJECT_0;
}

struct Lock::Impl {
  CRITICAL_SECTION section;
};

Lock::Lock() : impl_(new Impl) { InitializeCriticalSection(&impl_->section); }

Lock::~Lock() { DeleteCriticalSection(&impl_->section); }

void Lock::Acquire() { EnterCriticalSection(&impl_->section); }

void Lock::Release() { LeaveCriticalSection(&impl_->section); }

std::uint32_t MonotonicMs() { return GetTickCount(); }

void SleepMs(std::uint32_t ms) { Sleep(ms); }

std::uintptr_t CurrentThreadId() { return GetCurrentThreadId(); }

}  // namespace platform
