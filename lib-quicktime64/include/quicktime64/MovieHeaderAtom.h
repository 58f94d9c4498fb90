// The movie header: time scale, duration, playback defaults and the next free track ID.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MOVIEHEADERATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MOVIEHEADERATOM_H_

#include <array>

#include "quicktime64/QuickTimeAtomStandardToModificationTime.h"

namespace MavrelQuickTime64Atom {

class MovieHeaderAtom final
    : public QuickTimeAtomImpl<MovieHeaderAtom, QuickTimeAtomStandardToModificationTime> {
 public:
  MovieHeaderAtom();

  uint32_t TimeScale() const { return timeScale_; }
  uint64_t Duration() const { return duration_; }
  uint32_t PreferredRate() const { return preferredRate_; }
  uint16_t PreferredVolume() const { return preferredVolume_; }
  const std::array<uint32_t, 9>& Matrix() const { return matrix_; }
  uint32_t NextTrackID() const { return nextTrackID_; }
  void SetTimeScale(uint32_t v) { timeScale_ = v; }
  void SetDuration(uint64_t v) { duration_ = v; }
  void SetPreferredRate(uint32_t v) { preferredRate_ = v; }
  void SetPreferredVolume(uint16_t v) { preferredVolume_ = v; }
  void SetMatrix(const std::array<uint32_t, 9>& m) { matrix_ = m; }
  void SetNextTrackID(uint32_t v) { nextTrackID_ = v; }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "MovieHeaderAtom"; }

 private:
  uint32_t timeScale_ = 0;
  uint64_t duration_ = 0;
  uint32_t preferredRate_ = 0x10000;  // 1.0 in 16.16
  uint16_t preferredVolume_ = 0x100;  // 1.0 in 8.8
  uint8_t reserved_[10] = {};
  std::array<uint32_t, 9> matrix_;
  uint32_t previewTime_ = 0;
  uint32_t previewDuration_ = 0;
  uint32_t posterTime_ = 0;
  uint32_t selectionTime_ = 0;
  uint32_t selectionDuration_ = 0;
  uint32_t currentTime_ = 0;
  uint32_t nextTrackID_ = 1;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_MOVIEHEADERATOM_H_
