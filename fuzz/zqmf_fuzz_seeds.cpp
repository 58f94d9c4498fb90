// Writes starting inputs for the ZQMF fuzz targets into the directory given: streams with
// nests, scales, matrices, orientation, complex and compressed records, and a JPEG; and, into
// the second directory, recordings whose telemetry track carries such streams.
#include <cstdio>
#include <string>
#include <vector>

#include "mp4boxes/BoxBuilder.h"
#include "mp4boxes/TelemetryTrack.h"
#include "zqmf/zqmfContainers.h"
#include "zqmf/zqmfWriter.h"

namespace {

bool Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

std::vector<uint8_t> Telemetry(bool compressed) {
  ZQMFWriter w;
  w.BeginNest("DEVC");
  w.AddValue("DVID", uint32_t{1});
  w.AddString("DVNM", "Camera");
  w.BeginNest("STRM");
  w.AddValue("TSMP", uint32_t{24});
  w.AddValue("STMP", uint64_t{1000000});
  w.AddValue("SCAL", int16_t{100});
  w.AddString("ORIN", "ZXY");
  w.AddString("ORIO", "ZxY");
  std::vector<int16_t> xyz;
  for (int i = 0; i < 24; i++)
    xyz.insert(xyz.end(), {int16_t(981 + i % 3), int16_t(i), int16_t(-i * 7)});
  if (compressed) {
    w.AddCompressed("ACCL", 's', 6, 24, xyz.data());
  } else {
    w.AddValues("ACCL", xyz.data(), 3, 24);
  }
  w.EndNest();
  w.BeginNest("STRM");
  const int32_t scale[5] = {10000000, 10000000, 1000, 1000, 100};
  w.AddValues("SCAL", scale, 1, 5);
  const int32_t fix[10] = {465069000, 66266000, 372000, 6000, 600,
                           465069028, 66266078, 372009, 6028, 603};
  w.AddValues("GPS5", fix, 5, 2);
  const float m[4] = {0.5f, 0, 0, 2};
  w.AddValues("MTRX", m, 4, 1);
  const float pair[2] = {1, 2};
  w.AddValues("PAIR", pair, 2, 1);
  w.EndNest();
  w.BeginNest("STRM");
  const struct {
    float f[2];
    uint32_t l;
  } cplx = {{1.5f, 2.5f}, 7};
  w.AddComplex("CPLX", "f[2]L", 1, &cplx);
  w.AddValue("MTYP", uint8_t{13});
  w.Add("PRJT", 'F', 4, 1, "EAC0");
  w.AddValue("TZON", int16_t{-300});
  w.AddValue("SFLG", uint8_t{1});
  const uint8_t bytes[8] = {1, 2, 3, 4, 250, 251, 252, 253};
  w.AddCompressed("BYTE", 'b', 2, 4, bytes);
  w.EndNest();
  w.EndNest();
  std::vector<uint8_t> out;
  w.Finish(&out);
  return out;
}

// A small movie (one video track of four chunks) whose telemetry track holds `payloads`, with
// the last one also in the user data; the movie atom first or last.
std::vector<uint8_t> Recording(const std::vector<std::vector<uint8_t>>& payloads, bool moovFirst) {
  mp4boxes::TrackRecipe video;
  video.stts = {{4, 1001}};
  video.sizes.assign(4, 16);
  std::string mdat(64, '\x11');
  for (size_t c = 0; c < 4; c++) video.offsets.push_back(16 * c);
  const std::string file =
      mp4boxes::MovieFileWithRelativeChunks({mp4boxes::Trak(video)}, "", mdat, moovFirst);
  mp4boxes::TelemetryTrack track;
  for (const std::vector<uint8_t>& p : payloads) track.samples.emplace_back(p.begin(), p.end());
  track.userData = mp4boxes::Box("ZQMF", track.samples.back());
  track.mediaStart = 100;
  track.delay = 50;
  std::string error;
  const std::string out = mp4boxes::AddTelemetryTrack(file, track, nullptr, &error);
  return std::vector<uint8_t>(out.begin(), out.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    fprintf(stderr, "usage: zqmf_fuzz_seeds DIR [MP4-DIR]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::vector<uint8_t> plain = Telemetry(false);
  const std::vector<uint8_t> packed = Telemetry(true);
  const std::string jpeg("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF\xDA\x00\x02\x00\xFF\xD9", 15);
  std::vector<uint8_t> photo;
  zqmf_jpeg_insert_block(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size(), plain.data(),
                         plain.size(), &photo);
  const bool ok = Save(dir + "/plain.zqmf", plain) && Save(dir + "/compressed.zqmf", packed) &&
                  Save(dir + "/photo.jpg", photo) &&
                  Save(dir + "/type.txt", std::vector<uint8_t>{'f', '[', '3', ']', 'L', 's'});
  if (!ok) return 1;
  if (argc == 3) {
    const std::string mp4 = argv[2];
    if (!Save(mp4 + "/last.mp4", Recording({plain, packed}, false)) ||
        !Save(mp4 + "/first.mp4", Recording({packed, plain, packed}, true))) {
      return 1;
    }
  }
  return 0;
}
