// The Open API's media paths ("media/..."): which action a path asks for, the strict grammar
// of the media names a client may give, and everything decided before a request is handed to
// the media list, the metadata handler, the turbo endpoint or the control service.
//
// Media names (D a decimal digit, L an upper-case letter), tried in this order against a query
// "path=" + name:
//   1. DDDTAVRO/TAVRDDDD then exactly ".JPG"                    a photo
//   2. DDDTAVRO/Q[HX]LLDDDD then exactly ".MP4"                 a clip with lettered chapters
//   3. DDDTAVRO/Q[GLHX]DDDDDD then ".LRV" for L, else ".MP4" or ".THM"   a clip, its proxy
//   4. DDDTAVRO/QDDDDDDD then ".JPG" or ".ZQR"                  a burst or time-lapse frame
// A name that has a form's prefix but not its ending fails there (forms 1 to 3 with a log
// line), without trying the later forms. Nothing may follow the name: "path=...JPG&x=1" fails.
#ifndef ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQMEDIAPATH_H_
#define ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQMEDIAPATH_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "zqcontrolapi/zqStorage.h"  // the tag record (kZqTagRecordSize, zq_tag_record)

enum class ZqMediaAction {
  kNone,        // not a media path this endpoint serves (404)
  kList,        // "media/list"
  kTurbo,       // "media/turbo_transfer"
  kTagMoment,   // "media/spotmark/moment"
  kTagFile,     // "media/spotmark/file"
  kTagRemove,   // "media/spotmark/remove"
  kDelete,      // "media/delete/file"
  kTelemetry,   // "media/telemetry"
  kInfo,        // "media/info"
  kZqmf,        // "media/zqmf"
  kScreennail,  // "media/screennail"
  kThumbnail,   // "media/thumbnail"
  kMetadata,    // "media/metadata"
};

// The action of a path relative to "/tavro/" (exact match only).
ZqMediaAction zqoa_media_action(std::string_view path);

// Whether `query` is "path=" followed by one valid media name and nothing else. `log`, when
// not null, receives the line to log for a refusal ("" when the refusal is silent).
bool zqoa_media_query_valid(std::string_view query, const char** log);

// What a media request comes to before anything is called.
struct ZqMediaPlan {
  int status = 400;  // 0: go ahead; otherwise the status to answer with (body "{}\n")
  std::string log;   // a line to log, "" for none
  // kTelemetry ... kMetadata: the extra parameters for the metadata handler ("&p=" + name +
  // the type, or "" when the path variable was absent, too long or held "..").
  std::string extra;
  std::string delete_path;                         // kDelete: the name to delete
  std::array<uint8_t, kZqTagRecordSize> tag = {};  // kTagFile, kTagRemove: the record to send
};

// Decides a media request. `query` is the raw query (null when the URI has none); `path_var`
// is the request's "path" variable as the server's form lookup gives it (decoded; null when
// absent or too long for its buffer). kList, kTurbo and kTagMoment need no path: for kList and
// kTagMoment a query is refused, kTurbo passes it on.
ZqMediaPlan zqoa_media_plan(ZqMediaAction action, const char* query, const char* path_var);

// The status that answers the control service's result: a moment tag and a tag update 200 on
// 0 (a tag update 400 on -3), 500 otherwise; a delete 200 on 0, 400 otherwise.
int zqoa_media_result_status(ZqMediaAction action, int32_t result);

#endif  // ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQMEDIAPATH_H_
