// Sample sizes: one constant size for every sample (no table), or, when the constant is 0,
// one size per sample.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLESIZEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLESIZEATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class SampleSizeAtom final
    : public QuickTimeAtomImpl<SampleSizeAtom, QuickTimeAtomStandardToFlags> {
 public:
  SampleSizeAtom() : QuickTimeAtomImpl(FourCC("stsz")) {}

  uint32_t ConstantSampleSize() const { return constantSize_; }
  uint32_t NumberOfSamples() const { return sampleCount_; }
  const std::vector<uint32_t>& Sizes() const { return sizes_; }
  // The size of 0-based sample `index`; 1 when it lies past the samples.
  uint32_t GetSampleSize(uint32_t index, uint32_t* size) const;
  // Sum of the sizes of samples [first, first + count); 1 when any lies past the samples.
  uint32_t GetTotalSize(uint32_t first, uint32_t count, uint64_t* total) const;

  // Appends a sample of `size` bytes, keeping the constant form while every size is equal.
  // 10 for a size of 0.
  uint32_t AddSampleSize(uint32_t size);
  void Clear();
  // Makes every sample's size explicit.
  void SetSampleSizes(std::vector<uint32_t> sizes);
  void SetConstantSampleSize(uint32_t size, uint32_t count);

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "SampleSizeAtom"; }

 private:
  uint32_t constantSize_ = 0;
  uint32_t sampleCount_ = 0;
  std::vector<uint32_t> sizes_;  // empty while constantSize_ is non-zero
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLESIZEATOM_H_
