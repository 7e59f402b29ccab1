#include <gtest/gtest.h>

#include <cstdio>

#include "store/driver_interface.h"

TEST(DriverInterface, CodesPathsAndTheBlockRecordAreWhatTheDriverTakes) {
  EXPECT_EQ(IOCTL_DEVICE_REBOOT, 0x0BB8u);
  EXPECT_EQ(IOCTL_FIRMWARE_BLOCK, 0x0BB9u);
  char path[32];
  std::snprintf(path, sizeof path, kComNumberPathFormat, 12);
  EXPECT_STREQ(path, "\\\\.\\COM12");
  std::snprintf(path, sizeof path, kPortNamePathFormat, "COM5");
  EXPECT_STREQ(path, "\\\\.\\COM5");

  FirmwareBlock block{};
  block.SetIndex(0x01020304);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&block);
  EXPECT_EQ(bytes[0], 0x04);
  EXPECT_EQ(bytes[3], 0x01);
  EXPECT_EQ(block.Index(), 0x01020304u);
  block.Data[0] = 0xAA;
  EXPECT_EQ(bytes[4], 0xAA);
  block.SetIndex(TRAILER_BLOCK_INDEX);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[3], 0xFF);
}
