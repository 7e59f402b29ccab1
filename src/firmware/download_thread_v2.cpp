#include "firmware/download_thread_v2.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "firmware/monitor_link.h"
#include "platform/address.h"

namespace {

constexpr std::uint32_t kCommandMagic = 0x4C524F54;  // "LROT"
constexpr std::uint32_t kBlockSize = 1024;
constexpr int kImageDataSize = 12 + 1024;

void PutBig32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

void PutBig16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value);
}

std::uint32_t Big32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) << 24 | static_cast<std::uint32_t>(at[1]) << 16 |
         static_cast<std::uint32_t>(at[2]) << 8 | at[3];
}

std::uint16_t Big16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] << 8 | at[1]); }

// Image n is sent when the file's version is newer than the device's or the same.
bool Newer(std::uint16_t fileMajor, std::uint16_t fileMinor, std::uint16_t deviceMajor, std::uint16_t deviceMinor) {
  return fileMajor > deviceMajor || (fileMajor == deviceMajor && fileMinor >= deviceMinor);
}

}  // namespace

std::unique_ptr<TDownloadThrdV2> TDownloadThrdV2::Create(DownloadV2WindowOps& window, platform::Network& network,
                                                         std::uint32_t address, const ExfFile& file,
                                                         const NetworkTimings& timings) {
  return std::unique_ptr<TDownloadThrdV2>(new TDownloadThrdV2(window, network, address, file, timings));
}

TDownloadThrdV2::TDownloadThrdV2(DownloadV2WindowOps& window, platform::Network& network, std::uint32_t address,
                                 const ExfFile& file, const NetworkTimings& timings)
    : window_(window), network_(network), address_(address), file_(file), timings_(timings) {}

bool TDownloadThrdV2::Start() {
  if (!life_.Start([this] { Execute(); })) return false;
  life_.Resume();
  return true;
}

void TDownloadThrdV2::RequestStop() {
  life_.Terminate();
  platform::Locked locked(socketLock_);
  if (socket_) socket_->Shutdown();
}

void TDownloadThrdV2::Execute() {
  if (!network_.Startup()) {
    message_ = "There is no resource to startup network";
    window_.Failure(message_);
    finished_ = true;
    return;
  }
  const bool succeeded = Update();
  CloseSocket();
  network_.Cleanup();
  if (succeeded)
    window_.Success();
  else
    window_.Failure(message_);
  finished_ = true;
}

std::string TDownloadThrdV2::AddressText() const { return platform::InetNtoa(address_); }

bool TDownloadThrdV2::Fail(const std::string& text) {
  message_ = text;
  return false;
}

void TDownloadThrdV2::CloseSocket() {
  platform::Locked locked(socketLock_);
  socket_.reset();
}

bool TDownloadThrdV2::NewSocket(std::uint16_t port) {
  CloseSocket();
  std::unique_ptr<platform::Socket> socket = network_.CreateTcpSocket();
  if (!socket) {
    char text[128];
    std::snprintf(text, sizeof text, "There is no resource to connect the Device on %s:%d", AddressText().c_str(),
                  port);
    return Fail(text);
  }
  platform::Locked locked(socketLock_);
  socket_ = std::move(socket);
  return true;
}

bool TDownloadThrdV2::Reconnect() {
  if (!NewSocket(timings_.commandPort)) return false;
  if (ConnectDevice(timings_.commandPort)) return true;
  char text[96];
  std::snprintf(text, sizeof text, "Connect the Device on %s:%d fail", AddressText().c_str(), timings_.commandPort);
  return Fail(text);
}

bool TDownloadThrdV2::ConnectDevice(std::uint16_t port) {
  const platform::ConnectResult result =
      socket_->Connect(address_, port, timings_.connectTimeoutMs, timings_.receiveTimeoutMs);
  if (result == platform::ConnectResult::kConnected && !StopRequested()) return true;
  char text[128];
  std::snprintf(text, sizeof text,
                result == platform::ConnectResult::kTimedOut ? "Connect the Device on %s:%d timeout"
                                                             : "Connect the Device on %s:%d fail",
                AddressText().c_str(), port);
  return Fail(text);
}

bool TDownloadThrdV2::ExchangeCommand(std::uint32_t code, const std::uint8_t* data, std::uint16_t length) {
  if (StopRequested() || length > kCommandMaxData) return false;
  const std::uint32_t sentId = transactionId_;
  std::memset(packet_, 0, kCommandHeaderSize);
  PutBig32(packet_, kCommandMagic);
  PutBig32(packet_ + 4, sentId);
  PutBig32(packet_ + 8, code);
  PutBig16(packet_ + 22, length);
  if (length > 0) std::memcpy(packet_ + kCommandHeaderSize, data, length);
  platform::Socket& socket = *socket_;
  if (!platform::SendAll(socket, packet_, kCommandHeaderSize + length)) return false;
  if (!platform::ReceiveExactly(socket, packet_, kCommandHeaderSize)) return false;
  if (Big32(packet_) != kCommandMagic) return false;
  ++transactionId_;
  if (Big32(packet_ + 4) != sentId) return false;
  const std::uint16_t answered = Big16(packet_ + 22);
  // The data area holds 2028 bytes: an answer announcing more is refused unread.
  if (answered > kCommandMaxData) return false;
  if (!platform::ReceiveExactly(socket, packet_ + kCommandHeaderSize, answered)) return false;
  return Big32(packet_ + 12) == 0;
}

bool TDownloadThrdV2::Command(std::uint32_t code, const char* failure, const std::uint8_t* data,
                              std::uint16_t length) {
  return ExchangeCommand(code, data, length) || Fail(failure);
}

void TDownloadThrdV2::AddProgress(std::uint32_t bytes) {
  done_ += bytes;
  percent_ = total_ == 0 ? 0 : static_cast<std::uint32_t>(static_cast<std::uint64_t>(done_) * 100 / total_);
  window_.Progress(percent_);
}

bool TDownloadThrdV2::Update() {
  // The recovery path: a device that refuses the command port is still in the middle of
  // an earlier download; it gets image 2 through the monitor, then a new attempt.
  for (;;) {
    if (!NewSocket(timings_.commandPort)) return false;
    if (ConnectDevice(timings_.commandPort)) break;
    if (StopRequested()) return false;
    CloseSocket();
    window_.Inform("Correct the error of last download");
    done_ = 0;
    total_ = file_.image2Info.size;
    if (!MonitorDownloadImage2()) return false;
    CloseSocket();
    if (!Pause(timings_.recoveryPauseMs)) return false;
  }
  window_.StartAnimation();
  if (!Command(kCmdDeviceInformation, "The Device fail to process the download command")) return false;
  const std::uint8_t* info = packet_ + kCommandHeaderSize;
  deviceCode_ = Big32(info);
  for (int i = 0; i < 4; ++i) deviceVersions_[i] = Big16(info + 12 + 2 * i);
  openPorts_ = Big16(info + 24);
  if (deviceCode_ != file_.deviceCode) {
    char text[96];
    std::snprintf(text, sizeof text, "The image file is for the device[%x] instead of device[%x]", file_.deviceCode,
                  deviceCode_);
    return Fail(text);
  }
  if (openPorts_ != 0) return Fail("Please make sure all ports have been closed before updating the firmware");

  const ExfImageInfo& one = file_.image1Info;
  const ExfImageInfo& two = file_.image2Info;
  bool sendImage1 = Newer(one.versionMajor, one.versionMinor, deviceVersions_[0], deviceVersions_[1]);
  bool sendImage2 = Newer(two.versionMajor, two.versionMinor, deviceVersions_[2], deviceVersions_[3]);
  done_ = total_ = 0;
  if (sendImage1) total_ += one.size;
  if (sendImage2) total_ += two.size;
  if (!sendImage1 && !sendImage2) {
    if (!window_.Ask("The current image is older than the firmware of device.\nUpdate it ?")) {
      done_ = total_ = 1;
      window_.Progress(100);
      return true;
    }
    sendImage1 = sendImage2 = true;
    total_ = one.size + two.size;
  }
  if (sendImage1) {
    if (!Command(kCmdErase, "The Device fail to erase the old image") ||
        !Command(kCmdReset, "Fail to reset the device for download"))
      return false;
    CloseSocket();
    if (!Pause(timings_.resetPauseMs) || !Reconnect()) return false;
    if (!DownloadImage1()) return false;
    if (!sendImage2) {
      if (!Command(kCmdReset, "Fail to reset the device")) return false;
      Pause(timings_.resetPauseMs);
    }
  }
  if (!sendImage2) return true;
  if (!Command(kCmdRomDownload, "The Device fail to process the rom download command")) return false;
  CloseSocket();
  if (!MonitorDownloadImage2() || !Reconnect()) return false;
  return Command(kCmdReset, "Fail to reset the device");
}

bool TDownloadThrdV2::DownloadImage1() {
  const std::uint32_t size = file_.image1Info.size;
  std::uint8_t init[16];
  PutBig32(init, file_.deviceCode);
  PutBig32(init + 4, file_.image1Info.sum);
  PutBig32(init + 8, size);
  PutBig32(init + 12, (size + kBlockSize - 1) / kBlockSize);
  if (!Command(kCmdInit, "The Device fail to process the download INIT command", init, sizeof init)) return false;
  std::uint8_t block[kImageDataSize];
  for (std::uint32_t position = 0, index = 0; position < size; ++index) {
    const std::uint32_t n = std::min(kBlockSize, size - position);
    const std::uint8_t* bytes = file_.image1.data() + position;
    std::memset(block, 0, sizeof block);
    PutBig32(block, index);
    PutBig32(block + 4, ByteSum(bytes, n));
    PutBig32(block + 8, n);
    std::memcpy(block + 12, bytes, n);
    if (!Command(kCmdImage, "The Device fail to process the download IMG command", block, sizeof block)) return false;
    position += n;
    AddProgress(n);
  }
  return Command(kCmdComplete, "The Device fail to process the download COMPLETE command");
}

bool TDownloadThrdV2::MonitorDownloadImage2() {
  if (!NewSocket(timings_.monitorPort) || !ConnectDevice(timings_.monitorPort)) return false;
  MonitorLink link;
  StartLink(link, *socket_);
  link.receiveTimeoutMs = timings_.receiveTimeoutMs;
  auto exchange = [&](std::uint16_t code, const char* failure, std::uint32_t number = 0, std::uint16_t blocks = 0) {
    return (!StopRequested() && BuildPacket(link, code, number, blocks) == 0 && SendAndAwait(link) == 0) ||
           Fail(failure);
  };
  if (!exchange(kMonIdentify, "The target device is unsupported")) return false;
  const std::uint32_t blocks = file_.image2Info.size / kBlockSize;
  if (!exchange(kMonBeginDownload, "The intialization of download procedure fail", 0,
                static_cast<std::uint16_t>(blocks)))
    return false;
  for (std::uint32_t i = 0; i < blocks; ++i) {
    if (BuildPacket(link, kMonDataBlock, 0, 0, file_.image2.data() + i * kBlockSize, kBlockSize) != 0)
      return Fail("The procedure of processing downloading image fail");
    if (StopRequested() || SendAndAwait(link) != 0) return Fail("The procedure of downloading image fail");
    AddProgress(kBlockSize);
  }
  return exchange(kMonEndDownload, "The final procedure of downloading image fail") &&
         exchange(kMonActiveSetting, "The active setting of downloading image fail", 1) &&
         exchange(kMonReboot, "The reboot of downloading image fail");
}
