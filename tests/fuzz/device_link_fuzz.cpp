// The bridge's receive path: what a device server sends on its link is the input. Byte 0
// is the size of the segments the rest arrives in, less one; after each segment the bridge
// sends a little program data (0xFF among it), as it does between reads.
#include <cstdint>
#include <string>

#include "bridge/device_link.h"
#include "bridge/device_option.h"
#include "fuzz_support.h"

namespace {

namespace opt = veq::deviceoption;

class Recorder : public bridge::DeviceLink::Events {
 public:
  void SendToDevice(const std::uint8_t* data, std::size_t size) override {
    fuzz::Require(!faulted, "nothing goes out after a fault");
    sent.append(reinterpret_cast<const char*>(data), size);
  }
  void DeviceData(const std::uint8_t*, std::size_t size) override {
    fuzz::Require(!faulted, "no data after a fault");
    received += size;
  }
  void ControlAnswered() override { fuzz::Require(!faulted, "no answer after a fault"); }
  void PrivateAnswered(std::uint8_t code, std::uint8_t) override {
    fuzz::Require(!faulted, "no answer after a fault");
    fuzz::Require(code == opt::kControlReboot || code == opt::kControlFirmwareBlock, "a known control code");
  }
  void PrivateRefused() override {}
  void Fault(const std::string&) override {
    fuzz::Require(!faulted, "one fault per link");
    faulted = true;
  }

  std::string sent;
  std::size_t received = 0;
  bool faulted = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t segment = static_cast<std::size_t>(data[0]) + 1;
  Recorder recorder;
  bridge::DeviceLink link(recorder);
  link.Start();
  const std::uint8_t program[] = {'a', 0xFF, 'b'};
  for (std::size_t at = 1; at < size; at += segment) {
    const std::size_t length = std::min(segment, size - at);
    link.Receive(data + at, length);
    fuzz::Require(link.faulted() == recorder.faulted, "the link knows its own fault");
    fuzz::Require((link.modemState() & 0x0F) == 0, "only the four line states are kept");
    if (!link.faulted()) {
      const std::size_t before = recorder.sent.size();
      link.SendData(program, sizeof program);
      fuzz::Require(recorder.sent.compare(before, std::string::npos, "a\xff\xff" "b") == 0,
                    "program data goes out IAC-doubled");
    }
  }
  fuzz::Require(recorder.received <= size, "no more data than the device sent");
  return 0;
}
