// The About window's pictures: 24-bit Windows bitmap files (pictures/*.bmp), built into
// the program.
#pragma once

#include <cstddef>

// Computers, a device server and serial devices with the product name; 104 x 177.
extern const unsigned char kAboutProductBitmap[];
extern const std::size_t kAboutProductBitmapSize;
// The maker's name on a dark blue ground; 190 x 44.
extern const unsigned char kAboutLogoBitmap[];
extern const std::size_t kAboutLogoBitmapSize;
