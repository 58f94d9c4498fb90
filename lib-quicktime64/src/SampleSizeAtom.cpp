#include "quicktime64/SampleSizeAtom.h"

#include "TableDump.h"
#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

uint32_t SampleSizeAtom::GetSampleSize(uint32_t index, uint32_t* size) const {
  if (size == nullptr || index >= sampleCount_) return kQTLookupOutOfRange;
  if (constantSize_ != 0) {
    *size = constantSize_;
    return 0;
  }
  if (index >= sizes_.size()) return kQTLookupOutOfRange;
  *size = sizes_[index];
  return 0;
}

uint32_t SampleSizeAtom::GetTotalSize(uint32_t first, uint32_t count, uint64_t* total) const {
  if (total == nullptr || uint64_t{first} + count > sampleCount_) return kQTLookupOutOfRange;
  if (constantSize_ != 0) {
    *total = uint64_t{count} * constantSize_;
    return 0;
  }
  if (uint64_t{first} + count > sizes_.size()) return kQTLookupOutOfRange;
  uint64_t sum = 0;
  for (uint32_t i = first; i < first + count; ++i) sum += sizes_[i];
  *total = sum;
  return 0;
}

uint32_t SampleSizeAtom::AddSampleSize(uint32_t size) {
  if (size == 0) return 10;
  if (sampleCount_ == 0) {
    constantSize_ = size;
  } else if (constantSize_ != 0 && size != constantSize_) {
    sizes_.assign(sampleCount_, constantSize_);
    constantSize_ = 0;
  }
  if (constantSize_ == 0) sizes_.push_back(size);
  ++sampleCount_;
  return 0;
}

void SampleSizeAtom::Clear() {
  constantSize_ = 0;
  sampleCount_ = 0;
  sizes_.clear();
}

void SampleSizeAtom::SetSampleSizes(std::vector<uint32_t> sizes) {
  constantSize_ = 0;
  sampleCount_ = static_cast<uint32_t>(sizes.size());
  sizes_ = std::move(sizes);
}

void SampleSizeAtom::SetConstantSampleSize(uint32_t size, uint32_t count) {
  constantSize_ = size;
  sampleCount_ = count;
  sizes_.clear();
}

uint32_t SampleSizeAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  constantSize_ = in.U32();
  sampleCount_ = in.U32();
  sizes_.clear();
  if (!in.ok()) return kQTAtomMalformed;
  if (constantSize_ != 0) return 0;
  if (in.Remaining() / 4 < sampleCount_) return kQTAtomMalformed;
  const uint8_t* p = in.Span(4 * uint64_t{sampleCount_});
  if (p == nullptr) return kQTAtomMalformed;
  sizes_.resize(sampleCount_);
  for (uint32_t& s : sizes_) {
    s = zq_load_be32(p);
    p += 4;
  }
  return 0;
}

uint64_t SampleSizeAtom::BodySize() const {
  return kVersionAndFlagsSize + 8 + (constantSize_ != 0 ? 0 : 4 * uint64_t{sizes_.size()});
}

uint32_t SampleSizeAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U32(constantSize_);
  out.U32(constantSize_ != 0 ? sampleCount_ : static_cast<uint32_t>(sizes_.size()));
  if (constantSize_ == 0) {
    for (uint32_t s : sizes_) out.U32(s);
  }
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void SampleSizeAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "SampleSize: %u NumberOfSamples: %u", constantSize_, sampleCount_);
  DumpNumbers(out, depth, "Size", sizes_);
}

}  // namespace MavrelQuickTime64Atom
