// The media header: the media time scale and duration (in that time scale), language, quality.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MEDIAHEADERATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MEDIAHEADERATOM_H_

#include "quicktime64/QuickTimeAtomStandardToModificationTime.h"

namespace MavrelQuickTime64Atom {

class MediaHeaderAtom final
    : public QuickTimeAtomImpl<MediaHeaderAtom, QuickTimeAtomStandardToModificationTime> {
 public:
  MediaHeaderAtom() : QuickTimeAtomImpl(FourCC("mdhd")) {}

  uint32_t TimeScale() const { return timeScale_; }
  uint64_t Duration() const { return duration_; }
  uint16_t Language() const { return language_; }
  uint16_t Quality() const { return quality_; }
  void SetTimeScale(uint32_t v) { timeScale_ = v; }
  void SetDuration(uint64_t v) { duration_ = v; }
  void SetLanguage(uint16_t v) { language_ = v; }
  void SetQuality(uint16_t v) { quality_ = v; }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "MediaHeaderAtom"; }

 private:
  uint32_t timeScale_ = 0;
  uint64_t duration_ = 0;
  uint16_t language_ = 0;
  uint16_t quality_ = 0;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MEDIAHEADERATOM_H_
