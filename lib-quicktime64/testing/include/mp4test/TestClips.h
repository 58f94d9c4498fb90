// Recordings made at test time: short clips encoded by ffmpeg (H.264 and HEVC, AAC sound, a
// time code track, with and without B-frames, movie atom first and last), to which the box
// builder adds a telemetry track (handler "Tavro MET", sample description `zqmd`) and the
// maker's user data. Generated once per build: the clips are kept beside the test binary in a
// directory named after their recipes, published atomically, and shared by every test
// process (ctest runs each test in a process of its own).
#ifndef ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_TESTCLIPS_H_
#define ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_TESTCLIPS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace mp4test {

struct Clip {
  std::string name;
  std::string path;
  bool hevc = false;
  bool bframes = false;
  bool moovFirst = false;
  bool quickTime = false;  // written as .mov (QuickTime atoms) rather than .mp4
  std::string timeCode;    // the start time code given to ffmpeg
  bool dropFrame = false;
  uint32_t frameRateNum = 0;
  uint32_t frameRateDen = 1;
  // The telemetry track that was added.
  std::vector<uint32_t> telemetrySizes;
  std::vector<uint64_t> telemetryOffsets;
  int64_t telemetryMediaStart = 0;
};

// The generated clips; empty (with a reason on stderr) when ffmpeg is missing or fails.
const std::vector<Clip>& GeneratedClips();
// The directory the clips live in. Derived files belong in a test's own temporary directory.
const std::string& ClipDirectory();

// The telemetry track and maker user data added to `file` (an MP4 in memory). Chunk offsets
// of the existing tracks are moved when the movie atom precedes the media data.
std::string AddTavroParts(const std::string& file, bool pascalHandlerName, Clip* clip);

std::string ReadAll(const std::string& path);
bool WriteAll(const std::string& path, const std::string& bytes);

}  // namespace mp4test

#endif  // ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_TESTCLIPS_H_
