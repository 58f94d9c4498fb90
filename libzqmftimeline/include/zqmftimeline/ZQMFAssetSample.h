// One timed sample of a key: one structure of a ZQMF record (or, for text, dates, complex
// types and sources without time, the whole record), with its description and a copy of its
// values in host byte order.
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSAMPLE_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSAMPLE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "zqmftimeline/ZQMFRational.h"
#include "zqmftimeline/ZQMFTimelineTypes.h"

struct ZQMFAssetSample {
  ZQMFRational sampleRate;         // structures per second of the payload it came from
  double startTime = kZQMFNoTime;  // seconds; kZQMFNoTime when unknown
  double endTime = 1.0;            // start of the next structure (kZQMFNoTime when unknown)
  uint32_t key = 0;                // as stored in the stream (ZQMF_Key4CC)
  uint32_t type = 0;               // type character of `data` (after scaling: 'f' or 'd')
  uint32_t structSize = 0;         // bytes of one structure of `data`
  uint32_t repeat = 0;             // structures in `data`
  uint32_t payloadSampleCount = 0;
  uint32_t elementsInStruct = 0;
  uint32_t nestLevel = 0;
  uint32_t deviceId = 0;
  std::string deviceName;       // at most 31 characters
  std::string typeDescription;  // the "TYPE" string of complex records
  std::vector<double> scale;    // the stream's "SCAL" divisors (empty: none; {1} once applied)
  uint64_t timestamp = 0;       // "STMP" of the stream, 0 when absent
  uint32_t totalSamples = 0;    // "TSMP" of the stream, 0 when absent
  std::vector<uint8_t> data;    // repeat x structSize bytes, host order

  std::string KeyText() const;  // the key as four characters
  // The element types of one structure ("fff" for three floats; the expanded type string of
  // a complex record). Empty when they cannot be told.
  std::string ElementTypes() const;
  // Element `element` of structure `structure` as a number; false for non-numeric elements
  // or indices outside the data.
  bool Number(uint32_t structure, uint32_t element, double* out) const;
  // The same as an integer (floats truncated); false as above.
  bool Integer(uint32_t structure, uint32_t element, int64_t* out) const;
};

// An element of numeric type `type` stored in host order at `p`, as a double; false for
// types that are not numbers.
bool ZQMFHostNumber(const uint8_t* p, uint32_t type, double* out);

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSAMPLE_H_
