// The process's current directory and the search for a file along PATH.
#pragma once

#include <string>

namespace platform {

std::string CurrentDirectory();
bool SetCurrentDirectory(const std::string& directory);
// The directory holding fileName: the current directory first, then each directory of
// the PATH variable in turn; empty when none holds it.
std::string FindOnPath(const std::string& fileName);

}  // namespace platform
