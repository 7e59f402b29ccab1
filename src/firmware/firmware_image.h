// The COM firmware image: 262144 bytes (or, for the W models, any length of 256 x n + 8)
// ending in an 8-byte trailer whose first four bytes name the model code in upper-case
// hexadecimal. The rules the firmware window checks an image against, and a writer of
// such images for trying the update by hand and for tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

constexpr std::uint32_t kFirmwareImageSize = 0x40000;
constexpr std::size_t kFirmwareTrailerSize = 8;
constexpr std::size_t kFirmwareTagSize = 4;

struct ImageFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
// An open image file; closing is destruction.
using ImageFile = std::unique_ptr<std::FILE, ImageFileCloser>;

// The W models also take short images that end in a trailer block of their own.
bool IsWModel(std::uint32_t modelCode);
bool FirmwareLengthAccepted(std::uint32_t modelCode, std::uint64_t length);

// What an image must carry for a model: the four tag characters its trailer begins
// with (null when no image is accepted for the model) and the refusal message.
struct FirmwareModelRule {
  const char* tag;
  const char* refusal;
};
FirmwareModelRule FirmwareRuleOf(std::uint32_t modelCode);

// An image opened and checked for a model: the file positioned at its first byte and its
// length, or no file and the message that says why it was refused.
struct CheckedImage {
  ImageFile file;
  std::uint32_t size = 0;
  std::string refusal;
};
CheckedImage OpenFirmwareImage(const std::string& path, std::uint32_t modelCode);

// The byte at offset of the images WriteFirmwareImage writes, trailer excepted.
std::uint8_t FirmwareImageByte(std::uint32_t offset);
// Writes an image of length bytes (at least the trailer) whose trailer names modelCode;
// the last four trailer bytes hold the little-endian byte sum of what precedes them.
bool WriteFirmwareImage(const std::string& path, std::uint32_t modelCode, std::uint32_t length);
