#include "zqmftimeline/ZQMFTimeline.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "zqmf/zqmfParser.h"
#include "zqmf/zqmfText.h"

namespace {

void AppendTime(std::string* out, double t) {
  if (t == kZQMFNoTime) {
    out->append("null");
  } else {
    zqmf_format_element(out, reinterpret_cast<const uint8_t*>(&t), 'd', true);
  }
}

// One structure of a sample: a string for text, else the list of its elements.
void AppendStructure(std::string* out, const ZQMFAssetSample& s, const std::string& types,
                     uint32_t structure, bool json) {
  const uint8_t* p = s.data.data() + static_cast<size_t>(structure) * s.structSize;
  if (s.type == 'c') {
    zqmf_format_text(out, reinterpret_cast<const char*>(p), s.structSize);
    return;
  }
  if (json) out->push_back('[');
  for (size_t e = 0; e < types.size(); e++) {
    if (e > 0) out->push_back(json ? ',' : ' ');
    const uint32_t t = static_cast<uint8_t>(types[e]);
    zqmf_format_element(out, p, t, json);
    p += ZQMF_SizeofType(t);
  }
  if (json) out->push_back(']');
}

void AppendValues(std::string* out, const ZQMFAssetSample& s, bool json) {
  const std::string types = s.type == 'c' ? std::string() : s.ElementTypes();
  if (s.type != 'c' && (types.empty() || s.structSize * s.repeat > s.data.size())) {
    out->append(json ? "[]" : "-");  // values this build cannot describe
    return;
  }
  if (json) out->push_back('[');
  for (uint32_t k = 0; k < s.repeat; k++) {
    if (k > 0) out->append(json ? "," : " | ");
    AppendStructure(out, s, types, k, json);
  }
  if (json) out->push_back(']');
}

void AppendKeyJson(std::string* out, ZQMFAssetTrackTimeline& timeline, uint32_t key) {
  const ZQMFAssetSample* first = timeline.GetSample(key, 0);
  out->append("{\"key\":");
  zqmf_format_text(out, zqmf_key_text(key).c_str(), 4);
  out->append(",\"type\":");
  const char type = first ? static_cast<char>(first->type) : '\0';
  zqmf_format_text(out, &type, first ? 1 : 0);
  out->append(",\"samples\":[");
  for (uint32_t i = 0;; i++) {
    const ZQMFAssetSample* s = timeline.GetSample(key, i);
    if (s == nullptr) break;
    if (i > 0) out->push_back(',');
    out->append("{\"time\":");
    AppendTime(out, s->startTime);
    out->append(",\"duration\":");
    AppendTime(out, s->startTime == kZQMFNoTime ? kZQMFNoTime : s->endTime - s->startTime);
    out->append(",\"values\":");
    AppendValues(out, *s, true);
    out->push_back('}');
  }
  out->append("]}");
}

}  // namespace

ZQMFTimeline::ZQMFTimeline(ZQMFVideoSourceFactory videoFactory)
    : source_(std::make_unique<ZQMFAssetSource>(std::move(videoFactory))) {}

ZQMFTimeline::~ZQMFTimeline() = default;

ZQMF_LIB_ERROR ZQMFTimeline::OpenURI(const std::string& path, ZQMF_LIB_ERROR& error) {
  last_.reset();
  nextRange_ = 0;
  source_->Init();
  return error = source_->Open(path);
}

ZQMF_LIB_ERROR ZQMFTimeline::SetZQMFGlobalBuffer(const void* bytes, size_t size,
                                                 ZQMF_LIB_ERROR& error) {
  last_.reset();
  nextRange_ = 0;
  source_->Init();
  return error = source_->SetGlobalBuffer(bytes, size, nullptr);
}

ZQMF_LIB_ERROR ZQMFTimeline::SetZQMFGlobalBuffer(void* bytes, size_t size, ZQMF_LIB_ERROR& error) {
  last_.reset();
  nextRange_ = 0;
  source_->Init();
  return error = source_->SetGlobalBuffer(bytes, size, bytes);
}

ZQMF_LIB_ERROR ZQMFTimeline::Parse(ZQMF_LIB_ERROR& error, ZQMF_PARSE_TYPE type,
                                   const std::vector<std::string>& keys,
                                   const ZQMFTimeRange* range) {
  last_.reset();
  source_->SetDeviceFilter(filter_);
  return error = source_->Parse(keys, type, range);
}

const ZQMFAssetSample* ZQMFTimeline::Keep(const ZQMFAssetSample* sample) {
  if (sample == nullptr) {
    last_.reset();
    return nullptr;
  }
  last_ = std::make_unique<ZQMFAssetSample>(*sample);
  return last_.get();
}

const ZQMFAssetSample* ZQMFTimeline::GetNextSample(const std::string& key, ZQMF_LIB_ERROR& error) {
  return Keep(source_->NextSample(key, &error));
}

const ZQMFAssetSample* ZQMFTimeline::GetSample(const std::string& key, uint32_t index,
                                               ZQMF_LIB_ERROR& error) {
  return Keep(source_->SampleAt(key, index, &error));
}

ZQMF_LIB_ERROR ZQMFTimeline::GetSampleCount(const std::string& key, uint32_t& count) {
  return source_->GetSampleCount(key, &count);
}

ZQMFTimeRange ZQMFTimeline::GetNextTimeRange(ZQMF_LIB_ERROR& error) {
  const std::vector<ZQMFAssetTrackSegment>& segments = source_->GetTimeSegments();
  if (nextRange_ >= segments.size()) {
    error = ZQMF_LIB_ERROR_NO_SAMPLE;
    return ZQMFTimeRange();
  }
  const ZQMFAssetTrackSegment& s = segments[nextRange_++];
  error = ZQMF_LIB_OK;
  return ZQMFTimeRange(s.start(), s.timed() ? s.end() - s.start() : 0);
}

ZQMFRational ZQMFTimeline::GetTrackDuration(ZQMF_LIB_ERROR& error) {
  error = source_->GetFiletype() == ZQMF_FILE_NONE ? ZQMF_LIB_ERROR_NO_SAMPLE : ZQMF_LIB_OK;
  return source_->GetAssetDuration();
}

ZQMFRational ZQMFTimeline::GetVideoFrameRateAndCount(ZQMF_LIB_ERROR& error, uint32_t& frameCount) {
  ZQMFRational rate;
  frameCount = 0;
  error = source_->GetVideoFrameRateAndCount(&rate, &frameCount);
  return rate;
}

ZQMF_LIB_ERROR ZQMFTimeline::ModifyGlobalSettings(ZQMF_LIB_ERROR& error, const std::string& key,
                                                  uint32_t type, uint32_t structSize,
                                                  uint32_t repeat, const void* data) {
  if (key.size() != 4) return error = ZQMF_ERROR_MEMORY;
  uint32_t word;
  memcpy(&word, key.data(), 4);
  return error = source_->ModifyGlobalBuffer(word, type, structSize, repeat, data);
}

ZQMF_LIB_ERROR ZQMFTimeline::SetDeviceIds(const std::vector<std::string>& ids,
                                          ZQMF_LIB_ERROR& error) {
  std::vector<uint32_t> parsed;
  for (const std::string& id : ids) {
    char* end = nullptr;
    errno = 0;
    const unsigned long v = strtoul(id.c_str(), &end, 10);
    if (id.empty() || *end != '\0' || errno != 0 || v > UINT32_MAX || id[0] == '-') {
      return error = ZQMF_ERROR_MEMORY;
    }
    parsed.push_back(static_cast<uint32_t>(v));
  }
  filter_.ids = std::move(parsed);
  return error = ZQMF_LIB_OK;
}

ZQMF_LIB_ERROR ZQMFTimeline::SetDeviceNames(const std::vector<std::string>& names,
                                            ZQMF_LIB_ERROR& error) {
  filter_.names = names;
  return error = ZQMF_LIB_OK;
}

ZQMF_LIB_ERROR ZQMFTimeline::AddSampleToTimeline(ZQMF_LIB_ERROR& error,
                                                 const ZQMFAssetSample& sample) {
  source_->AddSample(sample);
  return error = ZQMF_LIB_OK;
}

ZQMF_LIB_ERROR ZQMFTimeline::ExportTimeline(ZQMF_LIB_ERROR& error, ZQMF_EXPORT_FILE_TYPE type,
                                            std::string* out, const std::string* key) {
  if (out == nullptr || (type != ZQMF_EXPORT_TEXT && type != ZQMF_EXPORT_JSON)) {
    return error = ZQMF_ERROR_MEMORY;
  }
  std::vector<uint32_t> keys;
  if (key != nullptr) {
    if (key->size() != 4) return error = ZQMF_ERROR_MEMORY;
    uint32_t word;
    memcpy(&word, key->data(), 4);
    keys.push_back(word);
  } else {
    keys = source_->RequestedKeys();
  }
  ZQMFAssetTrackTimeline& timeline = source_->timeline();
  out->clear();
  if (type == ZQMF_EXPORT_JSON) {
    if (key == nullptr) out->push_back('[');
    for (size_t i = 0; i < keys.size(); i++) {
      if (i > 0) out->push_back(',');
      AppendKeyJson(out, timeline, keys[i]);
    }
    if (key == nullptr) out->push_back(']');
    out->push_back('\n');
    return error = ZQMF_LIB_OK;
  }
  for (uint32_t k : keys) {
    for (uint32_t i = 0;; i++) {
      const ZQMFAssetSample* s = timeline.GetSample(k, i);
      if (s == nullptr) break;
      out->append(zqmf_key_text(k));
      out->push_back(' ');
      if (s->startTime == kZQMFNoTime) {
        out->push_back('-');
      } else {
        AppendTime(out, s->startTime);
      }
      out->push_back(' ');
      AppendValues(out, *s, false);
      out->push_back('\n');
    }
  }
  return error = ZQMF_LIB_OK;
}
