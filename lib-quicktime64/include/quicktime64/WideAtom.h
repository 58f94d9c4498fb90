// Reserved space before an mdat header (lets the mdat grow to a 64-bit header in place).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_WIDEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_WIDEATOM_H_

#include "quicktime64/SpaceAtom.h"

namespace MavrelQuickTime64Atom {

class WideAtom final : public QuickTimeAtomImpl<WideAtom, SpaceAtom> {
 public:
  WideAtom() : QuickTimeAtomImpl(FourCC("wide")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_WIDEATOM_H_
