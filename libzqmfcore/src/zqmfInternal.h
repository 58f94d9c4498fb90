// Helpers shared by the parser's source files.
#ifndef ZQ_LIBZQMF_SRC_ZQMFINTERNAL_H_
#define ZQ_LIBZQMF_SRC_ZQMFINTERNAL_H_

#include <cstdint>
#include <cstring>

#include "zqcommon/zqByteOrder.h"
#include "zqmf/zqmfParser.h"

namespace zqmf_internal {

struct Header {
  uint32_t key = 0;
  uint32_t type = 0;
  uint32_t struct_size = 0;
  uint32_t repeat = 0;
  uint32_t bytes = 0;  // struct size x repeat
  uint32_t words = 0;  // payload words
};

// Word `pos` of the stream as stored (memory order).
uint32_t LoadWord(const ZQMF_stream* ms, uint32_t pos);
// The header of the record at `pos`; the caller has checked that pos + 1 is in the buffer.
Header ReadHeader(const ZQMF_stream* ms, uint32_t pos);
bool ValidKey(uint32_t key);
bool AtTopLevel(const ZQMF_stream* ms);
// Words from the position to the end of the current nest (or of the buffer on the top level).
uint32_t Remaining(const ZQMF_stream* ms);
bool HeaderReadable(const ZQMF_stream* ms);
// Reads the current header and tells whether the record fits its nest.
bool CurrentFits(const ZQMF_stream* ms, Header* h);
const uint8_t* Payload(const ZQMF_stream* ms);
// The header of the expanded data of a compressed record `h` (the current one, which fits).
bool InnerHeader(const ZQMF_stream* ms, const Header& h, Header* inner);
// The expanded "TYPE" string that governs the current record, from its nest.
bool FindTypeString(const ZQMF_stream* ms, char* out, uint32_t* length);

// Copies `bytes` bytes, reversing each `unit`-byte element (unit 1 copies). Elements are read
// whole before being written, so `dst` may trail `src` within one buffer.
inline void CopySwapped(uint8_t* dst, const uint8_t* src, uint32_t bytes, int32_t unit) {
  if (unit <= 1) {
    memmove(dst, src, bytes);
    return;
  }
  const uint32_t u = static_cast<uint32_t>(unit);
  uint32_t i = 0;
  for (; i + u <= bytes; i += u) {
    uint8_t element[16];
    memcpy(element, src + i, u);
    for (uint32_t k = 0; k < u; k++) dst[i + k] = element[u - 1 - k];
  }
  memmove(dst + i, src + i, bytes - i);  // a partial trailing element stays as it is
}

}  // namespace zqmf_internal

#endif  // ZQ_LIBZQMF_SRC_ZQMFINTERNAL_H_
