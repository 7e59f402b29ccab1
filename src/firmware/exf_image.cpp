#include "firmware/exf_image.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/directories.h"

namespace {

// Larger files are no firmware image: refused before they are read into memory.
constexpr std::uint64_t kMaxFileSize = 256u * 1024 * 1024;

std::uint16_t Little16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }

std::uint32_t Little32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

ExfImageInfo InfoAt(const std::uint8_t* header, std::size_t at) {
  return {Little16(header + at), Little16(header + at + 2), Little32(header + at + 4), Little32(header + at + 8),
          Little32(header + at + 12)};
}

// Copies an image the header locates, if it lies within the file and has its sum.
bool TakeImage(const std::vector<std::uint8_t>& bytes, const ExfImageInfo& info, std::vector<std::uint8_t>* image) {
  if (static_cast<std::uint64_t>(info.offset) + info.size > bytes.size()) return false;
  image->assign(bytes.begin() + info.offset, bytes.begin() + info.offset + info.size);
  return ByteSum(image->data(), image->size()) == info.sum;
}

}  // namespace

std::uint32_t ByteSum(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  return sum;
}

ExfResult CheckExfBytes(const std::vector<std::uint8_t>& bytes, std::uint32_t modelCode, ExfFile* file) {
  if (bytes.size() < kExfHeaderLength) return ExfResult::kCorrupted;
  const std::uint8_t* header = bytes.data();
  if (Little32(header) != kExfMagic || Little16(header + 4) != 1 || Little32(header + 8) != kExfHeaderLength)
    return ExfResult::kCorrupted;
  std::uint32_t checksum = 0;
  for (std::uint32_t word = 0; word < kExfHeaderLength / 4; ++word) checksum += Little32(header + 4 * word);
  if (checksum != 0) return ExfResult::kCorrupted;
  ExfFile checked;
  std::copy(header, header + kExfHeaderLength, checked.header);
  checked.deviceCode = Little32(header + 16);
  if (checked.deviceCode != modelCode) return ExfResult::kWrongDevice;
  checked.image1Info = InfoAt(header, 52);
  checked.image2Info = InfoAt(header, 100);
  if (!TakeImage(bytes, checked.image1Info, &checked.image1) || !TakeImage(bytes, checked.image2Info, &checked.image2))
    return ExfResult::kCorrupted;
  *file = std::move(checked);
  return ExfResult::kAccepted;
}

ExfResult ReadExfFile(const std::string& path, std::uint32_t modelCode, ExfFile* file) {
  if (!platform::FileExists(path)) return ExfResult::kNotFound;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return ExfResult::kCannotLoad;
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<std::uint64_t>(size) > kMaxFileSize) return ExfResult::kCannotLoad;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return ExfResult::kCannotLoad;
  return CheckExfBytes(bytes, modelCode, file);
}

std::string ExfMessage(ExfResult result, std::uint32_t modelCode) {
  switch (result) {
    case ExfResult::kNotFound: return "Cannot find the VEQ Binary file";
    case ExfResult::kCannotLoad: return "Cannot load the VEQ Binary file";
    case ExfResult::kCorrupted: return "The VEQ Binary file is corrupted";
    case ExfResult::kWrongDevice: {
      char text[64];
      std::snprintf(text, sizeof text, "The Binary File is not for VEQ %x+", modelCode);
      return text;
    }
    case ExfResult::kAccepted: break;
  }
  return std::string();
}

std::vector<std::uint8_t> BuildExfBytes(std::uint32_t deviceCode, const std::vector<std::uint8_t>& image1,
                                        std::uint16_t image1Major, std::uint16_t image1Minor,
                                        const std::vector<std::uint8_t>& image2, std::uint16_t image2Major,
                                        std::uint16_t image2Minor) {
  std::vector<std::uint8_t> bytes(kExfHeaderLength);
  auto put16 = [&](std::size_t at, std::uint16_t v) {
    bytes[at] = static_cast<std::uint8_t>(v);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(0, kExfMagic);
  put16(4, 1);
  put32(8, kExfHeaderLength);
  put32(16, deviceCode);
  const std::uint32_t offset1 = kExfHeaderLength;
  const std::uint32_t offset2 = offset1 + static_cast<std::uint32_t>(image1.size());
  put16(52, image1Major);
  put16(54, image1Minor);
  put32(56, static_cast<std::uint32_t>(image1.size()));
  put32(60, offset1);
  put32(64, ByteSum(image1.data(), image1.size()));
  put16(100, image2Major);
  put16(102, image2Minor);
  put32(104, static_cast<std::uint32_t>(image2.size()));
  put32(108, offset2);
  put32(112, ByteSum(image2.data(), image2.size()));
  // A word the reader does not examine makes the header's words sum to 0.
  std::uint32_t sum = 0;
  for (std::uint32_t word = 0; word < kExfHeaderLength / 4; ++word) sum += Little32(bytes.data() + 4 * word);
  put32(12, 0u - sum);
  bytes.insert(bytes.end(), image1.begin(), image1.end());
  bytes.insert(bytes.end(), image2.begin(), image2.end());
  return bytes;
}
