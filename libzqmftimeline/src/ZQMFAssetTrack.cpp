#include "zqmftimeline/ZQMFAssetTrack.h"

#include <algorithm>

#include "zqmf/zqmfParser.h"
#include "zqmftimeline/ZQMFAssetSamples.h"

bool ZQMFDeviceFilter::Accepts(uint32_t id, const std::string& name) const {
  if (!ids.empty() && std::find(ids.begin(), ids.end(), id) == ids.end()) return false;
  return names.empty() || std::find(names.begin(), names.end(), name) != names.end();
}

void ZQMFAssetTrackTimeline::AddAssetTimeSample(ZQMFAssetSample sample) {
  keys_.insert(sample.key);
  std::vector<ZQMFAssetSample>& list = samples_[sample.key];
  if (!list.empty() && sample.startTime < list.back().startTime) sorted_ = false;
  list.push_back(std::move(sample));
}

void ZQMFAssetTrackTimeline::Reset() {
  samples_.clear();
  keys_.clear();
  sorted_ = true;
}

void ZQMFAssetTrackTimeline::Sort() {
  if (sorted_) return;
  for (auto& [key, list] : samples_) {
    std::stable_sort(list.begin(), list.end(),
                     [](const ZQMFAssetSample& a, const ZQMFAssetSample& b) {
                       return a.startTime < b.startTime;
                     });
  }
  sorted_ = true;
}

uint32_t ZQMFAssetTrackTimeline::GetSampleCount(uint32_t key) const {
  const auto it = samples_.find(key);
  return it == samples_.end() ? 0 : static_cast<uint32_t>(it->second.size());
}

const ZQMFAssetSample* ZQMFAssetTrackTimeline::GetSample(uint32_t key, uint32_t index) {
  Sort();
  const auto it = samples_.find(key);
  if (it == samples_.end() || index >= it->second.size()) return nullptr;
  return &it->second[index];
}

std::vector<const ZQMFAssetSample*> ZQMFAssetTrackTimeline::AllSamples() {
  Sort();
  std::vector<const ZQMFAssetSample*> all;
  for (const auto& [key, list] : samples_) {
    for (const ZQMFAssetSample& s : list) all.push_back(&s);
  }
  std::stable_sort(all.begin(), all.end(), [](const ZQMFAssetSample* a, const ZQMFAssetSample* b) {
    return a->startTime < b->startTime;
  });
  return all;
}

ZQMF_LIB_ERROR ZQMFAssetTrackSegment::GetSamples(uint32_t* payload, uint32_t bytes, uint32_t key,
                                                 const ZQMFDeviceFilter& filter,
                                                 ZQMFAssetTrackTimeline* timeline,
                                                 ZQMF_codebook** codebook) const {
  ZQMF_stream ms;
  if (ZQMF_ERROR r = ZQMF_Init(&ms, payload, bytes); r != ZQMF_OK) return r;
  ms.codebook = *codebook;
  ZQMF_LIB_ERROR result = ZQMF_LIB_OK;
  bool found = false;
  // Every occurrence, in every nest; damaged nests are skipped.
  const uint32_t flags = ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT;
  ZQMF_ERROR walk = ZQMF_Key(&ms) == key ? ZQMF_OK : ZQMF_FindNext(&ms, key, flags);
  for (; walk == ZQMF_OK; walk = ZQMF_FindNext(&ms, key, flags)) {
    found = true;
    char name[sizeof(ms.device_name)];
    ZQMF_DeviceName(&ms, name, sizeof(name));
    if (!filter.Accepts(ZQMF_DeviceID(&ms), name)) continue;
    ZQMFAssetSamples samples(start_, end_);
    const ZQMF_LIB_ERROR r = samples.Load(&ms);
    if (r != ZQMF_LIB_OK && result == ZQMF_LIB_OK) result = r;
    ZQMFAssetSample sample;
    while (samples.GetNextSampleSegment(&sample)) timeline->AddAssetTimeSample(std::move(sample));
  }
  *codebook = ms.codebook;  // kept for the next payload instead of being built again
  if (walk == ZQMF_ERROR_BAD_STRUCTURE && result == ZQMF_LIB_OK) result = walk;
  if (!found && result == ZQMF_LIB_OK) result = ZQMF_LIB_ERROR_KEY_NOT_FOUND;
  return result;
}

ZQMF_LIB_ERROR ZQMFAssetTrackSegment::GetKeys(uint32_t* payload, uint32_t bytes,
                                              std::set<uint32_t>* keys) {
  ZQMF_stream ms;
  if (ZQMF_ERROR r = ZQMF_Init(&ms, payload, bytes); r != ZQMF_OK) return r;
  ZQMF_ERROR r;
  while ((r = ZQMF_Next(&ms, ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT)) == ZQMF_OK) {
    const uint32_t key = ZQMF_Key(&ms);
    if (ZQMF_Type(&ms) != 0 && ZQMF_Reserved(key) != ZQMF_ERROR_RESERVED) keys->insert(key);
  }
  return r == ZQMF_ERROR_BUFFER_END ? ZQMF_LIB_OK : r;
}

bool ZQMFAssetTrack::GetSampleTimeRange(double* start, double* end) const {
  bool any = false;
  for (const ZQMFAssetTrackSegment& s : segments_) {
    if (!s.timed()) continue;
    if (!any || s.start() < *start) *start = s.start();
    if (!any || s.end() > *end) *end = s.end();
    any = true;
  }
  return any;
}
