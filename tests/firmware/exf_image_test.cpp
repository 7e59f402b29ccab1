#include "firmware/exf_image.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace {

std::vector<std::uint8_t> Image(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

void PutLittle32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Rebalances the header checksum after a header field was changed on purpose.
void Rebalance(std::vector<std::uint8_t>& bytes) {
  PutLittle32(bytes, 12, 0);
  std::uint32_t sum = 0;
  for (int word = 0; word < 37; ++word)
    sum += static_cast<std::uint32_t>(bytes[4 * word]) | bytes[4 * word + 1] << 8 | bytes[4 * word + 2] << 16 |
           static_cast<std::uint32_t>(bytes[4 * word + 3]) << 24;
  PutLittle32(bytes, 12, 0u - sum);
}

const std::vector<std::uint8_t> kImage1 = Image(3000, 1), kImage2 = Image(5000, 9);

std::vector<std::uint8_t> Good() { return BuildExfBytes(0x7316, kImage1, 2, 5, kImage2, 1, 3); }

ExfResult Check(const std::vector<std::uint8_t>& bytes, std::uint32_t model = 0x7316) {
  ExfFile file;
  return CheckExfBytes(bytes, model, &file);
}

}  // namespace

TEST(ExfImage, AWellFormedFileGivesItsHeaderAndBothImages) {
  const std::vector<std::uint8_t> good = Good();
  ExfFile file;
  ASSERT_EQ(CheckExfBytes(good, 0x7316, &file), ExfResult::kAccepted);
  EXPECT_EQ(file.deviceCode, 0x7316u);
  EXPECT_EQ(file.image1, kImage1);
  EXPECT_EQ(file.image2, kImage2);
  EXPECT_EQ(file.image1Info.versionMajor, 2);
  EXPECT_EQ(file.image1Info.versionMinor, 5);
  EXPECT_EQ(file.image2Info.size, 5000u);
  EXPECT_EQ(std::vector<std::uint8_t>(file.header, file.header + 148),
            std::vector<std::uint8_t>(good.begin(), good.begin() + 148));
}

TEST(ExfImage, EveryBrokenRuleMakesTheFileCorrupted) {
  auto broken = [](auto change) {
    std::vector<std::uint8_t> bytes = Good();
    change(bytes);
    return Check(bytes);
  };
  EXPECT_EQ(broken([](auto& b) { b[0] = 'X'; Rebalance(b); }), ExfResult::kCorrupted);                   // magic
  EXPECT_EQ(broken([](auto& b) { b[4] = 2; Rebalance(b); }), ExfResult::kCorrupted);                     // version
  EXPECT_EQ(broken([](auto& b) { PutLittle32(b, 8, 144); Rebalance(b); }), ExfResult::kCorrupted);       // length
  EXPECT_EQ(broken([](auto& b) { b[30] ^= 1; }), ExfResult::kCorrupted);  // checksum, all else right
  EXPECT_EQ(broken([](auto& b) { b.back() ^= 1; }), ExfResult::kCorrupted);  // one byte of image 2
  EXPECT_EQ(broken([](auto& b) { b[148] ^= 1; }), ExfResult::kCorrupted);    // one byte of image 1
  EXPECT_EQ(broken([](auto& b) { b.resize(100); }), ExfResult::kCorrupted);  // shorter than its header
  EXPECT_EQ(broken([](auto& b) { PutLittle32(b, 108, 0xFFFFFF00); Rebalance(b); }), ExfResult::kCorrupted);
  EXPECT_EQ(broken([](auto& b) { PutLittle32(b, 104, 0xFFFFFFFF); Rebalance(b); }), ExfResult::kCorrupted);
  EXPECT_EQ(broken([](auto& b) { b.pop_back(); }), ExfResult::kCorrupted);  // image 2 runs past the end
}

TEST(ExfImage, AFileForAnotherDeviceNamesThePortsModel) {
  EXPECT_EQ(Check(Good(), 0x7308), ExfResult::kWrongDevice);
  EXPECT_EQ(ExfMessage(ExfResult::kWrongDevice, 0x7308), "The Binary File is not for VEQ 7308+");
  EXPECT_EQ(ExfMessage(ExfResult::kCorrupted, 0x7308), "The VEQ Binary file is corrupted");
}

TEST(ExfImage, ARefusedFileLeavesTheEarlierOneWhole) {
  ExfFile file;
  ASSERT_EQ(CheckExfBytes(Good(), 0x7316, &file), ExfResult::kAccepted);
  std::vector<std::uint8_t> other = BuildExfBytes(0x7316, Image(10, 3), 9, 9, Image(20, 4), 9, 9);
  other.back() ^= 1;
  EXPECT_EQ(CheckExfBytes(other, 0x7316, &file), ExfResult::kCorrupted);
  EXPECT_EQ(file.image1, kImage1);
  EXPECT_EQ(file.image1Info.versionMajor, 2);
}

TEST(ExfImage, FilesThatAreMissingOrCannotBeRead) {
  testsupport::TempDir dir;
  ExfFile file;
  EXPECT_EQ(ReadExfFile(dir.File("none.exf"), 0x7316, &file), ExfResult::kNotFound);
  EXPECT_EQ(ExfMessage(ExfResult::kNotFound, 0), "Cannot find the VEQ Binary file");
  EXPECT_EQ(ReadExfFile(dir.path(), 0x7316, &file), ExfResult::kCannotLoad);
  EXPECT_EQ(ExfMessage(ExfResult::kCannotLoad, 0), "Cannot load the VEQ Binary file");
  const std::vector<std::uint8_t> good = Good();
  std::ofstream(dir.File("good.exf"), std::ios::binary).write(reinterpret_cast<const char*>(good.data()), good.size());
  EXPECT_EQ(ReadExfFile(dir.File("good.exf"), 0x7316, &file), ExfResult::kAccepted);
  EXPECT_EQ(file.image2, kImage2);
}
