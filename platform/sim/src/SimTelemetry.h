// Telemetry of the sample card: ZQMF blocks like the camera's, put into the clips (as the
// user data's ZQMF atom) and photos (as the JPEG telemetry segment) that ffmpeg made.
#ifndef ZQ_PLATFORM_SIM_SRC_SIMTELEMETRY_H_
#define ZQ_PLATFORM_SIM_SRC_SIMTELEMETRY_H_

#include <cstdint>
#include <string>
#include <vector>

namespace zqsim {

// A recording of `seconds` seconds: device, accelerometer and gyroscope at 200 Hz
// (compressed), GPS at 18 Hz, and the camera facts (media type video, stock lens, time zone,
// Spotmark flag). `seed` varies the motion and the route.
std::vector<uint8_t> ClipTelemetry(int seconds, int seed);
// A photo: the camera facts (media type photo) with one GPS fix and one motion sample.
std::vector<uint8_t> PhotoTelemetry(int seed);

// Adds the block to the MP4 at `path` (made with room after its movie atom) or the JPEG.
bool AddClipTelemetry(const std::string& path, int seconds, int seed, std::string* error);
bool AddPhotoTelemetry(const std::string& path, int seed, std::string* error);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_SRC_SIMTELEMETRY_H_
