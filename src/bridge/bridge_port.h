// One served port: the pseudo-terminal and its link, the control socket beside it, and
// the device link through RFC 2217, all driven by the bridge's one event loop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bridge/device_link.h"
#include "platform/bridge_io.h"

namespace bridge {

struct PortConfig {
  std::int32_t comNumber = 0;
  std::uint32_t address = 0;  // network byte order
  std::uint16_t tcpPort = 0;
  bool autoReconn = false;
  bool operator==(const PortConfig& other) const {
    return comNumber == other.comNumber && address == other.address && tcpPort == other.tcpPort &&
           autoReconn == other.autoReconn;
  }
};

// Memory per port is bounded by these buffers plus one read chunk each way.
constexpr std::size_t kToPtyMax = 64 * 1024;     // device data the program has not read yet
constexpr std::size_t kToDeviceMax = 64 * 1024;  // encoded bytes the TCP socket has not taken
constexpr std::size_t kHeldMax = 64 * 1024;      // program data written while the link is down
constexpr std::size_t kChunk = 16 * 1024;

enum class LinkState { kIdle, kConnecting, kUp, kWaiting, kFailed };
const char* LinkStateName(LinkState state);

class Log {
 public:
  virtual ~Log() = default;
  virtual void Line(const std::string& text) = 0;
};

class BridgePort : private DeviceLink::Events {
 public:
  BridgePort(const PortConfig& config, const std::string& comDir, Log& log);
  ~BridgePort() override;
  BridgePort(const BridgePort&) = delete;
  BridgePort& operator=(const BridgePort&) = delete;

  // Makes the pty, its link and the control socket; false (logged) when it cannot.
  bool Open();
  // A changed mapping: the link is made again with the new values.
  void Reconfigure(const PortConfig& config);
  const PortConfig& config() const { return config_; }
  std::string name() const { return "COM" + std::to_string(config_.comNumber); }

  // The loop: AddPolls adds this port's entries and lowers *deadline to its next one;
  // Serve handles what the poll found in the count entries this port added.
  void AddPolls(std::vector<platform::bridgeio::PollEntry>* entries, long long now, long long* deadline);
  void Serve(const platform::bridgeio::PollEntry* entries, std::size_t count, long long now);
  std::string StatusLine() const;

 private:
  struct Client {
    int fd = -1;
    std::string in, out;
    bool waiting = false;  // a request is being answered by the device
  };
  enum class Waiting { kNone, kLines, kPrivate, kLink };

  // DeviceLink::Events
  void SendToDevice(const std::uint8_t* data, std::size_t size) override;
  void DeviceData(const std::uint8_t* data, std::size_t size) override;
  void ControlAnswered() override;
  void PrivateAnswered(std::uint8_t code, std::uint8_t status) override;
  void PrivateRefused() override;
  void Fault(const std::string& what) override;

  void Connect(long long now);
  void LinkUp();
  void LinkDown(const std::string& why, long long now);
  void CloseLink();
  void SendSettings(bool all);
  void SendLines();
  void ServePtyRead();
  void ServeTcpRead(long long now);
  void ServeClient(Client& client, long long now);
  void Answer(Client& client, const std::string& text);
  Client* FindClient(int fd);
  void Request(Client& client, const std::string& line, long long now);
  void FinishWait(const std::string& answer);
  void SlaveOpened(long long now);
  void SlaveClosed();

  PortConfig config_;
  std::string comDir_, linkPath_, controlPath_;
  Log& log_;
  platform::bridgeio::Pty pty_;
  int listener_ = -1;
  std::vector<Client> clients_;
  bool slaveOpen_ = false;
  long long nextSlaveCheck_ = 0;

  int tcp_ = -1;
  LinkState state_ = LinkState::kIdle;
  std::unique_ptr<DeviceLink> link_;
  long long retryAt_ = 0;
  int retryPauseMs_ = 0;
  bool loggedRefusal_ = false;
  std::string toPty_, toDevice_, held_;
  std::uint64_t bytesIn_ = 0, bytesOut_ = 0;

  // What the program asked for; sent again after every reconnect.
  struct Wanted {
    std::uint32_t baud = 9600;
    std::uint8_t dataSize = 8, parity = 1, stopSize = 1, flow = 1;  // RFC 2217 values
  };
  Wanted wanted_, sent_;
  bool dtr_ = false, rts_ = false;
  platform::bridgeio::PtySettings ptySettings_;

  Waiting waiting_ = Waiting::kNone;
  int waiterFd_ = -1;
  int answersDue_ = 0;
  long long waitDeadline_ = 0;
};

}  // namespace bridge
