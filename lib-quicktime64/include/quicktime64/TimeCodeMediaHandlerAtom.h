// The time code part of a base media header (`tmcd` inside `gmhd`): holds the `tcmi`.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMECODEMEDIAHANDLERATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMECODEMEDIAHANDLERATOM_H_

#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"
#include "quicktime64/TimeCodeMediaInformationAtom.h"

namespace MavrelQuickTime64Atom {

class TimeCodeMediaHandlerAtom final
    : public QuickTimeAtomImpl<TimeCodeMediaHandlerAtom, QuickTimeAtom> {
 public:
  TimeCodeMediaHandlerAtom() : QuickTimeAtomImpl(FourCC("tmcd")) {}

  TimeCodeMediaInformationAtom* GetTimeCodeMediaInformation() const { return tcmi_.get(); }
  TimeCodeMediaInformationAtom& EnsureTimeCodeMediaInformation() { return tcmi_.Ensure(); }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "TimeCodeMediaHandlerAtom"; }

 private:
  Owned<TimeCodeMediaInformationAtom> tcmi_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMECODEMEDIAHANDLERATOM_H_
