// Table-driven expansion of compressed ('#') payloads.
//
// Layout of a compressed payload: the inner type | struct size | repeat word, the first sample
// raw (struct size bytes), then one channel per element (per 16-bit half of 4-, 8- and 16-byte
// elements): its quantiser (one byte for 1-byte types, else a big-endian 16-bit value), and
// from the next 16-bit boundary its bit stream of codes, ended by the end-of-channel code. A
// later channel's quantiser starts at the first 16-bit word after the previous channel's last
// bit.
//
// Codes, read most significant bit first: a zero run (an optional run prefix, then one per 0
// bit) optionally followed by a magnitude code and a sign bit. A value code adds value x
// quantiser to the channel's running value and writes the new value to the run's samples and
// one more; a run without a value repeats the running value over the run only. The escape
// code is followed by a raw signed delta of the channel's width; the end code fills the rest
// of the channel with the running value.
#include <cstring>
#include <memory>
#include <new>

#include "zqmf/zqmfParser.h"
#include "zqmfInternal.h"

using namespace zqmf_internal;

const ZQMF_huffman_code ZQMF_HuffmanTable[ZQMF_HUFFMAN_CODES] = {
    {1, 0, 1, 0},       {2, 2, 1, 1},       {4, 12, 1, 2},      {5, 27, 1, 3},
    {5, 29, 1, 4},      {6, 52, 1, 5},      {6, 53, 1, 6},      {6, 62, 1, 7},
    {7, 112, 1, 8},     {7, 115, 1, 9},     {7, 120, 1, 10},    {7, 121, 1, 11},
    {7, 123, 1, 12},    {8, 228, 1, 13},    {8, 229, 1, 14},    {8, 244, 1, 15},
    {9, 453, 1, 16},    {9, 454, 1, 17},    {9, 490, 1, 18},    {10, 904, 1, 19},
    {10, 910, 1, 20},   {10, 982, 1, 21},   {10, 1020, 1, 22},  {11, 1810, 1, 23},
    {11, 1823, 1, 24},  {11, 1966, 1, 25},  {12, 3623, 1, 26},  {12, 3645, 1, 27},
    {12, 3935, 1, 28},  {13, 7245, 1, 29},  {13, 7289, 1, 30},  {13, 7869, 1, 31},
    {14, 14488, 1, 32}, {14, 14576, 1, 33}, {14, 15736, 1, 34}, {14, 15737, 1, 35},
    {15, 28978, 1, 36}, {15, 28979, 1, 37}, {15, 29155, 1, 38},
};

namespace {

// Bits [from, from + count) of the 16-bit window, most significant first.
uint32_t WindowBits(uint32_t window, uint32_t from, uint32_t count) {
  return (window >> (16 - from - count)) & ((1u << count) - 1);
}

// The magnitude code that starts each 15-bit pattern: (length, magnitude), length 0 for none.
// Codes are laid in order of length, so where two would match the longer one wins.
struct CodeSlot {
  uint8_t length;
  uint8_t magnitude;
};
constexpr uint32_t kCodeSlots = 1u << 15;

void FillCodeSlots(CodeSlot* slots) {
  memset(slots, 0, kCodeSlots * sizeof(CodeSlot));
  for (uint32_t m = 1; m < ZQMF_HUFFMAN_CODES; m++) {
    const ZQMF_huffman_code& c = ZQMF_HuffmanTable[m];
    const uint32_t base = static_cast<uint32_t>(c.code) << (15 - c.length);
    for (uint32_t i = 0; i < (1u << (15 - c.length)); i++) {
      slots[base + i] = {c.length, static_cast<uint8_t>(c.magnitude)};
    }
  }
}

ZQMF_codebook_entry BuildEntry(uint32_t w, const CodeSlot* slots) {
  if (w == ZQMF_CODE_WORD_ESCAPE) return {0, 0, 16, 1, ZQMF_CODE_ESCAPE};
  if (w == ZQMF_CODE_WORD_END) return {0, 0, 16, 0, ZQMF_CODE_END};

  uint32_t used = 0;
  uint32_t run = 0;
  if (WindowBits(w, 0, 10) == 0x3FD) {  // 1111111101
    run = 128;
    used = 10;
  } else if (WindowBits(w, 0, 9) == 0x1FF) {  // 111111111
    run = 64;
    used = 9;
  } else if (WindowBits(w, 0, 8) == 0xFE) {  // 11111110
    run = 32;
    used = 8;
  } else if (WindowBits(w, 0, 7) == 0x7E) {  // 1111110
    run = 16;
    used = 7;
  }
  while (used < 16 && WindowBits(w, used, 1) == 0) {
    run++;
    used++;
  }
  ZQMF_codebook_entry e = {0, static_cast<uint8_t>(run), 0, 0, ZQMF_CODE_VALUE};
  // The bits after the run, as a 15-bit pattern (zeros beyond the window).
  const CodeSlot& c = slots[((w << used) & 0xFFFF) >> 1];
  if (used < 16 && c.length != 0 && used + c.length + 1 <= 16) {  // the sign bit must fit too
    const bool negative = WindowBits(w, used + c.length, 1) != 0;
    e.value = static_cast<int16_t>(negative ? -static_cast<int>(c.magnitude) : c.magnitude);
    e.has_value = 1;
    e.bits_used = static_cast<uint8_t>(used + c.length + 1);
    return e;
  }
  if (used == 0) return {0, 0, 16, 0, ZQMF_CODE_INVALID};
  e.bits_used = static_cast<uint8_t>(used);  // a run alone; the code after it starts a window
  return e;
}

}  // namespace

namespace {

// Reads `count` (1 to 16) bits at bit offset `bit` of `data`, touching only the bytes that
// hold them; the caller has checked they are inside the payload.
uint32_t ReadBits(const uint8_t* data, uint64_t bit, uint32_t count) {
  const size_t first = static_cast<size_t>(bit / 8);
  const size_t last = static_cast<size_t>((bit + count - 1) / 8);
  uint32_t v = 0;
  for (size_t i = first; i <= last; i++) v = (v << 8) | data[i];
  const uint32_t shift = static_cast<uint32_t>((last - first + 1) * 8 - bit % 8 - count);
  return (v >> shift) & ((1u << count) - 1);
}

// The 16 bits at bit offset `bit`; the caller has checked they are inside the payload.
uint32_t Window16(const uint8_t* data, uint64_t bit) {
  const size_t b = static_cast<size_t>(bit >> 3);
  const uint32_t shift = static_cast<uint32_t>(bit & 7);
  uint32_t v = (static_cast<uint32_t>(data[b]) << 8) | data[b + 1];
  if (shift != 0) v = ((v << shift) | (data[b + 2] >> (8 - shift))) & 0xFFFF;
  return v;
}

}  // namespace

ZQMF_ERROR ZQMF_AllocCodebook(ZQMF_codebook** handle) {
  if (handle == nullptr) return ZQMF_ERROR_MEMORY;
  std::unique_ptr<CodeSlot[]> slots(new (std::nothrow) CodeSlot[kCodeSlots]);
  ZQMF_codebook* book = slots ? new (std::nothrow) ZQMF_codebook : nullptr;
  if (book == nullptr) return ZQMF_ERROR_MEMORY;
  FillCodeSlots(slots.get());
  for (uint32_t w = 0; w < ZQMF_CODEBOOK_ENTRIES; w++) book->entry[w] = BuildEntry(w, slots.get());
  *handle = book;
  return ZQMF_OK;
}

ZQMF_ERROR ZQMF_FreeCodebook(ZQMF_stream* ms) {
  if (ms == nullptr) return ZQMF_ERROR_MEMORY;
  delete ms->codebook;
  ms->codebook = nullptr;
  return ZQMF_OK;
}

ZQMF_ERROR ZQMF_Free(ZQMF_stream* ms) { return ZQMF_FreeCodebook(ms); }

ZQMF_ERROR ZQMF_DecompressedSize(ZQMF_stream* ms, uint32_t* size) {
  if (ms == nullptr || size == nullptr || ms->buffer == nullptr) return ZQMF_ERROR_MEMORY;
  Header h, inner;
  if (!CurrentFits(ms, &h) || !InnerHeader(ms, h, &inner)) return ZQMF_ERROR_BAD_STRUCTURE;
  *size = inner.words * 4;
  return ZQMF_OK;
}

ZQMF_ERROR ZQMF_Decompress(ZQMF_stream* ms, void* out, uint32_t size) {
  if (ms == nullptr || out == nullptr || ms->buffer == nullptr) return ZQMF_ERROR_MEMORY;
  Header h, inner;
  if (!CurrentFits(ms, &h) || !InnerHeader(ms, h, &inner)) return ZQMF_ERROR_BAD_STRUCTURE;
  const uint32_t element = ZQMF_SizeofType(inner.type);
  if (element == 0) return ZQMF_ERROR_MEMORY;
  // Elements wider than 16 bits are coded as 16-bit channels (halves of 4-byte values, ...).
  const uint32_t width = element == 1 ? 1 : 2;
  const uint32_t samples = inner.repeat;
  if (inner.struct_size % width != 0 || inner.words * 4 > size || samples == 0) {
    return ZQMF_ERROR_MEMORY;
  }
  if (ms->codebook == nullptr) {
    if (ZQMF_ERROR r = ZQMF_AllocCodebook(&ms->codebook); r != ZQMF_OK) return r;
  }
  const ZQMF_codebook_entry* book = ms->codebook->entry;
  memset(out, 0, size);
  const uint32_t channels = inner.struct_size / width;
  const uint8_t* data = Payload(ms) + 4;
  const uint32_t data_bytes = h.bytes - 4;
  const uint64_t data_bits = static_cast<uint64_t>(data_bytes) * 8;
  uint8_t* dst = static_cast<uint8_t*>(out);
  if (data_bytes < inner.struct_size) return ZQMF_ERROR_MEMORY;
  memcpy(dst, data, inner.struct_size);

  uint64_t bit = static_cast<uint64_t>(inner.struct_size) * 8;  // first quantiser: unaligned
  for (uint32_t c = 0; c < channels; c++) {
    if (c > 0) bit = (bit + 15) / 16 * 16;
    const size_t qpos = static_cast<size_t>(bit / 8);
    if (qpos + width > data_bytes) return ZQMF_ERROR_MEMORY;
    const uint32_t quant = width == 1 ? data[qpos] : zq_load_be16(data + qpos);
    bit = (static_cast<uint64_t>(qpos + width) * 8 + 15) / 16 * 16;

    uint8_t* first = dst + static_cast<size_t>(c) * width;
    // Running value; unsigned so that it wraps like the element it is stored into.
    uint32_t running = width == 1 ? first[0] : zq_load_be16(first);
    auto put = [&](uint32_t k) {
      uint8_t* p = dst + (static_cast<size_t>(k) * channels + c) * width;
      if (width == 1) {
        p[0] = static_cast<uint8_t>(running);
      } else {
        p[0] = static_cast<uint8_t>(running >> 8);
        p[1] = static_cast<uint8_t>(running);
      }
    };
    uint32_t k = 1;  // next sample of this channel
    for (;;) {
      if (bit + 16 > data_bits) return ZQMF_ERROR_MEMORY;
      const ZQMF_codebook_entry& e = book[Window16(data, bit)];
      if (e.command == ZQMF_CODE_INVALID) return ZQMF_ERROR_MEMORY;
      bit += e.bits_used;
      if (e.command == ZQMF_CODE_END) {
        while (k < samples) put(k++);
        break;
      }
      if (e.command == ZQMF_CODE_ESCAPE) {
        const uint32_t raw_bits = width * 8;
        if (bit + raw_bits > data_bits || k >= samples) return ZQMF_ERROR_MEMORY;
        const uint32_t raw = ReadBits(data, bit, raw_bits);
        const int32_t delta = width == 1 ? static_cast<int8_t>(raw) : static_cast<int16_t>(raw);
        bit += raw_bits;
        running += static_cast<uint32_t>(delta) * quant;
        put(k++);
        continue;
      }
      uint32_t n = e.run;
      if (e.has_value) {
        running += static_cast<uint32_t>(static_cast<int32_t>(e.value)) * quant;
        n++;
      }
      if (static_cast<uint64_t>(k) + n > samples) return ZQMF_ERROR_MEMORY;
      while (n-- > 0) put(k++);
    }
  }
  return ZQMF_OK;
}
