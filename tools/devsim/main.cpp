// veq-devsim: a VEQ7308(R)+ / VEQ7316(R)+ device on 127.0.0.1 for trying the network
// firmware update by hand, and a writer of .exf files.
//
//   veq-devsim [--device 7316] [--versions 1.0.1.0] [--open-ports 0]
//              [--command-port 5049] [--monitor-port 7000] [--fault NAME[:CODE]]
//              [--save-images PREFIX] [--serial-ports 16] [--tcp-base 4000]
//              [--serial-fault NAME[:N]]
//   veq-devsim --write-exf FILE [--device 7316] [--image-sizes 4096,3072]
//              [--image-versions 2.0.2.0] [--break header|image2]
//
// The device runs until standard input ends (Ctrl-D) and then, with --save-images, writes
// the images it received to PREFIX.image1 and PREFIX.image2, and the image its serial ports
// received through the private control option to PREFIX.com-image.
//
// Device port k (1 for the first) is served over RFC 2217 at TCP port tcp-base + k with a
// loopback plug; --tcp-base 0 picks a free range. After the human line, one line for
// programs names the TCP ports:
//   serving command=5049 monitor=7000 serial=4001-4016 tcp-base=4000
// Lines on standard input steer the device while it runs:
//   serial-fault NAME[:N]   one serial fault from now on (none ends it); answers "ok ..."
//   status                  one line per serial port that had a link, the control
//                           option's counts, then "end"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "devsim/device_simulator.h"
#include "devsim/serial_ports.h"
#include "firmware/exf_image.h"

namespace {

const std::map<std::string, devsim::Fault> kFaults = {
    {"refuse-command-port", devsim::Fault::kRefuseCommandPort},
    {"split-header", devsim::Fault::kSplitHeader},
    {"wrong-transaction-id", devsim::Fault::kWrongTransactionId},
    {"wrong-magic", devsim::Fault::kWrongMagic},
    {"refuse-command", devsim::Fault::kRefuseCommand},
    {"nak-monitor-code", devsim::Fault::kNakMonitorCode},
    {"close-mid-transfer", devsim::Fault::kCloseMidTransfer},
    {"fall-silent", devsim::Fault::kFallSilent},
    {"announce-too-much", devsim::Fault::kAnnounceTooMuch},
};

const std::map<std::string, devsim::SerialFault> kSerialFaults = {
    {"none", devsim::SerialFault::kNone},
    {"drop-after", devsim::SerialFault::kDropAfter},
    {"refuse", devsim::SerialFault::kRefuse},
    {"slow", devsim::SerialFault::kSlow},
    {"malformed", devsim::SerialFault::kMalformed},
    {"no-control-option", devsim::SerialFault::kNoControlOption},
    {"refuse-block", devsim::SerialFault::kRefuseBlock},
};

// NAME or NAME:N; false for a name not in the table.
template <typename Fault>
bool ParseFault(const std::map<std::string, Fault>& table, const std::string& text, Fault* fault,
                std::uint32_t* value) {
  const std::string name = text.substr(0, text.find(':'));
  if (!table.count(name)) return false;
  *fault = table.at(name);
  *value = text.find(':') == std::string::npos ? 0 : std::strtoul(text.c_str() + text.find(':') + 1, nullptr, 0);
  return true;
}

void PrintStatus(devsim::SerialPorts& ports) {
  for (int k = 1; k <= ports.ports(); ++k) {
    const devsim::SerialPortState s = ports.State(k);
    if (s.connections == 0) continue;
    std::printf("port %d connected=%d connections=%d baud=%u data=%u parity=%u stop=%u outflow=%u inflow=%u "
                "dtr=%d rts=%d break=%d in=%llu out=%llu purges=%d\n",
                k, s.connected, s.connections, s.baudRate, s.dataSize, s.parity, s.stopSize, s.outboundFlow,
                s.inboundFlow, s.dtr, s.rts, s.breakOn, static_cast<unsigned long long>(s.bytesIn),
                static_cast<unsigned long long>(s.bytesOut), s.purges);
  }
  std::printf("device reboots=%d blocks=%zu image=%zu\nend\n", ports.Reboots(), ports.BlockIndexes().size(),
              ports.FirmwareImage().size());
  std::fflush(stdout);
}

bool ParseFour(const std::string& text, std::uint16_t (&out)[4]) {
  return std::sscanf(text.c_str(), "%hu.%hu.%hu.%hu", &out[0], &out[1], &out[2], &out[3]) == 4;
}

int Usage() {
  std::fprintf(stderr, "usage: see the comment at the top of tools/devsim/main.cpp\n");
  return 2;
}

void Save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

int WriteExf(const std::map<std::string, std::string>& options) {
  const std::uint32_t device = std::strtoul(options.count("--device") ? options.at("--device").c_str() : "7316",
                                            nullptr, 16);
  unsigned size1 = 4096, size2 = 3072;
  if (options.count("--image-sizes") && std::sscanf(options.at("--image-sizes").c_str(), "%u,%u", &size1, &size2) != 2)
    return Usage();
  std::uint16_t versions[4] = {2, 0, 2, 0};
  if (options.count("--image-versions") && !ParseFour(options.at("--image-versions"), versions)) return Usage();
  std::vector<std::uint8_t> image1(size1), image2(size2);
  for (unsigned i = 0; i < size1; ++i) image1[i] = static_cast<std::uint8_t>(i * 31 + 7);
  for (unsigned i = 0; i < size2; ++i) image2[i] = static_cast<std::uint8_t>(i * 17 + 3);
  std::vector<std::uint8_t> bytes = BuildExfBytes(device, image1, versions[0], versions[1], image2, versions[2], versions[3]);
  const std::string broken = options.count("--break") ? options.at("--break") : "";
  if (broken == "header") bytes[30] ^= 1;
  else if (broken == "image2") bytes.back() ^= 1;
  else if (!broken.empty()) return Usage();
  Save(options.at("--write-exf"), bytes);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int i = 1; i + 1 < argc; i += 2) options[argv[i]] = argv[i + 1];
  if (argc % 2 == 0) return Usage();
  if (options.count("--write-exf")) return WriteExf(options);

  devsim::DeviceSettings settings;
  if (options.count("--device")) settings.deviceCode = std::strtoul(options["--device"].c_str(), nullptr, 16);
  if (options.count("--versions") && !ParseFour(options["--versions"], settings.versions)) return Usage();
  if (options.count("--open-ports")) settings.openPorts = static_cast<std::uint16_t>(std::atoi(options["--open-ports"].c_str()));
  settings.commandPort = static_cast<std::uint16_t>(options.count("--command-port") ? std::atoi(options["--command-port"].c_str()) : 5049);
  settings.monitorPort = static_cast<std::uint16_t>(options.count("--monitor-port") ? std::atoi(options["--monitor-port"].c_str()) : 7000);
  if (options.count("--fault") && !ParseFault(kFaults, options["--fault"], &settings.fault, &settings.faultCommand))
    return Usage();
  devsim::SerialSettings serial;
  if (options.count("--serial-ports")) serial.ports = std::atoi(options["--serial-ports"].c_str());
  if (options.count("--tcp-base")) serial.tcpBase = std::atoi(options["--tcp-base"].c_str());
  if (serial.ports < 0 || serial.ports > 255 || serial.tcpBase < 0 || serial.tcpBase + serial.ports > 65535)
    return Usage();
  if (options.count("--serial-fault") &&
      !ParseFault(kSerialFaults, options["--serial-fault"], &serial.fault, &serial.faultValue))
    return Usage();
  devsim::DeviceSimulator device(settings);
  if (!device.ok()) {
    std::fprintf(stderr, "veq-devsim: cannot listen on 127.0.0.1:%u and :%u\n", settings.commandPort,
                 settings.monitorPort);
    return 1;
  }
  std::unique_ptr<devsim::SerialPorts> ports;
  if (serial.ports > 0) {
    ports = std::make_unique<devsim::SerialPorts>(serial);
    if (!ports->ok()) {
      std::fprintf(stderr, "veq-devsim: cannot listen on 127.0.0.1:%d to %d for the serial ports\n",
                   serial.tcpBase + 1, serial.tcpBase + serial.ports);
      return 1;
    }
  }
  std::printf("veq-devsim: device %x on 127.0.0.1, command port %u, monitor port %u; Ctrl-D ends\n",
              settings.deviceCode, device.commandPort(), device.monitorPort());
  if (ports)
    std::printf("serving command=%u monitor=%u serial=%d-%d tcp-base=%d\n", device.commandPort(),
                device.monitorPort(), ports->tcpBase() + 1, ports->tcpBase() + ports->ports(), ports->tcpBase());
  else
    std::printf("serving command=%u monitor=%u serial=none\n", device.commandPort(), device.monitorPort());
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
    devsim::SerialFault fault;
    std::uint32_t value;
    if (ports && line == "status") {
      PrintStatus(*ports);
    } else if (ports && line.rfind("serial-fault ", 0) == 0 && ParseFault(kSerialFaults, line.substr(13), &fault, &value)) {
      ports->SetFault(fault, value);
      std::printf("ok %s\n", line.c_str());
      std::fflush(stdout);
    } else if (!line.empty()) {
      std::fprintf(stderr, "veq-devsim: not understood: %s\n", line.c_str());
    }
  }
  if (options.count("--save-images")) {
    Save(options["--save-images"] + ".image1", device.Image1());
    Save(options["--save-images"] + ".image2", device.Image2());
    if (ports) Save(options["--save-images"] + ".com-image", ports->FirmwareImage());
  }
  if (!device.Problem().empty()) std::fprintf(stderr, "veq-devsim: %s\n", device.Problem().c_str());
  if (ports && !ports->Problem().empty()) std::fprintf(stderr, "veq-devsim: %s\n", ports->Problem().c_str());
  return 0;
}
