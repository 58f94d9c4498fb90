// Splits one occurrence of a key (one ZQMF record) into timed samples.
//
// The record's structures share the time of the payload (segment) they came from: structure
// k of n starts at start + k x (end - start) / n. Text ('c'), dates ('u'), complex records
// ('?') and payloads without time stay one sample holding every structure. Values scaled by
// a "SCAL" other than 1 are converted (doubles for "GPS5", floats for other keys, with the
// stream's matrix applied); the rest are copied in host byte order.
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSAMPLES_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSAMPLES_H_

#include <cstdint>
#include <vector>

#include "zqmf/zqmfParser.h"
#include "zqmftimeline/ZQMFAssetSample.h"
#include "zqmftimeline/ZQMFTimelineTypes.h"

class ZQMFAssetSamples {
 public:
  // The segment the occurrence belongs to; `start` kZQMFNoTime when it has no time.
  ZQMFAssetSamples(double start, double end) : start_(start), end_(end) {}

  // Reads the record `ms` stands on (the state may allocate a decompression codebook, which
  // its owner frees; a codebook the state already has is used). Structural keys ("DEVC", "DVID",
  // "DVNM", "STRM") and nests yield no samples. A parser error when the values cannot be read at
  // all; when only the scaling fails, the unscaled values are kept (with their scale) and that
  // error is returned.
  ZQMF_LIB_ERROR Load(ZQMF_stream* ms);

  // The next sample of the occurrence; false when all have been handed out.
  bool GetNextSampleSegment(ZQMFAssetSample* sample);

  uint32_t count() const { return count_; }

 private:
  double start_;
  double end_;
  ZQMFAssetSample proto_;        // description shared by all samples
  std::vector<uint8_t> values_;  // every structure, host order
  uint32_t count_ = 0;           // samples to hand out
  uint32_t next_ = 0;
  bool whole_ = false;
};

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSAMPLES_H_
