// The worker that updates a VEQ7308(R)+ or VEQ7316(R)+ device over TCP/IP: the command
// protocol on port 5049 for information, erase, reset and image 1, the monitor link on
// port 7000 for image 2.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "firmware/exf_image.h"
#include "platform/sockets.h"
#include "platform/thread.h"
#include "platform/worker_life.h"

// What the worker asks of its window; each call runs on the window thread while the
// worker waits.
class DownloadV2WindowOps {
 public:
  virtual ~DownloadV2WindowOps() = default;
  virtual void StartAnimation() = 0;
  virtual void Progress(std::uint32_t percent) = 0;
  virtual void Success() = 0;
  virtual void Failure(const std::string& message) = 0;
  // The two boxes the worker shows itself: an information box with OK, and a Yes/No
  // question (true for Yes).
  virtual void Inform(const std::string& text) = 0;
  virtual bool Ask(const std::string& text) = 0;
};

// The product's ports and waits; tests pass others.
struct NetworkTimings {
  std::uint16_t commandPort = 5049;
  std::uint16_t monitorPort = 7000;
  int connectTimeoutMs = 12000;
  int receiveTimeoutMs = 30000;
  int recoveryPauseMs = 500;
  int resetPauseMs = 2000;
};

// Command codes of the command protocol.
constexpr std::uint32_t kCmdDeviceInformation = 0x00010101;
constexpr std::uint32_t kCmdErase = 0x000F0101;
constexpr std::uint32_t kCmdReset = 0x00010F01;
constexpr std::uint32_t kCmdInit = 0x000F0201;
constexpr std::uint32_t kCmdImage = 0x000F0301;
constexpr std::uint32_t kCmdComplete = 0x000F0401;
constexpr std::uint32_t kCmdRomDownload = 0x000F1001;

constexpr int kCommandHeaderSize = 24;
constexpr int kCommandMaxData = 2028;

class TDownloadThrdV2 {
 public:
  // Created suspended; file, window and network must outlive it.
  static std::unique_ptr<TDownloadThrdV2> Create(DownloadV2WindowOps& window, platform::Network& network,
                                                 std::uint32_t address, const ExfFile& file,
                                                 const NetworkTimings& timings = NetworkTimings());
  // Waits for the run to end.
  ~TDownloadThrdV2() = default;
  TDownloadThrdV2(const TDownloadThrdV2&) = delete;
  TDownloadThrdV2& operator=(const TDownloadThrdV2&) = delete;

  // Lets the worker run; false when no thread can be started.
  bool Start();
  // Ends the run at the next exchange or pause, with the current connection cut, so a
  // closing window never waits long for it.
  void RequestStop();
  bool Finished() const { return finished_.load(); }

 private:
  TDownloadThrdV2(DownloadV2WindowOps& window, platform::Network& network, std::uint32_t address,
                  const ExfFile& file, const NetworkTimings& timings);
  void Execute();
  // The update run; true for success, else false with message_ set.
  bool Update();
  // A fresh TCP socket for port; false with its text when none can be made.
  bool NewSocket(std::uint16_t port);
  bool ConnectDevice(std::uint16_t port);
  // A fresh connection to the command port, whose failure always reads "fail".
  bool Reconnect();
  void CloseSocket();
  bool ExchangeCommand(std::uint32_t code, const std::uint8_t* data, std::uint16_t length);
  bool Command(std::uint32_t code, const char* failure, const std::uint8_t* data = nullptr, std::uint16_t length = 0);
  bool DownloadImage1();
  bool MonitorDownloadImage2();
  void AddProgress(std::uint32_t bytes);
  bool Pause(int ms) { return life_.Sleep(static_cast<std::uint32_t>(ms)); }
  bool StopRequested() const { return life_.Terminated(); }
  bool Fail(const std::string& text);
  std::string AddressText() const;

  DownloadV2WindowOps& window_;
  platform::Network& network_;
  std::uint32_t address_;
  const ExfFile& file_;
  NetworkTimings timings_;
  platform::Lock socketLock_;  // guards the pointer: RequestStop cuts the socket from another thread
  std::unique_ptr<platform::Socket> socket_;
  std::uint32_t deviceCode_ = 0;
  std::uint16_t deviceVersions_[4] = {};
  std::uint16_t openPorts_ = 0;
  std::uint32_t total_ = 0;
  std::uint32_t done_ = 0;
  std::uint32_t percent_ = 0;
  std::uint32_t transactionId_ = 0;
  std::string message_;
  std::uint8_t packet_[kCommandHeaderSize + kCommandMaxData] = {};
  std::atomic<bool> finished_{false};
  platform::WorkerLife life_;  // last: its thread ends before the members above go
};
