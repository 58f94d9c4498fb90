// The track header: track ID, duration (movie time scale), layout and picture size.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TRACKHEADERATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TRACKHEADERATOM_H_

#include <array>

#include "quicktime64/QuickTimeAtomStandardToModificationTime.h"

namespace MavrelQuickTime64Atom {

class TrackHeaderAtom final
    : public QuickTimeAtomImpl<TrackHeaderAtom, QuickTimeAtomStandardToModificationTime> {
 public:
  TrackHeaderAtom();

  uint32_t TrackID() const { return trackID_; }
  uint64_t Duration() const { return duration_; }
  uint16_t Layer() const { return layer_; }
  uint16_t AlternateGroup() const { return alternateGroup_; }
  uint16_t Volume() const { return volume_; }
  const std::array<uint32_t, 9>& Matrix() const { return matrix_; }
  uint32_t Width() const { return width_; }    // 16.16
  uint32_t Height() const { return height_; }  // 16.16
  void SetTrackID(uint32_t v) { trackID_ = v; }
  void SetDuration(uint64_t v) { duration_ = v; }
  void SetLayer(uint16_t v) { layer_ = v; }
  void SetAlternateGroup(uint16_t v) { alternateGroup_ = v; }
  void SetVolume(uint16_t v) { volume_ = v; }
  void SetMatrix(const std::array<uint32_t, 9>& m) { matrix_ = m; }
  void SetWidth(uint32_t v) { width_ = v; }
  void SetHeight(uint32_t v) { height_ = v; }

 protected:
  uint32_t ReadBody(FileBuffer& buffer, bool flag) override;
  uint64_t BodySize() const override;
  uint32_t WriteBody(FileBuffer& buffer) const override;
  void DumpBody(std::string& out, int depth) const override;
  std::string Label() const override { return "TrackHeaderAtom"; }

 private:
  uint32_t trackID_ = 0;
  uint32_t reserved1_ = 0;
  uint64_t duration_ = 0;
  uint8_t reserved2_[8] = {};
  uint16_t layer_ = 0;
  uint16_t alternateGroup_ = 0;
  uint16_t volume_ = 0;
  uint16_t reserved3_ = 0;
  std::array<uint32_t, 9> matrix_;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_TRACKHEADERATOM_H_
