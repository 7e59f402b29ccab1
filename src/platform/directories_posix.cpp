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

bool ChangeDirectory(const std::string& directory) { return chdir(directory.c_str()) == 0; }

std::string FindOnPath(const std::string& fileName) {
  if (FileExists(fileName)) return CurrentDirectory();
  const char* path = std::getenv("PATH");
  std::stringstream directories(path != nullptr ? path : "");
  std::string directory;
  while (std::getline(directories, directory, ':')) {
    if (!directory.empty() && FileExists(directory + "/" + fileName)) return directory;
  }
  return std::string();
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace platform
