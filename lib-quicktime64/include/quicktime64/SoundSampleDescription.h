// A sound sample description: the QuickTime sound fields of version 0, 1 or 2, then
// extension atoms (`wave` with the original format, endianness and decoder configuration,
// `esds` directly, `SA3D`).
//
//   uint16 version, revision    uint32 vendor
//   v0/v1: uint16 channels, sample size, compression id, packet size; uint32 rate (16.16)
//   v1 adds: uint32 samples per packet, bytes per packet, bytes per frame, bytes per sample
//   v2: the v0 fields hold fixed values, then uint32 struct size, float64 sample rate,
//       uint32 channels, 0x7F000000, bits per channel, format flags, bytes per packet,
//       frames per packet
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SOUNDSAMPLEDESCRIPTION_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SOUNDSAMPLEDESCRIPTION_H_

#include <vector>

#include "quicktime64/QuickTimeAtom.h"
#include "quicktime64/SampleDescriptionCF.h"

namespace MavrelQuickTime64Atom {

class SoundSampleDescription final : public SampleDescriptionImpl<SoundSampleDescription> {
 public:
  enum SupportedCodecFormats : uint32_t {
    kLPCM = FourCC("lpcm"),
    kLittleEndianPCM = FourCC("sowt"),
    kBigEndianPCM = FourCC("twos"),
    kInteger24 = FourCC("in24"),
    kInteger32 = FourCC("in32"),
    kFloat32 = FourCC("fl32"),
    kMPEG4Audio = FourCC("mp4a"),
  };
  enum Endian : uint32_t { kBigEndian = 0, kLittleEndian = 1 };

  // The `wave` atom of QuickTime sound descriptions: `frma`, `enda`, `esds`; other children
  // are kept as they are, all in their order.
  class WaveAtom final : public QuickTimeAtomImpl<WaveAtom, QuickTimeAtom> {
   public:
    // The data format the wave atom describes.
    class FormatAtom final : public QuickTimeAtomImpl<FormatAtom, QuickTimeAtom> {
     public:
      FormatAtom() : QuickTimeAtomImpl(FourCC("frma")) {}
      uint32_t DataFormat() const { return format_; }
      void SetDataFormat(uint32_t v) { format_ = v; }

     protected:
      uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
      uint64_t BodySize() const override { return 4; }
      uint32_t WriteBody(FileBuffer& buffer) const override;
      void DumpBody(std::string& out, int depth) const override;
      std::string Label() const override { return "FormatAtom"; }

     private:
      uint32_t format_ = 0;
    };

    // Byte order of the samples (1 = little endian).
    class EndianAtom final : public QuickTimeAtomImpl<EndianAtom, QuickTimeAtom> {
     public:
      EndianAtom() : QuickTimeAtomImpl(FourCC("enda")) {}
      uint16_t LittleEndian() const { return littleEndian_; }
      void SetLittleEndian(uint16_t v) { littleEndian_ = v; }

     protected:
      uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
      uint64_t BodySize() const override { return 2; }
      uint32_t WriteBody(FileBuffer& buffer) const override;
      void DumpBody(std::string& out, int depth) const override;
      std::string Label() const override { return "EndianAtom"; }

     private:
      uint16_t littleEndian_ = 0;
    };

    WaveAtom() : QuickTimeAtomImpl(FourCC("wave")) {}

    const std::vector<Owned<QuickTimeAtom>>& Children() const { return children_; }
    QuickTimeAtom* FindChild(uint32_t type) const;
    void AddChild(std::unique_ptr<QuickTimeAtom> child) {
      children_.emplace_back(std::move(child));
    }

   protected:
    uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
    uint64_t BodySize() const override;
    uint32_t WriteBody(FileBuffer& buffer) const override;
    void DumpBody(std::string& out, int depth) const override;
    std::string Label() const override { return "WaveAtom"; }

   private:
    std::vector<Owned<QuickTimeAtom>> children_;
  };

  explicit SoundSampleDescription(uint32_t dataFormat = FourCC("mp4a"));

  uint16_t Version() const { return version_; }
  void SetVersion(uint16_t v) { version_ = v; }
  // Channels, bits per sample and rate from whichever version's fields hold them.
  uint32_t NumberOfChannels() const;
  uint32_t BitsPerSample() const;
  double SampleRate() const;
  uint32_t SampleRateFixed() const { return sampleRate_; }  // the 16.16 field
  uint16_t CompressionID() const { return compressionID_; }
  uint32_t SamplesPerPacket() const { return samplesPerPacket_; }
  uint32_t BytesPerPacket() const { return bytesPerPacket_; }
  uint32_t BytesPerFrame() const { return bytesPerFrame_; }
  uint32_t BytesPerSample() const { return bytesPerSample_; }
  void SetNumberOfChannels(uint16_t v) { numberOfChannels_ = v; }
  void SetSampleSize(uint16_t v) { sampleSize_ = v; }
  void SetSampleRateFixed(uint32_t v) { sampleRate_ = v; }
  void SetCompressionID(uint16_t v) { compressionID_ = v; }
  void SetVersion1Fields(uint32_t samplesPerPacket, uint32_t bytesPerPacket, uint32_t bytesPerFrame,
                         uint32_t bytesPerSample);

  WaveAtom* GetWaveAtom() const;
  QuickTimeAtom* GetSA3DAtom() const;
  // The decoder configuration (`esds`), directly in the entry or inside `wave`; or null.
  QuickTimeAtom* GetDecoderConfiguration() const;
  // Little endian when the format is `sowt` or an `enda` atom says so.
  Endian GetEndian() const;

 protected:
  uint32_t ReadFields(FileBuffer& buffer) override;
  uint64_t FieldsSize() const override;
  uint32_t WriteFields(FileBuffer& buffer) const override;
  void DumpFields(std::string& out, int depth) const override;
  std::string Label() const override { return "SoundSampleDescription"; }
  std::unique_ptr<QuickTimeAtom> MakeExtension(uint32_t type) const override;

 private:
  uint16_t version_ = 0;
  uint16_t revision_ = 0;
  uint32_t vendor_ = 0;
  uint16_t numberOfChannels_ = 2;
  uint16_t sampleSize_ = 16;
  uint16_t compressionID_ = 0;
  uint16_t packetSize_ = 0;
  uint32_t sampleRate_ = 0;  // 16.16
  // Version 1.
  uint32_t samplesPerPacket_ = 0;
  uint32_t bytesPerPacket_ = 0;
  uint32_t bytesPerFrame_ = 0;
  uint32_t bytesPerSample_ = 0;
  // Version 2.
  uint32_t sizeOfStructOnly_ = 72;
  double audioSampleRate_ = 0;
  uint32_t numAudioChannels_ = 0;
  uint32_t always7F000000_ = 0x7f000000;
  uint32_t constBitsPerChannel_ = 0;
  uint32_t formatSpecificFlags_ = 0;
  uint32_t constBytesPerAudioPacket_ = 0;
  uint32_t constLPCMFramesPerAudioPacket_ = 0;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SOUNDSAMPLEDESCRIPTION_H_
