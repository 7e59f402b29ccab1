// An open mapping file (.cpm) as the store reads and writes it. The file on disk has CR LF
// line ends on every platform; the store sees a single '\n'. The translation is done here
// over a binary stream, so it behaves the same everywhere.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

class MappingFile {
 public:
  // The longest line one read returns, its newline included; a longer line comes back in
  // several reads.
  static constexpr std::size_t kMaxLineChars = 255;

  MappingFile() = default;
  ~MappingFile();
  MappingFile(const MappingFile&) = delete;
  MappingFile& operator=(const MappingFile&) = delete;

  // For import: an existing file opened for reading and update, so a file that may only
  // be read is refused. False when it cannot be opened.
  bool OpenForImport(const std::string& path);
  // For export: the file is created or emptied. False when it cannot be opened.
  bool OpenForExport(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }

  // Reads up to and including the next newline, at most kMaxLineChars characters, into
  // *line; CR LF comes back as '\n', a CR on its own stays. Every byte is kept, NUL bytes
  // included. False when the read yields no character at all.
  bool ReadLine(std::string* line);
  // Whether a read has met the end of the file.
  bool AtEnd() const { return atEnd_; }
  // Back to the first byte, for another pass over the file.
  bool Rewind();

  // Writes text with every '\n' as CR LF. A failure is remembered, not returned.
  void Write(std::string_view text);
  // Pushes buffered output to the file. False when this or any earlier write failed.
  bool Flush();
  // Closes the file. False when a write, the final flush or the close itself failed.
  bool Close();

 private:
  bool Open(const std::string& path, const char* mode);

  std::FILE* file_ = nullptr;
  bool atEnd_ = false;
  bool writeFailed_ = false;
};
