// ffmpeg as the simulator's media maker: the sample card's clips, proxies and photos.
#ifndef ZQ_PLATFORM_SIM_SRC_SIMFFMPEG_H_
#define ZQ_PLATFORM_SIM_SRC_SIMFFMPEG_H_

#include <string>
#include <vector>

namespace zqsim {

// Runs ffmpeg with `args` (quietly, never asking, overwriting the output) and waits for it.
// The last argument names the output, for the error text.
bool RunFfmpeg(const std::vector<std::string>& args, std::string* error);

// Options that make ffmpeg's output the same on every run.
extern const std::vector<std::string> kFfmpegBitExact;

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_SRC_SIMFFMPEG_H_
