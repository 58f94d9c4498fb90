// Walk and scaled extraction of a one-hour recording's telemetry, beside memchr over the same
// bytes (the floor of touching every byte once). Run by bench/telemetry/run.sh.
//
// The recording is made with the writer: one payload per second holding the device, the
// accelerometer and gyroscope at 200 Hz and GPS at 18 Hz; a second copy has its
// accelerometer and gyroscope records compressed.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "zqmf/zqmfParser.h"
#include "zqmf/zqmfWriter.h"
#include "zqmftimeline/ZQMFTimeline.h"

namespace {

constexpr int kSeconds = 3600;
constexpr int kImuRate = 200;
constexpr int kGpsRate = 18;

std::vector<uint32_t> Recording(bool compressed, uint32_t* bytes) {
  std::vector<uint8_t> all;
  std::vector<int16_t> accl(kImuRate * 3), gyro(kImuRate * 3);
  std::vector<int32_t> gps(kGpsRate * 5);
  const int32_t gps_scale[5] = {10000000, 10000000, 1000, 1000, 100};
  for (int s = 0; s < kSeconds; s++) {
    for (int k = 0; k < kImuRate; k++) {
      const double t = s + static_cast<double>(k) / kImuRate;
      const double shake = std::sin(2 * std::numbers::pi * 7 * t);
      accl[3 * k] = static_cast<int16_t>(4100 + 120 * shake);
      accl[3 * k + 1] = static_cast<int16_t>(80 * std::sin(t));
      accl[3 * k + 2] = static_cast<int16_t>(40 + 60 * shake);
      gyro[3 * k] = static_cast<int16_t>(50 * std::sin(t / 4));
      gyro[3 * k + 1] = static_cast<int16_t>(20 * shake);
      gyro[3 * k + 2] = static_cast<int16_t>(5 * std::cos(t));
    }
    for (int k = 0; k < kGpsRate; k++) {
      const double t = s + static_cast<double>(k) / kGpsRate;
      const int32_t fix[5] = {465068000 + static_cast<int32_t>(500 * t),
                              66266000 + static_cast<int32_t>(1200 * t), 372000, 6000, 600};
      memcpy(&gps[5 * k], fix, sizeof(fix));
    }
    ZQMFWriter w;
    w.BeginNest("DEVC");
    w.AddValue("DVID", uint32_t{1});
    w.AddString("DVNM", "Camera");
    for (const char* key : {"ACCL", "GYRO"}) {
      const std::vector<int16_t>& v = key[0] == 'A' ? accl : gyro;
      w.BeginNest("STRM");
      w.AddValue("TSMP", static_cast<uint32_t>((s + 1) * kImuRate));
      w.AddValue("SCAL", int16_t{418});
      if (compressed) {
        w.AddCompressed(key, 's', 6, kImuRate, v.data());
      } else {
        w.AddValues(key, v.data(), 3, kImuRate);
      }
      w.EndNest();
    }
    w.BeginNest("STRM");
    w.AddValues("SCAL", gps_scale, 1, 5);
    w.AddValues("GPS5", gps.data(), 5, kGpsRate);
    w.EndNest();
    w.EndNest();
    std::vector<uint8_t> payload;
    if (w.Finish(&payload) != ZQMF_OK) return {};
    all.insert(all.end(), payload.begin(), payload.end());
  }
  std::vector<uint32_t> words((all.size() + 3) / 4, 0);
  memcpy(words.data(), all.data(), all.size());
  *bytes = static_cast<uint32_t>(all.size());
  return words;
}

// Best of `rounds` timings of `run`, in seconds.
template <class Run>
double Best(int rounds, Run run) {
  double best = 1e30;
  for (int i = 0; i < rounds; i++) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (s < best) best = s;
  }
  return best;
}

volatile uint64_t g_sink;  // keeps the measured work from being optimised away

// Counts the bytes equal to `value` with memchr, which thereby looks at every byte once.
uint64_t CountByte(const uint8_t* p, size_t n, uint8_t value) {
  uint64_t count = 0;
  const uint8_t* end = p + n;
  while (p < end) {
    const void* hit = memchr(p, value, static_cast<size_t>(end - p));
    if (hit == nullptr) break;
    count++;
    p = static_cast<const uint8_t*>(hit) + 1;
  }
  return count;
}

struct Row {
  std::string name;
  double bytes;
  double seconds;
};

}  // namespace

int main() {
  uint32_t plain_bytes = 0, packed_bytes = 0;
  std::vector<uint32_t> plain = Recording(false, &plain_bytes);
  std::vector<uint32_t> packed = Recording(true, &packed_bytes);
  if (plain.empty() || packed.empty()) {
    fprintf(stderr, "zqmf_bench: cannot write the recording\n");
    return 1;
  }
  const int rounds = 11;  // the machine is shared: the best of many runs is the stable figure
  std::vector<Row> rows;

  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(plain.data());
  rows.push_back({"memchr over the stream (floor)", static_cast<double>(plain_bytes),
                  Best(rounds, [&] { g_sink = CountByte(bytes, plain_bytes, 0xA5); })});

  rows.push_back({"validate, recursive", static_cast<double>(plain_bytes), Best(rounds, [&] {
                    ZQMF_stream ms;
                    ZQMF_Init(&ms, plain.data(), plain_bytes);
                    g_sink = ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS);
                  })});

  rows.push_back({"navigate every record", static_cast<double>(plain_bytes), Best(rounds, [&] {
                    ZQMF_stream ms;
                    ZQMF_Init(&ms, plain.data(), plain_bytes);
                    uint64_t n = 0;
                    while (ZQMF_Next(&ms, ZQMF_RECURSE_LEVELS) == ZQMF_OK) n++;
                    g_sink = n;
                  })});

  std::vector<float> out(kImuRate * 3);
  auto scaled = [&](std::vector<uint32_t>& words, uint32_t size) {
    ZQMF_stream ms;
    ZQMF_Init(&ms, words.data(), size);
    uint64_t n = 0;
    while (ZQMF_FindNext(&ms, ZQMF_Key4CC("ACCL"), ZQMF_RECURSE_LEVELS) == ZQMF_OK) {
      if (ZQMF_ScaledData(&ms, out.data(), static_cast<uint32_t>(out.size() * sizeof(float)), 0,
                          ZQMF_Repeat(&ms), 'f') == ZQMF_OK) {
        n += ZQMF_Repeat(&ms);
      }
    }
    ZQMF_Free(&ms);
    g_sink = n;
    if (n != static_cast<uint64_t>(kSeconds) * kImuRate) {
      fprintf(stderr, "zqmf_bench: %llu accelerometer samples\n",
              static_cast<unsigned long long>(n));
    }
  };
  rows.push_back({"ACCL scaled to float", static_cast<double>(plain_bytes),
                  Best(rounds, [&] { scaled(plain, plain_bytes); })});
  rows.push_back({"ACCL scaled, compressed stream", static_cast<double>(packed_bytes),
                  Best(rounds, [&] { scaled(packed, packed_bytes); })});

  rows.push_back(
      {"timeline: ACCL samples of the buffer", static_cast<double>(plain_bytes), Best(5, [&] {
         ZQMFTimeline t;
         ZQMF_LIB_ERROR err;
         t.SetZQMFGlobalBuffer(static_cast<const void*>(plain.data()), plain_bytes, err);
         t.Parse(err, ZQMF_PARSE_GLOBAL_BUFFER, {"ACCL"}, nullptr);
         uint32_t n = 0;
         t.GetSampleCount("ACCL", n);
         g_sink = n;
       })});

  printf(
      "One hour of telemetry: %d payloads (GPS 18 Hz, ACCL and GYRO 200 Hz), %.1f MB plain, "
      "%.1f MB with ACCL/GYRO compressed; best of %d runs\n\n",
      kSeconds, plain_bytes / 1e6, packed_bytes / 1e6, rounds);
  printf("| %-38s | %10s | %10s | %12s |\n", "operation", "MB", "MB/s", "vs memchr");
  printf("|%s|%s|%s|%s|\n", std::string(40, '-').c_str(), std::string(12, '-').c_str(),
         std::string(12, '-').c_str(), std::string(14, '-').c_str());
  const double floor = rows[0].bytes / rows[0].seconds;
  for (const Row& r : rows) {
    const double rate = r.bytes / r.seconds;
    printf("| %-38s | %10.1f | %10.1f | %11.4fx |\n", r.name.c_str(), r.bytes / 1e6, rate / 1e6,
           rate / floor);
  }
  return 0;
}
