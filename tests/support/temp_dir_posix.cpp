#include <ftw.h>
#include <stdio.h>
#include <sys/stat.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace testsupport {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/veq-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

TempDir::~TempDir() {
  // Depth first, not following links: what lies below goes before its folder.
  nftw(
      path_.c_str(), [](const char* path, const struct stat*, int, FTW*) { return remove(path); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

void MakeReadOnly(const std::string& path) { chmod(path.c_str(), S_IRUSR | S_IRGRP | S_IROTH); }

}  // namespace testsupport
