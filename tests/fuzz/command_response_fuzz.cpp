// The network download worker with the device's answers as input. Byte 0: bit 0 answers
// the worker's question Yes, bit 1 makes the network library fail to start. Then one
// record per socket the worker makes, in order: a connect byte (low two bits: 0 or 3
// connected, 1 timed out, 2 failed; bit 7: the device closes once it has said all, else
// it falls silent), a big-endian 16-bit length and that many bytes the device sends.
// When the records run out no socket can be made.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "firmware/download_thread_v2.h"
#include "fuzz_support.h"
#include "support/scripted_socket.h"

namespace {

class FuzzSocket : public testsupport::ScriptedSocket {
 public:
  explicit FuzzSocket(platform::ConnectResult result) : result_(result) {}
  platform::ConnectResult Connect(std::uint32_t, std::uint16_t, int, int) override { return result_; }

 private:
  platform::ConnectResult result_;
};

class FuzzNetwork : public platform::Network {
 public:
  FuzzNetwork(const std::uint8_t* data, std::size_t size, bool starts) : data_(data), size_(size), starts_(starts) {}
  bool Startup() override { return starts_; }
  void Cleanup() override {}
  std::unique_ptr<platform::Socket> CreateTcpSocket() override {
    if (at_ + 3 > size_) return nullptr;
    const std::uint8_t connect = data_[at_];
    const std::size_t length = std::min<std::size_t>(static_cast<std::size_t>(data_[at_ + 1] << 8 | data_[at_ + 2]),
                                                     size_ - at_ - 3);
    const platform::ConnectResult results[] = {platform::ConnectResult::kConnected, platform::ConnectResult::kTimedOut,
                                               platform::ConnectResult::kFailed, platform::ConnectResult::kConnected};
    auto socket = std::make_unique<FuzzSocket>(results[connect & 3]);
    if (length > 0) socket->Arrive(std::string(reinterpret_cast<const char*>(data_ + at_ + 3), length));
    if ((connect & 0x80) != 0) socket->CloseFromPeer();
    at_ += 3 + length;
    return socket;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  bool starts_;
  std::size_t at_ = 0;
};

class RecordingWindow : public DownloadV2WindowOps {
 public:
  explicit RecordingWindow(bool yes) : yes_(yes) {}
  void StartAnimation() override {}
  void Progress(std::uint32_t percent) override { fuzz::Require(percent <= 100, "progress never passes 100 %"); }
  void Success() override { ++outcomes; }
  void Failure(const std::string& message) override {
    ++outcomes;
    fuzz::Require(!message.empty(), "a failure says what failed");
  }
  void Inform(const std::string&) override {}
  bool Ask(const std::string&) override { return yes_; }
  int outcomes = 0;

 private:
  bool yes_;
};

// A file for a VEQ7316(R)+: image 1 of two blocks, the last one short; image 2 of two
// whole blocks and a tail the monitor does not send.
ExfFile* file = nullptr;

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned step) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * step + 1);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  file = new ExfFile;
  const auto bytes = BuildExfBytes(0x7316, Pattern(1500, 3), 1, 2, Pattern(2100, 5), 1, 2);
  fuzz::Require(CheckExfBytes(bytes, 0x7316, file) == ExfResult::kAccepted, "the worker's file is sound");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  RecordingWindow window((data[0] & 1) != 0);
  FuzzNetwork network(data + 1, size - 1, (data[0] & 2) == 0);
  // No real waits: every pause and time-out is zero.
  const NetworkTimings timings{5049, 7000, 0, 0, 0, 0};
  auto worker = TDownloadThrdV2::Create(window, network, 0x0A00000A, *file, timings);
  fuzz::Require(worker->Start(), "the worker starts");
  worker.reset();  // waits for the end of the run
  fuzz::Require(window.outcomes == 1, "a run ends in exactly one success or failure");
  return 0;
}
