// The trimming helpers of QuickTime64FileUtilities: sample indices from times, times from
// indices, alignment to groups of pictures, and trimmed copies of the tables.
#include <algorithm>
#include <cmath>

#include "quicktime64/QuickTime64FileUtilities.h"

namespace {

using Table = QuickTime64FileUtilities::TimeToSampleTable;

// The index of the sample whose interval holds `t`; the sample count when none does.
uint64_t IndexAt(const Table& stts, uint64_t t, bool* pastEnd) {
  uint64_t start = 0, index = 0;
  for (const auto& run : stts) {
    uint64_t span = uint64_t{run.SampleCount()} * run.SampleDuration();
    if (run.SampleDuration() != 0 && t < start + span) {
      *pastEnd = false;
      return index + (t - start) / run.SampleDuration();
    }
    start += span;
    index += run.SampleCount();
  }
  *pastEnd = true;
  return index;
}

uint64_t TimeOf(double seconds, uint32_t timeScale) {
  double t = std::trunc(seconds * timeScale);
  return t <= 0 ? 0 : static_cast<uint64_t>(t);
}

uint32_t Clamp32(uint64_t v) { return static_cast<uint32_t>(std::min<uint64_t>(v, UINT32_MAX)); }

}  // namespace

uint32_t QuickTime64FileUtilities::findClosestIndexEarlierThanTime(const TimeToSampleTable& stts,
                                                                   double seconds,
                                                                   uint32_t timeScale) {
  bool pastEnd = false;
  return Clamp32(IndexAt(stts, TimeOf(seconds, timeScale), &pastEnd));
}

uint32_t QuickTime64FileUtilities::findClosestIndexLaterThanTime(const TimeToSampleTable& stts,
                                                                 double seconds,
                                                                 uint32_t timeScale) {
  bool pastEnd = false;
  uint64_t index = IndexAt(stts, TimeOf(seconds, timeScale), &pastEnd);
  return Clamp32(pastEnd ? index : index + 1);
}

double QuickTime64FileUtilities::findTimeAtIndex(const TimeToSampleTable& stts, uint32_t index,
                                                 uint32_t timeScale) {
  if (timeScale == 0) return 0.0;
  uint64_t total = 0, left = index;
  for (const auto& run : stts) {
    uint64_t n = std::min<uint64_t>(left, run.SampleCount());
    total += n * run.SampleDuration();
    left -= n;
    if (left == 0) break;
  }
  return static_cast<double>(total) / timeScale;
}

uint32_t QuickTime64FileUtilities::findSampleDurationAtIndex(const TimeToSampleTable& stts,
                                                             uint32_t index) {
  uint64_t left = index;
  for (const auto& run : stts) {
    if (left < run.SampleCount()) return run.SampleDuration();
    left -= run.SampleCount();
  }
  return 0;
}

uint32_t QuickTime64FileUtilities::findGopAlignedIndexSmallerThanSampleIndex(
    const std::set<uint32_t>& sync, uint32_t index, uint32_t limit) {
  uint32_t last = limit == 0 ? 0 : limit - 1;
  if (sync.empty()) return index < limit ? index : last;
  uint64_t number = uint64_t{index} + 1;
  auto after = sync.upper_bound(static_cast<uint32_t>(std::min<uint64_t>(number, UINT32_MAX)));
  uint32_t found = after == sync.begin() ? *sync.begin() : *std::prev(after);
  uint32_t result = found == 0 ? 0 : found - 1;
  return result < limit ? result : last;
}

uint32_t QuickTime64FileUtilities::findGopAlignedIndexGreaterThanSampleIndex(
    const std::set<uint32_t>& sync, uint32_t index, uint32_t limit) {
  if (sync.empty()) return index == 0 ? 1 : Clamp32(std::min<uint64_t>(uint64_t{index} + 1, limit));
  uint64_t number = uint64_t{index} + 1;
  auto next = number >= UINT32_MAX ? sync.end() : sync.upper_bound(static_cast<uint32_t>(number));
  uint32_t result = next == sync.end() ? limit : std::min(*next - 1, limit);
  return std::max<uint32_t>(result, 1);
}

uint32_t QuickTime64FileUtilities::findClosestGopAlignedIndexEarlierThanTime(
    const TimeToSampleTable& stts, const std::set<uint32_t>& sync, double seconds,
    uint32_t timeScale, uint32_t limit) {
  return findGopAlignedIndexSmallerThanSampleIndex(
      sync, findClosestIndexEarlierThanTime(stts, seconds, timeScale), limit);
}

uint32_t QuickTime64FileUtilities::findClosestGopAlignedIndexLaterThanTime(
    const TimeToSampleTable& stts, const std::set<uint32_t>& sync, double seconds,
    uint32_t timeScale, uint32_t limit) {
  return findGopAlignedIndexGreaterThanSampleIndex(
      sync, findClosestIndexLaterThanTime(stts, seconds, timeScale), limit);
}

uint32_t QuickTime64FileUtilities::createTrimmedTimeToSampleTable(const TimeToSampleTable& stts,
                                                                  TimeToSampleTable* out,
                                                                  uint32_t first, uint32_t last) {
  if (out == nullptr || first > last) return 4;
  out->clear();
  uint64_t runStart = 0;
  for (const auto& run : stts) {
    uint64_t runEnd = runStart + run.SampleCount();
    uint64_t from = std::max<uint64_t>(runStart, first), to = std::min<uint64_t>(runEnd, last);
    if (from < to) {
      uint32_t n = static_cast<uint32_t>(to - from);
      if (!out->empty() && out->back().SampleDuration() == run.SampleDuration()) {
        out->back().SetSampleCount(out->back().SampleCount() + n);
      } else {
        out->emplace_back(n, run.SampleDuration());
      }
    }
    runStart = runEnd;
  }
  return 0;
}

uint32_t QuickTime64FileUtilities::createTrimmedSyncSampleTable(const std::set<uint32_t>& sync,
                                                                std::set<uint32_t>* out,
                                                                uint32_t first, uint32_t last) {
  if (out == nullptr || first > last) return 4;
  out->clear();
  for (uint32_t number : sync) {
    // Sample number n is index n - 1; keep [first, last) and number it from 1 at `first`.
    if (number == 0 || number - 1 < first) continue;
    if (number - 1 >= last) break;
    out->insert(number - first);
  }
  return 0;
}
