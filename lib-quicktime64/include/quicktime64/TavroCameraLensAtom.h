// Maker user data: lens information bytes.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERALENSATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERALENSATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class TavroCameraLensAtom final : public QuickTimeAtomImpl<TavroCameraLensAtom, PayloadAtom> {
 public:
  TavroCameraLensAtom() : QuickTimeAtomImpl(FourCC("Lens")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERALENSATOM_H_
