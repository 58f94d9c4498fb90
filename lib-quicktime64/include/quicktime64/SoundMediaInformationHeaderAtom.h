// The sound media information header: stereo balance.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SOUNDMEDIAINFORMATIONHEADERATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SOUNDMEDIAINFORMATIONHEADERATOM_H_

#include <array>
#include <cstdint>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class SoundMediaInformationHeaderAtom final
    : public QuickTimeAtomImpl<SoundMediaInformationHeaderAtom, QuickTimeAtomStandardToFlags> {
 public:
  SoundMediaInformationHeaderAtom() : QuickTimeAtomImpl(FourCC("smhd")) {}

  uint16_t Balance() const { return balance_; }
  void SetBalance(uint16_t v) { balance_ = v; }
  uint16_t Reserved() const { return reserved_; }
  void SetReserved(uint16_t v) { reserved_ = v; }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "SoundMediaInformationHeaderAtom"; }

 private:
  uint16_t balance_ = 0;
  uint16_t reserved_ = 0;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SOUNDMEDIAINFORMATIONHEADERATOM_H_
