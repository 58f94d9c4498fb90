#include "quicktime64/TimeToSampleAtom.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "EntryTable.h"
#include "TableDump.h"
#include "quicktime64/ByteStream.h"
#include "zqcommon/zqUint128.h"

namespace MavrelQuickTime64Atom {

namespace {

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max()
                                                      : a + b;
}

}  // namespace

void TimeToSampleAtom::TimeToSampleTableEntry::Read(ByteReader& in) {
  sampleCount_ = in.U32();
  sampleDuration_ = in.U32();
}

void TimeToSampleAtom::TimeToSampleTableEntry::Write(ByteWriter& out) const {
  out.U32(sampleCount_);
  out.U32(sampleDuration_);
}

void TimeToSampleAtom::TimeToSampleTableEntry::Cat(std::string* out, int depth) const {
  AppendEntryLine(out, depth,
                  "SampleCount: " + std::to_string(sampleCount_) +
                      " SampleDuration: " + std::to_string(sampleDuration_));
}

void TimeToSampleAtom::TimeToSampleTableEntry::Print(int depth) const { PrintEntry(*this, depth); }

const std::vector<TimeToSampleAtom::RunStart>& TimeToSampleAtom::Index() const {
  if (index_.size() != entries_.size() + 1) {
    index_.clear();
    index_.reserve(entries_.size() + 1);
    RunStart at = {0, 0};
    index_.push_back(at);
    for (const auto& e : entries_) {
      at.sample += e.SampleCount();
      at.time = SaturatingAdd(at.time, static_cast<uint64_t>(e.SampleCount()) * e.SampleDuration());
      index_.push_back(at);
    }
  }
  return index_;
}

size_t TimeToSampleAtom::RunOfSample(uint64_t index) const {
  const auto& starts = Index();
  // The first run whose end lies beyond the sample.
  auto it = std::upper_bound(starts.begin() + 1, starts.end(), index,
                             [](uint64_t i, const RunStart& s) { return i < s.sample; });
  return static_cast<size_t>(it - (starts.begin() + 1));
}

uint32_t TimeToSampleAtom::MapSampleTimeToSampleIndex(int64_t time, uint32_t* index) const {
  if (index == nullptr || entries_.empty() || time < 0) return kQTLookupOutOfRange;
  const auto& starts = Index();
  uint64_t t = static_cast<uint64_t>(time);
  // The first run whose end is at or after the time.
  auto it = std::lower_bound(starts.begin() + 1, starts.end(), t,
                             [](const RunStart& s, uint64_t v) { return s.time < v; });
  if (it == starts.end()) return kQTLookupOutOfRange;
  size_t run = static_cast<size_t>(it - (starts.begin() + 1));
  const RunStart& first = starts[run];
  uint64_t span = it->time - first.time;
  uint64_t count = entries_[run].SampleCount();
  uint64_t within = span == 0 ? 0 : MulDiv64(t - first.time, count, span);
  uint64_t result = first.sample + within;
  if (result > std::numeric_limits<uint32_t>::max()) return kQTLookupOutOfRange;
  *index = static_cast<uint32_t>(result);
  return 0;
}

uint32_t TimeToSampleAtom::MapSampleIndexToSampleTime(uint32_t index, int64_t* time) const {
  if (time == nullptr) return kQTLookupOutOfRange;
  size_t run = RunOfSample(index);
  if (run >= entries_.size()) return kQTLookupOutOfRange;
  const RunStart& first = Index()[run];
  uint64_t t =
      SaturatingAdd(first.time, (index - first.sample) * uint64_t{entries_[run].SampleDuration()});
  *time = static_cast<int64_t>(std::min<uint64_t>(t, std::numeric_limits<int64_t>::max()));
  return 0;
}

uint32_t TimeToSampleAtom::MapSampleIndexToSampleDuration(uint32_t index,
                                                          uint32_t* duration) const {
  if (duration == nullptr) return kQTLookupOutOfRange;
  size_t run = RunOfSample(index);
  if (run >= entries_.size()) return kQTLookupOutOfRange;
  *duration = entries_[run].SampleDuration();
  return 0;
}

uint32_t TimeToSampleAtom::GetMinimumAndMaximumSampleDuration(uint32_t* minimum,
                                                              uint32_t* maximum) const {
  if (minimum == nullptr || maximum == nullptr) return kQTLookupOutOfRange;
  if (entries_.empty()) return 0;
  uint32_t lo = std::numeric_limits<uint32_t>::max();
  uint32_t hi = 0;
  for (const auto& e : entries_) {
    lo = std::min(lo, e.SampleDuration());
    hi = std::max(hi, e.SampleDuration());
  }
  *minimum = lo;
  *maximum = hi;
  return 0;
}

void TimeToSampleAtom::SetSampleCountAndDuration(uint32_t count, uint32_t duration) {
  if (!entries_.empty() && entries_.back().SampleDuration() == duration) {
    entries_.back().SetSampleCount(entries_.back().SampleCount() + count);
  } else {
    entries_.emplace_back(count, duration);
  }
  index_.clear();
}

void TimeToSampleAtom::SetEntries(std::vector<TimeToSampleTableEntry> entries) {
  entries_ = std::move(entries);
  index_.clear();
}

void TimeToSampleAtom::AppendEntries(const std::vector<TimeToSampleTableEntry>& entries) {
  entries_.insert(entries_.end(), entries.begin(), entries.end());
  index_.clear();
}

uint64_t TimeToSampleAtom::TotalSamples() const { return Index().back().sample; }

uint64_t TimeToSampleAtom::TotalDuration() const { return Index().back().time; }

uint32_t TimeToSampleAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  index_.clear();
  return ReadCountedEntries(in, &entries_);
}

uint64_t TimeToSampleAtom::BodySize() const {
  return kVersionAndFlagsSize + 4 + entries_.size() * TimeToSampleTableEntry::Size();
}

uint32_t TimeToSampleAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  WriteCountedEntries(out, entries_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void TimeToSampleAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "NumberOfEntries: %zu", entries_.size());
  DumpTable(out, depth, entries_);
}

}  // namespace MavrelQuickTime64Atom
