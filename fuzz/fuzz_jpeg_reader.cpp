// Photos from the card: the JPEG reader's segment walk, EXIF, camera block, screennails and
// every getter; the EXIF loader fed in pieces of a size the input chooses, in both modes, its
// libexif data and the JSON answer (which must always parse); the multi-picture index.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "zqcommon/zqLog.h"
#include "zqfileio/MemoryFileIO.h"
#include "zqmf/ZQJpegMpf.h"
#include "zqmf/ZQMediaFileReaderJPEG.h"
#include "zqmf/zqExifLoader.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void Reader(const uint8_t* data, size_t size) {
  ZQMediaFileReaderJPEG r;
  if (r.Parse(std::make_unique<MemoryFileIO>(data, size)) != 0) return;
  int32_t w, h;
  Check(r.GetDimensions(&w, &h) == 0);
  std::unique_ptr<ZQScreennail> s;
  if (r.GetScreennail(&s) == 0) {
    Check(s != nullptr && s->bytes.size() >= 2 && s->bytes[0] == 0xFF);
    Check(s->bytes.size() <= size);
  }
  r.GetScreennailDimensions(&w, &h);
  const uint8_t* block;
  uint32_t blockSize;
  Check(r.GetCameraZQMF(&block, &blockSize) == 0);
  Check(blockSize < size);
  r.ParseZQMFData();
  r.GetPhotoMediaType();
  const int16_t zone = r.GetTimeZoneOffset();
  Check(zone == kJpegTimeZoneUnknown || (zone >= -720 && zone <= 840));
  r.GetTimeZoneOffsetStr();
  int32_t projection;
  std::string code;
  Check(r.GetCameraLensProjection(&projection) == 0);
  Check(r.GetCamera4CCLensProjection(&code) == 0);
  bool flag;
  Check(r.readSpotmarkTag(&flag) == 0);
  uint32_t a, b;
  Check(r.GetTavroCameraSettings(&a, &b) == 0);
  std::string display, shortName;
  r.FirmwareVersionToModelName(&display, &shortName);
  uint8_t bytes[64];
  uint32_t n = 0;
  if (r.readCompressedBytes(bytes, sizeof bytes, &n) == 0) Check(n <= sizeof bytes);
}

void Loader(const uint8_t* data, size_t size, size_t piece, ZqExifLoader::Mode mode) {
  ZqExifLoader l(mode);
  for (size_t at = 0; at < size; at += piece) {
    if (!l.Write(data + at, std::min(piece, size - at))) break;
  }
  if (mode == ZqExifLoader::Mode::kScreennail) {
    ZQMpfImage image;
    if (l.hasIndex()) zq_mpf_second_image(l.app2().data(), l.app2().size(), &image);
    return;
  }
  ExifData* d = l.GetData();
  const std::string json = zq_exif_json(d);
  Check(nlohmann::json::accept(json));
  if (d != nullptr) exif_data_unref(d);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_logLevel = 0;  // malformed input is logged on every run otherwise
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t piece = 1 + data[0] % 64 * 128;
  Reader(data + 1, size - 1);
  Loader(data + 1, size - 1, piece, ZqExifLoader::Mode::kData);
  Loader(data + 1, size - 1, piece, ZqExifLoader::Mode::kScreennail);
  return 0;
}
