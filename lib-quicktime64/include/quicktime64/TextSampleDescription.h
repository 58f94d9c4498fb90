// A text sample description:
//
//   uint32 display flags, text justification   6 bytes background colour
//   8 bytes default text box   8 bytes reserved   uint16 font number, font face
//   uint8 reserved   uint16 reserved   6 bytes foreground colour   Pascal string font name
//
// Bytes after the font name are kept as they are.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TEXTSAMPLEDESCRIPTION_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TEXTSAMPLEDESCRIPTION_H_

#include <array>
#include <string>
#include <vector>

#include "quicktime64/SampleDescriptionCF.h"

namespace MavrelQuickTime64Atom {

class TextSampleDescription final : public SampleDescriptionImpl<TextSampleDescription> {
 public:
  TextSampleDescription() : SampleDescriptionImpl(FourCC("text")) {}

  uint32_t DisplayFlags() const { return displayFlags_; }
  uint32_t TextJustification() const { return textJustification_; }
  uint16_t FontNumber() const { return fontNumber_; }
  uint16_t FontFace() const { return fontFace_; }
  const std::string& FontName() const { return fontName_; }

 protected:
  uint32_t ReadFields(FileBuffer& buffer) override;
  uint64_t FieldsSize() const override;
  uint32_t WriteFields(FileBuffer& buffer) const override;
  void DumpFields(std::string& out, int depth) const override;
  std::string Label() const override { return "TextSampleDescription"; }

 private:
  uint32_t displayFlags_ = 0;
  uint32_t textJustification_ = 0;
  std::array<uint8_t, 6> backgroundColor_ = {};
  std::array<uint8_t, 8> defaultTextBox_ = {};
  std::array<uint8_t, 8> reserved1_ = {};
  uint16_t fontNumber_ = 0;
  uint16_t fontFace_ = 0;
  uint8_t reserved2_ = 0;
  uint16_t reserved3_ = 0;
  std::array<uint8_t, 6> foregroundColor_ = {};
  std::string fontName_;
  std::vector<uint8_t> trailing_;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TEXTSAMPLEDESCRIPTION_H_
