// What the fuzz targets share: a scratch folder on tmpfs and a check that ends the run,
// so libFuzzer keeps the input that broke an invariant.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace fuzz {

inline void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// The stand-in registry syncs every change to disk; on tmpfs that costs nothing.
inline void UseTmpfs() {
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error)) setenv("TMPDIR", "/dev/shm", 1);
}

// A registry file and the write-ahead log and index SQLite keeps beside it.
inline void RemoveRegistryFiles(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path + suffix, ignored);
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace fuzz
