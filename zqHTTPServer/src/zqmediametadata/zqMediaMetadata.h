// "/zq/zqMediaMetadata": per-file metadata of the SD card's media, chosen by "t" and the file
// ("p", relative to /tmp/fuse_d/DCIM):
//   (absent)   thumbnail: a photo's EXIF thumbnail, a clip's ".THM" beside it
//   exif       a photo's EXIF tags as JSON (a clip answers its thumbnail)
//   scr        a photo's screennail (a clip answers its thumbnail)
//   zqmf       the camera's ZQMF block of a photo (APP6) or clip (moov/udta/ZQMF)
//   tracks     a clip reduced to "trackNames" (video, audio, telemetry), streamed in chunks
//   dur, videoinfo, any other value   the media database's metadata objects
//
// The whole dispatch holds zqMediaMetadata_mutex (shared with the media list). Query errors are
// answered 400 (500 for internal failures) with an empty JSON object; files that are missing or
// of another kind get the unknown-request answer.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQMEDIAMETADATA_ZQMEDIAMETADATA_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQMEDIAMETADATA_ZQMEDIAMETADATA_H_

#include <string>

struct mg_connection;
class ZqExifLoader;

// The route handler; returns 1.
int zqMediaMetadataHandler(mg_connection* conn, void* cbdata);

// Answers the request with `extra` added to its query: the query text another handler (the
// open interface's media handler) passes on, joined with "&" unless it starts with one; ""
// for none. Returns 1.
int zqmediametadata_serve(mg_connection* conn, const std::string& extra);

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

// Parses the query (the extra parameters already appended). nullptr when it is acceptable,
// else the status line to answer with an empty JSON object.
const char* zqmediametadata_parse_query(const std::string& query, MetadataQuery* out);

// The bits of a "trackNames" value (surrounding double quotes removed; unknown names logged
// and ignored).
int zqmediametadata_track_bits(std::string names);

// Streams the reduced MP4 at `path` (a camera path).
void zqmediametadata_extract_tracks(mg_connection* conn, const char* path, int tracks);
// Send the camera's ZQMF block of the clip or photo at `path`.
void zqmediametadata_extract_zqmf_from_mp4(mg_connection* conn, const char* path);
void zqmediametadata_extract_zqmf_from_jpeg(mg_connection* conn, const char* path);

// Loader entry points over a connection: the screennail of the photo at `path` (`mode` 1) as
// Content-Length and bytes after the caller's status line and type; -1 when the file cannot be
// opened, nothing written. The second only loads the EXIF data into `loader`.
int exif_screennail_loader_write_file(mg_connection* conn, ZqExifLoader* loader, const char* path,
                                      int mode);
int zq_exif_loader_write_file(mg_connection* conn, ZqExifLoader* loader, const char* path);

// Writes the answer of the media database's metadata query (zqdb_metadata): "HTTP/1.1 %d
// \r\n", JSON type, Content-Length (0 and no body unless 200), the object and CR LF.
void generateMetadata(mg_connection* conn, const char* query);

// The page-cache drop run after every track extraction: on the camera the kernel's, in host
// runs the simulated camera's (a file below ZQ_ROOT that counts the drops).
void zqmediametadata_drop_caches();

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQMEDIAMETADATA_ZQMEDIAMETADATA_H_
