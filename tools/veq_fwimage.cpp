// Writes a COM firmware image for a model code: the pattern bytes, then the 8-byte trailer
// naming the model. For trying the firmware window by hand.
// Usage: veq-fwimage --model c371 --length 1032 out.bin
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "firmware/firmware_image.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: veq-fwimage --model CODE [--length BYTES] FILE\n"
               "  CODE   the model code in hexadecimal, e.g. 7370 or c371\n"
               "  BYTES  the image length (default %u; a W model also takes 1024 x n + 8)\n",
               static_cast<unsigned>(kFirmwareImageSize));
  return 2;
}

// A whole number in the given base within [0, max]; false when the text is not one.
bool ParseNumber(const char* text, int base, unsigned long max, unsigned long* value) {
  char* end = nullptr;
  if (*text == '\0' || *text == '-') return false;
  *value = std::strtoul(text, &end, base);
  return *end == '\0' && *value <= max;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long model = 0, length = kFirmwareImageSize;
  bool haveModel = false;
  const char* out = nullptr;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--model") == 0 && hasValue) {
      if (!ParseNumber(argv[++i], 16, 0xFFFF, &model)) return Usage();
      haveModel = true;
    } else if (std::strcmp(argv[i], "--length") == 0 && hasValue) {
      if (!ParseNumber(argv[++i], 10, 0xFFFFFFFFul, &length) || length < kFirmwareTrailerSize) return Usage();
    } else if (argv[i][0] != '-' && out == nullptr) {
      out = argv[i];
    } else {
      return Usage();
    }
  }
  if (!haveModel || out == nullptr) return Usage();
  if (!WriteFirmwareImage(out, static_cast<std::uint32_t>(model), static_cast<std::uint32_t>(length))) {
    std::fprintf(stderr, "veq-fwimage: cannot write %s\n", out);
    return 1;
  }
  if (!FirmwareLengthAccepted(static_cast<std::uint32_t>(model), length))
    std::fprintf(stderr, "veq-fwimage: note: the firmware window refuses this length for model %04lX\n", model);
  return 0;
}
