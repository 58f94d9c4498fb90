#include "zqsim/SimCard.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "SimCardForms.h"
#include "SimCardPhotos.h"
#include "SimFfmpeg.h"
#include "SimTelemetry.h"
#include "zqcommon/zqPaths.h"

namespace zqsim {
namespace {

bool MakeDir(const std::string& path, std::string* error) {
  if (zq_make_dirs(path)) return true;
  *error = "cannot create " + path + ": " + strerror(errno);
  return false;
}

struct Clip {
  const char* stem;     // file name without extension
  const char* pattern;  // lavfi video source
  int seconds;
  int tone_hz;
  int seed;  // varies the telemetry
};

bool MakeClip(const std::string& folder, const Clip& clip, std::string* error) {
  const std::string stem = folder + "/" + clip.stem;
  const std::string video =
      std::string(clip.pattern) + "=size=640x360:rate=30:duration=" + std::to_string(clip.seconds);
  const std::string audio = "sine=frequency=" + std::to_string(clip.tone_hz) +
                            ":sample_rate=48000:duration=" + std::to_string(clip.seconds);
  auto encode = [&](const std::string& size, const std::string& out) {
    std::vector<std::string> args = {"-f",      "lavfi",     "-i",   video, "-f",       "lavfi",
                                     "-i",      audio,       "-s",   size,  "-c:v",     "libx264",
                                     "-preset", "ultrafast", "-g",   "15",  "-pix_fmt", "yuv420p",
                                     "-c:a",    "aac",       "-b:a", "96k"};
    args.insert(args.end(), kFfmpegBitExact.begin(), kFfmpegBitExact.end());
    args.insert(args.end(), {"-f", "mp4", out});
    return RunFfmpeg(args, error);
  };
  const std::pair<const char*, std::string> outputs[] = {{"640x360", stem + ".MP4"},
                                                         {"320x180", stem + ".LRV"}};
  for (const auto& [size, file] : outputs) {
    if (!encode(size, file) || !AddClipTelemetry(file, clip.seconds, clip.seed, error))
      return false;
  }
  std::vector<std::string> thumb = {"-f", "lavfi", "-i", video, "-frames:v", "1", "-s", "160x90"};
  thumb.insert(thumb.end(), kFfmpegBitExact.begin(), kFfmpegBitExact.end());
  thumb.insert(thumb.end(), {"-f", "mjpeg", stem + ".THM"});
  return RunFfmpeg(thumb, error);
}

bool MakePhoto(const std::string& folder, const char* name, const char* pattern, int seed,
               std::string* error) {
  std::vector<std::string> args = {
      "-f",        "lavfi", "-i",   std::string(pattern) + "=size=1920x1080:rate=1",
      "-frames:v", "1",     "-q:v", "3"};
  args.insert(args.end(), kFfmpegBitExact.begin(), kFfmpegBitExact.end());
  args.insert(args.end(), {"-f", "mjpeg", folder + "/" + name});
  return RunFfmpeg(args, error) && AddPhotoTelemetry(folder + "/" + name, seed, error);
}

}  // namespace

bool MakeCard(const std::string& dir, std::string* error) {
  const std::string dcim = dir + "/DCIM";
  const std::string folder = dcim + "/100TAVRO";
  if (!MakeDir(dir, error) || !MakeDir(dcim, error) || !MakeDir(folder, error) ||
      !MakeDir(dir + "/MISC", error)) {
    return false;
  }
  const Clip clips[] = {
      {"ZQ010001", "testsrc2", 2, 440, 1},
      {"ZQ010002", "smptebars", 2, 660, 2},
  };
  for (const Clip& c : clips) {
    if (!MakeClip(folder, c, error)) return false;
  }
  return MakePhoto(folder, "TAVR0003.JPG", "testsrc", 3, error) &&
         MakePhoto(folder, "TAVR0004.JPG", "mandelbrot", 4, error) &&
         MakeSamplePhotos(folder, error) && MakeMediaForms(dir, error);
}

}  // namespace zqsim
