#include "quicktime64/VideoSampleDescription.h"

#include "quicktime64/AVCCAtom.h"
#include "quicktime64/ByteStream.h"
#include "quicktime64/HVCCAtom.h"

namespace MavrelQuickTime64Atom {

uint32_t VideoSampleDescription::FieldsAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  fieldCount_ = in.U8();
  fieldOrder_ = in.U8();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint32_t VideoSampleDescription::FieldsAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U8(fieldCount_);
  out.U8(fieldOrder_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void VideoSampleDescription::FieldsAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "FieldCount: %u FieldOrder: %u", fieldCount_, fieldOrder_);
}

uint32_t VideoSampleDescription::GammaAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  gamma_ = in.U32();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint32_t VideoSampleDescription::GammaAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U32(gamma_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void VideoSampleDescription::GammaAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "Gamma: %u", gamma_);
}

uint32_t VideoSampleDescription::PixelAspectAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  horizontalSpacing_ = in.U32();
  verticalSpacing_ = in.U32();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint32_t VideoSampleDescription::PixelAspectAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U32(horizontalSpacing_);
  out.U32(verticalSpacing_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void VideoSampleDescription::PixelAspectAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "HorizontalSpacing: %u VerticalSpacing: %u", horizontalSpacing_,
       verticalSpacing_);
}

uint32_t VideoSampleDescription::ClearApertureAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  widthN_ = in.U32();
  widthD_ = in.U32();
  heightN_ = in.U32();
  heightD_ = in.U32();
  horizontalOffsetN_ = in.U32();
  horizontalOffsetD_ = in.U32();
  verticalOffsetN_ = in.U32();
  verticalOffsetD_ = in.U32();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint32_t VideoSampleDescription::ClearApertureAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U32(widthN_);
  out.U32(widthD_);
  out.U32(heightN_);
  out.U32(heightD_);
  out.U32(horizontalOffsetN_);
  out.U32(horizontalOffsetD_);
  out.U32(verticalOffsetN_);
  out.U32(verticalOffsetD_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void VideoSampleDescription::ClearApertureAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth,
       "WidthN: %u WidthD: %u HeightN: %u HeightD: %u HorizontalOffsetN: %u HorizontalOffsetD: %u "
       "VerticalOffsetN: %u VerticalOffsetD: %u",
       widthN_, widthD_, heightN_, heightD_, horizontalOffsetN_, horizontalOffsetD_,
       verticalOffsetN_, verticalOffsetD_);
}

uint32_t VideoSampleDescription::ColorAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  parameterType_ = in.U32();
  other_.clear();
  if (!in.ok()) return kQTAtomMalformed;
  if (parameterType_ == FourCC("nclc") || parameterType_ == FourCC("nclx")) {
    primaries_ = in.U16();
    transferFunction_ = in.U16();
    matrix_ = in.U16();
    fullRange_ = parameterType_ == FourCC("nclx") ? in.U8() : 0;
    return in.ok() ? 0 : kQTAtomMalformed;
  }
  return in.Bytes(&other_, in.Remaining()) ? 0 : kQTAtomMalformed;
}

uint64_t VideoSampleDescription::ColorAtom::BodySize() const {
  if (parameterType_ == FourCC("nclc")) return 10;
  if (parameterType_ == FourCC("nclx")) return 11;
  return 4 + other_.size();
}

uint32_t VideoSampleDescription::ColorAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U32(parameterType_);
  if (parameterType_ == FourCC("nclc") || parameterType_ == FourCC("nclx")) {
    out.U16(primaries_);
    out.U16(transferFunction_);
    out.U16(matrix_);
    if (parameterType_ == FourCC("nclx")) out.U8(fullRange_);
  } else {
    out.Bytes(other_);
  }
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void VideoSampleDescription::ColorAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "ParameterType: %s Primaries: %u TransferFunction: %u Matrix: %u FullRange: %u",
       FourCCText(parameterType_).c_str(), primaries_, transferFunction_, matrix_, fullRange_);
}

VideoSampleDescription::VideoSampleDescription(uint32_t dataFormat)
    : SampleDescriptionImpl(dataFormat), compressorName_("Mavrel HD") {}

std::unique_ptr<QuickTimeAtom> VideoSampleDescription::MakeExtension(uint32_t type) const {
  switch (type) {
    case FourCC("fiel"):
      return std::make_unique<FieldsAtom>();
    case FourCC("gama"):
      return std::make_unique<GammaAtom>();
    case FourCC("pasp"):
      return std::make_unique<PixelAspectAtom>();
    case FourCC("clap"):
      return std::make_unique<ClearApertureAtom>();
    case FourCC("colr"):
      return std::make_unique<ColorAtom>();
    case FourCC("avcC"):
      return std::make_unique<AVCCAtom>();
    case FourCC("hvcC"):
      return std::make_unique<HVCCAtom>();
    default:
      return nullptr;
  }
}

VideoSampleDescription::FieldsAtom* VideoSampleDescription::GetFieldsAtom() const {
  return dynamic_cast<FieldsAtom*>(FindExtension(FourCC("fiel")));
}

VideoSampleDescription::GammaAtom* VideoSampleDescription::GetGammaAtom() const {
  return dynamic_cast<GammaAtom*>(FindExtension(FourCC("gama")));
}

VideoSampleDescription::PixelAspectAtom* VideoSampleDescription::GetPixelAspectAtom() const {
  return dynamic_cast<PixelAspectAtom*>(FindExtension(FourCC("pasp")));
}

VideoSampleDescription::ClearApertureAtom* VideoSampleDescription::GetClearApertureAtom() const {
  return dynamic_cast<ClearApertureAtom*>(FindExtension(FourCC("clap")));
}

VideoSampleDescription::ColorAtom* VideoSampleDescription::GetColorAtom() const {
  return dynamic_cast<ColorAtom*>(FindExtension(FourCC("colr")));
}

QuickTimeAtom* VideoSampleDescription::GetDecoderConfiguration() const {
  QuickTimeAtom* avcc = FindExtension(FourCC("avcC"));
  return avcc != nullptr ? avcc : FindExtension(FourCC("hvcC"));
}

uint32_t VideoSampleDescription::ReadFields(FileBuffer& buffer) {
  ByteReader in(buffer);
  version_ = in.U16();
  revision_ = in.U16();
  vendor_ = in.U32();
  temporalQuality_ = in.U32();
  spatialQuality_ = in.U32();
  width_ = in.U16();
  height_ = in.U16();
  horizontalResolution_ = in.U32();
  verticalResolution_ = in.U32();
  dataSize_ = in.U32();
  frameCount_ = in.U16();
  // A name longer than its 32-byte field is malformed.
  bool nameOk = ReadPascalField(in, kCompressorNameField, &compressorName_);
  depth_ = in.U16();
  colorTableID_ = in.U16();
  if (!in.ok() || !nameOk) return kQTAtomMalformed;
  buffer.Advance(in.Position());
  return ReadExtensions(buffer);
}

uint64_t VideoSampleDescription::FieldsSize() const { return 70 + ExtensionsSize(); }

uint32_t VideoSampleDescription::WriteFields(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U16(version_);
  out.U16(revision_);
  out.U32(vendor_);
  out.U32(temporalQuality_);
  out.U32(spatialQuality_);
  out.U16(width_);
  out.U16(height_);
  out.U32(horizontalResolution_);
  out.U32(verticalResolution_);
  out.U32(dataSize_);
  out.U16(frameCount_);
  WritePascalField(out, compressorName_, kCompressorNameField);
  out.U16(depth_);
  out.U16(colorTableID_);
  if (!out.ok()) return kQTAtomBufferTooSmall;
  buffer.Advance(out.Position());
  return WriteExtensions(buffer);
}

void VideoSampleDescription::DumpFields(std::string& out, int depth) const {
  Line(out, depth, "Version: %u Revision: %u Vendor: %s", version_, revision_,
       FourCCText(vendor_).c_str());
  Line(out, depth, "TemporalQuality: %u SpatialQuality: %u", temporalQuality_, spatialQuality_);
  Line(out, depth, "Width: %u Height: %u", width_, height_);
  Line(out, depth, "HorizontalResolution: 0x%08x VerticalResolution: 0x%08x", horizontalResolution_,
       verticalResolution_);
  Line(out, depth, "DataSize: %u FrameCount: %u", dataSize_, frameCount_);
  Line(out, depth, "CompressorName: %s", compressorName_.c_str());
  Line(out, depth, "Depth: %u ColorTableID: %d", depth_, static_cast<int16_t>(colorTableID_));
  DumpExtensions(out, depth);
}

}  // namespace MavrelQuickTime64Atom
