// The .exf reader: each input is a whole file, checked for a VEQ7316(R)+ port.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "firmware/exf_image.h"
#include "fuzz_support.h"

namespace {

constexpr std::uint32_t kModel = 0x7316;

bool ImageMatches(const std::vector<std::uint8_t>& bytes, const ExfImageInfo& info,
                  const std::vector<std::uint8_t>& image) {
  return image.size() == info.size && static_cast<std::uint64_t>(info.offset) + info.size <= bytes.size() &&
         std::equal(image.begin(), image.end(), bytes.begin() + info.offset) &&
         ByteSum(image.data(), image.size()) == info.sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  // A file already held, to see that a refusal leaves it alone.
  ExfFile file;
  file.deviceCode = 0xDEAD;
  file.image1.assign(3, 0x5A);
  const ExfResult result = CheckExfBytes(bytes, kModel, &file);
  if (result != ExfResult::kAccepted) {
    fuzz::Require(result == ExfResult::kCorrupted || result == ExfResult::kWrongDevice,
                  "bytes in memory are corrupted or for another device");
    fuzz::Require(file.deviceCode == 0xDEAD && file.image1.size() == 3 && file.image2.empty(),
                  "a refused file leaves the held one alone");
    fuzz::Require(!ExfMessage(result, kModel).empty(), "a refusal has a message");
    return 0;
  }
  fuzz::Require(size >= kExfHeaderLength && std::equal(file.header, file.header + kExfHeaderLength, data),
                "the header kept is the file's");
  fuzz::Require(file.deviceCode == kModel, "an accepted file is for the port's model");
  fuzz::Require(ImageMatches(bytes, file.image1Info, file.image1) && ImageMatches(bytes, file.image2Info, file.image2),
                "each image is the run of bytes its header locates, with its sum");
  // The writer's layout of the same images passes the same checks.
  ExfFile rebuilt;
  fuzz::Require(CheckExfBytes(BuildExfBytes(kModel, file.image1, file.image1Info.versionMajor,
                                            file.image1Info.versionMinor, file.image2, file.image2Info.versionMajor,
                                            file.image2Info.versionMinor),
                              kModel, &rebuilt) == ExfResult::kAccepted &&
                    rebuilt.image1 == file.image1 && rebuilt.image2 == file.image2,
                "the images written anew read back the same");
  return 0;
}
