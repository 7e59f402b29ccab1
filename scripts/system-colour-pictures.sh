#!/usr/bin/env bash
# Makes the About window's pictures (src/app/pictures/*.bmp) from their 24-bit drawings as
# 8-bit bitmaps whose pixels are only the 20 colours Windows keeps in the palette of a
# 256-colour display. Windows 95 and 98 show a 24-bit bitmap there by taking the nearest of
# those colours pixel by pixel, without halftoning, which turns the logo's dark gradient
# into stripes; pictures made of them look the same at every depth from 256 colours up.
# Nearest colour, no dithering: the drawings are flat areas, where error diffusion only
# adds specks of red and purple. The logo's ground, a gradient darker than navy, is lifted
# first so that all of it becomes navy rather than a band of black.
#
# Usage: scripts/system-colour-pictures.sh [DRAWINGS_DIR]
# Without a folder, the drawings are taken from commit 1e5bb34, the last that held them.
# Needs ImageMagick (package imagemagick). Writes src/app/pictures/about_{logo,product}.bmp.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

for name in about_logo about_product; do
  if [ $# -gt 0 ]; then
    cp "$1/$name.bmp" "$work/$name.bmp"
  else
    git -C "$root" show "1e5bb34:src/app/pictures/$name.bmp" >"$work/$name.bmp"
  fi
done

# The static colours: the first ten and the last ten entries of the default palette.
colours=(000000 800000 008000 808000 000080 800080 008080 C0C0C0 C0DCC0 A6CAF0
         FFFBF0 A0A0A4 808080 FF0000 00FF00 FFFF00 0000FF FF00FF 00FFFF FFFFFF)
convert -size 1x1 "${colours[@]/#/xc:#}" +append "$work/palette.png"

reduce() {  # drawing, output, ImageMagick operations before the colours are chosen
  local drawing=$1 output=$2
  shift 2
  convert "$drawing" "$@" -dither None -remap "$work/palette.png" -type Palette -compress None "BMP3:$output"
}
reduce "$work/about_logo.bmp" "$root/src/app/pictures/about_logo.bmp" -evaluate multiply 1.4
reduce "$work/about_product.bmp" "$root/src/app/pictures/about_product.bmp"
