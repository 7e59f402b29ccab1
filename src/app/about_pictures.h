// The About window's pictures, drawn at run time so the program carries no image files.
#pragma once

#include <QPixmap>

// Computers, a device server and serial devices with the product name; 104 x 177.
QPixmap ProductPicture();
// The maker's name on a dark blue ground; 190 x 44.
QPixmap LogoPicture();
