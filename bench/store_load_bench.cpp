// Times the start-up load: OpenRegistry and LoadPorts on a registry file with all 255 COM
// numbers mapped and an empty COM folder, the detection worker run directly (no window,
// so no timer wait). Usage: store_load_bench [folder].
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_window.h"
#include "detect/detect_port_thread.h"
#include "platform/address.h"
#include "platform/registry_sqlite.h"
#include "store/registry_values.h"

namespace {

constexpr int kRuns = 21;

class NoWindowOps : public DetectPortWindowOps {
 public:
  void StepProgress() override {}
  void SetDetectFinished() override {}
};

bool WriteMappings(platform::Registry& registry) {
  static const std::uint32_t kCodes[] = {0x7370, 0x7371, 0x7304, 0xB370, 0xB371, 0x7308, 0x7316, 0xC370, 0xC371};
  for (int n = 1; n <= 255; ++n) {
    char name[64];
    platform::RegKey key = 0;
    std::snprintf(name, sizeof name, "Enum\\Root\\Ports\\%04X", n);
    if (registry.CreateKey(platform::kHKeyLocalMachine, name, platform::kKeyWrite, &key, nullptr) != 0) return false;
    registry.CloseKey(key);
    std::snprintf(name, sizeof name, "System\\CurrentControlSet\\Services\\Class\\Ports\\%04X", n);
    if (registry.CreateKey(platform::kHKeyLocalMachine, name, platform::kKeyWrite, &key, nullptr) != 0) return false;
    registry.CloseKey(key);
    std::snprintf(name, sizeof name, "Enum\\OLMXV1X\\OLMX%d", n);
    if (registry.CreateKey(platform::kHKeyLocalMachine, name, platform::kKeyWrite, &key, nullptr) != 0) return false;
    std::snprintf(name, sizeof name, "10.0.%d.%d", n / 200 + 1, n % 200 + 1);
    const bool ok = ValueWriter(registry, key)
                        .Dword("IP Address", platform::InetAddr(name))
                        .Dword("Port", 1)
                        .Dword("Model", kCodes[n % 9])
                        .String("Description", "Bench port")
                        .Dword("EnumID", static_cast<std::uint32_t>(n))
                        .Dword("PortID", static_cast<std::uint32_t>(n))
                        .Dword("AutoReconn", 1)
                        .ok();
    registry.CloseKey(key);
    if (!ok) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder =
      (argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path()) /
      ("store-load-bench-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(folder / "com");
  setenv("VEQ_COM_DIR", (folder / "com").c_str(), 1);
  std::string failure;
  auto registry = platform::SqliteRegistry::Open((folder / "registry.db").string(), &failure);
  if (!registry || !WriteMappings(*registry)) {
    std::fprintf(stderr, "cannot build the registry: %s\n", failure.c_str());
    return 1;
  }
  auto serial = platform::CreateSystemSerialPorts();
  NoWindowOps ops;
  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run) {
    BenchWindow window;
    window.detect = [&](TTorl7370PortManager& store) {
      TDetectPortThrd::Create(ops, store.ports, *serial).reset();  // runs the sweep to its end
    };
    const auto start = std::chrono::steady_clock::now();
    window.store = std::make_unique<TTorl7370PortManager>(&window, *registry);
    if (!window.store->OpenRegistry() || !window.store->LoadPorts()) {
      std::fprintf(stderr, "load failed: 0x%08X\n", window.ErrorCode);
      return 1;
    }
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    window.store.reset();
  }
  std::sort(times.begin(), times.end());
  std::printf("OpenRegistry + LoadPorts, 255 mapped ports: median %.2f ms (min %.2f, max %.2f, %d runs)\n",
              times[times.size() / 2], times.front(), times.back(), kRuns);
  std::filesystem::remove_all(folder);
  return 0;
}
