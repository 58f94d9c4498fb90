#include "mp4test/TestClips.h"

#include <ftw.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "mp4test/BoxBuilder.h"

namespace mp4test {

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

void RemoveTree(const std::string& path) {
  nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Where the clips of this build live: beside the test binary, named after what makes them,
// so that the many test processes of one run (and later runs) share one generation.
std::string CacheDirectory(const std::string& recipeKey) {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return "";
  std::string dir(exe, static_cast<size_t>(n));
  dir = dir.substr(0, dir.rfind('/'));
  return dir + "/mp4clips-" + std::to_string(std::hash<std::string>()(recipeKey));
}

struct Recipe {
  const char* name;
  bool hevc;
  bool bframes;
  bool moovFirst;
  bool quickTime;
  const char* timeCode;
  uint32_t rateNum;
  uint32_t rateDen;
  bool pascalName;
};

// Small and short: generation runs once per test binary, under sanitizers too.
constexpr Recipe kRecipes[] = {
    {"h264_bframes_moovlast", false, true, false, false, "01:00:00;00", 30000, 1001, false},
    {"h264_nobframes_moovfirst", false, false, true, true, "10:00:00:00", 25, 1, true},
    {"hevc_bframes_moovfirst", true, true, true, false, "00:59:59:20", 24, 1, true},
    {"hevc_nobframes_moovlast", true, false, false, true, "00:00:10:05", 30, 1, false},
};

std::string Command(const Recipe& r, const std::string& out) {
  std::ostringstream cmd;
  cmd << "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=128x96:rate=" << r.rateNum << "/"
      << r.rateDen << " -f lavfi -i sine=frequency=440:sample_rate=48000 -t 1.5 ";
  if (r.hevc) {
    cmd << "-c:v libx265 -preset ultrafast -tag:v hvc1 -x265-params log-level=none:bframes="
        << (r.bframes ? 3 : 0) << ":keyint=12 ";
  } else {
    cmd << "-c:v libx264 -preset ultrafast -g 12 -bf " << (r.bframes ? 3 : 0) << " ";
  }
  cmd << "-c:a aac -b:a 48k -timecode '" << r.timeCode << "' ";
  if (!r.quickTime) cmd << "-write_tmcd 1 ";
  if (r.moovFirst) cmd << "-movflags +faststart ";
  cmd << "-f " << (r.quickTime ? "mov" : "mp4") << " '" << out << "' 2>&1";
  return cmd.str();
}

std::string& ClipDirPath() {
  static std::string path;
  return path;
}

std::vector<Clip> Describe(const std::string& dir) {
  std::vector<Clip> clips;
  for (const Recipe& r : kRecipes) {
    Clip clip;
    clip.name = r.name;
    clip.hevc = r.hevc;
    clip.bframes = r.bframes;
    clip.moovFirst = r.moovFirst;
    clip.quickTime = r.quickTime;
    clip.timeCode = r.timeCode;
    clip.dropFrame = std::string(r.timeCode).find(';') != std::string::npos;
    clip.frameRateNum = r.rateNum;
    clip.frameRateDen = r.rateDen;
    clip.path = dir + "/" + r.name + (r.quickTime ? ".mov" : ".mp4");
    clips.push_back(clip);
  }
  return clips;
}

// The expectations about the added telemetry, kept beside each clip.
bool SaveTelemetry(const Clip& clip) {
  std::ostringstream text;
  text << clip.telemetryMediaStart << "\n";
  for (size_t i = 0; i < clip.telemetrySizes.size(); ++i) {
    text << clip.telemetrySizes[i] << " " << clip.telemetryOffsets[i] << "\n";
  }
  return WriteAll(clip.path + ".telemetry", text.str());
}

bool LoadTelemetry(Clip* clip) {
  std::istringstream text(ReadAll(clip->path + ".telemetry"));
  if (!(text >> clip->telemetryMediaStart)) return false;
  uint32_t size;
  uint64_t offset;
  while (text >> size >> offset) {
    clip->telemetrySizes.push_back(size);
    clip->telemetryOffsets.push_back(offset);
  }
  return !clip->telemetrySizes.empty();
}

// Encodes the clips and adds the maker's parts; false when anything fails.
bool Encode(std::vector<Clip>* clips) {
  for (size_t i = 0; i < clips->size(); ++i) {
    const Recipe& r = kRecipes[i];
    Clip& clip = (*clips)[i];
    std::string encoded = clip.path + ".encoded";
    if (system(Command(r, encoded).c_str()) != 0) {
      fprintf(stderr, "test clips: ffmpeg failed for %s\n", r.name);
      return false;
    }
    std::string bytes = AddTavroParts(ReadAll(encoded), r.pascalName, &clip);
    if (bytes.empty() || !WriteAll(clip.path, bytes) || !SaveTelemetry(clip)) {
      fprintf(stderr, "test clips: cannot add the maker's parts to %s\n", r.name);
      return false;
    }
    unlink(encoded.c_str());
  }
  return true;
}

std::vector<Clip> Generate() {
  std::string key;
  for (const Recipe& r : kRecipes) key += Command(r, r.name) + (r.pascalName ? "P" : "C");
  key += "telemetry-v1";
  std::string dir = CacheDirectory(key);
  if (dir.empty()) return {};
  if (access((dir + "/complete").c_str(), F_OK) != 0) {
    // Build in a staging directory and publish it with one rename, so that test processes
    // running at the same time never see half a set.
    std::string staging = dir + ".XXXXXX";
    if (mkdtemp(staging.data()) == nullptr) return {};
    std::vector<Clip> staged = Describe(staging);
    bool ok = Encode(&staged) && WriteAll(staging + "/complete", "");
    if (!ok || rename(staging.c_str(), dir.c_str()) != 0) RemoveTree(staging);
    if (!ok) return {};
  }
  std::vector<Clip> clips = Describe(dir);
  for (Clip& clip : clips) {
    if (!LoadTelemetry(&clip)) return {};
  }
  ClipDirPath() = dir;
  return clips;
}

// The movie header with its next track ID raised by one; the old value in `trackID`.
std::string NextTrackID(const std::string& mvhd, uint32_t* trackID) {
  std::string out = mvhd;
  size_t at = 8 + (static_cast<uint8_t>(mvhd[8]) == 1 ? 108 : 96);
  *trackID = Get32(out, at);
  Set32(out, at, *trackID + 1);
  return out;
}

std::string TelemetryTrak(uint32_t trackID, bool pascalName, const std::vector<uint32_t>& sizes,
                          const std::vector<uint64_t>& offsets) {
  TrackRecipe recipe;
  recipe.handler = "meta";
  recipe.handlerName = "Tavro MET";
  recipe.pascalName = pascalName;
  recipe.trackID = trackID;
  recipe.timeScale = 1000;
  recipe.stts = {{static_cast<uint32_t>(sizes.size()), 500}};
  recipe.sizes = sizes;
  recipe.stsc = {{1, 1, 1}};
  recipe.offsets = offsets;
  // An empty edit first: the telemetry's media starts 250 ms in.
  recipe.edits = {{100, -1}, {1400, 250}};
  return Trak(recipe);
}

}  // namespace

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string AddTavroParts(const std::string& file, bool pascalHandlerName, Clip* clip) {
  std::vector<BoxRef> top = ListBoxes(file, 0, file.size());
  const BoxRef* moov = nullptr;
  const BoxRef* mdat = nullptr;
  for (const BoxRef& box : top) {
    if (box.type == "moov" && moov == nullptr) moov = &box;
    if (box.type == "mdat" && mdat == nullptr) mdat = &box;
  }
  if (moov == nullptr || mdat == nullptr) return "";
  bool moovFirst = moov->offset < mdat->offset;

  std::vector<uint32_t> sizes = {100, 260, 80, 412};
  std::string telemetry;
  for (size_t i = 0; i < sizes.size(); ++i) {
    for (uint32_t k = 0; k < sizes[i]; ++k) telemetry += static_cast<char>((i * 31 + k) & 0xff);
  }
  std::string mdat2 = Box("mdat", telemetry);

  // The new movie: the old children (with the user data extended), plus the telemetry track.
  auto build = [&](const std::vector<uint64_t>& offsets, int64_t shift) {
    std::string body;
    uint32_t trackID = 0;
    bool haveUdta = false;
    std::string oldMoov = file.substr(moov->offset, static_cast<size_t>(moov->size));
    if (shift != 0) ShiftChunkOffsets(oldMoov, shift);
    std::vector<BoxRef> children = ListBoxes(oldMoov, moov->header, oldMoov.size());
    for (const BoxRef& child : children) {
      std::string bytes = oldMoov.substr(child.offset, static_cast<size_t>(child.size));
      if (child.type == "mvhd") bytes = NextTrackID(bytes, &trackID);
      if (child.type == "udta") {
        bytes = Box("udta", bytes.substr(child.header) + MakerUserData());
        haveUdta = true;
      }
      body += bytes;
    }
    body += TelemetryTrak(trackID, pascalHandlerName, sizes, offsets);
    if (!haveUdta) body += Box("udta", MakerUserData());
    return Box("moov", body);
  };
  auto offsetsFrom = [&](uint64_t payload) {
    std::vector<uint64_t> offsets;
    for (uint32_t size : sizes) {
      offsets.push_back(payload);
      payload += size;
    }
    return offsets;
  };

  std::string before = file.substr(0, moov->offset);
  std::string after = file.substr(moov->End());
  std::string out;
  std::vector<uint64_t> offsets;
  if (moovFirst) {
    size_t grown = build(std::vector<uint64_t>(sizes.size(), 0), 0).size();
    int64_t shift = static_cast<int64_t>(grown) - static_cast<int64_t>(moov->size);
    offsets = offsetsFrom(before.size() + grown + after.size() + 8);
    out = before + build(offsets, shift) + after + mdat2;
  } else {
    offsets = offsetsFrom(before.size() + 8);
    out = before + mdat2 + build(offsets, 0) + after;
  }
  if (clip != nullptr) {
    clip->telemetrySizes = sizes;
    clip->telemetryOffsets = offsets;
    clip->telemetryMediaStart = 250;
  }
  return out;
}

const std::vector<Clip>& GeneratedClips() {
  static const std::vector<Clip> clips = Generate();
  return clips;
}

const std::string& ClipDirectory() {
  GeneratedClips();
  return ClipDirPath();
}

}  // namespace mp4test
