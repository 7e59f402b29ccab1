#include <dirent.h>
#include <ftw.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

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

int TempDir::OpenFiles() const {
  // The process's descriptors, each a link to what it has open.
  int count = 0;
  DIR* descriptors = opendir("/proc/self/fd");
  if (descriptors == nullptr) std::abort();
  const std::string inside = path_ + "/";
  while (const dirent* entry = readdir(descriptors)) {
    char target[4096];
    const ssize_t length = readlinkat(dirfd(descriptors), entry->d_name, target, sizeof target - 1);
    if (length > 0 && std::string(target, static_cast<std::size_t>(length)).compare(0, inside.size(), inside) == 0)
      ++count;
  }
  closedir(descriptors);
  return count;
}

void MakeReadOnly(const std::string& path) { chmod(path.c_str(), S_IRUSR | S_IRGRP | S_IROTH); }

}  // namespace testsupport
