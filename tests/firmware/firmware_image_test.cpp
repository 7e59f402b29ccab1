// The image rules: length, trailer tag and the models that take no image at all.
#include "firmware/firmware_image.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/temp_dir.h"

namespace {

const std::uint32_t kAllModels[] = {0x7370, 0x7371, 0x7304, 0xA370, 0xA371, 0xB370,
                                    0xB371, 0xC370, 0xC371, 0x7308, 0x7316, 0x1234};

// Overwrites the four tag bytes of the trailer of an image of the given length.
void SetTag(const std::string& path, std::uint32_t length, const char* tag) {
  ImageFile file(std::fopen(path.c_str(), "r+b"));
  ASSERT_TRUE(file);
  ASSERT_EQ(std::fseek(file.get(), static_cast<long>(length - kFirmwareTrailerSize), SEEK_SET), 0);
  ASSERT_EQ(std::fwrite(tag, 1, kFirmwareTagSize, file.get()), kFirmwareTagSize);
}

TEST(FirmwareImage, OneByteOffTheFullLengthIsRefusedForEveryModel) {
  testsupport::TempDir dir;
  for (std::uint32_t model : kAllModels) {
    for (std::uint32_t length : {kFirmwareImageSize - 1, kFirmwareImageSize + 1}) {
      const std::string path = dir.File("off.bin");
      ASSERT_TRUE(WriteFirmwareImage(path, model, length));
      const CheckedImage image = OpenFirmwareImage(path, model);
      EXPECT_FALSE(image.file) << std::hex << model << " " << std::dec << length;
      EXPECT_EQ(image.refusal, "Firmware Binary File Length Wrong") << std::hex << model;
    }
  }
}

TEST(FirmwareImage, MatchingImagesAreAcceptedAtTheirFirstByte) {
  testsupport::TempDir dir;
  const std::string path = dir.File("fw.bin");
  for (std::uint32_t model : {0x7370u, 0xA371u, 0xB370u, 0xC371u}) {
    ASSERT_TRUE(WriteFirmwareImage(path, model, kFirmwareImageSize));
    const CheckedImage image = OpenFirmwareImage(path, model);
    ASSERT_TRUE(image.file) << image.refusal;
    EXPECT_EQ(image.size, kFirmwareImageSize);
    EXPECT_EQ(std::ftell(image.file.get()), 0);
  }
  // The short W image: accepted for W models only.
  ASSERT_TRUE(WriteFirmwareImage(path, 0xC370, 1032));
  EXPECT_EQ(OpenFirmwareImage(path, 0xC370).size, 1032u);
  ASSERT_TRUE(WriteFirmwareImage(path, 0x7370, 1032));
  EXPECT_EQ(OpenFirmwareImage(path, 0x7370).refusal, "Firmware Binary File Length Wrong");
}

TEST(FirmwareImage, TrailerTagMustMatchTheModelExactly) {
  testsupport::TempDir dir;
  const std::string path = dir.File("fw.bin");
  ASSERT_TRUE(WriteFirmwareImage(path, 0xC371, 1032));
  SetTag(path, 1032, "c371");
  EXPECT_EQ(OpenFirmwareImage(path, 0xC371).refusal, "The Binary File is not for TORL7371W");
  ASSERT_TRUE(WriteFirmwareImage(path, 0x7371, kFirmwareImageSize));
  EXPECT_EQ(OpenFirmwareImage(path, 0x7370).refusal, "The Binary File is not for TORL7370");
  EXPECT_EQ(OpenFirmwareImage(path, 0xA370).refusal, "The Binary File is not for TORL7370S");
}

TEST(FirmwareImage, NetworkModelsAndUnknownCodesTakeNoImage) {
  testsupport::TempDir dir;
  const std::string path = dir.File("fw.bin");
  const std::pair<std::uint32_t, const char*> cases[] = {{0x7308, "The Binary File is not for VEQ7308+"},
                                                         {0x7316, "The Binary File is not for VEQ7316+"},
                                                         {0x1234, "Unknown Device Model"}};
  for (const auto& [model, message] : cases) {
    // Even an image whose trailer names the model.
    ASSERT_TRUE(WriteFirmwareImage(path, model, kFirmwareImageSize));
    const CheckedImage image = OpenFirmwareImage(path, model);
    EXPECT_FALSE(image.file);
    EXPECT_EQ(image.refusal, message);
  }
}

}  // namespace
