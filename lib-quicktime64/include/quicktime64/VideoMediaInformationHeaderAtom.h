// The video media information header: graphics transfer mode and its colour.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_VIDEOMEDIAINFORMATIONHEADERATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_VIDEOMEDIAINFORMATIONHEADERATOM_H_

#include <array>
#include <cstdint>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class VideoMediaInformationHeaderAtom final
    : public QuickTimeAtomImpl<VideoMediaInformationHeaderAtom, QuickTimeAtomStandardToFlags> {
 public:
  VideoMediaInformationHeaderAtom() : QuickTimeAtomImpl(FourCC("vmhd")) {}

  uint16_t GraphicsMode() const { return graphicsMode_; }
  void SetGraphicsMode(uint16_t v) { graphicsMode_ = v; }
  const std::array<uint16_t, 3>& OpColor() const { return opColor_; }
  void SetOpColor(const std::array<uint16_t, 3>& v) { opColor_ = v; }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "VideoMediaInformationHeaderAtom"; }

 private:
  uint16_t graphicsMode_ = 0;
  std::array<uint16_t, 3> opColor_ = {};
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_VIDEOMEDIAINFORMATIONHEADERATOM_H_
