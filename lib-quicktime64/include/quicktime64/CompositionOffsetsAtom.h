// Composition offsets: runs of samples whose presentation time differs from their decoding
// time by the same offset (present when a track has B-frames). Version 1 offsets are signed;
// offsets are kept as their 32 bits either way.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_COMPOSITIONOFFSETSATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_COMPOSITIONOFFSETSATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class CompositionOffsetsAtom final
    : public QuickTimeAtomImpl<CompositionOffsetsAtom, QuickTimeAtomStandardToFlags> {
 public:
  class CompositionOffsetsTableEntry {
   public:
    CompositionOffsetsTableEntry() = default;
    CompositionOffsetsTableEntry(uint32_t sampleCount, uint32_t offset)
        : sampleCount_(sampleCount), offset_(offset) {}

    void Read(ByteReader& in);
    void Write(ByteWriter& out) const;
    void Print(int depth) const;
    void Cat(std::string* out, int depth) const;
    static uint64_t Size() { return 8; }

    uint32_t SampleCount() const { return sampleCount_; }
    uint32_t CompositionOffset() const { return offset_; }
    bool operator==(const CompositionOffsetsTableEntry&) const = default;

   private:
    uint32_t sampleCount_ = 0;
    uint32_t offset_ = 0;
  };

  CompositionOffsetsAtom() : QuickTimeAtomImpl(FourCC("ctts")) {}

  const std::vector<CompositionOffsetsTableEntry>& Entries() const { return entries_; }
  void SetEntries(std::vector<CompositionOffsetsTableEntry> entries) {
    entries_ = std::move(entries);
  }
  void AppendEntries(const std::vector<CompositionOffsetsTableEntry>& entries) {
    entries_.insert(entries_.end(), entries.begin(), entries.end());
  }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "CompositionOffsetsAtom"; }

 private:
  std::vector<CompositionOffsetsTableEntry> entries_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_COMPOSITIONOFFSETSATOM_H_
