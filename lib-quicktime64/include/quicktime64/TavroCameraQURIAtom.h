// Maker user data: QURI bytes.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAQURIATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAQURIATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class TavroCameraQURIAtom final : public QuickTimeAtomImpl<TavroCameraQURIAtom, PayloadAtom> {
 public:
  TavroCameraQURIAtom() : QuickTimeAtomImpl(FourCC("QURI")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAQURIATOM_H_
