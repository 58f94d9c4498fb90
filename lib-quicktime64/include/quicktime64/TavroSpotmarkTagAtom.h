// Maker user data (`SMMT`): moments tagged during the recording, as a count (uint32) and up
// to 100 times in milliseconds (uint32 each). A larger count is taken as 100.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROSPOTMARKTAGATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROSPOTMARKTAGATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

class TavroSpotmarkTagAtom final : public QuickTimeAtomImpl<TavroSpotmarkTagAtom, QuickTimeAtom> {
 public:
  static constexpr uint32_t kMaximumTags = 100;

  TavroSpotmarkTagAtom() : QuickTimeAtomImpl(FourCC("SMMT")) {}

  const std::vector<uint32_t>& TagTimes() const { return times_; }
  // At most kMaximumTags are kept.
  void SetTagTimes(std::vector<uint32_t> times);

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "Spotmark Tags"; }

 private:
  std::vector<uint32_t> times_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROSPOTMARKTAGATOM_H_
