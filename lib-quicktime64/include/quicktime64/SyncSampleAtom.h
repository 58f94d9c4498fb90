// The sync samples (key frames) of a track, as 1-based sample numbers. A track without this
// atom has only sync samples.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SYNCSAMPLEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SYNCSAMPLEATOM_H_

#include <set>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class SyncSampleAtom final
    : public QuickTimeAtomImpl<SyncSampleAtom, QuickTimeAtomStandardToFlags> {
 public:
  SyncSampleAtom() : QuickTimeAtomImpl(FourCC("stss")) {}

  const std::set<uint32_t>& SampleNumbers() const { return numbers_; }
  bool Contains(uint32_t sampleNumber) const { return numbers_.count(sampleNumber) != 0; }
  void SetSampleNumbers(std::set<uint32_t> numbers) { numbers_ = std::move(numbers); }
  void AppendSampleNumbers(const std::set<uint32_t>& numbers) {
    numbers_.insert(numbers.begin(), numbers.end());
  }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "SyncSampleAtom"; }

 private:
  std::set<uint32_t> numbers_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SYNCSAMPLEATOM_H_
