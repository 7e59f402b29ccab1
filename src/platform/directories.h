// The process's current directory, whether a file exists, and the search for a file
// along PATH.
#pragma once

#include <string>

namespace platform {

std::string CurrentDirectory();
bool ChangeDirectory(const std::string& directory);
// The directory holding fileName: the current directory first, then each directory of
// the PATH variable in turn; empty when none holds it.
std::string FindOnPath(const std::string& fileName);
// True when path names an existing file or directory.
bool FileExists(const std::string& path);

}  // namespace platform
