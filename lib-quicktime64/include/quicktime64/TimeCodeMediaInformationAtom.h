// How a time code track is shown as text: font, face, size, colours and the font name.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMECODEMEDIAINFORMATIONATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMECODEMEDIAINFORMATIONATOM_H_

#include <array>
#include <string>

#include "quicktime64/QuickTimeAtomStandardToFlags.h"

namespace MavrelQuickTime64Atom {

class TimeCodeMediaInformationAtom final
    : public QuickTimeAtomImpl<TimeCodeMediaInformationAtom, QuickTimeAtomStandardToFlags> {
 public:
  TimeCodeMediaInformationAtom() : QuickTimeAtomImpl(FourCC("tcmi")) {}

  uint16_t TextFont() const { return textFont_; }
  uint16_t TextFace() const { return textFace_; }
  uint16_t TextSize() const { return textSize_; }
  const std::array<uint16_t, 3>& TextColor() const { return textColor_; }
  const std::array<uint16_t, 3>& BackgroundColor() const { return backgroundColor_; }
  const std::string& FontName() const { return fontName_; }
  void SetTextFont(uint16_t v) { textFont_ = v; }
  void SetTextFace(uint16_t v) { textFace_ = v; }
  void SetTextSize(uint16_t v) { textSize_ = v; }
  void SetTextColor(const std::array<uint16_t, 3>& v) { textColor_ = v; }
  void SetBackgroundColor(const std::array<uint16_t, 3>& v) { backgroundColor_ = v; }
  void SetFontName(std::string v) { fontName_ = std::move(v); }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "TimeCodeMediaInformationAtom"; }

 private:
  uint16_t textFont_ = 0;
  uint16_t textFace_ = 0;
  uint16_t textSize_ = 12;
  uint16_t reserved_ = 0;
  std::array<uint16_t, 3> textColor_ = {0xffff, 0xffff, 0xffff};
  std::array<uint16_t, 3> backgroundColor_ = {};
  std::string fontName_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMECODEMEDIAINFORMATIONATOM_H_
