#include "SimCardForms.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "SimFfmpeg.h"
#include "zqcommon/zqPaths.h"
#include "zqcommon/zqUniqueFd.h"

namespace zqsim {
namespace {

// File times of the forms: 2026-05-01 10:00 UTC, one second apart in the order made, so a
// copied card lists the same way every time.
constexpr time_t kBaseTime = 1777629600;
// The capture time the real media carry: a day earlier than their file times, so a database
// answer is told apart from a directory listing.
constexpr char kClipCaptureTime[] = "2026-04-30T09:00:00Z";
constexpr char kPhotoCaptureTime[] = "2026:04:30 09:00:30";

class Maker {
 public:
  Maker(const std::string& dir, std::string* error) : dir_(dir), error_(error) {}

  bool Dir(const std::string& rel) {
    const std::string p = dir_ + "/" + rel;
    if (zq_make_dirs(p)) return true;
    *error_ = "cannot create " + p + ": " + strerror(errno);
    return false;
  }

  // A sparse file of `size` bytes.
  bool Sparse(const std::string& rel, off_t size) {
    const std::string p = dir_ + "/" + rel;
    UniqueFd fd(open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid() || ftruncate(fd.get(), size) != 0) return Failed(p);
    return Stamp(p);
  }

  // A copy of `bytes`.
  bool Copy(const std::string& rel, const std::string& bytes) {
    const std::string p = dir_ + "/" + rel;
    UniqueFd fd(open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid() ||
        write(fd.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      return Failed(p);
    return Stamp(p);
  }

 private:
  bool Failed(const std::string& p) {
    *error_ = "cannot write " + p + ": " + strerror(errno);
    return false;
  }
  bool Stamp(const std::string& p) {
    const timespec t[2] = {{kBaseTime + stamp_, 0}, {kBaseTime + stamp_, 0}};
    ++stamp_;
    if (utimensat(AT_FDCWD, p.c_str(), t, 0) == 0) return true;
    return Failed(p);
  }

  std::string dir_;
  std::string* error_;
  int stamp_ = 0;
};

bool ReadAll(const std::string& path, std::string* out) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return false;
  char buf[65536];
  ssize_t n;
  while ((n = read(fd.get(), buf, sizeof buf)) > 0) out->append(buf, static_cast<size_t>(n));
  return n == 0;
}

void Le16(std::string* s, uint16_t v) {
  s->push_back(static_cast<char>(v));
  s->push_back(static_cast<char>(v >> 8));
}
void Le32(std::string* s, uint32_t v) {
  Le16(s, static_cast<uint16_t>(v));
  Le16(s, static_cast<uint16_t>(v >> 16));
}

// An EXIF segment whose only content is the capture time: IFD0 points at an EXIF IFD holding
// DateTimeOriginal.
std::string ExifSegment(const char* capture_time) {
  std::string tiff = "II";
  Le16(&tiff, 42);
  Le32(&tiff, 8);
  // IFD0 at 8: one entry (EXIF IFD pointer), then no next IFD.
  Le16(&tiff, 1);
  Le16(&tiff, 0x8769);
  Le16(&tiff, 4);
  Le32(&tiff, 1);
  Le32(&tiff, 26);
  Le32(&tiff, 0);
  // EXIF IFD at 26: DateTimeOriginal, 20 ASCII bytes at 44.
  Le16(&tiff, 1);
  Le16(&tiff, 0x9003);
  Le16(&tiff, 2);
  Le32(&tiff, 20);
  Le32(&tiff, 44);
  Le32(&tiff, 0);
  tiff.append(capture_time, 19);
  tiff.push_back('\0');
  std::string seg = "\xFF\xE1";
  const size_t len = 2 + 6 + tiff.size();
  seg.push_back(static_cast<char>(len >> 8));
  seg.push_back(static_cast<char>(len));
  seg.append("Exif\0\0", 6);
  return seg + tiff;
}

// One short clip with its capture time in the movie header, and one photo with its capture
// time in EXIF: the real media that the forms copy.
bool MakeSources(const std::string& tmp, std::string* clip, std::string* photo,
                 std::string* error) {
  const std::string clip_path = tmp + "/clip.mp4";
  const std::string photo_path = tmp + "/photo.jpg";
  std::vector<std::string> clip_args = {
      "-f",        "lavfi",     "-i",       "testsrc2=size=320x180:rate=30:duration=1",
      "-f",        "lavfi",     "-i",       "sine=frequency=500:sample_rate=48000:duration=1",
      "-c:v",      "libx264",   "-preset",  "ultrafast",
      "-g",        "15",        "-pix_fmt", "yuv420p",
      "-c:a",      "aac",       "-b:a",     "64k",
      "-movflags", "+faststart"};
  clip_args.insert(clip_args.end(), kFfmpegBitExact.begin(), kFfmpegBitExact.end());
  clip_args.insert(clip_args.end(), {"-metadata", std::string("creation_time=") + kClipCaptureTime,
                                     "-f", "mp4", clip_path});
  std::vector<std::string> photo_args = {
      "-f", "lavfi", "-i", "testsrc=size=640x480:rate=1", "-frames:v", "1", "-q:v", "4"};
  photo_args.insert(photo_args.end(), kFfmpegBitExact.begin(), kFfmpegBitExact.end());
  photo_args.insert(photo_args.end(), {"-f", "mjpeg", photo_path});
  if (!RunFfmpeg(clip_args, error) || !RunFfmpeg(photo_args, error)) return false;
  std::string jpeg;
  if (!ReadAll(clip_path, clip) || !ReadAll(photo_path, &jpeg) || jpeg.size() < 2) {
    *error = "cannot read the media made in " + tmp;
    return false;
  }
  *photo = jpeg.substr(0, 2) + ExifSegment(kPhotoCaptureTime) + jpeg.substr(2);
  unlink(clip_path.c_str());
  unlink(photo_path.c_str());
  return true;
}

// Sizes stay small: tests copy the card for every camera, and copies are not sparse.
constexpr off_t kKiB = 1024;

bool MakeSd(Maker& m, const std::string& clip, const std::string& photo) {
  // Chaptered clip 5 of 100TAVRO: chapter 0 is TAVR0005, later chapters ZQ010005, ZQ020005.
  for (const char* ch : {"TAVR0005", "ZQ010005", "ZQ020005"}) {
    const std::string base = std::string("DCIM/100TAVRO/") + ch;
    if (!m.Copy(base + ".MP4", clip) || !m.Sparse(base + ".LRV", 96 * kKiB)) return false;
  }
  if (!m.Sparse("DCIM/100TAVRO/TAVR0005.THM", 9 * kKiB)) return false;
  // A photo with its raw companion, and a proxy whose video is gone (listed as nothing).
  if (!m.Copy("DCIM/100TAVRO/TAVR0006.JPG", photo) ||
      !m.Sparse("DCIM/100TAVRO/TAVR0006.ZQR", 240 * kKiB) ||
      !m.Sparse("DCIM/100TAVRO/TAVR0007.LRV", 64 * kKiB))
    return false;

  // 101TAVRO: a burst (group 1, frames 1-30, frame 12 missing, raw frames), a time-lapse
  // (group 2, frames 31-70 with gaps) and a lettered group.
  for (int i = 1; i <= 30; ++i) {
    if (i == 12) continue;
    char name[48];
    snprintf(name, sizeof name, "DCIM/101TAVRO/Q001%04d.JPG", i);
    if (!(i == 1 ? m.Copy(name, photo) : m.Sparse(name, 30 * kKiB + i))) return false;
  }
  if (!m.Sparse("DCIM/101TAVRO/Q0010001.ZQR", 200 * kKiB)) return false;
  for (int i = 31; i <= 70; ++i) {
    if (i == 40 || i == 41 || i == 55) continue;
    char name[48];
    snprintf(name, sizeof name, "DCIM/101TAVRO/Q002%04d.JPG", i);
    if (!m.Sparse(name, 20 * kKiB + i)) return false;
  }
  for (int i = 80; i <= 82; ++i) {
    char name[48];
    snprintf(name, sizeof name, "DCIM/101TAVRO/ZQAA%04d.JPG", i);
    if (!m.Sparse(name, 40 * kKiB)) return false;
  }

  // 102TAVRO: new-style names: a clip with its "QL" proxy and audio, its second chapter, a 360
  // clip with its proxy, a time-warp clip with its "MRV" companion.
  if (!m.Copy("DCIM/102TAVRO/QH010010.MP4", clip) ||
      !m.Sparse("DCIM/102TAVRO/QL010010.LRV", 80 * kKiB) ||
      !m.Sparse("DCIM/102TAVRO/QH010010.WAV", 512 * kKiB) ||
      !m.Copy("DCIM/102TAVRO/QH020010.MP4", clip) ||
      !m.Sparse("DCIM/102TAVRO/QL020010.LRV", 80 * kKiB) ||
      !m.Copy("DCIM/102TAVRO/ZQ010011.360", clip) ||
      !m.Sparse("DCIM/102TAVRO/ZQ010011.LRV", 120 * kKiB) ||
      !m.Sparse("DCIM/102TAVRO/QS010012.MP4", 300 * kKiB) ||
      !m.Sparse("DCIM/102TAVRO/QS010012.MRV", 60 * kKiB))
    return false;

  // Lens folders: right and left eye of a 3D pair, and the back lens of a front/back camera.
  if (!m.Copy("DCIM/100Q3D_R/TAVR0020.JPG", photo) ||
      !m.Copy("DCIM/100Q3D_L/TAVR0020.JPG", photo) || !m.Copy("DCIM/100QBACK/QB010021.MP4", clip) ||
      !m.Sparse("DCIM/100QBACK/QB010021.LRV", 64 * kKiB))
    return false;

  // Things the list ignores: folders of the wrong shape, a stray file in DCIM, a hidden file.
  return m.Sparse("DCIM/1000TAVRO/TAVR0001.JPG", kKiB) &&
         m.Sparse("DCIM/100OTHER/TAVR0001.JPG", kKiB) && m.Sparse("DCIM/NOTES.TXT", kKiB) &&
         m.Sparse("DCIM/100TAVRO/.TAVR0008.JPG", kKiB) &&
         m.Sparse("DCIM/100TAVRO/TAVR0009.TXT", kKiB);
}

}  // namespace

bool MakeMediaForms(const std::string& dir, std::string* error) {
  const size_t slash = dir.find_last_not_of('/');
  const std::string card = dir.substr(0, slash + 1);
  const std::string internal = card.substr(0, card.rfind('/') + 1) + "fuse_i";
  Maker sd(card, error);
  Maker in(internal, error);
  for (const char* d : {"DCIM/100TAVRO", "DCIM/101TAVRO", "DCIM/102TAVRO", "DCIM/100Q3D_R",
                        "DCIM/100Q3D_L", "DCIM/100QBACK", "DCIM/1000TAVRO", "DCIM/100OTHER"}) {
    if (!sd.Dir(d)) return false;
  }
  if (!in.Dir("DCIM/100QFRNT") || !in.Dir("MISC")) return false;
  std::string clip, photo;
  if (!MakeSources(card, &clip, &photo, error) || !MakeSd(sd, clip, photo)) return false;
  // The internal storage holds the front-lens twin of the back-lens clip.
  return in.Copy("DCIM/100QFRNT/QF010021.MP4", clip) &&
         in.Sparse("DCIM/100QFRNT/QF010021.LRV", 64 * kKiB);
}

}  // namespace zqsim
