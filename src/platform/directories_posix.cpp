#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <sstream>

#include "platform/directories.h"

namespace platform {

std::string CurrentDirectory() {
  char path[PATH_MAX];
  return getcwd(path, sizeof path) != nullptr ? path : "";
}

bool SetCurrentDirectory(const std::string& directory) { return chdir(directory.c_str()) == 0; }

std::string FindOnPath(const std::string& fileName) {
  if (access(fileName.c_str(), F_OK) == 0) return CurrentDirectory();
  const char* path = std::getenv("PATH");
  std::stringstream directories(path != nullptr ? path : "");
  std::string directory;
  while (std::getline(directories, directory, ':')) {
    if (!directory.empty() && access((directory + "/" + fileName).c_str(), F_OK) == 0) return directory;
  }
  return std::string();
}

}  // namespace platform
