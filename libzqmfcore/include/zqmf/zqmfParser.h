// ZQMF stream parser: walks the camera's metadata and telemetry stream in place.
//
// Wire format. A stream is an array of 32-bit words holding records (KLV), all big-endian:
//
//   word 0   key: four ASCII characters from 'A'-'Z', 'a'-'z', '0'-'9' and space
//   word 1   type (1 byte) | struct size (1 byte, bytes per sample, never 0) | repeat (2 bytes)
//   word 2.. payload: struct size x repeat bytes, zero-padded to a whole word
//
// A record therefore takes 2 + ceil(struct size x repeat / 4) words. Type 0 is a nested record
// whose payload is further records; the top level is a run of "DEVC" (device) nests. Nesting
// goes at most 16 levels deep (the DEVC payload being the first). Zero words between records
// are padding. Type '?' is a complex structure whose element types come from the nearest
// preceding "TYPE" record of the same nest (a type string such as "f[3]L" for "fffL"). Type '#'
// is a compressed payload: its first word is a second type | struct size | repeat word that
// describes the data once expanded, followed by the compressed bit stream (see
// ZQMF_Decompress).
//
// Element types (size in bytes; values are swapped to host order in units of the same size
// except where noted): 'b' int8, 'B' uint8, 'c' character, 's' int16, 'S' uint16, 'l' int32,
// 'L' uint32, 'f' float, 'q' 4-byte value, 'F' four characters (never swapped), 'j' 8-byte
// signed value, 'J' 8-byte unsigned value, 'd' double, 'Q' 8-byte value, 'G' and 'U' 16 bytes
// (never swapped), 'u' date bytes (no element size; never swapped).
//
// The state (`ZQMF_stream`) borrows the caller's buffer, which must stay valid and 4-byte
// aligned while the state is used, and holds positions as word indices only: nothing is
// copied and no function allocates except the decompression codebook (and ZQMF_ScaledData's
// scratch buffer for compressed records). Save and restore a position by copying the state.
// A state is used by one thread at a time; separate states may share a read-only buffer
// (ZQMF_Modify writes into it).
//
// Every function checks its arguments and each record's size against the buffer and its
// enclosing nest before reading, so damaged input yields an error code, never a read outside
// the buffer. Functions that return a result code return ZQMF_ERROR_MEMORY for a null state;
// those that return a size or a value return 0.
#ifndef ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFPARSER_H_
#define ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFPARSER_H_

#include <bit>
#include <cstddef>
#include <cstdint>

enum ZQMF_ERROR : uint32_t {
  ZQMF_OK = 0,
  ZQMF_ERROR_MEMORY = 1,               // null argument, buffer too small, allocation failed
  ZQMF_ERROR_BAD_STRUCTURE = 2,        // invalid key, size, nesting or type
  ZQMF_ERROR_BUFFER_END = 3,           // no further record in the buffer
  ZQMF_ERROR_FIND = 4,                 // key not found
  ZQMF_ERROR_LAST = 5,                 // the current record is the last in its nest
  ZQMF_ERROR_TYPE_NOT_SUPPORTED = 6,   // complex (or non-numeric) type cannot be resolved
  ZQMF_ERROR_SCALE_NOT_SUPPORTED = 7,  // scale, matrix or orientation record of unusable type
  ZQMF_ERROR_SCALE_COUNT = 8,          // scale or matrix count does not fit the structure
  ZQMF_ERROR_UNKNOWN_TYPE = 9,         // type character not in the table
  ZQMF_ERROR_RESERVED = 10,            // the key is reserved
};

// Navigation flags of ZQMF_Next, ZQMF_FindNext and ZQMF_FindPrev.
enum ZQMF_LEVELS : uint32_t {
  ZQMF_CURRENT_LEVEL = 0,   // stay in the current nest
  ZQMF_RECURSE_LEVELS = 1,  // step into nested records and back out of finished ones
  ZQMF_TOLERANT = 2,        // skip unknown types; with recursion also leave damaged nests
};

inline constexpr uint32_t ZQMF_NEST_LIMIT = 16;
// The expanded type string of a complex record holds at most this many characters.
inline constexpr uint32_t ZQMF_COMPLEX_TYPE_MAX = 63;

// The key "ABCD" as the 32-bit word that holds it in a stream (the word's memory order is the
// characters' order, whatever the host's byte order).
constexpr uint32_t ZQMF_Key4CC(const char (&key)[5]) {
  const uint32_t a = static_cast<uint8_t>(key[0]), b = static_cast<uint8_t>(key[1]);
  const uint32_t c = static_cast<uint8_t>(key[2]), d = static_cast<uint8_t>(key[3]);
  if constexpr (std::endian::native == std::endian::little) {
    return a | (b << 8) | (c << 16) | (d << 24);
  } else {
    return (a << 24) | (b << 16) | (c << 8) | d;
  }
}

// One entry of the decompression codebook, indexed by the next 16 bits of a bit stream.
struct ZQMF_codebook_entry {
  int16_t value;      // signed magnitude of a value code
  uint8_t run;        // samples covered by the zero-run part of the code
  uint8_t bits_used;  // bits of the window this entry consumes
  uint8_t has_value;  // 1 for a value code (and for the escape)
  uint8_t command;    // ZQMF_CODE_*
};

enum ZQMF_CODE_COMMAND : uint8_t {
  ZQMF_CODE_VALUE = 0,
  ZQMF_CODE_END = 1,
  ZQMF_CODE_ESCAPE = 2,
  ZQMF_CODE_INVALID = 255,
};

inline constexpr uint32_t ZQMF_CODEBOOK_ENTRIES = 65536;
struct ZQMF_codebook {
  ZQMF_codebook_entry entry[ZQMF_CODEBOOK_ENTRIES];
};

struct ZQMF_stream {
  uint32_t* buffer;                       // borrowed; the first word of the stream
  uint32_t buffer_size_longs;             // words of the DEVC chain found by ZQMF_Init
  uint32_t pos;                           // word index of the current record's key
  uint32_t level_start[ZQMF_NEST_LIMIT];  // position of the nested record of each level
  uint32_t nest_size[ZQMF_NEST_LIMIT];    // words left in each level's nest, from `pos` on;
                                          // 0 at level 0 means the top level (whole buffer)
  uint32_t last_seek[ZQMF_NEST_LIMIT];    // position of the last find at each level
  uint32_t nest_level;
  uint32_t device_count;    // top-level DEVC records walked so far
  uint32_t device_id;       // payload of the last "DVID" record
  char device_name[32];     // payload of the last "DVNM" record (at most 31 characters)
  ZQMF_codebook* codebook;  // owned by the state that allocated it (ZQMF_Free); copies share it
};

// Set-up. ZQMF_Init clears the state and takes the run of consecutive top-level "DEVC"
// records at the start of `buffer` (`datasize` bytes) as the stream: 1 for a null argument
// or size 0, 2 when the size is under 5 bytes, the first key is not "DEVC", or a DEVC record
// runs past the buffer. Bytes after the run are not part of the stream.
ZQMF_ERROR ZQMF_Init(ZQMF_stream* ms, uint32_t* buffer, uint32_t datasize);
ZQMF_ERROR ZQMF_ResetState(ZQMF_stream* ms);  // back to the first record
ZQMF_ERROR ZQMF_CopyState(const ZQMF_stream* source, ZQMF_stream* destination);
// Frees the codebook (the state stays usable). ZQMF_Free does the same.
ZQMF_ERROR ZQMF_FreeCodebook(ZQMF_stream* ms);
ZQMF_ERROR ZQMF_Free(ZQMF_stream* ms);

// Checks every record from the current position on (into nests with `recurse` 1): 0, 2 for a
// damaged structure, or 9 when the structure is sound but a type is unknown. The position is
// left unchanged.
ZQMF_ERROR ZQMF_Validate(ZQMF_stream* ms, uint32_t recurse);

// Navigation. On failure the state is left unchanged.
// ZQMF_Next moves to the next record: 3 at the end of the buffer, 5 without recursion when
// the current record is the last of its nest, 2 for damage (with ZQMF_RECURSE_LEVELS |
// ZQMF_TOLERANT a damaged nest is skipped instead), 9 for an unknown type unless tolerant.
ZQMF_ERROR ZQMF_Next(ZQMF_stream* ms, uint32_t flags);
// Steps with ZQMF_Next until the key matches; on failure returns ZQMF_Next's result.
ZQMF_ERROR ZQMF_FindNext(ZQMF_stream* ms, uint32_t key, uint32_t flags);
// The nearest record with the key before the current one in the same nest (and, with
// ZQMF_RECURSE_LEVELS, in the enclosing nests before them): 4 when there is none, 3 at the
// top level or the buffer end.
ZQMF_ERROR ZQMF_FindPrev(ZQMF_stream* ms, uint32_t key, uint32_t flags);
// Moves to the sample data of the current stream (see the .cpp); 2 or 4 on failure.
ZQMF_ERROR ZQMF_SeekToSamples(ZQMF_stream* ms);

// The current record. For a compressed record, ZQMF_Type, ZQMF_StructSize, ZQMF_Repeat and
// ZQMF_FormattedDataSize describe the data once expanded.
uint32_t ZQMF_Key(const ZQMF_stream* ms);
uint32_t ZQMF_Type(const ZQMF_stream* ms);
uint32_t ZQMF_StructSize(const ZQMF_stream* ms);
uint32_t ZQMF_Repeat(const ZQMF_stream* ms);
uint32_t ZQMF_RawDataSize(const ZQMF_stream* ms);  // struct size x repeat; 0 if it overruns
uint32_t ZQMF_FormattedDataSize(const ZQMF_stream* ms);
void* ZQMF_RawData(const ZQMF_stream* ms);  // the payload in stream order, or null
uint32_t ZQMF_NestLevel(const ZQMF_stream* ms);
uint32_t ZQMF_DeviceID(const ZQMF_stream* ms);
ZQMF_ERROR ZQMF_DeviceName(const ZQMF_stream* ms, char* name, uint32_t capacity);
uint32_t ZQMF_ElementsInStruct(const ZQMF_stream* ms);
// Samples of the current key: its repeat (1 when 0), or the number of records with the key in
// the nest when it occurs more than once.
uint32_t ZQMF_PayloadSampleCount(const ZQMF_stream* ms);
// Bytes ZQMF_ScaledData writes for all samples: elements x repeat x size of `outputType`.
uint32_t ZQMF_ScaledDataSize(const ZQMF_stream* ms, uint32_t outputType);

// Types.
uint32_t ZQMF_SizeofType(uint32_t type);  // element size in bytes; 0 for no element size
int32_t ZQMF_SwapUnit(uint32_t type);     // byte-swap unit; -1 for unknown types
bool ZQMF_KnownType(uint32_t type);       // in the table, or 0, '?' or '#'
// Expands "f[3]L" into "fffL" in `out`; `*capacity` is the space of `out` on entry (the
// terminator included) and the expanded length on success. 1 when it does not fit, 2 for a
// malformed count.
ZQMF_ERROR ZQMF_ExpandComplexTYPE(const char* source, uint32_t length, char* out,
                                  uint32_t* capacity);
// Bytes of one structure of the type string, 0 when it cannot be expanded or holds a
// character without an element size.
uint32_t ZQMF_SizeOfComplexTYPE(const char* type, uint32_t length);
// ZQMF_ERROR_RESERVED for the keys that describe the stream rather than carry samples.
ZQMF_ERROR ZQMF_Reserved(uint32_t key);

// Payload conversion. ZQMF_FormattedData writes `count` samples from `first` in host byte
// order (`out` holds `size` bytes; a compressed record is expanded in `out` first, so `out`
// must hold the whole expanded payload). ZQMF_ScaledData converts each element to
// `outputType` ('b' 'B' 's' 'S' 'l' 'L' 'j' 'J' 'f' 'd'), divided by the nest's "SCAL"
// values and multiplied by its "MTRX" or "ORIN"/"ORIO" orientation matrix. Integer outputs
// are rounded to nearest and wrap at their width.
ZQMF_ERROR ZQMF_FormattedData(ZQMF_stream* ms, void* out, uint32_t size, uint32_t first,
                              uint32_t count);
ZQMF_ERROR ZQMF_ScaledData(ZQMF_stream* ms, void* out, uint32_t size, uint32_t first,
                           uint32_t count, uint32_t outputType);

// Rewrites a record in place: the record with `originalKey` (the current one, else found
// around it, else anywhere in the stream) gets the new key, header and payload (`data` in
// host order, swapped by `newType`). Its payload must keep its size in words (else 2); 4 when
// the key is not found. The state itself does not move.
ZQMF_ERROR ZQMF_Modify(ZQMF_stream* ms, uint32_t originalKey, uint32_t newKey, uint32_t newType,
                       uint32_t newStructSize, uint32_t newRepeat, const void* data);

// Compressed payloads. ZQMF_DecompressedSize gives the bytes ZQMF_Decompress writes (the
// expanded payload rounded up to a whole word); the output is in stream (big-endian) order,
// exactly as the uncompressed record's payload would be.
ZQMF_ERROR ZQMF_DecompressedSize(ZQMF_stream* ms, uint32_t* size);
ZQMF_ERROR ZQMF_Decompress(ZQMF_stream* ms, void* out, uint32_t size);
// Allocates and fills a codebook (393,216 bytes); the caller frees it with ZQMF_FreeCodebook
// once stored in a state, or `delete`.
ZQMF_ERROR ZQMF_AllocCodebook(ZQMF_codebook** handle);

// The magnitude codes of the compressed bit stream (also used by the compressor).
struct ZQMF_huffman_code {
  uint8_t length;      // bits of the code
  uint16_t code;       // the code in the low `length` bits, most significant first
  uint8_t count;       // always 1
  uint16_t magnitude;  // value of the code (0 is never matched)
};
inline constexpr uint32_t ZQMF_HUFFMAN_CODES = 39;
extern const ZQMF_huffman_code ZQMF_HuffmanTable[ZQMF_HUFFMAN_CODES];
// The 16-bit escape and end-of-channel codes.
inline constexpr uint16_t ZQMF_CODE_WORD_ESCAPE = 0xE3C4;
inline constexpr uint16_t ZQMF_CODE_WORD_END = 0xE3C5;

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFPARSER_H_
