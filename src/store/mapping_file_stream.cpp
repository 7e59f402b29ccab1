// The mapping file's stream: CR LF line ends on disk, '\n' in memory.
#include "store/mapping_file.h"

MappingFile::~MappingFile() { Close(); }

bool MappingFile::OpenForImport(const std::string& path) { return Open(path, "r+b"); }

bool MappingFile::OpenForExport(const std::string& path) { return Open(path, "w+b"); }

bool MappingFile::Open(const std::string& path, const char* mode) {
  Close();
  file_ = std::fopen(path.c_str(), mode);
  atEnd_ = false;
  writeFailed_ = false;
  return file_ != nullptr;
}

bool MappingFile::ReadLine(std::string* line) {
  line->clear();
  if (file_ == nullptr) {
    atEnd_ = true;
    return false;
  }
  while (line->size() < kMaxLineChars) {
    int c = std::getc(file_);
    if (c == EOF) {
      atEnd_ = true;
      break;
    }
    if (c == '\r') {
      const int next = std::getc(file_);
      if (next == '\n')
        c = '\n';
      else if (next != EOF)
        std::ungetc(next, file_);
    }
    line->push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !line->empty();
}

bool MappingFile::Rewind() {
  if (file_ == nullptr || std::fseek(file_, 0, SEEK_SET) != 0) return false;
  std::clearerr(file_);
  atEnd_ = false;
  return true;
}

void MappingFile::Write(std::string_view text) {
  // After a failure the file is incomplete anyway; the rest is not tried.
  if (file_ == nullptr) writeFailed_ = true;
  if (writeFailed_) return;
  std::size_t start = 0;
  while (start < text.size() && !writeFailed_) {
    const std::size_t newline = text.find('\n', start);
    const std::size_t stop = newline == std::string_view::npos ? text.size() : newline;
    if (stop > start && std::fwrite(text.data() + start, 1, stop - start, file_) != stop - start) writeFailed_ = true;
    if (newline == std::string_view::npos) break;
    if (std::fwrite("\r\n", 1, 2, file_) != 2) writeFailed_ = true;
    start = newline + 1;
  }
}

bool MappingFile::Flush() {
  if (file_ == nullptr || std::fflush(file_) != 0 || std::ferror(file_) != 0) writeFailed_ = true;
  return !writeFailed_;
}

bool MappingFile::Close() {
  if (file_ == nullptr) return !writeFailed_;
  // fclose pushes out what is still buffered and reports when that fails.
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  atEnd_ = false;
  return closed && !writeFailed_;
}
