#include "devsim/device_simulator.h"

#include "devsim/listen_socket.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace devsim {
namespace {

constexpr std::uint32_t kCommandMagic = 0x4C524F54;  // "LROT"
constexpr std::uint32_t kInformation = 0x00010101, kReset = 0x00010F01, kInit = 0x000F0201, kImage = 0x000F0301,
                        kComplete = 0x000F0401;
constexpr std::uint16_t kIdentify = 1, kIdentifyAnswer = 2, kAck = 10, kNak = 11, kReboot = 16, kBegin = 32,
                        kData = 33, kEnd = 34;
constexpr int kPollMs = 50;

std::uint32_t Big32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
         static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}
std::uint16_t Big16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] << 8 | at[1]); }
void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (24 - 8 * i)));
}
void PutBig16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}
std::uint32_t Sum(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  return sum;
}

bool SendAll(int connection, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = send(connection, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Reads a connection in large pieces, so a request costs one receive, not one for its
// header and one for its data. The connection has a short receive time-out, so a wait
// wakes now and then to look at stop.
class Reader {
 public:
  Reader(int connection, const std::atomic<bool>& stop) : connection_(connection), stop_(stop) {}

  // Exactly size bytes; false when the peer goes or stop is set.
  bool Read(std::uint8_t* data, std::size_t size) {
    while (size > 0) {
      if (begin_ == end_) {
        const ssize_t n = recv(connection_, buffer_, sizeof buffer_, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return false;
        if (stop_) return false;
        if (n < 0) continue;
        begin_ = 0;
        end_ = static_cast<std::size_t>(n);
      }
      const std::size_t take = std::min(size, end_ - begin_);
      std::memcpy(data, buffer_ + begin_, take);
      begin_ += take;
      data += take;
      size -= take;
    }
    return true;
  }
  // Waits, reading and dropping, until the peer goes or stop is set.
  void Drain() {
    std::uint8_t byte;
    while (Read(&byte, 1)) {
    }
  }

 private:
  int connection_;
  const std::atomic<bool>& stop_;
  std::uint8_t buffer_[8192];
  std::size_t begin_ = 0, end_ = 0;
};

}  // namespace

DeviceSimulator::DeviceSimulator(const DeviceSettings& settings) : settings_(settings) {
  commandListener_ = ListenOnLoopback(settings.commandPort, 4, false, &commandPort_);
  monitorListener_ = ListenOnLoopback(settings.monitorPort, 4, false, &monitorPort_);
  ok_ = commandListener_ >= 0 && monitorListener_ >= 0;
  if (!ok_) return;
  // Refused from the start: a client quicker than the serving thread's first turn would
  // otherwise be let in and then cut off.
  if (settings.fault == Fault::kRefuseCommandPort) {
    close(commandListener_);
    commandListener_ = -1;
  }
  commandThread_ = std::thread(&DeviceSimulator::Serve, this, commandListener_, false);
  monitorThread_ = std::thread(&DeviceSimulator::Serve, this, monitorListener_, true);
}

DeviceSimulator::~DeviceSimulator() {
  stopping_ = true;
  if (commandThread_.joinable()) commandThread_.join();
  if (monitorThread_.joinable()) monitorThread_.join();
  if (commandListener_ >= 0) close(commandListener_);
  if (monitorListener_ >= 0) close(monitorListener_);
}

void DeviceSimulator::SetFault(Fault fault, std::uint32_t command) {
  std::lock_guard<std::mutex> lock(mutex_);
  settings_.fault = fault;
  settings_.faultCommand = command;
}

void DeviceSimulator::Serve(int listener, bool monitor) {
  while (!stopping_) {
    if (!monitor) {
      // A refused command port is a closed one: connections get no answer at all.
      std::unique_lock<std::mutex> lock(mutex_);
      const bool refuse = settings_.fault == Fault::kRefuseCommandPort;
      if (refuse && commandListener_ >= 0) {
        close(commandListener_);
        commandListener_ = -1;
      } else if (!refuse && commandListener_ < 0) {
        std::uint16_t bound = 0;
        commandListener_ = ListenOnLoopback(commandPort_, 4, false, &bound);
      }
      listener = commandListener_;
      lock.unlock();
      if (listener < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        continue;
      }
    }
    pollfd entry{listener, POLLIN, 0};
    if (poll(&entry, 1, kPollMs) <= 0) continue;
    const int connection = accept(listener, nullptr, nullptr);
    if (connection < 0) continue;
    timeval wake{0, kPollMs * 1000};
    setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &wake, sizeof wake);
    if (monitor)
      ServeMonitor(connection);
    else
      ServeCommands(connection);
    close(connection);
  }
}

bool DeviceSimulator::Respond(int connection, std::uint32_t id, std::uint32_t command, std::uint32_t status,
                              const std::vector<std::uint8_t>& data) {
  Fault fault;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fault = settings_.fault;
  }
  std::vector<std::uint8_t> packet;
  PutBig32(packet, fault == Fault::kWrongMagic ? 0x4C524F58 : kCommandMagic);
  PutBig32(packet, fault == Fault::kWrongTransactionId ? id + 7 : id);
  PutBig32(packet, command);
  PutBig32(packet, status);
  PutBig32(packet, 0);
  PutBig16(packet, 0);
  PutBig16(packet, static_cast<std::uint16_t>(data.size()));
  packet.insert(packet.end(), data.begin(), data.end());
  if (fault == Fault::kSplitHeader) {
    if (!SendAll(connection, packet.data(), 10)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return SendAll(connection, packet.data() + 10, packet.size() - 10);
  }
  return SendAll(connection, packet.data(), packet.size());
}

void DeviceSimulator::ServeCommands(int connection) {
  Reader reader(connection, stopping_);
  std::uint8_t header[24];
  std::vector<std::uint8_t> data;
  while (reader.Read(header, sizeof header)) {
    const std::uint32_t id = Big32(header + 4), command = Big32(header + 8);
    data.assign(Big16(header + 22), 0);
    if (!reader.Read(data.data(), data.size())) return;
    std::unique_lock<std::mutex> lock(mutex_);
    commands_.push_back(command);
    const Fault fault = settings_.fault;
    const bool refused = fault == Fault::kRefuseCommand && settings_.faultCommand == command;
    std::vector<std::uint8_t> answer;
    if (command == kInformation) {
      PutBig32(answer, settings_.deviceCode);
      answer.resize(12, 0);
      for (std::uint16_t version : settings_.versions) PutBig16(answer, version);
      answer.resize(24, 0);
      PutBig16(answer, settings_.openPorts);
      PutBig16(answer, 0);
      if (fault == Fault::kAnnounceTooMuch) answer.resize(4000, 0);
    } else if (command == kReset) {
      ++resets_;
    } else if (command == kInit && data.size() >= 16) {
      image1_.clear();
      initSum_ = Big32(data.data() + 4);
      initSize_ = Big32(data.data() + 8);
      initBlocks_ = Big32(data.data() + 12);
    } else if (command == kImage && data.size() == 1036) {
      const std::uint32_t length = Big32(data.data() + 8);
      blockLengths_.push_back(length);
      if (length > 1024 || Sum(data.data() + 12, length) != Big32(data.data() + 4))
        problem_ = "IMG block " + std::to_string(Big32(data.data())) + " has a wrong sum or length";
      else
        image1_.insert(image1_.end(), data.begin() + 12, data.begin() + 12 + length);
      ++imageBlocksSeen_;
      if (fault == Fault::kCloseMidTransfer && imageBlocksSeen_ == 3) return;
      if (fault == Fault::kFallSilent) {
        lock.unlock();
        reader.Drain();
        return;
      }
    } else if (command == kComplete) {
      if (image1_.size() != initSize_ || Sum(image1_.data(), image1_.size()) != initSum_)
        problem_ = "image 1 does not match its INIT";
    }
    lock.unlock();
    if (!Respond(connection, id, command, refused ? 1 : 0, answer)) return;
  }
}

void DeviceSimulator::ServeMonitor(int connection) {
  Reader reader(connection, stopping_);
  std::uint8_t header[13];
  std::vector<std::uint8_t> data;
  std::uint32_t sum = 0;
  int blocks = 0;
  while (reader.Read(header, sizeof header)) {
    const std::uint16_t code = Big16(header + 9);
    data.assign(Big16(header + 11), 0);
    if (std::memcmp(header, "EVA MON", 7) != 0 || data.size() > 2048 || !reader.Read(data.data(), data.size()))
      return;
    std::unique_lock<std::mutex> lock(mutex_);
    monitorCodes_.push_back(code);
    const Fault fault = settings_.fault;
    std::uint16_t answer = kAck;
    if (code == kIdentify) {
      answer = kIdentifyAnswer;
    } else if (code == kBegin) {
      image2_.clear();
      sum = 0;
    } else if (code == kData) {
      image2_.insert(image2_.end(), data.begin(), data.end());
      sum += Sum(data.data(), data.size());
      ++blocks;
      if (fault == Fault::kCloseMidTransfer && blocks == 3) return;
      if (fault == Fault::kFallSilent) {
        lock.unlock();
        reader.Drain();
        return;
      }
    } else if (code == kEnd) {
      if (data.size() != 4 || Big32(data.data()) != sum) {
        problem_ = "the monitor end sum does not match";
        answer = kNak;
      }
    } else if (code == kReboot && fault == Fault::kRefuseCommandPort) {
      settings_.fault = Fault::kNone;  // the interrupted download is done: the device is whole again
    }
    if (fault == Fault::kNakMonitorCode && settings_.faultCommand == code) answer = kNak;
    lock.unlock();
    std::vector<std::uint8_t> packet(header, header + 7);
    PutBig16(packet, 0);
    PutBig16(packet, answer);
    PutBig16(packet, 0);
    if (!SendAll(connection, packet.data(), packet.size())) return;
  }
}

std::vector<std::uint8_t> DeviceSimulator::Image1() {
  std::lock_guard<std::mutex> lock(mutex_);
  return image1_;
}
std::vector<std::uint8_t> DeviceSimulator::Image2() {
  std::lock_guard<std::mutex> lock(mutex_);
  return image2_;
}
std::vector<std::uint32_t> DeviceSimulator::Commands() {
  std::lock_guard<std::mutex> lock(mutex_);
  return commands_;
}
std::vector<std::uint16_t> DeviceSimulator::MonitorCodes() {
  std::lock_guard<std::mutex> lock(mutex_);
  return monitorCodes_;
}
std::vector<std::uint32_t> DeviceSimulator::ImageBlockLengths() {
  std::lock_guard<std::mutex> lock(mutex_);
  return blockLengths_;
}
std::uint32_t DeviceSimulator::InitBlocks() {
  std::lock_guard<std::mutex> lock(mutex_);
  return initBlocks_;
}
int DeviceSimulator::Resets() {
  std::lock_guard<std::mutex> lock(mutex_);
  return resets_;
}
std::string DeviceSimulator::Problem() {
  std::lock_guard<std::mutex> lock(mutex_);
  return problem_;
}

}  // namespace devsim
