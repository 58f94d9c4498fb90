// Maker user data (`SETT`): the camera settings as big-endian 32-bit words. The payload is
// taken as whole words (a partial last word is padded with zeros) and kept in host order;
// writing restores the original payload length.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERASETTINGSATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERASETTINGSATOM_H_

#include <vector>

#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

class TavroCameraSettingsAtom final
    : public QuickTimeAtomImpl<TavroCameraSettingsAtom, QuickTimeAtom> {
 public:
  TavroCameraSettingsAtom() : QuickTimeAtomImpl(FourCC("SETT")) {}

  const std::vector<uint32_t>& Words() const { return words_; }
  uint32_t PayloadLength() const { return length_; }
  void SetWords(std::vector<uint32_t> words);

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "SETTAtom"; }

 private:
  uint32_t length_ = 0;
  std::vector<uint32_t> words_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TAVROCAMERASETTINGSATOM_H_
