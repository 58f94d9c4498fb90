// A time code sample description:
//
//   uint32 reserved   uint32 flags (bit 0: drop frame)   uint32 time scale
//   uint32 frame duration   uint8 number of frames (per second)   uint8 reserved
//
// then an optional `name` atom with the reel name.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMECODESAMPLEDESCRIPTION_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMECODESAMPLEDESCRIPTION_H_

#include <string>

#include "quicktime64/QuickTimeAtom.h"
#include "quicktime64/SampleDescriptionCF.h"

namespace MavrelQuickTime64Atom {

class TimeCodeSampleDescription final : public SampleDescriptionImpl<TimeCodeSampleDescription> {
 public:
  static constexpr uint32_t kDropFrame = 1;

  // The reel name: uint16 text length, uint16 language, then the text.
  class NameAtom final : public QuickTimeAtomImpl<NameAtom, QuickTimeAtom> {
   public:
    NameAtom() : QuickTimeAtomImpl(FourCC("name")) {}
    const std::string& Text() const { return text_; }
    uint16_t Language() const { return language_; }
    void SetText(std::string text) { text_ = std::move(text); }
    void SetLanguage(uint16_t v) { language_ = v; }

   protected:
    uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
    uint64_t BodySize() const override;
    uint32_t WriteBody(FileBuffer& buffer) const override;
    void DumpBody(std::string& out, int depth) const override;
    std::string Label() const override { return "NameAtom"; }

   private:
    uint16_t language_ = 0;
    std::string text_;
  };

  TimeCodeSampleDescription() : SampleDescriptionImpl(FourCC("tmcd")) {}

  uint32_t Flags() const { return flags_; }
  uint32_t TimeScale() const { return timeScale_; }
  uint32_t FrameDuration() const { return frameDuration_; }
  uint8_t NumberOfFrames() const { return numberOfFrames_; }
  void SetFlags(uint32_t v) { flags_ = v; }
  void SetTimeScale(uint32_t v) { timeScale_ = v; }
  void SetFrameDuration(uint32_t v) { frameDuration_ = v; }
  void SetNumberOfFrames(uint8_t v) { numberOfFrames_ = v; }
  NameAtom* GetNameAtom() const;
  // Replaces (or with an empty name removes) the reel name.
  void SetReelName(const std::string& name);

 protected:
  uint32_t ReadFields(FileBuffer& buffer) override;
  uint64_t FieldsSize() const override;
  uint32_t WriteFields(FileBuffer& buffer) const override;
  void DumpFields(std::string& out, int depth) const override;
  std::string Label() const override { return "TimeCodeSampleDescription"; }
  std::unique_ptr<QuickTimeAtom> MakeExtension(uint32_t type) const override;

 private:
  uint32_t reserved1_ = 0;
  uint32_t flags_ = 0;
  uint32_t timeScale_ = 0;
  uint32_t frameDuration_ = 0;
  uint8_t numberOfFrames_ = 0;
  uint8_t reserved2_ = 0;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TIMECODESAMPLEDESCRIPTION_H_
