#include <windows.h>

#include "platform/thread.h"

namespace platform {

struct Thread::Impl {
  std::function<void()> body;
  HANDLE handle = nullptr;
};

// Windows 9x calls no TLS callbacks for a program's own image, only for DLLs, and the
// runtime counts on them. libmingw32's __mingw_TLScallback sets up the list of per-thread
// key destructors at process start (until then registering one silently does nothing),
// runs them at each thread's end and resets the FPU of each new thread. The destructors
// are what libgcc's emutls (thread_local data, the exception globals) and win32 gthreads
// register; crtexe itself calls only __dyn_tls_init, which runs none. So a callback of
// this layer notes the threads the system calls back for, and for the others this layer
// calls the runtime's callback itself: at process start and at a worker's start and end.
// Never both, since a destructor run twice frees twice.
extern "C" BOOL __mingw_TLScallback(HANDLE module, DWORD reason, LPVOID reserved);

namespace {

DWORD calledBackSlot = TLS_OUT_OF_INDEXES;

void NTAPI NoteSystemCallback(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_PROCESS_ATTACH) calledBackSlot = TlsAlloc();
  if ((reason == DLL_PROCESS_ATTACH || reason == DLL_THREAD_ATTACH) && calledBackSlot != TLS_OUT_OF_INDEXES)
    TlsSetValue(calledBackSlot, &calledBackSlot);
}

bool SystemCallsBack() {
  return calledBackSlot != TLS_OUT_OF_INDEXES && TlsGetValue(calledBackSlot) == &calledBackSlot;
}

// Before the constructors that could register a key destructor.
__attribute__((constructor(101))) void StandInForProcessStart() {
  if (!SystemCallsBack()) __mingw_TLScallback(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr);
}

DWORD WINAPI RunBody(LPVOID impl) {
  const bool standIn = !SystemCallsBack();
  if (standIn) __mingw_TLScallback(nullptr, DLL_THREAD_ATTACH, nullptr);
  static_cast<Thread::Impl*>(impl)->body();
  if (standIn) __mingw_TLScallback(nullptr, DLL_THREAD_DETACH, nullptr);
  return 0;
}

// In the image's list of TLS callbacks, which the linker sorts by section name between
// the runtime's .CRT$XLA and .CRT$XLZ.
__attribute__((section(".CRT$XLV"), used)) PIMAGE_TLS_CALLBACK noteSystemCallback = NoteSystemCallback;

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
