// The media information of a time code, text or metadata track (`gmhd` media header).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BASEMEDIAINFORMATIONATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BASEMEDIAINFORMATIONATOM_H_

#include "quicktime64/BaseMediaInformationHeaderAtom.h"
#include "quicktime64/MediaInformationAtom.h"
#include "quicktime64/OwnedAtom.h"

namespace MavrelQuickTime64Atom {

class BaseMediaInformationAtom final
    : public QuickTimeAtomImpl<BaseMediaInformationAtom, MediaInformationAtom> {
 public:
  BaseMediaInformationAtom() = default;

  BaseMediaInformationHeaderAtom* GetMediaHeader() const { return header_.get(); }
  BaseMediaInformationHeaderAtom& EnsureMediaHeader() { return header_.Ensure(); }

 protected:
  const QuickTimeAtom* MediaHeader() const override { return header_.get(); }
  uint32_t ReadMediaHeader(FileBuffer& buffer, size_t firstChild) override;
  std::string Label() const override { return "BaseMediaInformationAtom"; }

 private:
  Owned<BaseMediaInformationHeaderAtom> header_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BASEMEDIAINFORMATIONATOM_H_
