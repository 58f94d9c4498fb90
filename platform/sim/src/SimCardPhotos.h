// What the camera's photos carry besides the picture, added to the sample card's photos.
#ifndef ZQ_PLATFORM_SIM_SRC_SIMCARDPHOTOS_H_
#define ZQ_PLATFORM_SIM_SRC_SIMCARDPHOTOS_H_

#include <string>

namespace zqsim {

// Gives the photos TAVR0003.JPG and TAVR0004.JPG in `folder` (pictures with their telemetry
// segment) EXIF data (camera, exposure, GPS position, time offset, maker note) with an IFD1
// thumbnail, and a screennail: TAVR0003 from the default model, little-endian EXIF, screennail
// as the second picture of a multi-picture index; TAVR0004 from an older camera, big-endian
// EXIF, screennail cut over APP2 segments. Thumbnails and screennails are the pictures scaled
// down by ffmpeg.
bool MakeSamplePhotos(const std::string& folder, std::string* error);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_SRC_SIMCARDPHOTOS_H_
