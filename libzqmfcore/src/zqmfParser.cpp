// Navigation, record accessors, type tables and in-place modification.
//
// Bookkeeping: `nest_size[level]` counts the words from the current position to the end of
// the current nest, so stepping over a record subtracts its size, and entering a nested record
// subtracts its whole size from the enclosing level (the walk resumes after it once the inner
// nest is used up). Inside a top-level DEVC the level is 0 with a non-zero size; a size of 0
// at level 0 means the walk is on the top level itself, between DEVC records.
#include "zqmf/zqmfParser.h"

#include <cstring>

#include "zqmfInternal.h"

namespace zqmf_internal {

uint32_t LoadWord(const ZQMF_stream* ms, uint32_t pos) {
  uint32_t word;
  memcpy(&word, ms->buffer + pos, sizeof(word));
  return word;
}

Header ReadHeader(const ZQMF_stream* ms, uint32_t pos) {
  Header h;
  h.key = LoadWord(ms, pos);
  const uint8_t* b = reinterpret_cast<const uint8_t*>(ms->buffer + pos + 1);
  h.type = b[0];
  h.struct_size = b[1];
  h.repeat = zq_load_be16(b + 2);
  h.bytes = h.struct_size * h.repeat;
  h.words = (h.bytes + 3) / 4;
  return h;
}

bool ValidKey(uint32_t key) {
  uint8_t c[4];
  memcpy(c, &key, 4);
  for (uint8_t ch : c) {
    const bool ok = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') ||
                    (ch >= '0' && ch <= '9') || ch == ' ';
    if (!ok) return false;
  }
  return true;
}

bool AtTopLevel(const ZQMF_stream* ms) { return ms->nest_level == 0 && ms->nest_size[0] == 0; }

uint32_t Remaining(const ZQMF_stream* ms) {
  if (AtTopLevel(ms)) {
    return ms->pos < ms->buffer_size_longs ? ms->buffer_size_longs - ms->pos : 0;
  }
  return ms->nest_size[ms->nest_level];
}

bool HeaderReadable(const ZQMF_stream* ms) {
  return ms->buffer != nullptr && ms->pos + 1 < ms->buffer_size_longs;
}

bool CurrentFits(const ZQMF_stream* ms, Header* h) {
  if (!HeaderReadable(ms)) return false;
  *h = ReadHeader(ms, ms->pos);
  return static_cast<uint64_t>(h->words) + 2 <= Remaining(ms);
}

const uint8_t* Payload(const ZQMF_stream* ms) {
  return reinterpret_cast<const uint8_t*>(ms->buffer + ms->pos + 2);
}

bool InnerHeader(const ZQMF_stream* ms, const Header& h, Header* inner) {
  if (h.type != '#' || h.bytes < 4) return false;
  const uint8_t* p = Payload(ms);
  inner->key = h.key;
  inner->type = p[0];
  inner->struct_size = p[1];
  inner->repeat = zq_load_be16(p + 2);
  inner->bytes = inner->struct_size * inner->repeat;
  inner->words = (inner->bytes + 3) / 4;
  return true;
}

bool FindTypeString(const ZQMF_stream* ms, char* out, uint32_t* length) {
  ZQMF_stream s = *ms;
  if (ZQMF_FindPrev(&s, ZQMF_Key4CC("TYPE"), ZQMF_CURRENT_LEVEL | ZQMF_TOLERANT) != ZQMF_OK) {
    return false;
  }
  Header h;
  if (!CurrentFits(&s, &h)) return false;
  uint32_t capacity = ZQMF_COMPLEX_TYPE_MAX + 1;
  if (ZQMF_ExpandComplexTYPE(reinterpret_cast<const char*>(Payload(&s)), h.bytes, out, &capacity) !=
      ZQMF_OK) {
    return false;
  }
  *length = capacity;
  return true;
}

}  // namespace zqmf_internal

using namespace zqmf_internal;

namespace {

constexpr uint32_t kDEVC = ZQMF_Key4CC("DEVC");
constexpr uint32_t kDVID = ZQMF_Key4CC("DVID");
constexpr uint32_t kDVNM = ZQMF_Key4CC("DVNM");

// Records the device id and name as the walk passes them.
void NoteDevice(ZQMF_stream* ms, const Header& h) {
  if (h.key == kDVID && h.bytes >= 4) {
    ms->device_id = zq_load_be32(Payload(ms));
  } else if (h.key == kDVNM) {
    const uint32_t n =
        h.bytes < sizeof(ms->device_name) - 1 ? h.bytes : sizeof(ms->device_name) - 1;
    memcpy(ms->device_name, Payload(ms), n);
    ms->device_name[n] = '\0';
  }
}

// Skips padding words and closes finished nests after a step taken inside a nest (`inside`).
// Without recursion a finished nest means the record stepped over was its last one:
// ZQMF_ERROR_LAST.
ZQMF_ERROR SettleNests(ZQMF_stream* ms, bool recurse, bool inside) {
  while (inside) {
    uint32_t& left = ms->nest_size[ms->nest_level];
    if (left == 0) {
      if (!recurse) return ZQMF_ERROR_LAST;
      if (ms->nest_level == 0) break;  // DEVC done: back on the top level
      ms->nest_level--;
      continue;
    }
    if (LoadWord(ms, ms->pos) != 0) break;
    ms->pos++;
    left--;
  }
  return ZQMF_OK;
}

// Tolerant recovery: abandons the rest of the current nest.
void LeaveLevel(ZQMF_stream* ms) {
  ms->pos += ms->nest_size[ms->nest_level];
  ms->nest_size[ms->nest_level] = 0;
}

// Makes the record at the position the current one, after a step: skips padding and finished
// nests, then checks the record, recovering or skipping per `flags`.
ZQMF_ERROR Land(ZQMF_stream* ms, uint32_t flags, bool inside) {
  const bool recurse = flags & ZQMF_RECURSE_LEVELS;
  const bool tolerant = flags & ZQMF_TOLERANT;
  for (;;) {
    if (ZQMF_ERROR r = SettleNests(ms, recurse, inside); r != ZQMF_OK) return r;
    if (!HeaderReadable(ms)) return ZQMF_ERROR_BUFFER_END;
    const bool top = AtTopLevel(ms);
    const Header h = ReadHeader(ms, ms->pos);
    const bool sound = ValidKey(h.key) && h.struct_size != 0 && (!top || h.key == kDEVC) &&
                       static_cast<uint64_t>(h.words) + 2 <= Remaining(ms);
    if (!sound) {
      if (recurse && tolerant && !top) {
        LeaveLevel(ms);
        inside = true;
        continue;
      }
      return ZQMF_ERROR_BAD_STRUCTURE;
    }
    if (!ZQMF_KnownType(h.type)) {
      if (!tolerant) return ZQMF_ERROR_UNKNOWN_TYPE;
      inside = !top;
      ms->pos += 2 + h.words;
      if (!top) ms->nest_size[ms->nest_level] -= 2 + h.words;
      continue;
    }
    NoteDevice(ms, h);
    return ZQMF_OK;
  }
}

ZQMF_ERROR Step(ZQMF_stream* ms, uint32_t flags) {
  const bool recurse = flags & ZQMF_RECURSE_LEVELS;
  const bool tolerant = flags & ZQMF_TOLERANT;
  if (!HeaderReadable(ms)) return ZQMF_ERROR_BUFFER_END;
  Header h;
  if (!CurrentFits(ms, &h)) {
    if (recurse && tolerant && !AtTopLevel(ms)) {
      LeaveLevel(ms);
      return Land(ms, flags, true);
    }
    return ZQMF_ERROR_BAD_STRUCTURE;
  }
  const uint32_t total = 2 + h.words;
  if (AtTopLevel(ms)) {
    ms->device_count++;
    if (recurse && h.type == 0) {
      ms->level_start[0] = ms->pos;
      ms->nest_size[0] = h.words;
      ms->pos += 2;
      return Land(ms, flags, true);
    }
    ms->pos += total;
    return Land(ms, flags, false);
  }
  uint32_t& left = ms->nest_size[ms->nest_level];
  left -= total;
  if (recurse && h.type == 0) {
    if (ms->nest_level + 1 >= ZQMF_NEST_LIMIT) return ZQMF_ERROR_BAD_STRUCTURE;
    ms->nest_level++;
    ms->level_start[ms->nest_level] = ms->pos;
    ms->nest_size[ms->nest_level] = h.words;
    ms->pos += 2;
  } else {
    ms->pos += total;
  }
  return Land(ms, flags, true);
}

// Checks the records of [pos, pos + words): at the top level each must be a DEVC; inside a
// nest zero words are padding. Sets *unknown for unknown types and goes on.
ZQMF_ERROR ValidateRange(const ZQMF_stream* ms, uint32_t pos, uint32_t words, uint32_t level,
                         bool top, bool recurse, bool* unknown) {
  const uint32_t end = pos + words;
  while (pos < end) {
    if (!top && LoadWord(ms, pos) == 0) {
      pos++;
      continue;
    }
    if (end - pos < 2) return ZQMF_ERROR_BAD_STRUCTURE;
    const Header h = ReadHeader(ms, pos);
    if (!ValidKey(h.key) || h.struct_size == 0 || (top && h.key != kDEVC) ||
        h.words > end - pos - 2) {
      return ZQMF_ERROR_BAD_STRUCTURE;
    }
    if (!ZQMF_KnownType(h.type)) {
      *unknown = true;
    } else if (h.type == 0 && recurse) {
      const uint32_t inner = top ? 0 : level + 1;
      if (inner >= ZQMF_NEST_LIMIT) return ZQMF_ERROR_BAD_STRUCTURE;
      ZQMF_ERROR r = ValidateRange(ms, pos + 2, h.words, inner, false, recurse, unknown);
      if (r != ZQMF_OK) return r;
    }
    pos += 2 + h.words;
  }
  return ZQMF_OK;
}

// Puts a copy of the state on the first record of the nest at `level`. False when the nest is
// empty or its record no longer fits the buffer.
bool RewindToNestStart(ZQMF_stream* ms, uint32_t level) {
  const uint32_t start = ms->level_start[level];
  if (start + 1 >= ms->buffer_size_longs) return false;
  const Header h = ReadHeader(ms, start);
  if (static_cast<uint64_t>(start) + 2 + h.words > ms->buffer_size_longs) return false;
  ms->nest_level = level;
  ms->pos = start + 2;
  ms->nest_size[level] = h.words;
  while (ms->nest_size[level] != 0 && LoadWord(ms, ms->pos) == 0) {
    ms->pos++;
    ms->nest_size[level]--;
  }
  return ms->nest_size[level] != 0;
}

// The header that describes the current record's data: for a compressed record the inner one
// (which needs the record to fit).
bool DataHeader(const ZQMF_stream* ms, Header* out) {
  if (!HeaderReadable(ms)) return false;
  const Header h = ReadHeader(ms, ms->pos);
  if (h.type != '#') {
    *out = h;
    return true;
  }
  Header fits;
  return CurrentFits(ms, &fits) && InnerHeader(ms, h, out);
}

bool IsReserved(uint32_t key) { return ZQMF_Reserved(key) == ZQMF_ERROR_RESERVED; }

}  // namespace

ZQMF_ERROR ZQMF_Init(ZQMF_stream* ms, uint32_t* buffer, uint32_t datasize) {
  if (ms == nullptr || buffer == nullptr || datasize == 0) return ZQMF_ERROR_MEMORY;
  memset(ms, 0, sizeof(*ms));
  if (datasize < 5) return ZQMF_ERROR_BAD_STRUCTURE;
  ms->buffer = buffer;
  const uint32_t words = datasize / 4;
  ms->buffer_size_longs = words;
  uint32_t pos = 0;
  while (pos + 2 <= words && LoadWord(ms, pos) == kDEVC) {
    pos += 2 + ReadHeader(ms, pos).words;
    if (pos > words) break;
  }
  if (pos == 0 || pos > words) {
    memset(ms, 0, sizeof(*ms));
    return ZQMF_ERROR_BAD_STRUCTURE;
  }
  ms->buffer_size_longs = pos;
  return ZQMF_ResetState(ms);
}

ZQMF_ERROR ZQMF_ResetState(ZQMF_stream* ms) {
  if (ms == nullptr) return ZQMF_ERROR_MEMORY;
  ms->pos = 0;
  ms->nest_level = 0;
  ms->device_count = 0;
  ms->device_id = 0;
  memset(ms->device_name, 0, sizeof(ms->device_name));
  memset(ms->level_start, 0, sizeof(ms->level_start));
  memset(ms->nest_size, 0, sizeof(ms->nest_size));
  memset(ms->last_seek, 0, sizeof(ms->last_seek));
  return ZQMF_OK;
}

ZQMF_ERROR ZQMF_CopyState(const ZQMF_stream* source, ZQMF_stream* destination) {
  if (source == nullptr || destination == nullptr) return ZQMF_ERROR_MEMORY;
  *destination = *source;
  return ZQMF_OK;
}

ZQMF_ERROR ZQMF_Validate(ZQMF_stream* ms, uint32_t recurse) {
  if (ms == nullptr || ms->buffer == nullptr) return ZQMF_ERROR_MEMORY;
  bool unknown = false;
  const bool deep = recurse & ZQMF_RECURSE_LEVELS;
  uint32_t pos = ms->pos;
  if (!AtTopLevel(ms)) {
    // The rest of each open nest, innermost first: each ends where its parent's rest begins.
    for (uint32_t level = ms->nest_level + 1; level-- > 0;) {
      const uint32_t words = ms->nest_size[level];
      if (static_cast<uint64_t>(pos) + words > ms->buffer_size_longs) {
        return ZQMF_ERROR_BAD_STRUCTURE;
      }
      ZQMF_ERROR r = ValidateRange(ms, pos, words, level, false, deep, &unknown);
      if (r != ZQMF_OK) return r;
      pos += words;
    }
  }
  if (pos < ms->buffer_size_longs) {
    ZQMF_ERROR r = ValidateRange(ms, pos, ms->buffer_size_longs - pos, 0, true, deep, &unknown);
    if (r != ZQMF_OK) return r;
  }
  return unknown ? ZQMF_ERROR_UNKNOWN_TYPE : ZQMF_OK;
}

ZQMF_ERROR ZQMF_Next(ZQMF_stream* ms, uint32_t flags) {
  if (ms == nullptr || ms->buffer == nullptr) return ZQMF_ERROR_MEMORY;
  ZQMF_stream work = *ms;
  const ZQMF_ERROR r = Step(&work, flags);
  if (r == ZQMF_OK) *ms = work;
  return r;
}

ZQMF_ERROR ZQMF_FindNext(ZQMF_stream* ms, uint32_t key, uint32_t flags) {
  if (ms == nullptr || ms->buffer == nullptr) return ZQMF_ERROR_MEMORY;
  if (!HeaderReadable(ms)) return ZQMF_ERROR_BUFFER_END;
  ZQMF_stream work = *ms;
  for (;;) {
    const ZQMF_ERROR r = ZQMF_Next(&work, flags);
    if (r != ZQMF_OK) return r;
    if (ZQMF_Key(&work) == key) {
      work.last_seek[work.nest_level] = work.pos;
      *ms = work;
      return ZQMF_OK;
    }
  }
}

ZQMF_ERROR ZQMF_FindPrev(ZQMF_stream* ms, uint32_t key, uint32_t flags) {
  if (ms == nullptr || ms->buffer == nullptr) return ZQMF_ERROR_MEMORY;
  if (AtTopLevel(ms) || !HeaderReadable(ms)) return ZQMF_ERROR_BUFFER_END;
  uint32_t target = ms->pos;
  uint32_t level = ms->nest_level;
  for (;;) {
    ZQMF_stream walk = *ms;
    bool found = false;
    ZQMF_stream best;
    if (RewindToNestStart(&walk, level)) {
      while (walk.pos < target) {
        if (ZQMF_Key(&walk) == key) {
          best = walk;
          found = true;
        }
        if (ZQMF_Next(&walk, flags & ZQMF_TOLERANT) != ZQMF_OK) break;
      }
    }
    if (found) {
      best.last_seek[best.nest_level] = best.pos;
      *ms = best;
      return ZQMF_OK;
    }
    if (!(flags & ZQMF_RECURSE_LEVELS) || level == 0) return ZQMF_ERROR_FIND;
    target = ms->level_start[level];
    level--;
  }
}

ZQMF_ERROR ZQMF_SeekToSamples(ZQMF_stream* ms) {
  if (ms == nullptr || ms->buffer == nullptr) return ZQMF_ERROR_MEMORY;
  ZQMF_stream work = *ms;
  Header h;
  if (!CurrentFits(&work, &h)) return ZQMF_ERROR_BAD_STRUCTURE;
  if (h.type == 0 && ZQMF_Next(&work, ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT) != ZQMF_OK) {
    return ZQMF_ERROR_BAD_STRUCTURE;
  }
  for (;;) {
    if (!CurrentFits(&work, &h)) return ZQMF_ERROR_BAD_STRUCTURE;
    if (h.type == 0) break;
    ZQMF_stream next = work;
    const ZQMF_ERROR r = ZQMF_Next(&next, ZQMF_TOLERANT);
    if (r == ZQMF_ERROR_LAST) {
      if (IsReserved(h.key)) return ZQMF_ERROR_FIND;
      break;
    }
    if (r != ZQMF_OK) return ZQMF_ERROR_BAD_STRUCTURE;
    if (ZQMF_Key(&next) == h.key) break;
    work = next;
  }
  *ms = work;
  return ZQMF_OK;
}

uint32_t ZQMF_Key(const ZQMF_stream* ms) {
  if (ms == nullptr || ms->buffer == nullptr || ms->pos >= ms->buffer_size_longs) return 0;
  return LoadWord(ms, ms->pos);
}

uint32_t ZQMF_Type(const ZQMF_stream* ms) {
  Header h;
  return ms != nullptr && DataHeader(ms, &h) ? h.type : 0;
}

uint32_t ZQMF_StructSize(const ZQMF_stream* ms) {
  Header h;
  return ms != nullptr && DataHeader(ms, &h) ? h.struct_size : 0;
}

uint32_t ZQMF_Repeat(const ZQMF_stream* ms) {
  Header h;
  return ms != nullptr && DataHeader(ms, &h) ? h.repeat : 0;
}

uint32_t ZQMF_RawDataSize(const ZQMF_stream* ms) {
  Header h;
  if (ms == nullptr || !CurrentFits(ms, &h)) return 0;
  return h.bytes;
}

uint32_t ZQMF_FormattedDataSize(const ZQMF_stream* ms) {
  Header h;
  if (ms == nullptr || !CurrentFits(ms, &h) || h.type == 0) return 0;
  Header inner;
  if (h.type == '#') return InnerHeader(ms, h, &inner) ? inner.bytes : 0;
  return h.bytes;
}

void* ZQMF_RawData(const ZQMF_stream* ms) {
  Header h;
  if (ms == nullptr || !CurrentFits(ms, &h)) return nullptr;
  return ms->buffer + ms->pos + 2;
}

uint32_t ZQMF_NestLevel(const ZQMF_stream* ms) { return ms == nullptr ? 0 : ms->nest_level; }

uint32_t ZQMF_DeviceID(const ZQMF_stream* ms) { return ms == nullptr ? 0 : ms->device_id; }

ZQMF_ERROR ZQMF_DeviceName(const ZQMF_stream* ms, char* name, uint32_t capacity) {
  if (ms == nullptr || name == nullptr) return ZQMF_ERROR_MEMORY;
  const size_t n = strnlen(ms->device_name, sizeof(ms->device_name));
  if (n + 1 > capacity) return ZQMF_ERROR_MEMORY;
  memcpy(name, ms->device_name, n);
  name[n] = '\0';
  return ZQMF_OK;
}

uint32_t ZQMF_ElementsInStruct(const ZQMF_stream* ms) {
  Header h;
  if (ms == nullptr || !CurrentFits(ms, &h)) return 0;
  uint32_t type = h.type;
  uint32_t struct_size = h.struct_size;
  if (h.type == '#') {
    Header inner;
    if (!InnerHeader(ms, h, &inner)) return 0;
    type = inner.type;
    struct_size = inner.struct_size;
  }
  if (type == '?') {
    char expanded[ZQMF_COMPLEX_TYPE_MAX + 1];
    uint32_t length = 0;
    return FindTypeString(ms, expanded, &length) ? length : 0;
  }
  const uint32_t size = ZQMF_SizeofType(type);
  return size == 0 ? 0 : struct_size / size;
}

uint32_t ZQMF_PayloadSampleCount(const ZQMF_stream* ms) {
  if (ms == nullptr || !HeaderReadable(ms)) return 0;
  ZQMF_stream s = *ms;
  const uint32_t key = ZQMF_Key(&s);
  if (ZQMF_FindNext(&s, key, ZQMF_TOLERANT) != ZQMF_OK) {
    const uint32_t repeat = ZQMF_Repeat(ms);
    return repeat == 0 ? 1 : repeat;
  }
  uint32_t count = 2;
  while (ZQMF_FindNext(&s, key, ZQMF_TOLERANT) == ZQMF_OK) count++;
  return count;
}

uint32_t ZQMF_ScaledDataSize(const ZQMF_stream* ms, uint32_t outputType) {
  if (ms == nullptr) return 0;
  return ZQMF_ElementsInStruct(ms) * ZQMF_Repeat(ms) * ZQMF_SizeofType(outputType);
}

uint32_t ZQMF_SizeofType(uint32_t type) {
  switch (type) {
    case 'b':
    case 'B':
    case 'c':
      return 1;
    case 's':
    case 'S':
      return 2;
    case 'l':
    case 'L':
    case 'f':
    case 'q':
    case 'F':
      return 4;
    case 'j':
    case 'J':
    case 'd':
    case 'Q':
      return 8;
    case 'G':
    case 'U':
      return 16;
    default:
      return 0;
  }
}

int32_t ZQMF_SwapUnit(uint32_t type) {
  switch (type) {
    case 'F':
    case 'G':
    case 'U':
    case 'u':
      return 1;
    default: {
      const uint32_t size = ZQMF_SizeofType(type);
      return size == 0 ? -1 : static_cast<int32_t>(size);
    }
  }
}

bool ZQMF_KnownType(uint32_t type) {
  return type == 0 || type == '?' || type == '#' || ZQMF_SwapUnit(type) > 0;
}

ZQMF_ERROR ZQMF_ExpandComplexTYPE(const char* source, uint32_t length, char* out,
                                  uint32_t* capacity) {
  if (source == nullptr || out == nullptr || capacity == nullptr || *capacity == 0) {
    return ZQMF_ERROR_MEMORY;
  }
  const uint32_t room = *capacity - 1;  // the terminator's place
  uint32_t n = 0;
  for (uint32_t i = 0; i < length && source[i] != '\0'; i++) {
    if (source[i] == '[' && n > 0) {
      uint32_t count = 0;
      uint32_t j = i + 1;
      while (j < length && source[j] >= '0' && source[j] <= '9') {
        count = count * 10 + static_cast<uint32_t>(source[j] - '0');
        if (count > room) return ZQMF_ERROR_MEMORY;
        j++;
      }
      if (j == i + 1 || j >= length || source[j] != ']' || count == 0) {
        return ZQMF_ERROR_BAD_STRUCTURE;
      }
      if (n + count - 1 > room) return ZQMF_ERROR_MEMORY;
      const char repeated = out[n - 1];
      for (uint32_t k = 1; k < count; k++) out[n++] = repeated;
      i = j;  // the loop steps past ']'
      continue;
    }
    if (n + 1 > room) return ZQMF_ERROR_MEMORY;
    out[n++] = source[i];
  }
  out[n] = '\0';
  *capacity = n;
  return ZQMF_OK;
}

uint32_t ZQMF_SizeOfComplexTYPE(const char* type, uint32_t length) {
  char expanded[ZQMF_COMPLEX_TYPE_MAX + 1];
  uint32_t n = sizeof(expanded);
  if (type == nullptr || ZQMF_ExpandComplexTYPE(type, length, expanded, &n) != ZQMF_OK) return 0;
  uint32_t total = 0;
  for (uint32_t i = 0; i < n; i++) {
    const uint32_t size = ZQMF_SizeofType(static_cast<uint8_t>(expanded[i]));
    if (size == 0) return 0;
    total += size;
  }
  return total;
}

ZQMF_ERROR ZQMF_Reserved(uint32_t key) {
  static constexpr uint32_t kReserved[] = {
      ZQMF_Key4CC("DEVC"), ZQMF_Key4CC("DVID"), ZQMF_Key4CC("DVNM"), ZQMF_Key4CC("STRM"),
      ZQMF_Key4CC("STNM"), ZQMF_Key4CC("RMRK"), ZQMF_Key4CC("SCAL"), ZQMF_Key4CC("SIUN"),
      ZQMF_Key4CC("UNIT"), ZQMF_Key4CC("TYPE"), ZQMF_Key4CC("TSMP"), ZQMF_Key4CC("TICK"),
      ZQMF_Key4CC("TOCK"), ZQMF_Key4CC("EMPT"), ZQMF_Key4CC("MTRX"), ZQMF_Key4CC("STMP"),
      ZQMF_Key4CC("STPS"), ZQMF_Key4CC("PFRM"), ZQMF_Key4CC("TMPC"), ZQMF_Key4CC("FREE"),
      ZQMF_Key4CC("ORIN"), ZQMF_Key4CC("ORIO"),
  };
  for (uint32_t reserved : kReserved) {
    if (key == reserved) return ZQMF_ERROR_RESERVED;
  }
  return ZQMF_OK;
}

ZQMF_ERROR ZQMF_Modify(ZQMF_stream* ms, uint32_t originalKey, uint32_t newKey, uint32_t newType,
                       uint32_t newStructSize, uint32_t newRepeat, const void* data) {
  if (ms == nullptr || ms->buffer == nullptr) return ZQMF_ERROR_MEMORY;
  const uint32_t bytes = newStructSize * newRepeat;
  if (data == nullptr && bytes != 0) return ZQMF_ERROR_MEMORY;
  if (!ValidKey(newKey) || newStructSize == 0 || newStructSize > 255 || newRepeat > 65535 ||
      newType > 255) {
    return ZQMF_ERROR_BAD_STRUCTURE;
  }
  const uint32_t words = (bytes + 3) / 4;
  if (static_cast<uint64_t>(ms->pos) + 2 + words > ms->buffer_size_longs) {
    return ZQMF_ERROR_BAD_STRUCTURE;
  }

  ZQMF_stream s = *ms;
  Header h;
  const bool current = CurrentFits(&s, &h) && h.key == originalKey && h.words == words;
  if (!current) {
    if (ZQMF_FindNext(&s, originalKey, ZQMF_TOLERANT) != ZQMF_OK &&
        ZQMF_FindPrev(&s, originalKey, ZQMF_TOLERANT) != ZQMF_OK) {
      s = *ms;
      ZQMF_ResetState(&s);
      if (ZQMF_Key(&s) != originalKey &&
          ZQMF_FindNext(&s, originalKey, ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT) != ZQMF_OK) {
        return ZQMF_ERROR_FIND;
      }
    }
    if (!CurrentFits(&s, &h)) return ZQMF_ERROR_BAD_STRUCTURE;
    if (h.words != words) return ZQMF_ERROR_BAD_STRUCTURE;
  }

  // Work out the byte order of the new payload before touching anything.
  char complex[ZQMF_COMPLEX_TYPE_MAX + 1];
  uint32_t complex_length = 0;
  int32_t unit = 1;
  if (newType == '?') {
    if (!FindTypeString(&s, complex, &complex_length) ||
        ZQMF_SizeOfComplexTYPE(complex, complex_length) != newStructSize) {
      return ZQMF_ERROR_TYPE_NOT_SUPPORTED;
    }
  } else if (newType != 0 && newType != '#') {
    unit = ZQMF_SwapUnit(newType);
    if (unit < 0) return ZQMF_ERROR_UNKNOWN_TYPE;
    if (newStructSize % static_cast<uint32_t>(unit) != 0) return ZQMF_ERROR_BAD_STRUCTURE;
  }

  uint8_t* record = reinterpret_cast<uint8_t*>(ms->buffer + s.pos);
  memcpy(record, &newKey, 4);
  record[4] = static_cast<uint8_t>(newType);
  record[5] = static_cast<uint8_t>(newStructSize);
  record[6] = static_cast<uint8_t>(newRepeat >> 8);
  record[7] = static_cast<uint8_t>(newRepeat);
  uint8_t* payload = record + 8;
  const uint8_t* src = static_cast<const uint8_t*>(data);
  if (newType == '?') {
    for (uint32_t sample = 0; sample < newRepeat; sample++) {
      for (uint32_t e = 0; e < complex_length; e++) {
        const uint32_t size = ZQMF_SizeofType(static_cast<uint8_t>(complex[e]));
        CopySwapped(payload, src, size, ZQMF_SwapUnit(static_cast<uint8_t>(complex[e])));
        payload += size;
        src += size;
      }
    }
  } else {
    CopySwapped(payload, src, bytes, unit);
    payload += bytes;
  }
  memset(payload, 0, words * 4 - bytes);
  return ZQMF_OK;
}
