// Maker user data: the firmware version text of the recording camera.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROFIRMWAREATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROFIRMWAREATOM_H_

#include "quicktime64/PayloadAtom.h"

namespace MavrelQuickTime64Atom {

class TavroFirmwareAtom final : public QuickTimeAtomImpl<TavroFirmwareAtom, PayloadAtom> {
 public:
  TavroFirmwareAtom() : QuickTimeAtomImpl(FourCC("FIRM")) {}

 protected:
  void DumpBody(std::string& out, int depth) const override;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROFIRMWAREATOM_H_
