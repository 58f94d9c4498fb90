// A video sample description: the QuickTime image description fields, then extension
// atoms (field handling, gamma, pixel aspect, clean aperture, colour, and the decoder
// configuration `avcC` or `hvcC`).
//
//   uint16 version, revision   uint32 vendor, temporal quality, spatial quality
//   uint16 width, height       uint32 horizontal, vertical resolution (16.16), data size
//   uint16 frame count         32-byte Pascal string compressor name
//   uint16 depth               int16 colour table id
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_VIDEOSAMPLEDESCRIPTION_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_VIDEOSAMPLEDESCRIPTION_H_

#include <string>

#include "quicktime64/QuickTimeAtom.h"
#include "quicktime64/SampleDescriptionCF.h"

namespace MavrelQuickTime64Atom {

class VideoSampleDescription final : public SampleDescriptionImpl<VideoSampleDescription> {
 public:
  class FieldsAtom final : public QuickTimeAtomImpl<FieldsAtom, QuickTimeAtom> {
   public:
    FieldsAtom() : QuickTimeAtomImpl(FourCC("fiel")) {}
    uint8_t FieldCount() const { return fieldCount_; }
    void SetFieldCount(uint8_t v) { fieldCount_ = v; }
    uint8_t FieldOrder() const { return fieldOrder_; }
    void SetFieldOrder(uint8_t v) { fieldOrder_ = v; }

   protected:
    uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
    uint64_t BodySize() const override { return 2; }
    uint32_t WriteBody(FileBuffer& buffer) const override;
    void DumpBody(std::string& out, int depth) const override;
    std::string Label() const override { return "FieldsAtom"; }

   private:
    uint8_t fieldCount_ = 0;
    uint8_t fieldOrder_ = 0;
  };

  class GammaAtom final : public QuickTimeAtomImpl<GammaAtom, QuickTimeAtom> {
   public:
    GammaAtom() : QuickTimeAtomImpl(FourCC("gama")) {}
    uint32_t Gamma() const { return gamma_; }
    void SetGamma(uint32_t v) { gamma_ = v; }

   protected:
    uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
    uint64_t BodySize() const override { return 4; }
    uint32_t WriteBody(FileBuffer& buffer) const override;
    void DumpBody(std::string& out, int depth) const override;
    std::string Label() const override { return "GammaAtom"; }

   private:
    uint32_t gamma_ = 0;
  };

  class PixelAspectAtom final : public QuickTimeAtomImpl<PixelAspectAtom, QuickTimeAtom> {
   public:
    PixelAspectAtom() : QuickTimeAtomImpl(FourCC("pasp")) {}
    uint32_t HorizontalSpacing() const { return horizontalSpacing_; }
    void SetHorizontalSpacing(uint32_t v) { horizontalSpacing_ = v; }
    uint32_t VerticalSpacing() const { return verticalSpacing_; }
    void SetVerticalSpacing(uint32_t v) { verticalSpacing_ = v; }

   protected:
    uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
    uint64_t BodySize() const override { return 8; }
    uint32_t WriteBody(FileBuffer& buffer) const override;
    void DumpBody(std::string& out, int depth) const override;
    std::string Label() const override { return "PixelAspectAtom"; }

   private:
    uint32_t horizontalSpacing_ = 0;
    uint32_t verticalSpacing_ = 0;
  };

  class ClearApertureAtom final : public QuickTimeAtomImpl<ClearApertureAtom, QuickTimeAtom> {
   public:
    ClearApertureAtom() : QuickTimeAtomImpl(FourCC("clap")) {}
    uint32_t WidthN() const { return widthN_; }
    void SetWidthN(uint32_t v) { widthN_ = v; }
    uint32_t WidthD() const { return widthD_; }
    void SetWidthD(uint32_t v) { widthD_ = v; }
    uint32_t HeightN() const { return heightN_; }
    void SetHeightN(uint32_t v) { heightN_ = v; }
    uint32_t HeightD() const { return heightD_; }
    void SetHeightD(uint32_t v) { heightD_ = v; }
    uint32_t HorizontalOffsetN() const { return horizontalOffsetN_; }
    void SetHorizontalOffsetN(uint32_t v) { horizontalOffsetN_ = v; }
    uint32_t HorizontalOffsetD() const { return horizontalOffsetD_; }
    void SetHorizontalOffsetD(uint32_t v) { horizontalOffsetD_ = v; }
    uint32_t VerticalOffsetN() const { return verticalOffsetN_; }
    void SetVerticalOffsetN(uint32_t v) { verticalOffsetN_ = v; }
    uint32_t VerticalOffsetD() const { return verticalOffsetD_; }
    void SetVerticalOffsetD(uint32_t v) { verticalOffsetD_ = v; }

   protected:
    uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
    uint64_t BodySize() const override { return 32; }
    uint32_t WriteBody(FileBuffer& buffer) const override;
    void DumpBody(std::string& out, int depth) const override;
    std::string Label() const override { return "ClearApertureAtom"; }

   private:
    uint32_t widthN_ = 0;
    uint32_t widthD_ = 0;
    uint32_t heightN_ = 0;
    uint32_t heightD_ = 0;
    uint32_t horizontalOffsetN_ = 0;
    uint32_t horizontalOffsetD_ = 0;
    uint32_t verticalOffsetN_ = 0;
    uint32_t verticalOffsetD_ = 0;
  };

  // Colour parameters: type `nclc` or `nclx` (one more byte: the full-range flag); other
  // types keep their body as bytes.
  class ColorAtom final : public QuickTimeAtomImpl<ColorAtom, QuickTimeAtom> {
   public:
    ColorAtom() : QuickTimeAtomImpl(FourCC("colr")) {}

    uint32_t ParameterType() const { return parameterType_; }
    uint16_t Primaries() const { return primaries_; }
    uint16_t TransferFunction() const { return transferFunction_; }
    uint16_t Matrix() const { return matrix_; }
    uint8_t FullRange() const { return fullRange_; }
    void SetParameterType(uint32_t v) { parameterType_ = v; }
    void SetPrimaries(uint16_t v) { primaries_ = v; }
    void SetTransferFunction(uint16_t v) { transferFunction_ = v; }
    void SetMatrix(uint16_t v) { matrix_ = v; }
    void SetFullRange(uint8_t v) { fullRange_ = v; }

   protected:
    uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
    uint64_t BodySize() const override;
    uint32_t WriteBody(FileBuffer& buffer) const override;
    void DumpBody(std::string& out, int depth) const override;
    std::string Label() const override { return "ColorAtom"; }

   private:
    uint32_t parameterType_ = FourCC("nclc");
    uint16_t primaries_ = 1;
    uint16_t transferFunction_ = 1;
    uint16_t matrix_ = 1;
    uint8_t fullRange_ = 0;
    std::vector<uint8_t> other_;  // body after the type, for other parameter types
  };

  explicit VideoSampleDescription(uint32_t dataFormat = FourCC("avc1"));

  uint16_t Width() const { return width_; }
  uint16_t Height() const { return height_; }
  uint32_t HorizontalResolution() const { return horizontalResolution_; }
  uint32_t VerticalResolution() const { return verticalResolution_; }
  uint16_t FrameCount() const { return frameCount_; }
  const std::string& CompressorName() const { return compressorName_; }
  uint16_t Depth() const { return depth_; }
  void SetWidth(uint16_t v) { width_ = v; }
  void SetHeight(uint16_t v) { height_ = v; }
  void SetCompressorName(std::string name) { compressorName_ = std::move(name); }
  void SetDepth(uint16_t v) { depth_ = v; }

  // The typed extension atoms, or null.
  FieldsAtom* GetFieldsAtom() const;
  GammaAtom* GetGammaAtom() const;
  PixelAspectAtom* GetPixelAspectAtom() const;
  ClearApertureAtom* GetClearApertureAtom() const;
  ColorAtom* GetColorAtom() const;
  // The `avcC` or `hvcC` atom, or null.
  QuickTimeAtom* GetDecoderConfiguration() const;

 protected:
  uint32_t ReadFields(FileBuffer& buffer) override;
  uint64_t FieldsSize() const override;
  uint32_t WriteFields(FileBuffer& buffer) const override;
  void DumpFields(std::string& out, int depth) const override;
  std::string Label() const override { return "VideoSampleDescription"; }
  std::unique_ptr<QuickTimeAtom> MakeExtension(uint32_t type) const override;

 private:
  static constexpr uint64_t kCompressorNameField = 32;

  uint16_t version_ = 0;
  uint16_t revision_ = 0;
  uint32_t vendor_ = 0;
  uint32_t temporalQuality_ = 0;
  uint32_t spatialQuality_ = 0;
  uint16_t width_ = 0;
  uint16_t height_ = 0;
  uint32_t horizontalResolution_ = 0x480000;  // 72 dpi
  uint32_t verticalResolution_ = 0x480000;
  uint32_t dataSize_ = 0;
  uint16_t frameCount_ = 1;
  std::string compressorName_;
  uint16_t depth_ = 24;
  uint16_t colorTableID_ = 0xffff;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_VIDEOSAMPLEDESCRIPTION_H_
