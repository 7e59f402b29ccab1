// A fresh directory under the system's temporary folder, removed with everything in it.
// (The standard library's <filesystem> and std::random_device need calls Windows 98
// lacks, hence one implementation per system.)
#pragma once

#include <string>

namespace testsupport {

// The system's own separator in paths, the one a user types into a file dialog.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + kPathSeparator + name; }
  // How many of the files in the folder this process holds open.
  int OpenFiles() const;

 private:
  std::string path_;
};

// Takes the right to write from everybody, as a file that may not be updated.
void MakeReadOnly(const std::string& path);

}  // namespace testsupport
