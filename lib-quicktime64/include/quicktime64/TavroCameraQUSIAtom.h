// Maker user data: QUSI bytes.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAQUSIATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAQUSIATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class TavroCameraQUSIAtom final : public QuickTimeAtomImpl<TavroCameraQUSIAtom, PayloadAtom> {
 public:
  TavroCameraQUSIAtom() : QuickTimeAtomImpl(FourCC("QUSI")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAQUSIATOM_H_
