// The media header of a base media (time code, text, metadata) track: `gmin`, and for time
// code the `tmcd` handler atom. Other children are kept as they are.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BASEMEDIAINFORMATIONHEADERATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BASEMEDIAINFORMATIONHEADERATOM_H_

#include <vector>

#include "quicktime64/BaseMediaInfoAtom.h"
#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"
#include "quicktime64/TimeCodeMediaHandlerAtom.h"
#include "quicktime64/UnparsedAtom.h"

namespace MavrelQuickTime64Atom {

class BaseMediaInformationHeaderAtom final
    : public QuickTimeAtomImpl<BaseMediaInformationHeaderAtom, QuickTimeAtom> {
 public:
  BaseMediaInformationHeaderAtom() : QuickTimeAtomImpl(FourCC("gmhd")) {}

  BaseMediaInfoAtom* GetBaseMediaInfo() const { return gmin_.get(); }
  BaseMediaInfoAtom& EnsureBaseMediaInfo() { return gmin_.Ensure(); }
  TimeCodeMediaHandlerAtom* GetTimeCodeMediaHandler() const { return tmcd_.get(); }
  TimeCodeMediaHandlerAtom& EnsureTimeCodeMediaHandler() { return tmcd_.Ensure(); }
  const std::vector<UnparsedAtom>& Others() const { return others_; }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "BaseMediaInformationHeaderAtom"; }

 private:
  Owned<BaseMediaInfoAtom> gmin_;
  Owned<TimeCodeMediaHandlerAtom> tmcd_;
  std::vector<UnparsedAtom> others_;  // in file order
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BASEMEDIAINFORMATIONHEADERATOM_H_
