// Times the network firmware download of an .exf with two 4 MiB images to the device
// simulator on 127.0.0.1, against a plain TCP ping-pong of the same request and answer
// sizes in the same run: the limit of one request and one answer at a time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "devsim/device_simulator.h"
#include "firmware/download_thread_v2.h"
#include "platform/address.h"

namespace {

constexpr std::size_t kImageSize = 4u << 20;
constexpr int kBlocks = static_cast<int>(kImageSize / 1024);
constexpr int kRounds = 7;

class QuietWindow : public DownloadV2WindowOps {
 public:
  void StartAnimation() override {}
  void Progress(std::uint32_t) override {}
  void Success() override { succeeded = true; }
  void Failure(const std::string& message) override { std::fprintf(stderr, "failed: %s\n", message.c_str()); }
  void Inform(const std::string&) override {}
  bool Ask(const std::string&) override { return true; }
  bool succeeded = false;
};

bool ReadAll(int fd, std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = recv(fd, data, size, 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// One request of request bytes answered by answer bytes, count times each for both
// protocols' sizes; returns the seconds taken.
double PingPong() {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener, 1);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const std::pair<std::size_t, std::size_t> rounds[] = {{24 + 1036, 24}, {13 + 1024, 13}};
  std::thread server([&] {
    const int connection = accept(listener, nullptr, nullptr);
    std::vector<std::uint8_t> buffer(2048);
    for (auto [request, answer] : rounds)
      for (int i = 0; i < kBlocks; ++i)
        if (!ReadAll(connection, buffer.data(), request) || send(connection, buffer.data(), answer, 0) <= 0) break;
    close(connection);
  });
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  const auto start = std::chrono::steady_clock::now();
  connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
  std::vector<std::uint8_t> buffer(2048, 0x5A);
  for (auto [request, answer] : rounds)
    for (int i = 0; i < kBlocks; ++i) {
      send(client, buffer.data(), request, MSG_NOSIGNAL);
      ReadAll(client, buffer.data(), answer);
    }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  close(client);
  server.join();
  close(listener);
  return seconds;
}


// One download to a fresh simulated device; the seconds taken, or a negative number when
// the run failed or the device did not receive the file's images.
double Download(const ExfFile& file) {
  devsim::DeviceSimulator device(devsim::DeviceSettings{});
  if (!device.ok()) return -1;
  NetworkTimings timings;
  timings.commandPort = device.commandPort();
  timings.monitorPort = device.monitorPort();
  timings.resetPauseMs = timings.recoveryPauseMs = 0;  // the fixed pauses are no transfer time
  auto network = platform::CreateSystemNetwork();
  QuietWindow window;
  const auto start = std::chrono::steady_clock::now();
  auto worker = TDownloadThrdV2::Create(window, *network, platform::InetAddr("127.0.0.1"), file, timings);
  if (!worker->Start()) return -1;
  worker.reset();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!window.succeeded || device.Image1() != file.image1 || device.Image2() != file.image2) return -1;
  return seconds;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main() {
  std::vector<std::uint8_t> image1(kImageSize), image2(kImageSize);
  for (std::size_t i = 0; i < kImageSize; ++i) {
    image1[i] = static_cast<std::uint8_t>(i * 13);
    image2[i] = static_cast<std::uint8_t>(i * 7);
  }
  ExfFile file;
  if (CheckExfBytes(BuildExfBytes(0x7316, image1, 1, 0, image2, 1, 0), 0x7316, &file) != ExfResult::kAccepted) return 1;
  // Alternating rounds, so both meet the machine in the same state.
  std::vector<double> downloads, pingPongs;
  for (int round = 0; round < kRounds; ++round) {
    const double seconds = Download(file);
    if (seconds < 0) {
      std::fprintf(stderr, "the download failed\n");
      return 1;
    }
    downloads.push_back(seconds);
    pingPongs.push_back(PingPong());
  }
  const double download = Median(downloads), pingPong = Median(pingPongs);
  const double megabytes = 2.0 * kImageSize / (1 << 20);
  std::printf("download of two 4 MiB images: median %.3f s, %.1f MiB/s (%d rounds)\n", download, megabytes / download,
              kRounds);
  std::printf("ping-pong of the same sizes:  median %.3f s, %.1f MiB/s\n", pingPong, megabytes / pingPong);
  std::printf("download reaches %.0f%% of the ping-pong throughput (aim: 80%%)\n", 100.0 * pingPong / download);
  return 0;
}
