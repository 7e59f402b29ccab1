// The About window's pictures: 8-bit Windows bitmap files (pictures/*.bmp) in the 20
// colours of a 256-colour display's palette, built into the program
// (scripts/system-colour-pictures.sh makes them).
#pragma once

#include <cstddef>

// Computers, a device server and serial devices with the product name; 104 x 177.
extern const unsigned char kAboutProductBitmap[];
extern const std::size_t kAboutProductBitmapSize;
// The maker's name on a dark blue ground; 190 x 44.
extern const unsigned char kAboutLogoBitmap[];
extern const std::size_t kAboutLogoBitmapSize;
