// The H.264 decoder configuration of a video sample description, kept as bytes.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_AVCCATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_AVCCATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class AVCCAtom final : public QuickTimeAtomImpl<AVCCAtom, PayloadAtom> {
 public:
  AVCCAtom() : QuickTimeAtomImpl(FourCC("avcC")) {}
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_AVCCATOM_H_
