// Time code text.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64TIMECODEUTILITIES_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64TIMECODEUTILITIES_H_

#include <cstdint>
#include <string>

class QuickTime64TimeCodeUtilities {
 public:
  // The time code `frameNumber` frames after the start time code hours:minutes:seconds:frames
  // of a track running at timeScale / frameDuration frames per second, as "HH:MM:SS:FF" with
  // `separator` between the fields (the frame field widens to up to 6 digits). Rates above 60
  // are counted in 60-per-second frames. With `dropFrame`, frame numbers 0 and 1 of every
  // minute not divisible by ten are skipped (107892 frames per hour at 29.97). Empty when
  // the rate is zero or the result is out of range.
  static std::string GetTimeCode(uint32_t frameDuration, uint32_t timeScale, uint32_t frameNumber,
                                 bool dropFrame, int hours, int minutes, int seconds, int frames,
                                 char separator);
};

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64TIMECODEUTILITIES_H_
