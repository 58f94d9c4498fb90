// A time code: hours, minutes, seconds and frames, the frame count they denote, whether it
// counts in drop-frame fashion, and the reel name.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64TIMECODERECORD_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64TIMECODERECORD_H_

#include <cstdint>
#include <string>

struct QuickTime64TimeCodeRecord {
  uint8_t hours = 0;
  uint8_t minutes = 0;
  uint8_t seconds = 0;
  uint8_t frames = 0;
  std::string reelName;  // empty when there is none
  bool dropFrame = false;
  uint32_t frameCount = 0;

  void Clear() { *this = QuickTime64TimeCodeRecord(); }
};

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64TIMECODERECORD_H_
