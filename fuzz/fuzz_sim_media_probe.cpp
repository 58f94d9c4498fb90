// The simulated media database reads capture times from the card's files: MP4 box trees and
// JPEG segments with EXIF.
#include <cstddef>
#include <cstdint>

#include "SimMediaProbe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zqsim::ProbeMp4Bytes(data, size);
  zqsim::ProbeJpegBytes(data, size);
  return 0;
}
