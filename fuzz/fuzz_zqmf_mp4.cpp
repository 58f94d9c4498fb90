// The telemetry of a recording as the timeline reads it from an MP4 in memory: the telemetry
// track's payloads with their times, the user data's block, and a walk of every payload.
// Payloads that the tables place outside the file must be refused, never read.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "zqfileio/MemoryFileIO.h"
#include "zqmf/zqmfParser.h"
#include "zqmftimeline/ZQMFAssetSourceMP4Reader.h"

namespace {

void Walk(ZQMFAssetSourceMP4Reader& source, size_t fileSize) {
  const uint32_t n = source.GetNumberPayloads();
  std::vector<uint32_t> words;
  for (uint32_t i = 0; i < n && i < 64; i++) {
    double start = 0, end = 0;
    source.GetPayloadTime(i, &start, &end);
    uint64_t offset = 0;
    uint32_t size = 0;
    const ZQMF_LIB_ERROR located = source.GetPayloadLocation(i, &offset, &size);
    uint32_t bytes = 0;
    if (source.GetPayload(i, &words, &bytes) != ZQMF_LIB_OK) continue;
    // A payload read from the track lies inside the file.
    if (located == ZQMF_LIB_OK && offset != 0 && (offset > fileSize || size > fileSize - offset)) {
      __builtin_trap();
    }
    ZQMF_stream ms;
    if (ZQMF_Init(&ms, words.data(), bytes) != ZQMF_OK) continue;
    ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS);
    for (int steps = 0; steps < 4096; steps++) {
      if (ZQMF_Next(&ms, ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT) != ZQMF_OK) break;
    }
    ZQMF_Free(&ms);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryFileIO io(data, size);
  ZQMFAssetSourceMP4Reader source(&io);
  if (source.OpenMP4Source("") == ZQMF_LIB_OK) {
    source.GetDuration();
    ZQMFRational rate;
    uint32_t frames = 0;
    source.GetVideoFrameRateAndCount(&rate, &frames);
    Walk(source, size);
  }
  if (source.OpenMP4SourceUDTA("") == ZQMF_LIB_OK) Walk(source, size);
  source.CloseSource();
  return 0;
}
