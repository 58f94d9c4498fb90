// "/zq/zqMediaMetadata": per-file metadata of the SD card's media, chosen by "t" and the file
// ("p", relative to /tmp/fuse_d/DCIM):
//   (absent)   thumbnail: a photo's EXIF thumbnail, a clip's ".THM" beside it
//   exif       a photo's EXIF tags as JSON (a clip answers its thumbnail)
//   scr        a photo's screennail (a clip answers its thumbnail)
//   zqmf       the camera's ZQMF block of a photo (APP6) or clip (moov/udta/ZQMF)
//   tracks     a clip reduced to "trackNames" (video, audio, telemetry), streamed in chunks
//   dur, videoinfo, any other value   the media database's metadata objects
//
// The whole answer, its streamed body included, holds g_mediaMetadataMutex (shared with the
// media list). Query errors are
// answered 400 (500 for internal failures) with an empty JSON object; files that are missing or
// of another kind get the unknown-request answer.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQMEDIAMETADATA_ZQMEDIAMETADATA_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQMEDIAMETADATA_ZQMEDIAMETADATA_H_

#include <string>
#include <string_view>

#include "http/zqAnswer.h"
#include "http/zqRequest.h"

// The route handler.
ZqAnswer zqMediaMetadata(ZqRequest& request);

// The answer to `request` with `extra` added to its query: the query text another handler
// (the open interface's media handler) passes on, joined with "&" unless it starts with one;
// "" for none.
ZqAnswer zqmediametadata_answer(ZqRequest& request, std::string_view extra);

// Track bits of "trackNames".
enum : int {
  kMetadataTrackVideo = 1,
  kMetadataTrackAudio = 2,
  kMetadataTrackTelemetry = 4,
};

enum class MetadataAction {
  kThumbnail,
  kDuration,
  kExif,
  kTracks,
  kZqmf,
  kScreennail,
  kVideoInfo,
  kDatabase
};

struct MetadataQuery {
  MetadataAction action = MetadataAction::kThumbnail;
  std::string type;  // the value of "t" ("" when absent)
  std::string path;  // the value of "p"
  int tracks = 0;
};

// Parses the query (the extra parameters already appended). 0 when it is acceptable, else the
// status to answer with an empty JSON object.
int zqmediametadata_parse_query(const std::string& query, MetadataQuery* out);

// The bits of a "trackNames" value (surrounding double quotes removed; unknown names logged
// and ignored).
int zqmediametadata_track_bits(std::string names);

// The media database's metadata answer to `query` (zqdb_metadata): its status without a
// reason text, JSON, and the object with CR LF after it (no body unless 200).
ZqAnswer generateMetadata(const char* query);

// The page-cache drop run after every track extraction: on the camera the kernel's, in host
// runs the simulated camera's (a file below ZQ_ROOT that counts the drops).
void zqmediametadata_drop_caches();

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQMEDIAMETADATA_ZQMEDIAMETADATA_H_
