// Adds a camera telemetry track to a finished movie, as the camera writes it: a `meta` track
// whose handler is named "Tavro MET" and whose sample description is `zqmd`, one sample per
// chunk, the samples interleaved with the chunks of the other tracks inside the one `mdat`.
// The movie's user data can be extended in the same pass.
//
// The whole file is rebuilt in memory: every existing chunk offset is moved by the telemetry
// inserted before it (and by the growth of the movie atom when it precedes the media data).
#ifndef ZQ_LIB_QUICKTIME64_BOXES_INCLUDE_MP4BOXES_TELEMETRYTRACK_H_
#define ZQ_LIB_QUICKTIME64_BOXES_INCLUDE_MP4BOXES_TELEMETRYTRACK_H_

#include <cstdint>
#include <string>
#include <vector>

namespace mp4boxes {

struct TelemetryTrack {
  std::vector<std::string> samples;  // one ZQMF payload each, in time order
  uint32_t timeScale = 1000;         // of the track's media
  uint32_t sampleDuration = 1000;    // of every sample, in the media time scale
  int64_t mediaStart = 0;            // the media time the track's edit starts at
  uint32_t delay = 0;                // an empty edit before it (movie time scale), or none
  std::string handlerName = "Tavro MET";
  std::string userData;  // boxes appended to the movie's user data (created when absent)
};

// Where the new track's samples ended up.
struct TelemetryLayout {
  std::vector<uint64_t> offsets;  // file offset of each sample
  uint32_t trackID = 0;
};

// `file` with `track` added. The file must hold exactly one `moov` and one `mdat` at its top
// level, its chunk offsets inside that `mdat`. Empty with `*error` set otherwise, or when an
// offset would not fit its table.
std::string AddTelemetryTrack(const std::string& file, const TelemetryTrack& track,
                              TelemetryLayout* layout, std::string* error);

}  // namespace mp4boxes

#endif  // ZQ_LIB_QUICKTIME64_BOXES_INCLUDE_MP4BOXES_TELEMETRYTRACK_H_
