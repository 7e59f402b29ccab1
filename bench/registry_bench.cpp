// Times single value writes and reads on a fresh registry file, one call each, as the
// store makes them. Usage: registry_bench [folder] (default: the system's temporary folder).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry_sqlite.h"

namespace {

constexpr int kCalls = 10000;

double Seconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double>(elapsed).count();
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
  const std::string path = (folder / ("registry-bench-" + std::to_string(getpid()) + ".db")).string();
  std::string failure;
  auto registry = platform::SqliteRegistry::Open(path, &failure);
  if (registry == nullptr) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return 1;
  }
  platform::RegKey key = platform::kInvalidKey;
  if (registry->CreateKey(platform::kHKeyLocalMachine, "Enum\\OLMXV1X\\OLMX1", platform::kKeyWrite, &key,
                          nullptr) != platform::kErrorSuccess) {
    std::fprintf(stderr, "cannot create the bench key\n");
    return 1;
  }

  std::vector<std::string> names;
  for (int i = 0; i < kCalls; ++i) names.push_back("Value" + std::to_string(i % 100));
  int failures = 0;

  const auto writeStart = std::chrono::steady_clock::now();
  for (int i = 0; i < kCalls; ++i) {
    const std::uint32_t data = static_cast<std::uint32_t>(i);
    failures += registry->SetValue(key, names[i].c_str(), platform::kRegDword,
                                   reinterpret_cast<const std::uint8_t*>(&data), sizeof(data)) != 0;
  }
  const double writeSeconds = Seconds(std::chrono::steady_clock::now() - writeStart);

  const auto readStart = std::chrono::steady_clock::now();
  for (int i = 0; i < kCalls; ++i) {
    std::uint32_t data = 0;
    std::uint32_t size = sizeof(data);
    failures += registry->QueryValue(key, names[i].c_str(), nullptr, reinterpret_cast<std::uint8_t*>(&data),
                                     &size) != 0;
  }
  const double readSeconds = Seconds(std::chrono::steady_clock::now() - readStart);

  registry->CloseKey(key);
  registry.reset();
  std::filesystem::remove(path);

  std::printf("%d writes: %.3f s, %.0f calls/s\n", kCalls, writeSeconds, kCalls / writeSeconds);
  std::printf("%d reads:  %.3f s, %.0f calls/s\n", kCalls, readSeconds, kCalls / readSeconds);
  if (failures != 0) std::printf("%d calls failed\n", failures);
  return failures == 0 ? 0 : 1;
}
