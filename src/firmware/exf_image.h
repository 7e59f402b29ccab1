// The network firmware image file (.exf): a 148-byte little-endian header with its own
// checksum, locating two images with their byte sums.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr std::uint32_t kExfMagic = 0x48465845;  // "EXFH"
constexpr std::uint32_t kExfHeaderLength = 148;

struct ExfImageInfo {
  std::uint16_t versionMajor = 0;
  std::uint16_t versionMinor = 0;
  std::uint32_t size = 0;
  std::uint32_t offset = 0;
  std::uint32_t sum = 0;
};

// A file that passed every check: its header and the two images it locates.
struct ExfFile {
  std::uint8_t header[kExfHeaderLength] = {};
  std::uint32_t deviceCode = 0;
  ExfImageInfo image1Info, image2Info;
  std::vector<std::uint8_t> image1, image2;
};

enum class ExfResult { kAccepted, kNotFound, kCannotLoad, kCorrupted, kWrongDevice };

// Reads and checks the file at path for a port of modelCode; *file is changed only when
// the file is accepted, so a refused file never pairs a header with other images.
ExfResult ReadExfFile(const std::string& path, std::uint32_t modelCode, ExfFile* file);
// The same checks over bytes already in memory.
ExfResult CheckExfBytes(const std::vector<std::uint8_t>& bytes, std::uint32_t modelCode, ExfFile* file);
// The message the window shows for a refusal.
std::string ExfMessage(ExfResult result, std::uint32_t modelCode);
// A well-formed file for deviceCode holding the two images after its header (for the
// simulator and for trying the window by hand).
std::vector<std::uint8_t> BuildExfBytes(std::uint32_t deviceCode, const std::vector<std::uint8_t>& image1,
                                        std::uint16_t image1Major, std::uint16_t image1Minor,
                                        const std::vector<std::uint8_t>& image2, std::uint16_t image2Major,
                                        std::uint16_t image2Minor);
// The byte sum of a run of bytes, each 0 to 255, modulo 2^32.
std::uint32_t ByteSum(const std::uint8_t* bytes, std::size_t count);
