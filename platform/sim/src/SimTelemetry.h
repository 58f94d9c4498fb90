// Telemetry of the sample card: ZQMF like the camera's, put into the clips (a telemetry track of
// one payload a second, and the recording's facts in the user data's ZQMF atom) and photos
// (the JPEG telemetry segment) that ffmpeg made.
#ifndef ZQ_PLATFORM_SIM_SRC_SIMTELEMETRY_H_
#define ZQ_PLATFORM_SIM_SRC_SIMTELEMETRY_H_

#include <cstdint>
#include <string>
#include <vector>

namespace zqsim {

// The telemetry track of a recording of `seconds` seconds, one payload per second: the device,
// accelerometer and gyroscope at 200 Hz (compressed) and GPS at 18 Hz, with the running sample
// counts and time stamps. `seed` varies the motion and the route.
std::vector<std::vector<uint8_t>> ClipTrackPayloads(int seconds, int seed);
// The recording's facts for its user data: the device and the camera facts (media type
// video, stock lens, time zone, Spotmark flag).
std::vector<uint8_t> ClipFacts();
// A photo: the camera facts (media type photo) with one GPS fix and one motion sample.
std::vector<uint8_t> PhotoTelemetry(int seed);

// Adds the telemetry track and the facts to the MP4 at `path` (rewritten in place, its samples
// moved to make room), or the block to the JPEG.
bool AddClipTelemetry(const std::string& path, int seconds, int seed, std::string* error);
bool AddPhotoTelemetry(const std::string& path, int seed, std::string* error);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_SRC_SIMTELEMETRY_H_
