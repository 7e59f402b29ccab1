// The About window's pictures as a 256-colour display shows them: uncompressed bitmaps of
// at most 256 colours whose every pixel is one of the 20 colours Windows keeps in the
// palette, so that no display maps them to other colours.
#include "app/about_pictures.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

namespace {

std::uint32_t Field(const unsigned char* at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
  return value;
}

const std::set<std::uint32_t> kStaticColours = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080,
                                                0xC0C0C0, 0xC0DCC0, 0xA6CAF0, 0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000,
                                                0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

// What is wrong with the bitmap file for a 256-colour display; empty when nothing is.
std::string Fault(const unsigned char* file, std::size_t size, int width, int height) {
  if (size < 54 || file[0] != 'B' || file[1] != 'M') return "not a bitmap file";
  const std::uint32_t offBits = Field(file + 10, 4), infoSize = Field(file + 14, 4);
  const int bits = static_cast<int>(Field(file + 28, 2));
  if (infoSize != 40) return "header of " + std::to_string(infoSize) + " bytes";
  if (static_cast<int>(Field(file + 18, 4)) != width || static_cast<int>(Field(file + 22, 4)) != height)
    return "another size";
  if (bits != 4 && bits != 8) return std::to_string(bits) + " bits a pixel";
  if (Field(file + 30, 4) != 0) return "compressed";
  const std::uint32_t tableSize = Field(file + 46, 4) != 0 ? Field(file + 46, 4) : 1u << bits;
  const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  if (offBits < 54 + 4 * tableSize || offBits + stride * height > size) return "pixels or colours outside the file";
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned char byte = file[offBits + y * stride + x * bits / 8];
      const std::uint32_t index = bits == 8 ? byte : (x % 2 == 0 ? byte >> 4 : byte & 0x0F);
      if (index >= tableSize) return "a pixel beyond the colour table";
      // Blue, green, red: read as one number, 0xRRGGBB.
      if (kStaticColours.count(Field(file + 54 + 4 * index, 3)) == 0)
        return "a pixel of another colour at " + std::to_string(x) + "," + std::to_string(y);
    }
  }
  return "";
}

}  // namespace

TEST(AboutPictures, EveryPixelIsOneOfTheTwentyStaticColours) {
  EXPECT_EQ(Fault(kAboutProductBitmap, kAboutProductBitmapSize, 104, 177), "");
  EXPECT_EQ(Fault(kAboutLogoBitmap, kAboutLogoBitmapSize, 190, 44), "");
}
