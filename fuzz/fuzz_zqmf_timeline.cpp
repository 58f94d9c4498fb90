// ZQMF blocks as the timeline and the tag extractors read them (photos, user data), and the
// JPEG segment walk that finds a photo's block. Exported JSON must always parse.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zqmf/ZQMFParsers.h"
#include "zqmf/zqmfContainers.h"
#include "zqmftimeline/ZQMFTimeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  size_t offset = 0, length = 0;
  if (zqmf_jpeg_find_block(data, size, &offset, &length) == ZQMF_OK) {
    if (offset + length > size) __builtin_trap();
  }
  if (size == 0) return 0;

  ZQMFTimeline t;
  ZQMF_LIB_ERROR err = 0;
  t.SetZQMFGlobalBuffer(static_cast<const void*>(data), size, err);
  t.Parse(err, ZQMF_PARSE_GLOBAL_BUFFER, {}, nullptr);
  std::string out;
  t.ExportTimeline(err, ZQMF_EXPORT_JSON, &out);
  if (nlohmann::json::parse(out, nullptr, false).is_discarded()) __builtin_trap();
  t.ExportTimeline(err, ZQMF_EXPORT_TEXT, &out);
  const ZQMFTimeRange range(0.5, 1);
  t.Parse(err, ZQMF_PARSE_GLOBAL_BUFFER, {"ACCL", "GPS5", "TZON"}, &range);
  while (const ZQMFAssetSample* s = t.GetNextSample("ACCL", err)) {
    double v;
    s->Number(0, 0, &v);
  }

  ZQMFParserSpotmarkFlag flag;
  ZQMFTimeZoneOffsetParser zone;
  ZQMFParserMediaType type;
  ZQMFParserLensProjection lens;
  const uint32_t n = static_cast<uint32_t>(size);
  flag.init(data, n);
  zone.init(data, n);
  type.init(data, n);
  lens.init(data, n);
  const int16_t offset_minutes = zone.timeZoneOffset();
  if (offset_minutes != kZQMFTimeZoneUnknown && (offset_minutes < -720 || offset_minutes > 840)) {
    __builtin_trap();
  }
  return 0;
}
