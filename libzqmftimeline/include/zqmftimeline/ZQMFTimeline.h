// Time-based access to the ZQMF of a recording, a photo or a buffer: callers open a source,
// parse it for the keys they need and walk each key's samples in time order.
//
//   ZQMFTimeline t;
//   ZQMF_LIB_ERROR err;
//   t.OpenURI("/tmp/fuse_d/DCIM/100TAVRO/TAVR0003.JPG", err);
//   t.Parse(err, ZQMF_PARSE_TRACK_THEN_UDTA, {"SFLG"}, nullptr);
//   while (const ZQMFAssetSample* s = t.GetNextSample("SFLG", err)) ...
//
// Errors come back through the ZQMF_LIB_ERROR out-parameter and, for operations that return
// a code, as the result too. A returned sample belongs to the timeline and stays valid until
// the next GetNextSample or GetSample call. A timeline is used by one thread at a time;
// nothing it does throws except allocation failures.
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFTIMELINE_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFTIMELINE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zqmftimeline/ZQMFAssetSample.h"
#include "zqmftimeline/ZQMFAssetSource.h"
#include "zqmftimeline/ZQMFAssetSourceVideo.h"
#include "zqmftimeline/ZQMFRational.h"
#include "zqmftimeline/ZQMFTimeRange.h"
#include "zqmftimeline/ZQMFTimelineTypes.h"

class ZQMFTimeline {
 public:
  // Reads MP4 files through ZQMFDefaultVideoSource(), or through `videoFactory` (null: MP4
  // files cannot be opened; a buffer or a photo needs no video source). The default is defined
  // here so that only code that asks for it references the MP4 source, and links it
  // (zqmftimeline_mp4).
  ZQMFTimeline() : ZQMFTimeline(ZQMFDefaultVideoSource) {}
  explicit ZQMFTimeline(ZQMFVideoSourceFactory videoFactory);
  ~ZQMFTimeline();
  ZQMFTimeline(const ZQMFTimeline&) = delete;
  ZQMFTimeline& operator=(const ZQMFTimeline&) = delete;

  // Sources. OpenURI opens an MP4 or JPEG file, takes its time segments and closes it again
  // (Parse reopens it). SetZQMFGlobalBuffer makes the caller's bytes the source; they must
  // stay valid while the timeline uses them (the writable form allows ModifyGlobalSettings).
  ZQMF_LIB_ERROR OpenURI(const std::string& path, ZQMF_LIB_ERROR& error);
  ZQMF_LIB_ERROR SetZQMFGlobalBuffer(const void* bytes, size_t size, ZQMF_LIB_ERROR& error);
  ZQMF_LIB_ERROR SetZQMFGlobalBuffer(void* bytes, size_t size, ZQMF_LIB_ERROR& error);

  // Collects the samples of `keys` (every sample key when empty) that fall in `range` (null:
  // the whole source; the range is widened to whole hundredths of a second and segments
  // without time are always read). Resets earlier samples and cursors. 0; 14 when a requested
  // key occurs nowhere; a parser code for a damaged payload; the open error when nothing
  // could be opened; 1 for a key that is not four characters (the others are still read).
  ZQMF_LIB_ERROR Parse(ZQMF_LIB_ERROR& error, ZQMF_PARSE_TYPE type,
                       const std::vector<std::string>& keys, const ZQMFTimeRange* range);

  // The next sample of `key` (its cursor advances): null at the end with error 0, null with
  // error 5 for a key that was not requested.
  const ZQMFAssetSample* GetNextSample(const std::string& key, ZQMF_LIB_ERROR& error);
  // Sample `index` of `key`; the cursor does not move.
  const ZQMFAssetSample* GetSample(const std::string& key, uint32_t index, ZQMF_LIB_ERROR& error);
  // 1 without a source, 5 for a key that was not requested.
  ZQMF_LIB_ERROR GetSampleCount(const std::string& key, uint32_t& count);

  // The time segments of the source one after the other; at the end error 2.
  ZQMFTimeRange GetNextTimeRange(ZQMF_LIB_ERROR& error);
  ZQMFRational GetTrackDuration(ZQMF_LIB_ERROR& error);
  ZQMFRational GetVideoFrameRateAndCount(ZQMF_LIB_ERROR& error, uint32_t& frameCount);

  // Rewrites record `key` of a writable global buffer in place (same size in words).
  ZQMF_LIB_ERROR ModifyGlobalSettings(ZQMF_LIB_ERROR& error, const std::string& key, uint32_t type,
                                      uint32_t structSize, uint32_t repeat, const void* data);
  // Keeps only the samples of the listed devices (decimal ids; names) at the next Parse; an
  // empty list keeps all. 1 for an id that is not a number.
  ZQMF_LIB_ERROR SetDeviceIds(const std::vector<std::string>& ids, ZQMF_LIB_ERROR& error);
  ZQMF_LIB_ERROR SetDeviceNames(const std::vector<std::string>& names, ZQMF_LIB_ERROR& error);
  // Adds a sample of the caller's (its key becomes requested).
  ZQMF_LIB_ERROR AddSampleToTimeline(ZQMF_LIB_ERROR& error, const ZQMFAssetSample& sample);

  // Writes the collected samples of every requested key, or of `key` alone, to `*out`.
  // JSON: for one key the object {"key":"ACCL","type":"f","samples":[...]}, for all keys an
  // array of them. A sample is {"time":t,"duration":d,"values":[...]} (time and duration null
  // when unknown) whose values hold one entry per structure: an array of its numbers, or a
  // string for text. Text: one line per sample, "KEY time value value ...".
  ZQMF_LIB_ERROR ExportTimeline(ZQMF_LIB_ERROR& error, ZQMF_EXPORT_FILE_TYPE type, std::string* out,
                                const std::string* key = nullptr);

  ZQMFAssetSource& source() { return *source_; }

 private:
  const ZQMFAssetSample* Keep(const ZQMFAssetSample* sample);

  std::unique_ptr<ZQMFAssetSource> source_;
  std::unique_ptr<ZQMFAssetSample> last_;  // the sample handed out last
  ZQMFDeviceFilter filter_;
  uint32_t nextRange_ = 0;
};

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFTIMELINE_H_
