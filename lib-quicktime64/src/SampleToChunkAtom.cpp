#include "quicktime64/SampleToChunkAtom.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "EntryTable.h"
#include "TableDump.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

void SampleToChunkAtom::SampleToChunkTableEntry::Read(ByteReader& in) {
  firstChunk_ = in.U32();
  samplesPerChunk_ = in.U32();
  sampleDescriptionID_ = in.U32();
}

void SampleToChunkAtom::SampleToChunkTableEntry::Write(ByteWriter& out) const {
  out.U32(firstChunk_);
  out.U32(samplesPerChunk_);
  out.U32(sampleDescriptionID_);
}

void SampleToChunkAtom::SampleToChunkTableEntry::Cat(std::string* out, int depth) const {
  AppendEntryLine(out, depth,
                  "FirstChunk: " + std::to_string(firstChunk_) +
                      " SamplesPerChunk: " + std::to_string(samplesPerChunk_) +
                      " SampleDescriptionID: " + std::to_string(sampleDescriptionID_));
}

void SampleToChunkAtom::SampleToChunkTableEntry::Print(int depth) const {
  PrintEntry(*this, depth);
}

bool SampleToChunkAtom::BuildIndex() const {
  if (indexValid_) return consistent_;
  indexValid_ = true;
  consistent_ = false;
  index_.clear();
  if (entries_.empty()) return false;
  index_.reserve(entries_.size());
  uint64_t first = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const auto& e = entries_[i];
    if (e.FirstChunk() == 0 || e.SamplesPerChunk() == 0) return false;
    index_.push_back({first});
    if (i + 1 < entries_.size()) {
      uint32_t next = entries_[i + 1].FirstChunk();
      if (next <= e.FirstChunk()) return false;
      uint64_t add = uint64_t{next - e.FirstChunk()} * e.SamplesPerChunk();
      if (first > std::numeric_limits<uint64_t>::max() - add) return false;
      first += add;
    }
  }
  consistent_ = true;
  return true;
}

size_t SampleToChunkAtom::RunOfSample(uint64_t index) const {
  // The last run starting at or before the sample.
  auto it = std::upper_bound(
      index_.begin(), index_.end(), index,
      [](uint64_t i, const SampleAccessOptimizationEntry& s) { return i < s.firstSample; });
  return static_cast<size_t>(it - index_.begin()) - 1;
}

uint32_t SampleToChunkAtom::MapSampleToChunk(uint32_t index, uint32_t* chunkNumber,
                                             uint32_t* sampleInChunk,
                                             uint32_t* samplesPerChunk) const {
  if (!BuildIndex()) return kQTLookupOutOfRange;
  size_t run = RunOfSample(index);
  const auto& e = entries_[run];
  uint64_t r = index - index_[run].firstSample;
  uint64_t chunk = e.FirstChunk() + r / e.SamplesPerChunk();
  if (chunk > std::numeric_limits<uint32_t>::max()) return kQTLookupOutOfRange;
  if (chunkNumber != nullptr) *chunkNumber = static_cast<uint32_t>(chunk);
  if (sampleInChunk != nullptr) *sampleInChunk = static_cast<uint32_t>(r % e.SamplesPerChunk());
  if (samplesPerChunk != nullptr) *samplesPerChunk = e.SamplesPerChunk();
  return 0;
}

uint32_t SampleToChunkAtom::GetNumberOfSamples(uint32_t lastChunkNumber, uint64_t* count) const {
  if (count == nullptr || !BuildIndex() || entries_.back().FirstChunk() > lastChunkNumber) {
    return kQTLookupOutOfRange;
  }
  const auto& last = entries_.back();
  *count = index_.back().firstSample +
           uint64_t{lastChunkNumber - last.FirstChunk() + 1} * last.SamplesPerChunk();
  return 0;
}

uint32_t SampleToChunkAtom::GetSamplesPerChunk(uint32_t chunkIndex, uint32_t* count) const {
  if (count == nullptr || !BuildIndex()) return kQTLookupOutOfRange;
  uint64_t chunk = uint64_t{chunkIndex} + 1;
  auto it = std::upper_bound(
      entries_.begin(), entries_.end(), chunk,
      [](uint64_t c, const SampleToChunkTableEntry& e) { return c < e.FirstChunk(); });
  if (it == entries_.begin()) return kQTLookupOutOfRange;
  *count = std::prev(it)->SamplesPerChunk();
  return 0;
}

uint32_t SampleToChunkAtom::GetFirstSampleOfChunk(uint32_t chunkIndex,
                                                  uint64_t* firstSample) const {
  if (firstSample == nullptr || !BuildIndex()) return kQTLookupOutOfRange;
  uint64_t chunk = uint64_t{chunkIndex} + 1;
  auto it = std::upper_bound(
      entries_.begin(), entries_.end(), chunk,
      [](uint64_t c, const SampleToChunkTableEntry& e) { return c < e.FirstChunk(); });
  if (it == entries_.begin()) return kQTLookupOutOfRange;
  size_t run = static_cast<size_t>(std::prev(it) - entries_.begin());
  const auto& e = entries_[run];
  *firstSample = index_[run].firstSample + (chunk - e.FirstChunk()) * e.SamplesPerChunk();
  return 0;
}

uint32_t SampleToChunkAtom::GetNumberOfEntries(uint32_t* n) const {
  if (n == nullptr) return kQTLookupOutOfRange;
  *n = static_cast<uint32_t>(entries_.size());
  return 0;
}

uint32_t SampleToChunkAtom::GetSampleToChunkTable(
    std::vector<SampleToChunkTableEntry>* entries) const {
  if (entries == nullptr) return kQTLookupOutOfRange;
  *entries = entries_;
  return 0;
}

uint32_t SampleToChunkAtom::SetSampleToChunkTable(
    const std::vector<SampleToChunkTableEntry>& entries) {
  entries_ = entries;
  chunkCount_ = entries_.empty() ? 0 : entries_.back().FirstChunk();
  indexValid_ = false;
  return 0;
}

void SampleToChunkAtom::SetNumberOfSamples(uint32_t n) {
  ++chunkCount_;
  if (entries_.empty() || entries_.back().SamplesPerChunk() != n) {
    entries_.emplace_back(chunkCount_, n, 1);
  }
  indexValid_ = false;
}

uint32_t SampleToChunkAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  indexValid_ = false;
  uint32_t result = ReadCountedEntries(in, &entries_);
  chunkCount_ = entries_.empty() ? 0 : entries_.back().FirstChunk();
  return result;
}

uint64_t SampleToChunkAtom::BodySize() const {
  return kVersionAndFlagsSize + 4 + entries_.size() * SampleToChunkTableEntry::Size();
}

uint32_t SampleToChunkAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  WriteCountedEntries(out, entries_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void SampleToChunkAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "NumberOfEntries: %zu", entries_.size());
  DumpTable(out, depth, entries_);
}

}  // namespace MavrelQuickTime64Atom
