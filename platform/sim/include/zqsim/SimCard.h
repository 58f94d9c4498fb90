// The sample SD card of the simulated camera.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCARD_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCARD_H_

#include <string>

namespace zqsim {

// Writes a sample card below `dir` (which becomes the card's mount point): DCIM folders with
// clips made by ffmpeg (H.264 + AAC MP4 with their .LRV proxy and .THM thumbnail) and photos,
// and every form the media list groups (see SimCardForms.cpp); the internal storage's tree goes
// to the sibling directory "fuse_i" of `dir`. Clips and proxies carry a ZQMF telemetry track
// (one payload a second) and the recording's facts in their user data, photos their telemetry
// segment.
// Existing files of the same names are replaced. False with `*error` set when a folder cannot
// be made or ffmpeg fails.
bool MakeCard(const std::string& dir, std::string* error);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMCARD_H_
