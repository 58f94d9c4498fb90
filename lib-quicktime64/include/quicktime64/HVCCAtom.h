// The H.265 decoder configuration of a video sample description, kept as bytes.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_HVCCATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_HVCCATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class HVCCAtom final : public QuickTimeAtomImpl<HVCCAtom, PayloadAtom> {
 public:
  HVCCAtom() : QuickTimeAtomImpl(FourCC("hvcC")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_HVCCATOM_H_
