// Client of the camera's media database service ("rtos_media_db"), reached through the IPC
// library (zqipc.h).
//
// Wire format (every integer little-endian, no padding, text fields fixed-width and not
// terminated when full):
//   request header, 12 bytes:  command_type u32, request_count u32, token u32
//   single-file request, 32:   header, directory char[8] at 12, file name char[12] at 20
//                              (command 9 adds the upload status word u32 at 32)
//   folder listing (12), 20:   header, directory char[8]
//   list query (0), 24 or 32:  header, starting_index, list_options, query_options
//                              [, param1, param2]
//   reply header, 20 bytes:    command_type u32, status i32, count_returned u32 (folder
//                              listing: number_transfers), rtos_db_version u32 (folder
//                              listing: number_file_names), token u32
//   content record at 20 (commands 2, 3, 4, 7), 76 bytes: content_type u32 at 0 (0xFFFFFFFF:
//     unknown file), creation u32 at 24, modification u32 at 28, tag count u32 at 32, flags u32
//     at 36, upload status word u32 at 40, size u64 at 44, "mahs" byte at 52, rotation, field
//     of view, lens count and projection u32 at 60, 64, 68, 72
//   video-specific information at 96 (command 4): low-resolution size, duration ms, profile,
//     AVC profile, tag count, "cl", then one u32 time per tag
//   unique ids at 96 (command 7): umid[16], parent umid[16] (zero: none)
//   more information at 20 (command 8): width, height, frame-rate numerator and denominator,
//     progressive, subsampling (i32 each), reply at least 48 bytes
//   group record at 96 (command 3): group number, first, last, missing count u32, size u64
//   folder entries (command 12), 28 bytes each: name char[12], time u64, size u64; the first
//     message holds the header and entries, later messages bare entries
//   list request options: list_options bit 0 sort order, bit 1 grouping (a chaptered video,
//     a burst or a time-lapse is one group entry), bit 2 include unique ids, bit 3 include
//     more information; query_options select entries: 0x100 videos, 0x200 photos, 0x400
//     session files (none of the three: videos and photos), 0x1 only entries with Spotmark
//     tags, 0x2 only groups, 0x4 only files of no group, 0x1000 only files whose upload
//     status is param1, 0x2000 only files that carry none of the offload marks in param2
//     (1 app, 2 pc, 4 other)
//   list reply (command 0): reply header, start_index, list_options, query_options,
//     total_entries, session_id (u32 each), then 40-byte entries: directory char[8], name
//     char[12], content_type u32, size u64, creation u32, modification u32; with grouping
//     asked, each entry is followed by a group record length u32 (0 for a file of no group)
//     and the group record: group_number, first_number, last_number, num_missing u32,
//     group_size u64, mask size u32, then the mask: bit i (byte i / 8, lowest bit first) set
//     when number first + i is missing; the mask is (last - first + 8) / 8 bytes. A group
//     entry's name is its first member's, its size the group's. For a chaptered video the
//     group number is the file number and the numbers are chapters.
//   histogram (command 10): reply header, then 32 u32 counts, one per upload status
//
// Every operation opens the endpoint, exchanges and closes it: calls are re-entrant, and
// callers serialise at their own level.
#ifndef ZQ_LIBZQMEDIARTOSDB_INCLUDE_ZQMEDIADB_ZQMEDIADBAPP_H_
#define ZQ_LIBZQMEDIARTOSDB_INCLUDE_ZQMEDIADB_ZQMEDIADBAPP_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zqcommon/zqByteOrder.h"  // the wire is little-endian: zq_load_le32 and friends
#include "zqipc.h"

inline constexpr char kZqMediaDbEndpoint[] = "rtos_media_db";

enum db_command_e : uint32_t {
  DB_CMD_GET_LIST = 0,
  DB_CMD_GET_CONTENT_INFO = 2,
  DB_CMD_GET_GROUP_CONTENT_INFO = 3,
  DB_CMD_GET_VIDEO_SPECIFIC_INFO = 4,
  DB_CMD_GET_FILENAME_BY_UMID = 6,
  DB_CMD_GET_UMID_BY_FILENAME = 7,
  DB_CMD_GET_MORE_INFO = 8,
  DB_CMD_SET_UPLOAD_STATUS = 9,
  DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM = 10,
  DB_CMD_NON_DB_SCANDIR = 12,
};

inline constexpr size_t kDbRequestHeaderSize = 12;
inline constexpr size_t kDbResponseHeaderSize = 20;
inline constexpr size_t kDbSingleFileRequestSize = 32;
inline constexpr size_t kDbScanDirRequestSize = 20;
inline constexpr size_t kDbScanEntrySize = 28;
inline constexpr size_t kDbContentRecordSize = 76;
inline constexpr size_t kDbVideoInfoOffset = 96;
inline constexpr size_t kDbMoreInfoMinReply = 48;
inline constexpr uint32_t kDbUnknownContentType = 0xFFFFFFFF;
inline constexpr int kDbDefaultTimeoutSeconds = 30;
inline constexpr int kDbMaxTags = 99;
inline constexpr size_t kDbJsonEntrySize = 1536;
inline constexpr uint32_t kDbUploadStatusCount = 32;

struct db_response_header {
  uint32_t command_type;
  int32_t status;
  uint32_t count_returned;   // folder listing: number_transfers
  uint32_t rtos_db_version;  // folder listing: number_file_names
  uint32_t token;
};

// Decodes the reply header; false when fewer than 20 bytes.
bool db_parse_response_header(const uint8_t* bytes, size_t length, db_response_header* out);

// A request header at the start of `out` (12 bytes).
void db_put_request_header(uint8_t* out, uint32_t command, uint32_t request_count, uint32_t token);

// Sends `request` and receives one reply into `reply` (kZqIpcMaxMessage bytes), with up to
// `retries` + 1 attempts, 100 ms apart, and a receive time-out of `timeout_seconds` (30 when 0;
// both scaled by ZQ_TIME_SCALE in host runs). Returns the reply length, or -1 when every attempt
// failed.
int32_t zqdb_exchange(zqIpcHandle* handle, const uint8_t* request, uint32_t length, uint8_t* reply,
                      int retries, int timeout_seconds);

// One folder entry as the listing delivers it.
struct DbScanEntry {
  char name[13];  // terminated
  uint64_t time;
  uint64_t size;
};

// Accepts a 12-character name (`length` is 12).
using DbNameFilter = bool (*)(const char* name, int length);

// Results of scandirRTOSdb besides a record count.
enum : int {
  kDbScanOpenFailed = -1,
  kDbScanShortReply = -3,
  kDbScanBadFolder = -4,
  kDbScanNoEntries = -5,
  kDbScanStatus = -7,
  kDbScanOverflow = -10,
};

// Lists DCIM folder `folder` (8 characters) from the database into `out`: `*count` is the
// capacity on entry and the number of entries written on return (also on -10, when the
// entries that fit are kept). Returns the count, or a negative result above (-1 and other
// negative values also for a failed exchange).
int scandirRTOSdb(const char* folder, DbScanEntry* out, uint32_t* count, DbNameFilter filter);
// The same, appending to `out` at most `capacity` entries.
int scandirRTOSdb(const char* folder, std::vector<DbScanEntry>* out, uint32_t capacity,
                  DbNameFilter filter);

// The part of scandirRTOSdb that reads the first reply: appends the accepted entries of
// `reply` to `out` (at most `capacity` in all) and tells how many entries were taken before
// filtering (`*taken`) and how many names the listing announces (`*announced`), and the number
// of messages (`*transfers`). Returns 0 or a negative result (-3, -5, -7, -10).
int db_scan_first_reply(const uint8_t* reply, size_t length, uint32_t token, uint32_t capacity,
                        DbNameFilter filter, std::vector<DbScanEntry>* out, uint32_t* taken,
                        uint32_t* announced, uint32_t* transfers);
// A later message of the listing: bare entries. Returns 0 to go on, 1 when the listing is
// complete or the message is too short, -10 when the capacity ran out.
int db_scan_next_reply(const uint8_t* reply, size_t length, uint32_t capacity, DbNameFilter filter,
                       std::vector<DbScanEntry>* out, uint32_t* taken, uint32_t announced);

// What a request to the service came to.
enum class DbResult : uint8_t {
  kOk,
  kBusy,          // the service is busy (statuses 1 and 2)
  kNotFound,      // no such file (statuses 3 and 4, an unknown content type, no card)
  kBadRequest,    // the request cannot be asked as it stands (a malformed query or value)
  kNotSupported,  // no such request, or not for this kind of file
  kUnreachable,   // the service could not be reached, or did not answer
  kBadReply,      // its reply is too short or does not hold together
  kFailed,        // it reported another error, or its answer does not fit the record
};

// The result of a service status: 0 kOk, 1 and 2 kBusy, 3 and 4 kNotFound, anything else
// kFailed.
DbResult db_result_of_status(int32_t status);

// A checked single-file reply (commands 2, 3, 4, 7, 8).
struct DbReply {
  uint8_t bytes[kZqIpcMaxMessage];
  int length = 0;
  const uint8_t* content = nullptr;  // content record (not for command 8)
  const uint8_t* video = nullptr;    // video-specific information (command 4)
  const uint8_t* extra = nullptr;    // unique ids (7), group record (3), more information (8)
};

// Checks reply `r` (its bytes and length filled) to `command`, in the order: size, token
// (logged only), count, status, content type, record sizes. Sets the pointers on kOk.
DbResult db_check_single_reply(uint32_t command, uint32_t token, uint32_t request_count,
                               DbReply* r);

// Asks `command` about `dir`/`file` (at most 8 and 12 characters). `extra` (4 bytes or nullptr)
// follows the request for command 9. The result of db_check_single_reply, or kUnreachable.
DbResult db_single_file_query(uint32_t command, const char* dir, const char* file, DbReply* reply,
                              const uint8_t* extra = nullptr, size_t extra_len = 0);

DbResult dbGetContentInfo(const char* dir, const char* file, DbReply* reply);
DbResult dbGetGroupContentInfo(const char* dir, const char* file, DbReply* reply);
DbResult dbGetVideoSpecificInfo(const char* dir, const char* file, DbReply* reply);
DbResult dbGetUMIDByFileName(const char* dir, const char* file, DbReply* reply);
DbResult dbGetMoreInfo(const char* dir, const char* file, DbReply* reply);
// The duration of a chaptered video in seconds, rounded; -1 when it cannot be had.
int dbGetChapteredVideoDuration(const char* dir, const char* file);
// Directory and file name of the file with unique id `umid` (16 bytes).
DbResult dbGetFileNameByUMID(const uint8_t* umid, std::string* dir, std::string* file);
// Writes the upload status word of a file (command 9).
DbResult dbSetUploadStatusRawBits(const char* dir, const char* file, uint32_t word);
// Reads the word (command 2), sets the upload status (< 32, else kBadRequest) in its low 16
// bits, writes it.
DbResult dbSetCAHUploadStatus(const char* dir, const char* file, uint32_t status);
// Counts per upload status (command 10).
DbResult dbGetUploadStatusHistogram(uint32_t counts[kDbUploadStatusCount]);

// List options and query options of a list request (the wire format above).
enum : uint32_t {
  kDbListSortOrder = 0x1,
  kDbListGrouping = 0x2,
  kDbListIncludeUmid = 0x4,
  kDbListIncludeMoreInfo = 0x8,
};
enum : uint32_t {
  kDbQueryHighlights = 0x1,
  kDbQueryGroups = 0x2,
  kDbQuerySingles = 0x4,
  kDbQueryVideos = 0x100,
  kDbQueryPhotos = 0x200,
  RTOS_DB_QUERY_METADATA_SESSION_FILES = 0x400,
  kDbQueryUploadStatus = 0x1000,
  kDbQueryNotOffloaded = 0x2000,
};
// The offload marks of param2 (and of the upload status word's bits 16 to 18).
enum : uint32_t { kDbOffloadApp = 1, kDbOffloadPc = 2, kDbOffloadOther = 4 };
inline constexpr size_t kDbListRequestSize = 24;       // without param1 and param2
inline constexpr size_t kDbListParamRequestSize = 32;  // with them
inline constexpr size_t kDbListEntrySize = 40;
inline constexpr size_t kDbGroupRecordSize = 28;    // before the mask
inline constexpr uint32_t kDbMaxGroupSpan = 10000;  // numbers a group may span

struct DbListRequest {
  uint32_t start = 0;
  uint32_t count = 0;
  uint32_t list_options = 0;
  uint32_t query_options = 0;
  uint32_t param1 = 0;
  uint32_t param2 = 0;
};
// Writes the list request (command 0) into `out`: 24 bytes, or 32 with param1 and param2
// when `with_params`. Returns the length.
size_t db_put_list_request(uint8_t* out, const DbListRequest& request, uint32_t token,
                           bool with_params);

// One entry of a list page.
struct DbListEntry {
  std::string dir;
  std::string name;
  uint32_t content_type = 0;
  uint64_t size = 0;  // a group's: all its members
  uint32_t created = 0;
  uint32_t modified = 0;
  bool group = false;  // the fields below hold only for a group
  uint32_t group_number = 0;
  uint32_t first = 0;
  uint32_t last = 0;
  std::vector<uint32_t> missing;  // ascending, from the mask
};
// Reads the entries of a list reply to a request for `asked` entries with `list_options`,
// truncating the page when total_entries, starting_index and count_returned disagree or the
// message ends early. A group record whose mask size, span or missing count does not add up
// fails the page (kBadReply): later entries cannot be found.
DbResult processQueryResponse(const uint8_t* reply, size_t length, uint32_t token, uint32_t asked,
                              uint32_t list_options, uint32_t* total,
                              std::vector<DbListEntry>* out);
// One page of the media list from `start`, at most `count` entries (24-byte request).
DbResult dbGetPagedList(uint32_t start, uint32_t count, uint32_t list_options,
                        uint32_t query_options, uint32_t* total, std::vector<DbListEntry>* out);

// What the cloud lists select by upload state: the upload status the files have, and offload
// marks none of which they may carry.
struct DbUploadSelector {
  bool by_status = false;
  uint32_t status = 0;         // 0 to 31
  uint32_t not_offloaded = 0;  // kDbOffload* bits
};
// One page of the media list (videos and photos, narrowed by the other `query_options`) as
// the upload selector narrows it: the 32-byte request with param1 the upload status and
// param2 the offload marks.
DbResult dbGetCAHList(uint32_t start, uint32_t count, uint32_t list_options, uint32_t query_options,
                      const DbUploadSelector& selector, uint32_t* total,
                      std::vector<DbListEntry>* out);
// One page of the session files (RTOS_DB_QUERY_METADATA_SESSION_FILES) as the upload selector
// narrows it; 32-byte request.
DbResult dbGetCAHSessionFileList(uint32_t start, uint32_t count, const DbUploadSelector& selector,
                                 uint32_t* total, std::vector<DbListEntry>* out);

// The JSON text of one database record: at most kDbJsonEntrySize bytes. A key that would pass
// the limit is refused (logged), the text stays as it was and the record fails (kFailed).
class DbJsonEntry {
 public:
  // Appends `sep` then the formatted text; false (and failed()) when it would not fit.
  bool Add(const char* sep, const char* format, ...) __attribute__((format(printf, 3, 4)));
  bool failed() const { return failed_; }
  const std::string& text() const { return text_; }
  std::string& mutable_text() { return text_; }

 private:
  std::string text_;
  bool failed_ = false;
};

// Formatters: each writes the keys `mask` selects, the first after `*sep`, and leaves `*sep`
// as "," once anything (even a refused key) was written.
void db_format_content_record(DbJsonEntry* e, const char** sep, const uint8_t* content,
                              uint64_t mask, const char* name);
void db_format_umid(DbJsonEntry* e, const char** sep, const uint8_t* ids, uint64_t mask);
void db_format_video_info(DbJsonEntry* e, const char** sep, const uint8_t* video, uint64_t mask);
void db_format_more_info(DbJsonEntry* e, const char** sep, const uint8_t* more, uint64_t mask);

// Content-type classes: 0-3, 13, 14 videos (filter 0 or bit 0x100), 4-6 and 8-10 photos (bit
// 0x200), 7 (bit 0x400).
bool shouldOutput(uint32_t content_type, uint32_t filter);
uint32_t mapDbContentTypeToApp(uint32_t content_type);
bool db_is_video_type(uint32_t content_type);  // 0-3, 13, 14

// Model numbers whose files use the newer names.
bool is_new_media_name_format_for(int model_number);

// The answer of a metadata query ("t" and "p" and friends): its result and the JSON object
// (empty unless kOk).
struct DbMetadataAnswer {
  DbResult result = DbResult::kFailed;
  std::string body;
};
DbMetadataAnswer zqdb_metadata(const char* query);
// Only the query check of zqdb_metadata: kOk when the query is well-formed, else kBadRequest,
// kNotSupported (an unknown "t") or kNotFound (a name that is no JPG or MP4 file).
DbResult zqdb_metadata_check_query(const char* query);

#endif  // ZQ_LIBZQMEDIARTOSDB_INCLUDE_ZQMEDIADB_ZQMEDIADBAPP_H_
