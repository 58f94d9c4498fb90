// The part of the sample card that shows every form the media list knows.
#ifndef ZQ_PLATFORM_SIM_SRC_SIMCARDFORMS_H_
#define ZQ_PLATFORM_SIM_SRC_SIMCARDFORMS_H_

#include <string>

namespace zqsim {

// Adds, below the card at `dir`: a chaptered clip, new-style clips with their proxy and audio
// companions, a 360 clip, photos with raw companions, bursts and a time-lapse with gaps, lens
// folders, folders the list must ignore; and an internal-storage tree in the sibling directory
// "fuse_i" of `dir`. Files the daemon reads are real media (copies of one short clip and one
// photo carrying capture times); the rest are sparse files where only names and sizes matter.
bool MakeMediaForms(const std::string& dir, std::string* error);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_SRC_SIMCARDFORMS_H_
