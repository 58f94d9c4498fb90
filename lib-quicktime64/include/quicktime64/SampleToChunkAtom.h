// Which samples each chunk holds: runs of chunks (first chunk, 1-based) with the same number
// of samples per chunk and sample description. A run lasts until the next run's first chunk;
// the last one to the end of the chunk-offset table.
//
// Lookups use an index of the runs' first samples (built on first use, dropped when the table
// changes), so each costs O(log runs). A table whose runs are empty (0 samples per chunk),
// start at chunk 0 or do not increase is inconsistent: its lookups fail with 1.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLETOCHUNKATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLETOCHUNKATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class SampleToChunkAtom final
    : public QuickTimeAtomImpl<SampleToChunkAtom, QuickTimeAtomStandardToFlags> {
 public:
  class SampleToChunkTableEntry {
   public:
    SampleToChunkTableEntry() = default;
    SampleToChunkTableEntry(uint32_t firstChunk, uint32_t samplesPerChunk,
                            uint32_t sampleDescriptionID)
        : firstChunk_(firstChunk),
          samplesPerChunk_(samplesPerChunk),
          sampleDescriptionID_(sampleDescriptionID) {}

    void Read(ByteReader& in);
    void Write(ByteWriter& out) const;
    void Print(int depth) const;
    void Cat(std::string* out, int depth) const;
    static uint64_t Size() { return 12; }

    uint32_t FirstChunk() const { return firstChunk_; }
    uint32_t SamplesPerChunk() const { return samplesPerChunk_; }
    uint32_t SampleDescriptionID() const { return sampleDescriptionID_; }
    bool operator==(const SampleToChunkTableEntry&) const = default;

   private:
    uint32_t firstChunk_ = 0;
    uint32_t samplesPerChunk_ = 0;
    uint32_t sampleDescriptionID_ = 0;
  };

  // Where a run of chunks starts in sample numbering (the lookup index).
  struct SampleAccessOptimizationEntry {
    uint64_t firstSample;  // 0-based index of the run's first sample
  };

  SampleToChunkAtom() : QuickTimeAtomImpl(FourCC("stsc")) {}

  // 0-based sample index -> 1-based chunk number, index inside the chunk, samples in the
  // chunk. Out-pointers may be null. 1 for an empty or inconsistent table.
  uint32_t MapSampleToChunk(uint32_t index, uint32_t* chunkNumber, uint32_t* sampleInChunk,
                            uint32_t* samplesPerChunk) const;
  // Samples in chunks 1 to lastChunkNumber; 1 when the table is empty or inconsistent, or
  // its last run starts after lastChunkNumber.
  uint32_t GetNumberOfSamples(uint32_t lastChunkNumber, uint64_t* count) const;
  // Samples per chunk of the 0-based chunk `chunkIndex`; 1 when no run covers it.
  uint32_t GetSamplesPerChunk(uint32_t chunkIndex, uint32_t* count) const;
  // 0-based index of the first sample of the 0-based chunk `chunkIndex`.
  uint32_t GetFirstSampleOfChunk(uint32_t chunkIndex, uint64_t* firstSample) const;
  uint32_t GetNumberOfEntries(uint32_t* n) const;
  uint32_t GetSampleToChunkTable(std::vector<SampleToChunkTableEntry>* entries) const;
  uint32_t SetSampleToChunkTable(const std::vector<SampleToChunkTableEntry>& entries);
  // Adds one chunk of `n` samples; a new run starts only when `n` differs from the last.
  void SetNumberOfSamples(uint32_t n);

  const std::vector<SampleToChunkTableEntry>& Entries() const { return entries_; }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "SampleToChunkAtom"; }

 private:
  // False when the table is empty or inconsistent.
  bool BuildIndex() const;
  // The run covering 0-based sample `index`.
  size_t RunOfSample(uint64_t index) const;

  std::vector<SampleToChunkTableEntry> entries_;
  uint32_t chunkCount_ = 0;  // chunks added through SetNumberOfSamples
  mutable std::vector<SampleAccessOptimizationEntry> index_;
  mutable bool indexValid_ = false;
  mutable bool consistent_ = false;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLETOCHUNKATOM_H_
