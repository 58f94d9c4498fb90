#include "zqmftimeline/ZQMFAssetSamples.h"

#include <cstring>

#include "zqcommon/zqByteOrder.h"

namespace {

constexpr uint32_t kGPS5 = ZQMF_Key4CC("GPS5");

bool Structural(uint32_t key) {
  return key == ZQMF_Key4CC("DEVC") || key == ZQMF_Key4CC("DVID") || key == ZQMF_Key4CC("DVNM") ||
         key == ZQMF_Key4CC("STRM");
}

// The nearest preceding record `key` of the same nest, left on it in `*found`. The copy does
// not share the state's codebook, so that freeing what it allocates leaves the state's alone.
bool Preceding(const ZQMF_stream* ms, uint32_t key, ZQMF_stream* found) {
  *found = *ms;
  found->codebook = nullptr;
  return ZQMF_FindPrev(found, key, ZQMF_CURRENT_LEVEL | ZQMF_TOLERANT) == ZQMF_OK;
}

// The numbers of a small record (a scale), converted from its own type without any scaling
// of their own.
std::vector<double> Numbers(ZQMF_stream* ms) {
  std::vector<double> out;
  const uint32_t type = ZQMF_Type(ms);
  const uint32_t size = ZQMF_SizeofType(type);
  uint32_t room = ZQMF_FormattedDataSize(ms);
  if (size == 0 || room == 0 || room > 4096) return out;
  uint32_t expanded = 0;
  if (ZQMF_DecompressedSize(ms, &expanded) == ZQMF_OK && expanded > room) room = expanded;
  std::vector<uint8_t> host(room);
  if (ZQMF_FormattedData(ms, host.data(), room, 0, ZQMF_Repeat(ms)) != ZQMF_OK) return out;
  const uint32_t n = ZQMF_FormattedDataSize(ms) / size;
  for (uint32_t i = 0; i < n; i++) {
    double v = 0;
    if (!ZQMFHostNumber(host.data() + static_cast<size_t>(i) * size, type, &v)) return {};
    out.push_back(v);
  }
  return out;
}

// The first `n` payload bytes of the record as a big-endian unsigned number.
uint64_t LeadingValue(const ZQMF_stream* ms, uint32_t n) {
  const uint8_t* b = static_cast<const uint8_t*>(ZQMF_RawData(ms));
  return zq_load_be(b, n);
}

}  // namespace

ZQMF_LIB_ERROR ZQMFAssetSamples::Load(ZQMF_stream* ms) {
  count_ = 0;
  next_ = 0;
  values_.clear();
  const uint32_t key = ZQMF_Key(ms);
  const uint32_t type = ZQMF_Type(ms);
  const uint32_t repeat = ZQMF_Repeat(ms);
  if (Structural(key) || type == 0 || ZQMF_RawDataSize(ms) == 0 || repeat == 0) return ZQMF_LIB_OK;

  ZQMFAssetSample& p = proto_;
  p = ZQMFAssetSample{};
  p.key = key;
  p.type = type;
  p.structSize = ZQMF_StructSize(ms);
  p.payloadSampleCount = ZQMF_PayloadSampleCount(ms);
  p.elementsInStruct = ZQMF_ElementsInStruct(ms);
  p.nestLevel = ZQMF_NestLevel(ms);
  p.deviceId = ZQMF_DeviceID(ms);
  char name[sizeof(ms->device_name)];
  if (ZQMF_DeviceName(ms, name, sizeof(name)) == ZQMF_OK) p.deviceName = name;

  // Facts of the enclosing stream. Scale, timestamps and counts are read without the
  // stream's own scale (their nest may hold one for the samples).
  ZQMF_stream s;
  if (type == '?' && Preceding(ms, ZQMF_Key4CC("TYPE"), &s)) {
    p.typeDescription.assign(static_cast<const char*>(ZQMF_RawData(&s)), ZQMF_RawDataSize(&s));
    p.typeDescription.resize(strnlen(p.typeDescription.c_str(), p.typeDescription.size()));
  }
  std::vector<double> scale;
  if (Preceding(ms, ZQMF_Key4CC("SCAL"), &s)) {
    scale = Numbers(&s);
    ZQMF_Free(&s);
  }
  if (Preceding(ms, ZQMF_Key4CC("TSMP"), &s) && ZQMF_RawDataSize(&s) >= 4) {
    p.totalSamples = static_cast<uint32_t>(LeadingValue(&s, 4));
  }
  if (Preceding(ms, ZQMF_Key4CC("STMP"), &s) && ZQMF_RawDataSize(&s) >= 8) {
    p.timestamp = LeadingValue(&s, 8);
  }

  bool scaled = false;
  ZQMF_LIB_ERROR result = ZQMF_LIB_OK;
  bool unit_scale = true;
  for (double d : scale) unit_scale = unit_scale && d == 1.0;
  if (!unit_scale && type != '?') {
    const uint32_t out_type = key == kGPS5 ? 'd' : 'f';
    const uint32_t size = ZQMF_ScaledDataSize(ms, out_type);
    values_.resize(size);
    const ZQMF_ERROR r = ZQMF_ScaledData(ms, values_.data(), size, 0, repeat, out_type);
    if (r == ZQMF_OK && size != 0) {
      scaled = true;
      p.type = out_type;
      p.structSize = p.elementsInStruct * ZQMF_SizeofType(out_type);
      p.scale = {1.0};
    } else {
      result = r == ZQMF_OK ? static_cast<ZQMF_LIB_ERROR>(ZQMF_ERROR_TYPE_NOT_SUPPORTED) : r;
    }
  }
  if (!scaled) {
    uint32_t room = ZQMF_FormattedDataSize(ms);
    uint32_t expanded = 0;
    if (ZQMF_DecompressedSize(ms, &expanded) == ZQMF_OK && expanded > room) room = expanded;
    values_.resize(room);
    const ZQMF_ERROR r = ZQMF_FormattedData(ms, values_.data(), room, 0, repeat);
    if (r != ZQMF_OK) {
      values_.clear();
      return r;
    }
    values_.resize(static_cast<size_t>(p.structSize) * repeat);
    p.scale = scale;
  }

  whole_ = type == '?' || type == 'u' || type == 'c' || start_ == kZQMFNoTime;
  const double span = end_ - start_;
  p.sampleRate =
      ZQMFRational::Double2Rational(start_ != kZQMFNoTime && span > 0.001 ? repeat / span : 1.0);
  p.repeat = whole_ ? repeat : 1;
  count_ = whole_ ? 1 : repeat;
  return result;
}

bool ZQMFAssetSamples::GetNextSampleSegment(ZQMFAssetSample* sample) {
  if (sample == nullptr || next_ >= count_) return false;
  *sample = proto_;
  const size_t size = static_cast<size_t>(proto_.structSize) * proto_.repeat;
  const size_t at = static_cast<size_t>(next_) * size;
  sample->data.assign(values_.begin() + static_cast<std::ptrdiff_t>(at),
                      values_.begin() + static_cast<std::ptrdiff_t>(at + size));
  if (start_ == kZQMFNoTime) {
    sample->startTime = kZQMFNoTime;
    sample->endTime = kZQMFNoTime;
  } else if (whole_) {
    sample->startTime = start_;
    sample->endTime = end_;
  } else {
    const double step = (end_ - start_) / count_;
    sample->startTime = start_ + next_ * step;
    sample->endTime = sample->startTime + step;
  }
  next_++;
  return true;
}
