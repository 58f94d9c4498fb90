// The paged media list: one DCIM folder's entries as the media database lists them, chaptered
// videos, bursts and time-lapses as one group entry each, with the fields a client selects.
//
// Query keys (each at most once, else a bad request, "Field '<key>' found multiple times"):
//   folder   required: the DCIM folder, three digits 100-999 and TAVRO, Q3D_R, Q3D_L, QFRNT
//            or QBACK
//   files    which entries: "none" (all, the default), "clips" (files of no group), "groups",
//            "highlights" (entries with Spotmark tags), each also as "video..." and
//            "photo..." ("videoclips", "photogroups", ...), "photos", "video", and
//            "sessions" (the session files)
//   upload   only files with this upload status (0 to 31)
//   offload  only files not yet offloaded to "app", "pc" or "other"
//   fields   keys to add, separated by ",": mod cre ls cl avc prof mahs hc hi ghc ghi legacy
//            pumid us mos eis hdr wdr pta ao tr mp dur raw umid
// Other keys are ignored. An empty value, or one too long, is a bad request; a value outside
// the lists is not supported, "<key>=<value> not implemented" (for "fields", the names not
// supported); a bad upload status is a bad request.
//
// The answer is one folder object, {"d":"<folder>","fs":[...]}, and a newline. Every entry
// holds "n" (its name) and "s" (its size; a group's is all its members'), then the selected
// keys in the order of the database record formatters. A group adds "g" (group number),
// "b" and "l" (first and last number or chapter), "m" (the numbers it lacks) and, for
// photos, "t" ("b" burst, "t" time-lapse, past 30 numbers); "ghc" and "ghi" give a chaptered
// video's Spotmark count and times over all its chapters (times from its start). A
// chaptered video is named after its first chapter ("Q<c><chapter><number>" on models with
// the newer names, "ZQ<chapter><number>" otherwise or with "legacy"); a photo group after
// its first photo, or "G<group><first>.MP4" with "legacy".
#ifndef ZQ_LIBZQMEDIARTOSDB_INCLUDE_ZQMEDIADB_ZQMEDIADBLIST_H_
#define ZQ_LIBZQMEDIARTOSDB_INCLUDE_ZQMEDIADB_ZQMEDIADBLIST_H_

#include <cstdint>
#include <string>

#include "zqmediadb/zqMediaDBApp.h"

struct DbMediaListQuery {
  std::string folder;
  uint32_t query_options = 0;  // entry classes and kinds (kDbQuery*)
  bool sessions = false;       // the session files instead of the media
  DbUploadSelector upload;
  uint64_t field_mask = 0;   // bits of the record formatters
  bool group_tags = false;   // "ghc"
  bool group_times = false;  // "ghi"
  bool legacy = false;
};

// Parses `query` (null: none). kOk, or why not (kBadRequest, kNotSupported) and a message.
DbResult db_parse_media_list_query(const char* query, DbMediaListQuery* out, std::string* message);

struct DbMediaListAnswer {
  DbResult result = DbResult::kFailed;
  std::string body;     // kOk: the document
  std::string message;  // otherwise: why
};

// The name an entry is listed under, for camera model `model_number`.
std::string db_list_entry_name(const DbListEntry& entry, int model_number, bool legacy);

// The whole list for `query` on a camera of model `model_number`: the pages of the cloud list
// (dbGetCAHList) or of the session files (dbGetCAHSessionFileList), one after the other, and
// for each entry of the folder the records its fields need. Not serialised here: the caller
// holds its own lock.
DbMediaListAnswer generateMediaList(const char* query, int model_number);

#endif  // ZQ_LIBZQMEDIARTOSDB_INCLUDE_ZQMEDIADB_ZQMEDIADBLIST_H_
