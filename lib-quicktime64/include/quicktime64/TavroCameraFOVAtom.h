// Maker user data: field-of-view bytes. Its type is "FOV" followed by a zero byte.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAFOVATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAFOVATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class TavroCameraFOVAtom final : public QuickTimeAtomImpl<TavroCameraFOVAtom, PayloadAtom> {
 public:
  TavroCameraFOVAtom() : QuickTimeAtomImpl(FourCC("FOV\0")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERAFOVATOM_H_
