// ZQMF streams from files: validation, navigation in every mode, record descriptions,
// formatted and scaled output, decompression and in-place modification.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "zqmf/zqmfParser.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Outputs a record may claim (up to 16 MiB from a few bytes) are only produced when small, to
// keep the runs fast; the size arithmetic is exercised either way.
constexpr uint32_t kOutputLimit = 1u << 20;

// Everything that can be asked about the current record.
void Inspect(ZQMF_stream* ms, std::vector<uint8_t>* scratch) {
  Check(ms->pos < ms->buffer_size_longs && ms->nest_level < ZQMF_NEST_LIMIT);
  const uint32_t repeat = ZQMF_Repeat(ms);
  ZQMF_ElementsInStruct(ms);
  ZQMF_PayloadSampleCount(ms);
  char name[32];
  Check(ZQMF_DeviceName(ms, name, sizeof(name)) == ZQMF_OK);
  uint32_t room = ZQMF_FormattedDataSize(ms);
  uint32_t expanded = 0;
  if (ZQMF_DecompressedSize(ms, &expanded) == ZQMF_OK) {
    Check(expanded % 4 == 0);
    if (expanded > room) room = expanded;
  }
  if (room <= kOutputLimit) {
    scratch->assign(room + 16, 0);
    const uint32_t n = static_cast<uint32_t>(scratch->size());
    ZQMF_FormattedData(ms, scratch->data(), n, 0, repeat);
    if (repeat > 1) ZQMF_FormattedData(ms, scratch->data(), n, 1, 1);
  }
  for (uint32_t type : {'d', 'S', 'b', 'f'}) {
    const uint32_t size = ZQMF_ScaledDataSize(ms, type);
    if (size > kOutputLimit) continue;
    scratch->assign(size + 16, 0);
    ZQMF_ScaledData(ms, scratch->data(), static_cast<uint32_t>(scratch->size()), 0, repeat, type);
  }
  ZQMF_stream s = *ms;
  ZQMF_FindPrev(&s, ZQMF_Key4CC("TYPE"), ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT);
  s = *ms;
  ZQMF_FindPrev(&s, ZQMF_Key4CC("SCAL"), ZQMF_CURRENT_LEVEL);
  s = *ms;
  if (ZQMF_SeekToSamples(&s) == ZQMF_OK) Check(s.pos < s.buffer_size_longs);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  char expanded[ZQMF_COMPLEX_TYPE_MAX + 1];
  uint32_t capacity = sizeof(expanded);
  if (ZQMF_ExpandComplexTYPE(reinterpret_cast<const char*>(data), static_cast<uint32_t>(size),
                             expanded, &capacity) == ZQMF_OK) {
    Check(capacity <= ZQMF_COMPLEX_TYPE_MAX && expanded[capacity] == '\0');
  }

  std::vector<uint32_t> words((size + 3) / 4, 0);
  if (size != 0) memcpy(words.data(), data, size);
  ZQMF_stream ms;
  if (ZQMF_Init(&ms, words.data(), static_cast<uint32_t>(size)) != ZQMF_OK) return 0;
  Check(ms.buffer_size_longs * 4 <= size);
  ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS);
  ZQMF_Validate(&ms, ZQMF_CURRENT_LEVEL);

  std::vector<uint8_t> scratch;
  for (uint32_t flags = 0; flags < 4; flags++) {
    ZQMF_ResetState(&ms);
    uint32_t last = 0;
    uint32_t steps = 0;
    do {
      Inspect(&ms, &scratch);
      Check(steps == 0 || ms.pos > last);  // every step moves forward
      last = ms.pos;
      Check(++steps <= ms.buffer_size_longs);
    } while (ZQMF_Next(&ms, flags) == ZQMF_OK);
  }

  // Rewrite the first record after the device header with its own payload.
  ZQMF_ResetState(&ms);
  if (ZQMF_Next(&ms, ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT) == ZQMF_OK && ZQMF_Type(&ms) != '?') {
    const uint32_t bytes = ZQMF_RawDataSize(&ms);
    std::vector<uint8_t> host(bytes + 4, 0);
    if (ZQMF_FormattedData(&ms, host.data(), static_cast<uint32_t>(host.size()), 0,
                           ZQMF_Repeat(&ms)) == ZQMF_OK) {
      const uint8_t* raw = static_cast<const uint8_t*>(ZQMF_RawData(&ms));
      ZQMF_Modify(&ms, ZQMF_Key(&ms), ZQMF_Key(&ms), raw[-4], raw[-3],
                  static_cast<uint32_t>((raw[-2] << 8) | raw[-1]), host.data());
    }
    ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS);
  }
  ZQMF_Free(&ms);
  return 0;
}
