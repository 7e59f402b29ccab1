// What the system relies on from the virtual serial port driver besides its registry
// keys: the device paths, its two private control codes and the firmware block record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// "\\.\COM%d" for a COM number (detection), "\\.\%s" for a port name (test, firmware).
constexpr const char* kComNumberPathFormat = "\\\\.\\COM%d";
constexpr const char* kPortNamePathFormat = "\\\\.\\%s";

constexpr std::uint32_t IOCTL_DEVICE_REBOOT = 3000;   // no input, no output
constexpr std::uint32_t IOCTL_FIRMWARE_BLOCK = 3001;  // input: one FirmwareBlock

// Marks the 8-byte trailer block of a W-model image.
constexpr std::uint32_t TRAILER_BLOCK_INDEX = 0xFFFFFFFFu;

constexpr std::size_t kFirmwareBlockDataSize = 1024;

// The record of IOCTL_FIRMWARE_BLOCK, laid out byte by byte so that it is exactly 1028
// bytes with a little-endian index whatever the machine.
struct FirmwareBlock {
  std::uint8_t BlockIndex[4];
  std::uint8_t Data[kFirmwareBlockDataSize];

  void SetIndex(std::uint32_t index) {
    for (int i = 0; i < 4; ++i) BlockIndex[i] = static_cast<std::uint8_t>(index >> (8 * i));
  }
  std::uint32_t Index() const {
    return static_cast<std::uint32_t>(BlockIndex[0]) | static_cast<std::uint32_t>(BlockIndex[1]) << 8 |
           static_cast<std::uint32_t>(BlockIndex[2]) << 16 | static_cast<std::uint32_t>(BlockIndex[3]) << 24;
  }
};

static_assert(sizeof(FirmwareBlock) == 1028, "the driver takes exactly 1028 bytes");
