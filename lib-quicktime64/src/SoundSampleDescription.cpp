#include "quicktime64/SoundSampleDescription.h"

#include "quicktime64/ByteStream.h"
#include "quicktime64/GenericSoundCompressionAtom.h"
#include "quicktime64/SA3DAtom.h"
#include "quicktime64/UnparsedAtom.h"

namespace MavrelQuickTime64Atom {

uint32_t SoundSampleDescription::WaveAtom::FormatAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  format_ = in.U32();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint32_t SoundSampleDescription::WaveAtom::FormatAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U32(format_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void SoundSampleDescription::WaveAtom::FormatAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "DataFormat: %s", FourCCText(format_).c_str());
}

uint32_t SoundSampleDescription::WaveAtom::EndianAtom::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  littleEndian_ = in.U16();
  return in.ok() ? 0 : kQTAtomMalformed;
}

uint32_t SoundSampleDescription::WaveAtom::EndianAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U16(littleEndian_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void SoundSampleDescription::WaveAtom::EndianAtom::DumpBody(std::string& out, int depth) const {
  Line(out, depth, "LittleEndian: %u", littleEndian_);
}

QuickTimeAtom* SoundSampleDescription::WaveAtom::FindChild(uint32_t type) const {
  for (const auto& child : children_) {
    if (child->Type() == type) return child.get();
  }
  return nullptr;
}

uint32_t SoundSampleDescription::WaveAtom::ReadBody(FileBuffer& buffer, bool flag) {
  children_.clear();
  while (buffer.Remaining() >= 8) {
    uint32_t type = GetFourccOfCurrentAtom(buffer);
    std::unique_ptr<QuickTimeAtom> child;
    switch (type) {
      case FourCC("frma"):
        child = std::make_unique<FormatAtom>();
        break;
      case FourCC("enda"):
        child = std::make_unique<EndianAtom>();
        break;
      case FourCC("esds"):
        child = std::make_unique<GenericSoundCompressionAtom>();
        break;
      default:
        child = std::make_unique<UnparsedAtom>(type);
        break;
    }
    uint32_t result = child->Read(buffer, flag);
    if (result == kQTAtomZeroSize) break;
    if (result != 0) return kQTAtomMalformed;
    children_.emplace_back(std::move(child));
  }
  return 0;
}

uint64_t SoundSampleDescription::WaveAtom::BodySize() const {
  uint64_t size = 0;
  for (const auto& child : children_) size += child->Size();
  return size;
}

uint32_t SoundSampleDescription::WaveAtom::WriteBody(FileBuffer& buffer) const {
  for (const auto& child : children_) {
    uint32_t result = child->Write(buffer);
    if (result != 0) return result;
  }
  return 0;
}

void SoundSampleDescription::WaveAtom::DumpBody(std::string& out, int depth) const {
  for (const auto& child : children_) DumpChild(out, child.get(), depth);
}

SoundSampleDescription::SoundSampleDescription(uint32_t dataFormat)
    : SampleDescriptionImpl(dataFormat) {}

std::unique_ptr<QuickTimeAtom> SoundSampleDescription::MakeExtension(uint32_t type) const {
  switch (type) {
    case FourCC("wave"):
      return std::make_unique<WaveAtom>();
    case FourCC("SA3D"):
      return std::make_unique<SA3DAtom>();
    case FourCC("esds"):
      return std::make_unique<GenericSoundCompressionAtom>();
    default:
      return nullptr;
  }
}

uint32_t SoundSampleDescription::NumberOfChannels() const {
  return version_ == 2 ? numAudioChannels_ : numberOfChannels_;
}

uint32_t SoundSampleDescription::BitsPerSample() const {
  return version_ == 2 ? constBitsPerChannel_ : sampleSize_;
}

double SoundSampleDescription::SampleRate() const {
  return version_ == 2 ? audioSampleRate_ : sampleRate_ / 65536.0;
}

void SoundSampleDescription::SetVersion1Fields(uint32_t samplesPerPacket, uint32_t bytesPerPacket,
                                               uint32_t bytesPerFrame, uint32_t bytesPerSample) {
  samplesPerPacket_ = samplesPerPacket;
  bytesPerPacket_ = bytesPerPacket;
  bytesPerFrame_ = bytesPerFrame;
  bytesPerSample_ = bytesPerSample;
}

SoundSampleDescription::WaveAtom* SoundSampleDescription::GetWaveAtom() const {
  return dynamic_cast<WaveAtom*>(FindExtension(FourCC("wave")));
}

QuickTimeAtom* SoundSampleDescription::GetSA3DAtom() const { return FindExtension(FourCC("SA3D")); }

QuickTimeAtom* SoundSampleDescription::GetDecoderConfiguration() const {
  if (QuickTimeAtom* esds = FindExtension(FourCC("esds"))) return esds;
  WaveAtom* wave = GetWaveAtom();
  return wave != nullptr ? wave->FindChild(FourCC("esds")) : nullptr;
}

SoundSampleDescription::Endian SoundSampleDescription::GetEndian() const {
  if (dataFormat_ == kLittleEndianPCM) return kLittleEndian;
  WaveAtom* wave = GetWaveAtom();
  auto* enda = wave != nullptr
                   ? dynamic_cast<WaveAtom::EndianAtom*>(wave->FindChild(FourCC("enda")))
                   : nullptr;
  return enda != nullptr && enda->LittleEndian() != 0 ? kLittleEndian : kBigEndian;
}

uint32_t SoundSampleDescription::ReadFields(FileBuffer& buffer) {
  ByteReader in(buffer);
  version_ = in.U16();
  revision_ = in.U16();
  vendor_ = in.U32();
  numberOfChannels_ = in.U16();
  sampleSize_ = in.U16();
  compressionID_ = in.U16();
  packetSize_ = in.U16();
  sampleRate_ = in.U32();
  if (version_ == 1) {
    samplesPerPacket_ = in.U32();
    bytesPerPacket_ = in.U32();
    bytesPerFrame_ = in.U32();
    bytesPerSample_ = in.U32();
  } else if (version_ == 2) {
    sizeOfStructOnly_ = in.U32();
    audioSampleRate_ = in.F64();
    numAudioChannels_ = in.U32();
    always7F000000_ = in.U32();
    constBitsPerChannel_ = in.U32();
    formatSpecificFlags_ = in.U32();
    constBytesPerAudioPacket_ = in.U32();
    constLPCMFramesPerAudioPacket_ = in.U32();
  }
  if (!in.ok()) return kQTAtomMalformed;
  buffer.Advance(in.Position());
  return ReadExtensions(buffer);
}

uint64_t SoundSampleDescription::FieldsSize() const {
  uint64_t size = 20;
  if (version_ == 1) size += 16;
  if (version_ == 2) size += 36;
  return size + ExtensionsSize();
}

uint32_t SoundSampleDescription::WriteFields(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  out.U16(version_);
  out.U16(revision_);
  out.U32(vendor_);
  out.U16(numberOfChannels_);
  out.U16(sampleSize_);
  out.U16(compressionID_);
  out.U16(packetSize_);
  out.U32(sampleRate_);
  if (version_ == 1) {
    out.U32(samplesPerPacket_);
    out.U32(bytesPerPacket_);
    out.U32(bytesPerFrame_);
    out.U32(bytesPerSample_);
  } else if (version_ == 2) {
    out.U32(sizeOfStructOnly_);
    out.F64(audioSampleRate_);
    out.U32(numAudioChannels_);
    out.U32(always7F000000_);
    out.U32(constBitsPerChannel_);
    out.U32(formatSpecificFlags_);
    out.U32(constBytesPerAudioPacket_);
    out.U32(constLPCMFramesPerAudioPacket_);
  }
  if (!out.ok()) return kQTAtomBufferTooSmall;
  buffer.Advance(out.Position());
  return WriteExtensions(buffer);
}

void SoundSampleDescription::DumpFields(std::string& out, int depth) const {
  Line(out, depth, "Version: %u Revision: %u Vendor: %s", version_, revision_,
       FourCCText(vendor_).c_str());
  Line(out, depth, "Channels: %u BitsPerSample: %u SampleRate: %.3f CompressionID: %d",
       NumberOfChannels(), BitsPerSample(), SampleRate(), static_cast<int16_t>(compressionID_));
  if (version_ == 1) {
    Line(out, depth, "SamplesPerPacket: %u BytesPerPacket: %u BytesPerFrame: %u BytesPerSample: %u",
         samplesPerPacket_, bytesPerPacket_, bytesPerFrame_, bytesPerSample_);
  }
  DumpExtensions(out, depth);
}

}  // namespace MavrelQuickTime64Atom
