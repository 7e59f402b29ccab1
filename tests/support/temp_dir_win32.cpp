#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "support/temp_dir.h"

namespace testsupport {

namespace {

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        // A read-only file cannot be deleted.
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
}

}  // namespace

TempDir::TempDir() {
  char base[MAX_PATH];
  const DWORD length = GetTempPathA(sizeof base, base);
  if (length == 0 || length >= sizeof base) std::abort();
  // CreateDirectoryA refuses a name that exists, so no two tests share a folder.
  static LONG counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "veq-test-%lx-%lx-%lx", GetCurrentProcessId(), GetTickCount(),
                  static_cast<unsigned long>(InterlockedIncrement(&counter)));
    const std::string candidate = std::string(base) + name;
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
  std::abort();
}

TempDir::~TempDir() { RemoveTree(path_); }

int TempDir::OpenFiles() const {
  // A file held open refuses to be opened by anybody else alone.
  int count = 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    HANDLE file = CreateFileA((path_ + "\\" + found.cFileName).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
      CloseHandle(file);
    else if (GetLastError() == ERROR_SHARING_VIOLATION)
      ++count;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

void MakeReadOnly(const std::string& path) { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY); }

}  // namespace testsupport
