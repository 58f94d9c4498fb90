// Result codes of the MP4 library, all unsigned. Each layer has its own small set:
//
//   FileIO, FileReader / FileWriter: zqfileio/FileIOResults.h (included here).
//   Atoms:                     the kQTAtom* codes below.
//   Sample-table lookups:      the kQTLookup* codes below.
//
// The reader side of the library reports a buffer, reader or atom code with kQTReaderBit set
// (0x10000 | code), the writing side with kQTWriterBit (0x20000 | code); QTReaderResult and
// QTWriterResult are the one place where the bit is added.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64RESULTS_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64RESULTS_H_

#include <cstdint>

#include "zqfileio/FileIOResults.h"

inline constexpr uint32_t kQTAtomSuccess = 0;
inline constexpr uint32_t kQTAtomNotFound = 3;
inline constexpr uint32_t kQTAtomMalformed = 4;  // malformed, truncated, or required child absent
inline constexpr uint32_t kQTAtomBufferTooSmall = 5;
inline constexpr uint32_t kQTAtomWrongType = 6;
inline constexpr uint32_t kQTAtomZeroSize = 11;

inline constexpr uint32_t kQTLookupSuccess = 0;
inline constexpr uint32_t kQTLookupOutOfRange = 1;  // null out-pointer, bad index, bad table
inline constexpr uint32_t kQTLookupAbsent = 2;      // a needed atom or track is absent
inline constexpr uint32_t kQTLookupNotApplicable = 8;
inline constexpr uint32_t kQTLookupNotTimeCode = 10;
inline constexpr uint32_t kQTLookupInconsistentChunk = 12;

// Reader results besides the wrapped codes.
inline constexpr uint32_t kQTReaderUnsupported = 1;  // the file structure is not supported
inline constexpr uint32_t kQTReaderOpenFailed = 9;

inline constexpr uint32_t kQTReaderBit = 0x10000;
inline constexpr uint32_t kQTWriterBit = 0x20000;

inline constexpr uint32_t QTReaderResult(uint32_t code) { return kQTReaderBit | code; }
inline constexpr uint32_t QTWriterResult(uint32_t code) { return kQTWriterBit | code; }

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64RESULTS_H_
