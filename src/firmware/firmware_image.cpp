#include "firmware/firmware_image.h"

#include <cstring>
#include <vector>

namespace {

struct ModelRow {
  std::uint32_t code;
  FirmwareModelRule rule;
};

const ModelRow kModelRows[] = {
    {0x7370, {"7370", "The Binary File is not for TORL7370"}},
    {0x7371, {"7371", "The Binary File is not for TORL7371"}},
    {0x7304, {"7304", "The Binary File is not for VEQ7304"}},
    {0xA370, {"A370", "The Binary File is not for TORL7370S"}},
    {0xA371, {"A371", "The Binary File is not for TORL7371S"}},
    {0xB370, {"B370", "The Binary File is not for TORL7370L"}},
    {0xB371, {"B371", "The Binary File is not for TORL7371L"}},
    {0xC370, {"C370", "The Binary File is not for TORL7370W"}},
    {0xC371, {"C371", "The Binary File is not for TORL7371W"}},
    // These two are updated over the network, never through the COM port.
    {0x7308, {nullptr, "The Binary File is not for VEQ7308+"}},
    {0x7316, {nullptr, "The Binary File is not for VEQ7316+"}},
};

const FirmwareModelRule kUnknownModel = {nullptr, "Unknown Device Model"};

CheckedImage Refused(const char* message) {
  CheckedImage image;
  image.refusal = message;
  return image;
}

}  // namespace

bool IsWModel(std::uint32_t modelCode) { return modelCode == 0xC370 || modelCode == 0xC371; }

bool FirmwareLengthAccepted(std::uint32_t modelCode, std::uint64_t length) {
  if (length == kFirmwareImageSize) return true;
  // The size travels as 32 bits; a longer file would be taken for a shorter one.
  return IsWModel(modelCode) && length <= 0xFFFFFFFFu && length % 256 == kFirmwareTrailerSize;
}

FirmwareModelRule FirmwareRuleOf(std::uint32_t modelCode) {
  for (const ModelRow& row : kModelRows)
    if (row.code == modelCode) return row.rule;
  return kUnknownModel;
}

CheckedImage OpenFirmwareImage(const std::string& path, std::uint32_t modelCode) {
  CheckedImage image;
  image.file.reset(std::fopen(path.c_str(), "rb"));
  if (!image.file) return Refused("Open Firmware Binary File Fail");
  std::FILE* file = image.file.get();
  const long length = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  if (length < 0 || !FirmwareLengthAccepted(modelCode, static_cast<std::uint64_t>(length)))
    return Refused("Firmware Binary File Length Wrong");
  image.size = static_cast<std::uint32_t>(length);
  if (std::fseek(file, -static_cast<long>(kFirmwareTrailerSize), SEEK_END) != 0)
    return Refused("Set the Pointer of Binary File Fail");
  char trailer[kFirmwareTrailerSize];
  // A short read would leave part of the trailer unread: refuse it as a failed read.
  if (std::fread(trailer, 1, sizeof trailer, file) != sizeof trailer) return Refused("Read the Type of Binary File Fail");
  const FirmwareModelRule rule = FirmwareRuleOf(modelCode);
  if (rule.tag == nullptr || std::memcmp(trailer, rule.tag, kFirmwareTagSize) != 0) return Refused(rule.refusal);
  if (std::fseek(file, 0, SEEK_SET) != 0) return Refused("Reset the Pointer of Binary File Fail");
  return image;
}

std::uint8_t FirmwareImageByte(std::uint32_t offset) {
  // Differs between neighbouring blocks as well as within one, so a block sent twice or
  // out of order shows.
  return static_cast<std::uint8_t>(offset * 7 + (offset >> 10) * 13 + 1);
}

bool WriteFirmwareImage(const std::string& path, std::uint32_t modelCode, std::uint32_t length) {
  if (length < kFirmwareTrailerSize) return false;
  std::vector<std::uint8_t> bytes(length);
  const std::uint32_t body = length - static_cast<std::uint32_t>(kFirmwareTrailerSize);
  for (std::uint32_t i = 0; i < body; ++i) bytes[i] = FirmwareImageByte(i);
  char tag[kFirmwareTagSize + 1];
  std::snprintf(tag, sizeof tag, "%04X", static_cast<unsigned>(modelCode & 0xFFFF));
  std::memcpy(&bytes[body], tag, kFirmwareTagSize);
  std::uint32_t sum = 0;
  for (std::uint32_t i = 0; i < body + kFirmwareTagSize; ++i) sum += bytes[i];
  for (std::size_t i = 0; i < 4; ++i)
    bytes[body + kFirmwareTagSize + i] = static_cast<std::uint8_t>(sum >> (8 * i));
  ImageFile file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  return std::fclose(file.release()) == 0 && written;
}
