// What the simulated media database reads from a media file itself.
#ifndef ZQ_PLATFORM_SIM_SRC_SIMMEDIAPROBE_H_
#define ZQ_PLATFORM_SIM_SRC_SIMMEDIAPROBE_H_

#include <cstdint>
#include <string>

namespace zqsim {

struct MediaProbe {
  uint64_t capture_time = 0;  // seconds since 1970, 0 when the file does not say
  uint32_t duration_ms = 0;   // MP4 movie duration
  uint32_t width = 0;
  uint32_t height = 0;
};

// Reads an MP4's movie header and first visual track header, or a JPEG's EXIF capture time
// and frame size. Anything unreadable leaves the fields at 0; never fails otherwise.
MediaProbe ProbeMedia(const std::string& path);

// The same on bytes already in memory (the whole file or its beginning).
MediaProbe ProbeMp4Bytes(const uint8_t* data, size_t size);
MediaProbe ProbeJpegBytes(const uint8_t* data, size_t size);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_SRC_SIMMEDIAPROBE_H_
