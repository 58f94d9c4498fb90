#include "SimCardPhotos.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "SimFfmpeg.h"
#include "zqmf/ZQCameraModels.h"
#include "zqmftest/JpegBytes.h"

namespace zqsim {
namespace {

using zqmftest::TiffBuilder;

struct SamplePhoto {
  const char* name;
  const char* firmware;  // full version; its prefix names the model
  bool bigEndian;
  bool splitScreennail;
  int seed;  // the position follows the photo's telemetry
  const char* description;
};

bool ReadBytes(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return in.good() || in.eof();
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

// `photo` scaled to `size` as a JPEG at `out`.
bool Scaled(const std::string& photo, const char* size, const char* quality, const std::string& out,
            std::string* error) {
  std::vector<std::string> args = {"-i",   photo,  "-vf", std::string("scale=") + size,
                                   "-q:v", quality};
  args.insert(args.end(), kFfmpegBitExact.begin(), kFfmpegBitExact.end());
  args.insert(args.end(), {"-f", "mjpeg", out});
  return RunFfmpeg(args, error);
}

// Degrees as the three rationals of a GPS coordinate (seconds to 1/10000).
std::vector<std::pair<uint32_t, uint32_t>> Dms(double degrees) {
  const auto d = static_cast<uint32_t>(degrees);
  const double minutes = (degrees - d) * 60;
  const auto m = static_cast<uint32_t>(minutes);
  const auto s = static_cast<uint32_t>((minutes - m) * 60 * 10000 + 0.5);
  return {{d, 1}, {m, 1}, {s, 10000}};
}

std::string Tiff(const SamplePhoto& p, const std::string& thumbnail) {
  const ZQCameraModel* model = zq_camera_model_for_firmware(p.firmware);
  TiffBuilder t(p.bigEndian);
  using zqmftest::kIfd0;
  using zqmftest::kIfdExif;
  using zqmftest::kIfdGps;
  t.Ascii(kIfd0, 270, p.description);
  t.Ascii(kIfd0, 271, "Tavro");
  t.Ascii(kIfd0, 272, model != nullptr ? model->displayName : "TAVRO");
  t.Short(kIfd0, 274, {1});
  t.Rational(kIfd0, 282, {{72, 1}});
  t.Rational(kIfd0, 283, {{72, 1}});
  t.Short(kIfd0, 296, {2});
  t.Ascii(kIfd0, 305, p.firmware);
  t.Ascii(kIfd0, 306, "2026:04:30 10:00:00");
  t.Short(kIfd0, 531, {1});

  t.Rational(kIfdExif, 33434, {{1, 240}});
  t.Rational(kIfdExif, 33437, {{28, 10}});
  t.Short(kIfdExif, 34855, {100});
  t.Bytes(kIfdExif, 36864, zqmftest::kTiffUndefined, "0232");
  t.Ascii(kIfdExif, 36867, "2026:04:30 10:00:00");
  t.Ascii(kIfdExif, 36881, "+01:00");
  t.Bytes(kIfdExif, 37121, zqmftest::kTiffUndefined, std::string("\x01\x02\x03\x00", 4));
  // Maker note: version 1, flags (Spotmark on even seeds), reserved, the photo setting and
  // sub-setting words.
  const std::string maker = {1, static_cast<char>(p.seed % 2 == 0 ? 1 : 0),
                             0, 0,
                             0, 0,
                             0, 17,
                             0, 0,
                             0, static_cast<char>(p.seed)};
  t.Bytes(kIfdExif, 37500, zqmftest::kTiffUndefined, maker);
  t.Bytes(kIfdExif, 40960, zqmftest::kTiffUndefined, "0100");
  t.Short(kIfdExif, 40961, {1});
  t.Long(kIfdExif, 40962, {1920});
  t.Long(kIfdExif, 40963, {1080});

  const double lat = 46.5068 + 0.0001 * p.seed;
  const double lon = 6.6266;
  t.Bytes(kIfdGps, 0, zqmftest::kTiffByte, std::string("\x02\x03\x00\x00", 4));
  t.Ascii(kIfdGps, 1, "N");
  t.Rational(kIfdGps, 2, Dms(lat));
  t.Ascii(kIfdGps, 3, "E");
  t.Rational(kIfdGps, 4, Dms(lon));
  t.Bytes(kIfdGps, 5, zqmftest::kTiffByte, std::string(1, '\0'));
  t.Rational(kIfdGps, 6, {{372, 1}});
  t.Rational(zqmftest::kIfd1, 282, {{72, 1}});
  t.Rational(zqmftest::kIfd1, 283, {{72, 1}});
  t.Short(zqmftest::kIfd1, 296, {2});
  t.Thumbnail(thumbnail);
  return t.Build();
}

bool Extend(const std::string& folder, const SamplePhoto& p, std::string* error) {
  const std::string path = folder + "/" + p.name;
  const std::string thumbPath = path + ".thumb";
  const std::string screenPath = path + ".scr";
  std::string photo, thumbnail, screennail;
  const bool made = Scaled(path, "160:90", "5", thumbPath, error) &&
                    Scaled(path, "640:360", "4", screenPath, error) && ReadBytes(path, &photo) &&
                    ReadBytes(thumbPath, &thumbnail) && ReadBytes(screenPath, &screennail);
  std::remove(thumbPath.c_str());
  std::remove(screenPath.c_str());
  if (!made) {
    if (error->empty()) *error = "cannot read " + path;
    return false;
  }
  const std::string exif = zqmftest::ExifSegment(Tiff(p, thumbnail));
  const std::string out =
      p.splitScreennail
          ? zqmftest::InsertAfterSoi(photo, exif + zqmftest::SplitScreennail(screennail, 16000))
          : zqmftest::WithMpfScreennail(photo, exif, screennail);
  if (!WriteBytes(path, out)) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace

bool MakeSamplePhotos(const std::string& folder, std::string* error) {
  const SamplePhoto photos[] = {
      {"TAVR0003.JPG", "T11.01.02.00", false, false, 3, "Lake shore, west"},
      {"TAVR0004.JPG", "T13.02.01.00", true, true, 4, "Lake shore, east"},
  };
  for (const SamplePhoto& p : photos) {
    if (!Extend(folder, p, error)) return false;
  }
  return true;
}

}  // namespace zqsim
