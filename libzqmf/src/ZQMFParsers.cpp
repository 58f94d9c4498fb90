#include "zqmf/ZQMFParsers.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "zqmftimeline/ZQMFTimeline.h"

ZQMFParserBaseClass::ZQMFParserBaseClass(ZQMFVideoSourceFactory videoFactory)
    : videoFactory_(std::move(videoFactory)) {}
ZQMFParserBaseClass::~ZQMFParserBaseClass() = default;

int32_t ZQMFParserBaseClass::init(const void* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return ZQMF_PARSE_INVALID_ARGUMENT;
  buffer_ = buffer;
  size_ = size;
  path_.clear();
  parseType_ = ZQMF_PARSE_GLOBAL_BUFFER;
  timeline_ = std::make_unique<ZQMFTimeline>(videoFactory_);
  ZQMF_LIB_ERROR error = ZQMF_LIB_OK;
  timeline_->SetZQMFGlobalBuffer(buffer_, size_, error);
  initialized_ = true;
  if (error != ZQMF_LIB_OK) {
    timelineError_ = error;
    Reset();
    return ZQMF_PARSE_OK;
  }
  return Extract();
}

int32_t ZQMFParserBaseClass::init(const std::string& path, ZQMF_PARSE_TYPE parseType) {
  if (path.empty()) return ZQMF_PARSE_INVALID_ARGUMENT;
  buffer_ = nullptr;
  size_ = 0;
  path_ = path;
  parseType_ = parseType;
  timeline_ = std::make_unique<ZQMFTimeline>(videoFactory_);
  initialized_ = true;
  ZQMF_LIB_ERROR error = ZQMF_LIB_OK;
  timeline_->source().SetParseType(parseType);
  if (timeline_->OpenURI(path_, error) != ZQMF_LIB_OK) {
    timelineError_ = error;
    Reset();
    return ZQMF_PARSE_OPEN_FAILED;
  }
  return Extract();
}

int32_t ZQMFParserBaseClass::Extract() {
  Reset();
  ZQMF_LIB_ERROR error = ZQMF_LIB_OK;
  timelineError_ = timeline_->Parse(error, parseType_, {Key()}, nullptr);
  const ZQMFAssetSample* sample = timeline_->GetNextSample(Key(), error);
  if (sample == nullptr) return ZQMF_PARSE_OK;  // no such key: the default stands
  return Take(*sample);
}

const std::string& ZQMFParserSpotmarkFlag::Key() const {
  static const std::string key("SFLG");
  return key;
}

int32_t ZQMFParserSpotmarkFlag::Take(const ZQMFAssetSample& sample) {
  if (sample.data.empty()) return ZQMF_PARSE_NO_VALUE;
  int64_t value = 0;
  if (!sample.Integer(0, 0, &value)) return ZQMF_PARSE_BAD_VALUE;
  flag_ = value == 1;
  return ZQMF_PARSE_OK;
}

const std::string& ZQMFTimeZoneOffsetParser::Key() const {
  static const std::string key("TZON");
  return key;
}

int32_t ZQMFTimeZoneOffsetParser::Take(const ZQMFAssetSample& sample) {
  int64_t value = 0;
  if (!sample.Integer(0, 0, &value)) return ZQMF_PARSE_BAD_VALUE;
  if (value + 720 >= 0 && value + 720 <= 1560) offset_ = static_cast<int16_t>(value);
  return ZQMF_PARSE_OK;
}

std::string ZQMFTimeZoneOffsetParser::timeZoneOffsetText() const {
  if (offset_ == kZQMFTimeZoneUnknown) return {};
  const int magnitude = offset_ < 0 ? -offset_ : offset_;
  char text[8];
  snprintf(text, sizeof(text), "%c%02d:%02d", offset_ < 0 ? '-' : '+', magnitude / 60,
           magnitude % 60);
  return text;
}

const std::string& ZQMFParserMediaType::Key() const {
  static const std::string key("MTYP");
  return key;
}

int32_t ZQMFParserMediaType::Take(const ZQMFAssetSample& sample) {
  int64_t raw = 0;
  if (!sample.Integer(0, 0, &raw)) return ZQMF_PARSE_BAD_VALUE;
  type_ = ZQMFMediaTypeFromRaw(raw);
  return ZQMF_PARSE_OK;
}

const std::string& ZQMFParserLensProjection::Key() const {
  static const std::string key("PRJT");
  return key;
}

int32_t ZQMFParserLensProjection::Take(const ZQMFAssetSample& sample) {
  // A four-character code: 'F' keeps its bytes as stored, and so does text.
  if ((sample.type != 'F' && sample.type != 'c') || sample.data.size() < 4) {
    return ZQMF_PARSE_BAD_VALUE;
  }
  code_.assign(reinterpret_cast<const char*>(sample.data.data()), 4);
  projection_ = ZQMFLensProjectionFromCode(code_.data());
  return ZQMF_PARSE_OK;
}
