// veq-comportd: serves every mapped COM port of the registry as a pseudo-terminal linked
// at $VEQ_COM_DIR/COMn, reaching the device port through RFC 2217.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bridge/bridge.h"
#include "bridge/device_option.h"

namespace {

class StderrLog : public bridge::Log {
 public:
  void Line(const std::string& text) override {
    std::fprintf(stderr, "veq-comportd: %s\n", text.c_str());
    std::fflush(stderr);
  }
};

int Usage() {
  std::fprintf(stderr,
               "usage: veq-comportd [--tcp-base N] [--status]\n"
               "  Serves the mapped COM ports of $VEQ_REGISTRY as links in $VEQ_COM_DIR.\n"
               "  Device port k is reached at TCP port N + k (N is %d unless given).\n"
               "  --status  prints the ports a running bridge serves\n",
               veq::deviceoption::kDefaultTcpBase);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bridge::Options options;
  options.tcpBase = veq::deviceoption::kDefaultTcpBase;
  bool status = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--status") == 0) {
      status = true;
    } else if (std::strcmp(argv[i], "--tcp-base") == 0 && i + 1 < argc) {
      char* end = nullptr;
      const long base = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || base < 0 || base > 65534) return Usage();
      options.tcpBase = static_cast<int>(base);
    } else {
      return Usage();
    }
  }
  const char* dir = std::getenv("VEQ_COM_DIR");
  if (dir == nullptr || *dir == '\0') {
    std::fprintf(stderr, "veq-comportd: set VEQ_COM_DIR to the folder the COM port links go in\n");
    return 2;
  }
  options.comDir = dir;
  if (status) return bridge::PrintStatus(options.comDir);
  StderrLog log;
  bridge::Bridge bridge(options, log);
  if (!bridge.Start()) return 1;
  return bridge.Run();
}
