// File offsets of the chunks, 32-bit (`stco`) or 64-bit (`co64`); one class for both, its
// type decides the width on read and write. Appending an offset above 32 bits turns an
// `stco` into a `co64`.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_CHUNKOFFSETATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_CHUNKOFFSETATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class ChunkOffsetAtom final
    : public QuickTimeAtomImpl<ChunkOffsetAtom, QuickTimeAtomStandardToFlags> {
 public:
  explicit ChunkOffsetAtom(uint32_t type = FourCC("stco")) : QuickTimeAtomImpl(type) {}

  const std::vector<uint64_t>& Offsets() const { return offsets_; }
  uint32_t GetNumberOfChunks() const { return static_cast<uint32_t>(offsets_.size()); }
  bool IsWide() const { return type_ == FourCC("co64"); }
  void AddChunkOffset(uint64_t offset);
  void SetOffsets(std::vector<uint64_t> offsets);

 protected:
  bool AcceptsType(uint32_t type) const override;
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return IsWide() ? "ChunkOffset64Atom" : "ChunkOffsetAtom"; }

 private:
  std::vector<uint64_t> offsets_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_CHUNKOFFSETATOM_H_
