// The port bridge beside `socat PTY TCP`, in one run and against one echoing peer (the
// device simulator's port with its loopback plug): round trips of 1 byte and of 4 KiB, and
// the rate of a 16 MiB stream, through pty, program and TCP and back. The payload leaves
// out 0xFF, which socat would hand the Telnet peer undoubled.
//
//   bridge_bench            the comparison, 5 alternating rounds, medians
//   bridge_bench --ports N  N mappings to one simulator: links up, the bridge's resident
//                           memory and its CPU over 10 idle seconds
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge_harness.h"

namespace {

using Clock = std::chrono::steady_clock;
using bridgetest::Harness;
using bridgetest::Mapping;
using testsupport::ChildProcess;

int OpenRaw(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios settings{};
  if (fd < 0 || tcgetattr(fd, &settings) != 0) return -1;
  cfmakeraw(&settings);
  cfsetspeed(&settings, B115200);
  tcsetattr(fd, TCSANOW, &settings);
  return fd;
}

// Writes size bytes and reads as many back, both ways at once; false on an error, a
// difference or 10 s without progress.
bool Exchange(int fd, std::size_t size, std::uint32_t* counter) {
  std::vector<std::uint8_t> out(size), in;
  for (auto& byte : out) byte = static_cast<std::uint8_t>((*counter)++ % 255);
  in.reserve(size);
  std::size_t written = 0;
  std::uint8_t buffer[65536];
  while (in.size() < size) {
    pollfd entry{fd, static_cast<short>(POLLIN | (written < size ? POLLOUT : 0)), 0};
    if (poll(&entry, 1, 10000) <= 0) return false;
    if ((entry.revents & POLLOUT) && written < size) {
      const ssize_t n = write(fd, out.data() + written, std::min<std::size_t>(size - written, 65536));
      if (n > 0) written += static_cast<std::size_t>(n);
    }
    if (entry.revents & POLLIN) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n > 0) in.insert(in.end(), buffer, buffer + n);
    }
    if (entry.revents & (POLLERR | POLLHUP)) return false;
  }
  return std::equal(in.begin(), in.end(), out.begin());
}

struct Figures {
  double oneByteUs = 0, fourKiBUs = 0, mibPerSecond = 0;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool Measure(int fd, Figures* figures) {
  std::uint32_t counter = 0;
  auto time = [&](int rounds, std::size_t size, double* seconds) {
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
      if (!Exchange(fd, size, &counter)) return false;
    *seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return true;
  };
  double one, four, stream;
  if (!time(2000, 1, &one) || !time(500, 4096, &four) || !time(1, 16 << 20, &stream)) return false;
  figures->oneByteUs = one / 2000 * 1e6;
  figures->fourKiBUs = four / 500 * 1e6;
  figures->mibPerSecond = 16 / stream;
  return true;
}

std::string Contents(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Compare() {
  devsim::SerialSettings settings;
  settings.ports = 2;  // 1 for the bridge, 2 for socat
  Harness bridge({{1, 1, true}}, settings);
  if (!bridge.device.ok()) return std::fprintf(stderr, "no simulator ports\n"), 1;
  bridge.StartBridge();
  const std::string socatPty = bridge.dir.File("socat-pty");
  ChildProcess socat(
      {"socat", "pty,rawer,link=" + socatPty, "tcp:127.0.0.1:" + std::to_string(bridge.device.tcpBase() + 2)}, {},
      bridge.dir.File("socat.log"));
  if (!Harness::Eventually([&] { return Harness::Exists(bridge.Link(1)) && Harness::Exists(socatPty); }))
    return std::fprintf(stderr, "no ports: %s\n", bridge.Log().c_str()), 1;
  const int viaBridge = OpenRaw(bridge.Link(1)), viaSocat = OpenRaw(socatPty);
  if (viaBridge < 0 || viaSocat < 0) return std::fprintf(stderr, "cannot open the ptys\n"), 1;
  std::vector<double> b1, b4, bs, s1, s4, ss;
  for (int round = 0; round < 5; ++round) {
    Figures b, s;
    if (!Measure(viaBridge, &b)) return std::fprintf(stderr, "the bridge lost or changed data\n"), 1;
    if (!Measure(viaSocat, &s)) return std::fprintf(stderr, "socat lost or changed data\n"), 1;
    b1.push_back(b.oneByteUs), b4.push_back(b.fourKiBUs), bs.push_back(b.mibPerSecond);
    s1.push_back(s.oneByteUs), s4.push_back(s.fourKiBUs), ss.push_back(s.mibPerSecond);
  }
  std::printf("round trip of 1 byte: bridge %.1f us, socat %.1f us (aim: within 200 us)\n", Median(b1), Median(s1));
  std::printf("round trip of 4 KiB: bridge %.1f us, socat %.1f us\n", Median(b4), Median(s4));
  std::printf("16 MiB stream: bridge %.1f MiB/s, socat %.1f MiB/s: %.0f %% (aim: 90 %%)\n", Median(bs), Median(ss),
              100 * Median(bs) / Median(ss));
  std::printf("medians of 5 alternating rounds\n");
  close(viaBridge);
  close(viaSocat);
  return 0;
}

long ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

double CpuSeconds(pid_t pid) {
  std::string stat = Contents("/proc/" + std::to_string(pid) + "/stat");
  stat = stat.substr(stat.rfind(')') + 2);  // after the name, which may hold blanks
  unsigned long utime = 0, stime = 0;
  std::sscanf(stat.c_str(), "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime);
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int ManyPorts(int ports) {
  devsim::SerialSettings settings;
  settings.ports = ports;
  std::vector<Mapping> mappings;
  for (int k = 1; k <= ports; ++k) mappings.push_back({k, k, true});
  // Writing the registry takes the disk's sync rate: it is done before the bridge starts.
  Harness bridge(mappings, settings);
  if (!bridge.device.ok()) return std::fprintf(stderr, "no simulator ports\n"), 1;
  const auto start = Clock::now();
  bridge.StartBridge();
  auto linked = [&] {
    for (int k = 1; k <= ports; ++k)
      if (!bridge.device.State(k).connected) return false;
    return true;
  };
  if (!Harness::Eventually(linked, 60000)) return std::fprintf(stderr, "not every link came up\n"), 1;
  const double upSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  const pid_t pid = bridge.bridge->pid();
  const double cpuBefore = CpuSeconds(pid);
  std::this_thread::sleep_for(std::chrono::seconds(10));
  const double idleCpu = CpuSeconds(pid) - cpuBefore;
  std::printf("%d ports: all links up after %.2f s; bridge resident %ld KiB; CPU over 10 idle s: %.2f s (%.2f %%)\n",
              ports, upSeconds, ResidentKiB(pid), idleCpu, idleCpu * 10);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--ports") == 0) return ManyPorts(std::atoi(argv[2]));
  if (argc != 1) return std::fprintf(stderr, "usage: bridge_bench [--ports N]\n"), 2;
  return Compare();
}
