// The ZQMF of one source as time segments (one per payload) and the samples collected from
// them, kept per key in time order.
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETTRACK_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETTRACK_H_

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "zqmf/zqmfParser.h"
#include "zqmftimeline/ZQMFAssetSample.h"
#include "zqmftimeline/ZQMFTimelineTypes.h"

// Which devices' samples are kept: all, or those whose id (and name) are listed.
struct ZQMFDeviceFilter {
  std::vector<uint32_t> ids;
  std::vector<std::string> names;
  bool Accepts(uint32_t id, const std::string& name) const;
};

// The samples collected so far.
class ZQMFAssetTrackTimeline {
 public:
  void AddAssetTimeSample(ZQMFAssetSample sample);
  void Reset();
  uint32_t GetSampleCount(uint32_t key) const;
  // Sample `index` of `key` in time order (samples without time first); null past the end.
  // Valid until the next change of the timeline.
  const ZQMFAssetSample* GetSample(uint32_t key, uint32_t index);
  // Every sample in time order (equal times in key order).
  std::vector<const ZQMFAssetSample*> AllSamples();
  const std::set<uint32_t>& GetKeys() const { return keys_; }

 private:
  void Sort();

  std::map<uint32_t, std::vector<ZQMFAssetSample>> samples_;
  std::set<uint32_t> keys_;
  bool sorted_ = true;
};

// One payload of the source and its span of time.
class ZQMFAssetTrackSegment {
 public:
  ZQMFAssetTrackSegment(uint32_t payloadIndex, double start, double end)
      : payload_(payloadIndex), start_(start), end_(end) {}

  uint32_t payloadIndex() const { return payload_; }
  double start() const { return start_; }
  double end() const { return end_; }
  bool timed() const { return start_ != kZQMFNoTime; }

  // Adds the samples of every occurrence of `key` in `payload` (`bytes` bytes of whole words)
  // to `timeline`. 14 when the key does not occur; a parser code when the payload or one of
  // the occurrences cannot be read (what could be read is kept). `*codebook` is the
  // decompression codebook shared by the caller's reads: used when set, set when one had to
  // be made; the caller frees it.
  ZQMF_LIB_ERROR GetSamples(uint32_t* payload, uint32_t bytes, uint32_t key,
                            const ZQMFDeviceFilter& filter, ZQMFAssetTrackTimeline* timeline,
                            ZQMF_codebook** codebook) const;
  // The sample keys of `payload` (nests and reserved keys left out).
  static ZQMF_LIB_ERROR GetKeys(uint32_t* payload, uint32_t bytes, std::set<uint32_t>* keys);

 private:
  uint32_t payload_;
  double start_;
  double end_;
};

class ZQMFAssetTrack {
 public:
  void Reset() { segments_.clear(); }
  void AddSegmentTime(uint32_t payloadIndex, double start, double end) {
    segments_.emplace_back(payloadIndex, start, end);
  }
  const std::vector<ZQMFAssetTrackSegment>& segments() const { return segments_; }
  ZQMFAssetTrackTimeline& timeline() { return timeline_; }

  // The span covered by the timed segments; false when there are none.
  bool GetSampleTimeRange(double* start, double* end) const;

 private:
  std::vector<ZQMFAssetTrackSegment> segments_;
  ZQMFAssetTrackTimeline timeline_;
};

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETTRACK_H_
