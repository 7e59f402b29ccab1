// The device side of the network firmware update, served on 127.0.0.1: the command
// protocol and the monitor protocol as a VEQ7308(R)+ or VEQ7316(R)+ device speaks them,
// keeping the images it receives, and misbehaving on request, one fault at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace devsim {

enum class Fault {
  kNone,
  kRefuseCommandPort,   // connections to the command port are closed at once
  kSplitHeader,         // every response header goes out in two TCP segments
  kWrongTransactionId,  // responses carry another transaction id
  kWrongMagic,          // responses carry another magic
  kRefuseCommand,       // the command faultCommand is answered with status 1
  kNakMonitorCode,      // the monitor code faultCommand is answered with NAK
  kCloseMidTransfer,    // the connection is closed after the third image block
  kFallSilent,          // no answer at all once the first image block came
  kAnnounceTooMuch,     // the device information answer announces 4000 data bytes
};

struct DeviceSettings {
  std::uint32_t deviceCode = 0x7316;
  std::uint16_t versions[4] = {1, 0, 1, 0};  // image 1 major, minor, image 2 major, minor
  std::uint16_t openPorts = 0;
  std::uint16_t commandPort = 0;  // 0: any free port
  std::uint16_t monitorPort = 0;
  Fault fault = Fault::kNone;
  std::uint32_t faultCommand = 0;
};

class DeviceSimulator {
 public:
  explicit DeviceSimulator(const DeviceSettings& settings);
  ~DeviceSimulator();
  DeviceSimulator(const DeviceSimulator&) = delete;
  DeviceSimulator& operator=(const DeviceSimulator&) = delete;

  // Whether both ports could be bound when the device was made.
  bool ok() const { return ok_; }
  std::uint16_t commandPort() const { return commandPort_; }
  std::uint16_t monitorPort() const { return monitorPort_; }

  // What the device has received and done.
  std::vector<std::uint8_t> Image1();
  std::vector<std::uint8_t> Image2();
  std::vector<std::uint32_t> Commands();  // command codes in the order they came
  std::vector<std::uint16_t> MonitorCodes();
  std::vector<std::uint32_t> ImageBlockLengths();  // of each IMG, as announced
  std::uint32_t InitBlocks();
  int Resets();
  // A checked sum or length that did not match, described; empty when all matched.
  std::string Problem();
  void SetFault(Fault fault, std::uint32_t command = 0);

 private:
  void Serve(int listener, bool monitor);
  void ServeCommands(int connection);
  void ServeMonitor(int connection);
  bool Respond(int connection, std::uint32_t id, std::uint32_t command, std::uint32_t status,
               const std::vector<std::uint8_t>& data);

  DeviceSettings settings_;
  int commandListener_ = -1;
  int monitorListener_ = -1;
  bool ok_ = false;
  std::uint16_t commandPort_ = 0;
  std::uint16_t monitorPort_ = 0;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<std::uint8_t> image1_, image2_;
  std::vector<std::uint32_t> commands_;
  std::vector<std::uint16_t> monitorCodes_;
  std::vector<std::uint32_t> blockLengths_;
  std::uint32_t initBlocks_ = 0;
  std::uint32_t initSum_ = 0;
  std::uint32_t initSize_ = 0;
  int resets_ = 0;
  int imageBlocksSeen_ = 0;
  std::string problem_;
  std::thread commandThread_, monitorThread_;
};

}  // namespace devsim
