#include "quicktime64/QuickTime64TimeCodeUtilities.h"

#include <cmath>
#include <cstdio>

namespace {

// Frames in an hour of drop-frame time code at 30 (29.97) frames per second.
constexpr int64_t kDropFramesPerHour = 107892;

struct RateChoice {
  double below;
  int base;
  double multiplier;
};

// Rates up to 60 count in their own frames; faster ones in 60-per-second frames.
constexpr RateChoice kRates[] = {
    {12.01, 12, 1.0},   {15.01, 15, 1.0},     {24.01, 24, 1.0},  {25.01, 25, 1.0},
    {30.01, 30, 1.0},   {48.01, 48, 1.0},     {50.01, 50, 1.0},  {60.01, 60, 1.0},
    {80.01, 60, 0.75},  {90.01, 60, 2.0 / 3}, {100.01, 60, 0.6}, {120.01, 60, 0.5},
    {240.01, 60, 0.25},
};

}  // namespace

std::string QuickTime64TimeCodeUtilities::GetTimeCode(uint32_t frameDuration, uint32_t timeScale,
                                                      uint32_t frameNumber, bool dropFrame,
                                                      int hours, int minutes, int seconds,
                                                      int frames, char separator) {
  if (frameDuration == 0 || timeScale == 0) return "";
  double rate = static_cast<double>(timeScale) / frameDuration;
  int64_t base = 0;
  double multiplier = 1.0;
  for (const RateChoice& choice : kRates) {
    if (rate < choice.below) {
      base = choice.base;
      multiplier = choice.multiplier;
      break;
    }
  }
  if (base == 0) {
    base = static_cast<int64_t>(std::ceil(rate));
    if (base > 60) {
      multiplier = 60.0 / static_cast<double>(base);
      base = 60;
    }
  }

  // The start time code's frames within its hour.
  int64_t start = frames + (seconds + int64_t{minutes} * 60) * base;
  int64_t h, m, s, f;
  if (!dropFrame) {
    int64_t total = frameNumber + int64_t{hours} * 3600 * base + start;
    auto scaled = static_cast<int64_t>(static_cast<double>(total) * multiplier);
    int64_t wholeSeconds = scaled / base;
    f = scaled - wholeSeconds * base;
    h = (wholeSeconds / 3600) % 24;
    m = (wholeSeconds / 60) % 60;
    s = wholeSeconds % 60;
  } else {
    int64_t total = start - (minutes - minutes / 10) * 2 + frameNumber + hours * kDropFramesPerHour;
    auto scaled = static_cast<int64_t>(static_cast<double>(total) * multiplier);
    h = scaled / kDropFramesPerHour;
    int64_t withinHour = scaled % kDropFramesPerHour;
    int64_t q = withinHour / base;
    s = q % 60;
    m = (q / 60) % 60;
    f = withinHour - q * base + (m - m / 10) * 2;
    while (f >= base) {
      f -= base;
      s += 1;
      if (s > 59) {
        s = 0;
        m += 1;
        if (m % 10 != 0) f += 2;
      }
    }
    if (!(m < 61 && h < 25)) return "";
  }
  if (s > 60 || f > base || h < 0 || m < 0 || s < 0 || f < 0) return "";

  char text[64];
  int n = snprintf(text, sizeof text, "%02d%c%02d%c%02d%c", static_cast<int>(h), separator,
                   static_cast<int>(m), separator, static_cast<int>(s), separator);
  // The frame field is as wide as it needs to be, two to six digits; larger is left out.
  int digits = f <= 99 ? 2 : f <= 999 ? 3 : f <= 9999 ? 4 : f <= 99999 ? 5 : f <= 999999 ? 6 : 0;
  if (digits > 0 && n > 0) {
    snprintf(text + n, sizeof text - static_cast<size_t>(n), "%0*d", digits, static_cast<int>(f));
  }
  return text;
}
