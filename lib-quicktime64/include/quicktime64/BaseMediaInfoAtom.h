// The base media information of a non-audiovisual track: graphics mode, colour, balance.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BASEMEDIAINFOATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BASEMEDIAINFOATOM_H_

#include <array>
#include <cstdint>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class BaseMediaInfoAtom final
    : public QuickTimeAtomImpl<BaseMediaInfoAtom, QuickTimeAtomStandardToFlags> {
 public:
  BaseMediaInfoAtom() : QuickTimeAtomImpl(FourCC("gmin")) {}

  uint16_t GraphicsMode() const { return graphicsMode_; }
  void SetGraphicsMode(uint16_t v) { graphicsMode_ = v; }
  const std::array<uint16_t, 3>& OpColor() const { return opColor_; }
  void SetOpColor(const std::array<uint16_t, 3>& v) { opColor_ = v; }
  uint16_t Balance() const { return balance_; }
  void SetBalance(uint16_t v) { balance_ = v; }
  uint16_t Reserved() const { return reserved_; }
  void SetReserved(uint16_t v) { reserved_ = v; }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "BaseMediaInfoAtom"; }

 private:
  uint16_t graphicsMode_ = 0;
  std::array<uint16_t, 3> opColor_ = {};
  uint16_t balance_ = 0;
  uint16_t reserved_ = 0;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_BASEMEDIAINFOATOM_H_
