// Extractors of single camera facts from a ZQMF block (a JPEG's block, or a file by path):
// the Spotmark flag ("SFLG"), the time-zone offset ("TZON"), the media type ("MTYP") and the
// lens projection ("PRJT"). Each owns a timeline over the block, takes the first sample of
// its key and keeps the converted value; a block without the key leaves the default.
//
// init results (ZQMFParseError): 0 (also when the key is missing or the timeline found damage,
// see timelineError()); 1 for a null buffer, size 0 or an empty path; 2 when the file cannot
// be opened as a source; 3 (Spotmark) when the sample holds no value; 4 when the value has a
// type the extractor cannot read. An extractor is used by one thread at a time.
#ifndef ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFPARSERS_H_
#define ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFPARSERS_H_

#include <cstdint>
#include <memory>
#include <string>

#include "zqmf/ZQMediaEnums.h"
#include "zqmftimeline/ZQMFAssetSourceVideo.h"
#include "zqmftimeline/ZQMFTimelineTypes.h"

class ZQMFTimeline;
struct ZQMFAssetSample;

enum ZQMFParseError : int32_t {
  ZQMF_PARSE_OK = 0,
  ZQMF_PARSE_INVALID_ARGUMENT = 1,
  ZQMF_PARSE_OPEN_FAILED = 2,
  ZQMF_PARSE_NO_VALUE = 3,
  ZQMF_PARSE_BAD_VALUE = 4,
  ZQMF_PARSE_NOT_INITIALIZED = 5,
  ZQMF_PARSE_TIMELINE = 6,
};

// The time-zone offset before one is known.
inline constexpr int16_t kZQMFTimeZoneUnknown = 32767;

class ZQMFParserBaseClass {
 public:
  // init(path) reads MP4 files through `videoFactory`; null when only blocks in memory and
  // photos are read, which keeps the MP4 library out of the program (see ZQMFTimeline).
  explicit ZQMFParserBaseClass(ZQMFVideoSourceFactory videoFactory = ZQMFDefaultVideoSource);
  virtual ~ZQMFParserBaseClass();
  ZQMFParserBaseClass(const ZQMFParserBaseClass&) = delete;
  ZQMFParserBaseClass& operator=(const ZQMFParserBaseClass&) = delete;

  // Reads the block `buffer` (borrowed only during the call) and extracts at once.
  virtual int32_t init(const void* buffer, uint32_t size);
  // Opens the file at `path` (MP4 or JPEG) and extracts from the ZQMF `parseType` names.
  virtual int32_t init(const std::string& path, ZQMF_PARSE_TYPE parseType);
  virtual bool beenInitialized() const { return initialized_; }

  ZQMF_PARSE_TYPE parseType() const { return parseType_; }
  // What the timeline reported when it read the block (0, 14 for a missing key, ...).
  ZQMF_LIB_ERROR timelineError() const { return timelineError_; }

 protected:
  virtual const std::string& Key() const = 0;
  // Converts the first sample of the key; the result stays at its default on failure.
  virtual int32_t Take(const ZQMFAssetSample& sample) = 0;
  virtual void Reset() = 0;  // the result back to its default

 private:
  int32_t Extract();

  ZQMFVideoSourceFactory videoFactory_;
  const void* buffer_ = nullptr;  // borrowed
  uint32_t size_ = 0;
  std::string path_;
  std::unique_ptr<ZQMFTimeline> timeline_;
  ZQMF_PARSE_TYPE parseType_ = ZQMF_PARSE_GLOBAL_BUFFER;
  ZQMF_LIB_ERROR timelineError_ = 0;
  bool initialized_ = false;
};

class ZQMFParserSpotmarkFlag final : public ZQMFParserBaseClass {
 public:
  using ZQMFParserBaseClass::ZQMFParserBaseClass;
  bool spotmarkFlag() const { return flag_; }  // the first value equals 1

 protected:
  const std::string& Key() const override;
  int32_t Take(const ZQMFAssetSample& sample) override;
  void Reset() override { flag_ = false; }

 private:
  bool flag_ = false;
};

class ZQMFTimeZoneOffsetParser final : public ZQMFParserBaseClass {
 public:
  using ZQMFParserBaseClass::ZQMFParserBaseClass;
  // Minutes east of UTC, kept only within -720..840; kZQMFTimeZoneUnknown otherwise.
  int16_t timeZoneOffset() const { return offset_; }
  // "+05:30" for 330, "" while unknown.
  std::string timeZoneOffsetText() const;

 protected:
  const std::string& Key() const override;
  int32_t Take(const ZQMFAssetSample& sample) override;
  void Reset() override { offset_ = kZQMFTimeZoneUnknown; }

 private:
  int16_t offset_ = kZQMFTimeZoneUnknown;
};

class ZQMFParserMediaType final : public ZQMFParserBaseClass {
 public:
  using ZQMFParserBaseClass::ZQMFParserBaseClass;
  ZQMFMediaType mediaType() const { return type_; }

 protected:
  const std::string& Key() const override;
  int32_t Take(const ZQMFAssetSample& sample) override;
  void Reset() override { type_ = ZQMF_MEDIA_TYPE_UNKNOWN; }

 private:
  ZQMFMediaType type_ = ZQMF_MEDIA_TYPE_UNKNOWN;
};

class ZQMFParserLensProjection final : public ZQMFParserBaseClass {
 public:
  using ZQMFParserBaseClass::ZQMFParserBaseClass;
  ZQMFLensProjection lensProjection() const { return projection_; }
  // The four-character code as recorded ("" when none was found).
  const std::string& lensProjectionCode() const { return code_; }

 protected:
  const std::string& Key() const override;
  int32_t Take(const ZQMFAssetSample& sample) override;
  void Reset() override {
    projection_ = ZQMF_LENS_PROJECTION_NONE;
    code_.clear();
  }

 private:
  ZQMFLensProjection projection_ = ZQMF_LENS_PROJECTION_NONE;
  std::string code_;
};

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFPARSERS_H_
