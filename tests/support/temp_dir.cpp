#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

namespace testsupport {

TempDir::TempDir() {
  // A random name made here rather than mkdtemp, which Windows lacks; create_directory
  // fails on a name that exists, so no two tests share a folder.
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / ("veq-test-" + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
  std::abort();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace testsupport
