#include <windows.h>

#include "platform/directories.h"

namespace platform {

std::string CurrentDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetCurrentDirectoryA(sizeof path, path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

bool ChangeDirectory(const std::string& directory) { return SetCurrentDirectoryA(directory.c_str()) != 0; }

std::string FindOnPath(const std::string& fileName) {
  char found[MAX_PATH];
  char* name = nullptr;
  // Without a path SearchPathA looks in the program's folder, the current folder, the
  // system folders and then PATH.
  const DWORD length = SearchPathA(nullptr, fileName.c_str(), nullptr, sizeof found, found, &name);
  if (length == 0 || length >= sizeof found || name == nullptr) return std::string();
  return std::string(found, static_cast<std::size_t>(name - found - 1));
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace platform
