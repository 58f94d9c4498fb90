// A source of ZQMF for the timeline: an MP4 recording (its telemetry track and the ZQMF atom
// of its user data), a JPEG photo, or a caller's buffer. It owns the concrete source, the
// time segments of what is open, the requested keys with their read cursors, and the samples
// collected for them.
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCE_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCE_H_

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "zqmftimeline/ZQMFAssetSourceGlobalBuffer.h"
#include "zqmftimeline/ZQMFAssetSourceImage.h"
#include "zqmftimeline/ZQMFAssetSourceVideo.h"
#include "zqmftimeline/ZQMFAssetTrack.h"
#include "zqmftimeline/ZQMFRational.h"
#include "zqmftimeline/ZQMFTimeRange.h"
#include "zqmftimeline/ZQMFTimelineTypes.h"

class ZQMFAssetSource {
 public:
  explicit ZQMFAssetSource(ZQMFVideoSourceFactory videoFactory);
  ~ZQMFAssetSource();
  ZQMFAssetSource(const ZQMFAssetSource&) = delete;
  ZQMFAssetSource& operator=(const ZQMFAssetSource&) = delete;

  // Tells the file's type from its first bytes (MP4 or JPEG), opens its ZQMF as the parse
  // type says (the telemetry track, else the user data, for type 0), takes the time segments
  // and closes the file. 2 when the file holds no ZQMF this build can read (or is neither an
  // MP4 nor a JPEG), 1 when it cannot be read.
  ZQMF_LIB_ERROR Open(const std::string& path);
  // The telemetry track of a recording (parse types 0 and 2; 2 otherwise), or an image's
  // block. The user-data atom of a recording (parse types 0 and 1; does nothing otherwise).
  ZQMF_LIB_ERROR OpenZQMF(const std::string& path);
  ZQMF_LIB_ERROR OpenUDTA(const std::string& path);
  // Makes `bytes` the source (borrowed); `writable` (may be null) allows Modify.
  ZQMF_LIB_ERROR SetGlobalBuffer(const void* bytes, size_t size, void* writable);
  // Closes what is open; the time segments and samples stay.
  void Close();
  // Forgets the requested keys and the collected samples.
  void Init();

  // Collects the samples of `keys` (all keys when empty) within `range` (null: everything)
  // from the ZQMF the parse type names; resets keys, cursors and samples first. 0; 14 when a
  // requested key occurs nowhere; a parser code when a payload is damaged; the open error
  // when nothing could be opened.
  ZQMF_LIB_ERROR Parse(const std::vector<std::string>& keys, ZQMF_PARSE_TYPE type,
                       const ZQMFTimeRange* range);
  ZQMF_LIB_ERROR Read(const ZQMFTimeRange* range);
  ZQMF_LIB_ERROR ReadAllTracks();
  ZQMF_LIB_ERROR ReadTracks(uint32_t key, double start, double end);

  // Walking the samples of a requested key. 5 for a key that was not requested; at the end,
  // null with 0.
  const ZQMFAssetSample* NextSample(const std::string& key, ZQMF_LIB_ERROR* error);
  const ZQMFAssetSample* SampleAt(const std::string& key, uint32_t index, ZQMF_LIB_ERROR* error);
  ZQMF_LIB_ERROR GetSampleCount(const std::string& key, uint32_t* count);
  ZQMFAssetTrackTimeline& timeline() { return track_.timeline(); }
  // Adds a sample made elsewhere; its key becomes requested.
  void AddSample(const ZQMFAssetSample& sample);
  // The requested keys in the order given.
  std::vector<uint32_t> RequestedKeys() const;

  const std::vector<ZQMFAssetTrackSegment>& GetTimeSegments() const { return track_.segments(); }
  ZQMF_FILE_TYPE GetFiletype() const { return fileType_; }
  uint32_t GetPayloadCount();
  ZQMF_LIB_ERROR GetPayload(std::vector<uint32_t>* words, uint32_t* bytes, uint32_t index);
  uint32_t GetPayloadSize(uint32_t index);
  ZQMF_LIB_ERROR GetPayloadTime(uint32_t index, double* start, double* end);
  // Samples per second of a key over the span of its timed samples (0 when it has none).
  ZQMFRational GetSampleRate(const std::string& key);
  ZQMFRational GetSampleRate(const std::string& key, double* start, double* end);
  ZQMFRational GetAssetDuration() const { return duration_; }
  ZQMF_LIB_ERROR GetVideoFrameRateAndCount(ZQMFRational* rate, uint32_t* frames) const;

  void SetParseType(ZQMF_PARSE_TYPE type) { parseType_ = type; }
  ZQMF_PARSE_TYPE GetParseType() const { return parseType_; }
  void SetDeviceFilter(const ZQMFDeviceFilter& filter) { filter_ = filter; }
  ZQMF_LIB_ERROR ModifyGlobalBuffer(uint32_t key, uint32_t type, uint32_t structSize,
                                    uint32_t repeat, const void* data);

 private:
  enum class Opened { kNone, kVideo, kImage, kBuffer };
  struct Cursor {
    uint32_t key;
    uint32_t next;
  };

  ZQMF_LIB_ERROR TakeSegments();
  void GatherKeys();  // all sample keys of the open payloads become requested
  ZQMF_LIB_ERROR ReadSegments(const std::vector<uint32_t>& keys, double start, double end);
  Cursor* FindCursor(const std::string& key);
  void NoteRead(uint32_t key, ZQMF_LIB_ERROR r);

  ZQMFVideoSourceFactory videoFactory_;
  std::string path_;
  ZQMF_FILE_TYPE fileType_ = ZQMF_FILE_NONE;
  ZQMF_PARSE_TYPE parseType_ = ZQMF_PARSE_TRACK_THEN_UDTA;
  ZQMFDeviceFilter filter_;
  std::unique_ptr<ZQMFAssetSourceVideo> video_;
  std::unique_ptr<ZQMFAssetSourceImage> image_;
  std::unique_ptr<ZQMFAssetSourceGlobalBuffer> buffer_;
  Opened open_ = Opened::kNone;
  std::vector<ZQMFAssetTrackSegment> openSegments_;  // of what is open now
  ZQMFAssetTrack track_;                             // segments as Open found them
  std::vector<Cursor> keys_;
  bool allKeys_ = false;
  std::set<uint32_t> found_;                 // requested keys met during the current Parse
  ZQMF_LIB_ERROR readError_ = 0;             // first payload failure of the current Parse
  std::unique_ptr<ZQMF_codebook> codebook_;  // shared by every payload read
  ZQMFRational duration_;
  ZQMFRational frameRate_;
  uint32_t frameCount_ = 0;
};

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCE_H_
