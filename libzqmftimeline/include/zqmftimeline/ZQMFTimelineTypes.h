// Codes and choices shared by the timeline classes.
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFTIMELINETYPES_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFTIMELINETYPES_H_

#include <cstdint>

// Results of the timeline operations. Parser codes (zqmf/zqmfParser.h) pass through
// unchanged where a payload cannot be read; the values below overlap some of them by design
// of the interface, so callers compare with these names.
typedef uint32_t ZQMF_LIB_ERROR;
inline constexpr ZQMF_LIB_ERROR ZQMF_LIB_OK = 0;
// No (more) sample, no source, or a source that cannot give what was asked.
inline constexpr ZQMF_LIB_ERROR ZQMF_LIB_ERROR_NO_SAMPLE = 2;
// The key was not among those given to Parse.
inline constexpr ZQMF_LIB_ERROR ZQMF_LIB_ERROR_KEY_NOT_REQUESTED = 5;
// A requested key occurs in none of the payloads read.
inline constexpr ZQMF_LIB_ERROR ZQMF_LIB_ERROR_KEY_NOT_FOUND = 14;
// A payload the file's tables point to cannot be read: it lies outside the file, is absurdly
// large, or its tables contradict themselves.
inline constexpr ZQMF_LIB_ERROR ZQMF_LIB_ERROR_PAYLOAD_UNREADABLE = 15;

// Which ZQMF of a source Parse reads.
enum ZQMF_PARSE_TYPE : uint32_t {
  ZQMF_PARSE_TRACK_THEN_UDTA = 0,  // the telemetry track, then the user-data atom
  ZQMF_PARSE_UDTA = 1,             // only the user-data atom
  ZQMF_PARSE_TRACK = 2,            // only the telemetry track
  ZQMF_PARSE_GLOBAL_BUFFER = 3,    // the buffer given with SetZQMFGlobalBuffer
};

enum ZQMF_FILE_TYPE : uint32_t {
  ZQMF_FILE_VIDEO = 0,
  ZQMF_FILE_IMAGE = 1,
  ZQMF_FILE_BUFFER = 2,
  ZQMF_FILE_NONE = 3,
};

enum ZQMF_EXPORT_FILE_TYPE : uint32_t {
  ZQMF_EXPORT_TEXT = 0,  // one line per sample: key, start time, values
  ZQMF_EXPORT_JSON = 1,  // one object per key with its samples (see ZQMFTimeline)
};

// The start time of samples and segments whose time is unknown (user data, images, buffers).
inline constexpr double kZQMFNoTime = -999.0;

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFTIMELINETYPES_H_
