// The worker of the COM firmware window: once the window asks for a download it hands the
// accepted image to the driver block by block, moves the progress bar and reports the
// outcome. It serves any number of downloads until the window closes.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/serial.h"
#include "platform/worker_life.h"

// The window's DownloadState.
constexpr std::uint32_t dlsIdle = 0;
constexpr std::uint32_t dlsStartRequested = 1;
constexpr std::uint32_t dlsDownloading = 2;
constexpr std::uint32_t dlsComplete = 3;
constexpr std::uint32_t dlsFailed = 4;

// SendBlock failures; a success is the number of image bytes the block carried.
constexpr int SEND_READ_FAIL = -1;
constexpr int SEND_LENGTH_FAIL = -2;
constexpr int SEND_DRIVER_FAIL = -3;

// What a download works on, handed over by the window when it starts.
struct DownloadJob {
  platform::SerialPort* port = nullptr;
  std::FILE* file = nullptr;  // positioned at the image's first byte
  std::uint32_t fileSize = 0;
  std::uint32_t modelCode = 0;
};

// What the worker asks of its window.
class DownloadWindowOps {
 public:
  virtual ~DownloadWindowOps() = default;
  // Each of these runs synchronously on the window's thread.
  virtual DownloadJob EnterDownloading() = 0;
  virtual void ShowProgress(std::uint32_t bytesSent) = 0;
  virtual void EnterComplete() = 0;
  virtual void EnterFailed() = 0;
  // A result box titled with the window's caption; returns when it is dismissed.
  virtual void ShowResult(const std::string& text, std::uint32_t flags) = 0;
  virtual void ResetAfterDownload() = 0;
};

// The worker's waits; tests and timing runs pass shorter ones.
struct DownloadTiming {
  // Between looks at DownloadState while nothing is asked.
  std::chrono::milliseconds idlePoll{200};
  // After the last block, before the download is declared complete.
  std::chrono::milliseconds completionPause{200};
};

class TDownloadThrd {
 public:
  // Creates the worker suspended; null when no thread can be started. state is the
  // window's DownloadState: only the window's thread writes it, the worker reads it.
  static std::unique_ptr<TDownloadThrd> Create(DownloadWindowOps& window, const std::atomic<std::uint32_t>& state,
                                               DownloadTiming timing = {});
  // Tells the worker to terminate and waits for it.
  ~TDownloadThrd() { Terminate(); }
  TDownloadThrd(const TDownloadThrd&) = delete;
  TDownloadThrd& operator=(const TDownloadThrd&) = delete;

  void Resume() { life_.Resume(); }
  bool Resumed() const { return life_.Resumed(); }
  // The worker ends at its next turn; a suspended worker ends without running.
  void Terminate() { life_.Terminate(); }
  // True once Execute has returned.
  bool ThreadDone() const { return threadDone_.load(); }

 private:
  TDownloadThrd(DownloadWindowOps& window, const std::atomic<std::uint32_t>& state, DownloadTiming timing);
  void Run();
  void Execute();
  int SendBlock(std::uint32_t index);
  const char* FailureText() const;
  // Sleeps for the given time or until told to terminate; false when told.
  bool Sleep(std::chrono::milliseconds time) { return life_.Sleep(static_cast<std::uint32_t>(time.count())); }

  DownloadWindowOps& window_;
  const std::atomic<std::uint32_t>& DownloadState;
  const DownloadTiming timing_;
  DownloadJob job_;
  std::uint32_t BlockCount = 0;
  std::uint32_t BytesSent = 0;
  int lastResult_ = 0;

  std::atomic<bool> threadDone_{false};
  platform::WorkerLife life_;  // last: its thread ends before the members above go
};
