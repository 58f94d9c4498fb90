#include "SimTelemetry.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

#include "mp4boxes/BoxBuilder.h"
#include "mp4boxes/TelemetryTrack.h"
#include "zqmf/zqmfContainers.h"
#include "zqmf/zqmfWriter.h"

namespace zqsim {
namespace {

constexpr int kImuRate = 200;
constexpr int kGpsRate = 18;
constexpr int16_t kAcclScale = 418;  // counts per m/s2
constexpr int16_t kGyroScale = 939;  // counts per rad/s
const int32_t kGpsScale[5] = {10000000, 10000000, 1000, 1000, 100};

int16_t Counts(double value, int16_t scale) {
  return static_cast<int16_t>(std::lround(value * scale));
}

// A ride along the lake shore: position, altitude, speed, at time `t` seconds.
void Fix(double t, int seed, int32_t out[5]) {
  const double lat = 46.5068 + 0.0001 * seed + 0.00005 * t;
  const double lon = 6.6266 + 0.00012 * t + 0.00002 * std::sin(t);
  const double alt = 372.0 + 0.5 * std::sin(t / 3);
  const double speed = 6.0 + std::sin(t / 2);
  out[0] = static_cast<int32_t>(std::lround(lat * kGpsScale[0]));
  out[1] = static_cast<int32_t>(std::lround(lon * kGpsScale[1]));
  out[2] = static_cast<int32_t>(std::lround(alt * kGpsScale[2]));
  out[3] = static_cast<int32_t>(std::lround(speed * kGpsScale[3]));
  out[4] = static_cast<int32_t>(std::lround(speed * kGpsScale[4]));
}

// Camera motion at time `t`: gravity plus a little vibration, and a slow pan.
void Motion(double t, int seed, int16_t accl[3], int16_t gyro[3]) {
  const double shake = 0.3 * std::sin(2 * std::numbers::pi * 7 * t + seed);
  accl[0] = Counts(9.81 + shake, kAcclScale);
  accl[1] = Counts(0.2 * std::sin(t + seed), kAcclScale);
  accl[2] = Counts(0.1 + 0.5 * shake, kAcclScale);
  gyro[0] = Counts(0.05 * std::sin(2 * std::numbers::pi * t / 4), kGyroScale);
  gyro[1] = Counts(0.02 * shake, kGyroScale);
  gyro[2] = Counts(0.01 * seed, kGyroScale);
}

void Device(ZQMFWriter* w) {
  w->AddValue("DVID", uint32_t{1});
  w->AddString("DVNM", "Tavro Camera");
}

void Facts(ZQMFWriter* w, uint8_t mediaType, uint8_t spotmark) {
  w->BeginNest("STRM");
  w->AddString("STNM", "Camera facts");
  w->AddValue("MTYP", mediaType);
  w->Add("PRJT", 'F', 4, 1, "ZQLS");
  w->AddValue("TZON", int16_t{60});
  w->AddValue("SFLG", spotmark);
  w->EndNest();
}

void Gps(ZQMFWriter* w, const std::vector<int32_t>& fixes) {
  w->BeginNest("STRM");
  w->AddString("STNM", "GPS (Lat., Long., Alt., 2D speed, 3D speed)");
  w->AddValue("GPSF", uint32_t{3});
  w->Add("GPSU", 'u', 16, 1, "240601103000.000");
  w->Add("UNIT", 'c', 3, 5, "degdegm  m/sm/s");
  w->AddValues("SCAL", kGpsScale, 1, 5);
  w->AddValues("GPS5", fixes.data(), 5, static_cast<uint32_t>(fixes.size() / 5));
  w->EndNest();
}

// In a track payload, `total` is the stream's samples up to and including these (the camera's
// running count) and `micros` the time stamp of the first; 0 for a single block.
void Imu(ZQMFWriter* w, const char* name, const char* key, const char* unit, int16_t scale,
         const std::vector<int16_t>& xyz, bool compress, uint32_t total = 0, uint64_t micros = 0) {
  const uint32_t samples = static_cast<uint32_t>(xyz.size() / 3);
  w->BeginNest("STRM");
  w->AddString("STNM", name);
  w->AddString("SIUN", unit);
  w->AddValue("TSMP", total == 0 ? samples : total);
  if (total != 0) w->AddValue("STMP", micros);
  w->AddValue("SCAL", scale);
  if (compress) {
    w->AddCompressed(key, 's', 6, samples, xyz.data());
  } else {
    w->AddValues(key, xyz.data(), 3, samples);
  }
  w->EndNest();
}

std::vector<uint8_t> Finish(ZQMFWriter* w) {
  std::vector<uint8_t> out;
  if (w->Finish(&out) != ZQMF_OK) out.clear();
  return out;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

}  // namespace

std::vector<std::vector<uint8_t>> ClipTrackPayloads(int seconds, int seed) {
  std::vector<std::vector<uint8_t>> payloads;
  for (int second = 0; second < seconds; second++) {
    std::vector<int16_t> accl, gyro;
    for (int k = second * kImuRate; k < (second + 1) * kImuRate; k++) {
      int16_t a[3], g[3];
      Motion(static_cast<double>(k) / kImuRate, seed, a, g);
      accl.insert(accl.end(), a, a + 3);
      gyro.insert(gyro.end(), g, g + 3);
    }
    std::vector<int32_t> fixes;
    for (int k = second * kGpsRate; k < (second + 1) * kGpsRate; k++) {
      int32_t f[5];
      Fix(static_cast<double>(k) / kGpsRate, seed, f);
      fixes.insert(fixes.end(), f, f + 5);
    }
    const uint32_t imu_total = static_cast<uint32_t>((second + 1) * kImuRate);
    ZQMFWriter w;
    w.BeginNest("DEVC");
    Device(&w);
    const uint64_t micros = static_cast<uint64_t>(second) * 1000000;
    Imu(&w, "Accelerometer", "ACCL", "m/s2", kAcclScale, accl, true, imu_total, micros);
    Imu(&w, "Gyroscope", "GYRO", "rad/s", kGyroScale, gyro, true, imu_total, micros);
    Gps(&w, fixes);
    w.EndNest();
    payloads.push_back(Finish(&w));
    if (payloads.back().empty()) return {};
  }
  return payloads;
}

std::vector<uint8_t> ClipFacts() {
  ZQMFWriter w;
  w.BeginNest("DEVC");
  Device(&w);
  Facts(&w, 0, 0);  // 0: a video
  w.EndNest();
  return Finish(&w);
}

std::vector<uint8_t> PhotoTelemetry(int seed) {
  std::vector<int16_t> accl(3), gyro(3);
  Motion(0, seed, accl.data(), gyro.data());
  std::vector<int32_t> fix(5);
  Fix(0, seed, fix.data());
  ZQMFWriter w;
  w.BeginNest("DEVC");
  Device(&w);
  Imu(&w, "Accelerometer", "ACCL", "m/s2", kAcclScale, accl, false);
  Gps(&w, fix);
  Facts(&w, 13, seed % 2 == 0 ? 1 : 0);  // 13: a single photo
  w.EndNest();
  return Finish(&w);
}

bool AddClipTelemetry(const std::string& path, int seconds, int seed, std::string* error) {
  std::string movie;
  {
    std::ifstream in(path, std::ios::binary);
    movie.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      *error = "cannot read " + path;
      return false;
    }
  }
  mp4boxes::TelemetryTrack track;  // one payload a second, times in milliseconds
  for (const std::vector<uint8_t>& p : ClipTrackPayloads(seconds, seed)) {
    track.samples.emplace_back(p.begin(), p.end());
  }
  const std::vector<uint8_t> facts = ClipFacts();
  if (track.samples.empty() || facts.empty()) {
    *error = "cannot make the telemetry of " + path;
    return false;
  }
  track.userData = mp4boxes::Box("ZQMF", std::string(facts.begin(), facts.end()));
  std::string why;
  const std::string out = mp4boxes::AddTelemetryTrack(movie, track, nullptr, &why);
  if (out.empty() || !WriteBytes(path, std::vector<uint8_t>(out.begin(), out.end()))) {
    *error = "cannot add telemetry to " + path + (why.empty() ? "" : ": " + why);
    return false;
  }
  return true;
}

bool AddPhotoTelemetry(const std::string& path, int seed, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> jpeg((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  const std::vector<uint8_t> block = PhotoTelemetry(seed);
  std::vector<uint8_t> out;
  if (!in.good() && !in.eof()) {
    *error = "cannot read " + path;
    return false;
  }
  if (block.empty() ||
      zqmf_jpeg_insert_block(jpeg.data(), jpeg.size(), block.data(), block.size(), &out) !=
          ZQMF_OK ||
      !WriteBytes(path, out)) {
    *error = "cannot add telemetry to " + path;
    return false;
  }
  return true;
}

}  // namespace zqsim
