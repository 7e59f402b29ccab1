// veq-devsim: a VEQ7308(R)+ / VEQ7316(R)+ device on 127.0.0.1 for trying the network
// firmware update by hand, and a writer of .exf files.
//
//   veq-devsim [--device 7316] [--versions 1.0.1.0] [--open-ports 0]
//              [--command-port 5049] [--monitor-port 7000] [--fault NAME[:CODE]]
//              [--save-images PREFIX]
//   veq-devsim --write-exf FILE [--device 7316] [--image-sizes 4096,3072]
//              [--image-versions 2.0.2.0] [--break header|image2]
//
// The device runs until standard input ends (Ctrl-D) and then, with --save-images, writes
// the images it received to PREFIX.image1 and PREFIX.image2.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "devsim/device_simulator.h"
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
  if (options.count("--fault")) {
    const std::string fault = options["--fault"];
    const std::string name = fault.substr(0, fault.find(':'));
    if (!kFaults.count(name)) return Usage();
    settings.fault = kFaults.at(name);
    if (fault.find(':') != std::string::npos)
      settings.faultCommand = std::strtoul(fault.c_str() + fault.find(':') + 1, nullptr, 0);
  }
  devsim::DeviceSimulator device(settings);
  if (!device.ok()) {
    std::fprintf(stderr, "veq-devsim: cannot listen on 127.0.0.1:%u and :%u\n", settings.commandPort,
                 settings.monitorPort);
    return 1;
  }
  std::printf("veq-devsim: device %x on 127.0.0.1, command port %u, monitor port %u; Ctrl-D ends\n",
              settings.deviceCode, device.commandPort(), device.monitorPort());
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  if (options.count("--save-images")) {
    Save(options["--save-images"] + ".image1", device.Image1());
    Save(options["--save-images"] + ".image2", device.Image2());
  }
  if (!device.Problem().empty()) std::fprintf(stderr, "veq-devsim: %s\n", device.Problem().c_str());
  return 0;
}
