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
//   list reply (command 0): reply header, start_index, list_options, query_options,
//     total_entries, session_id (u32 each), then 40-byte entries: directory char[8], name
//     char[12], content_type u32, size u64, creation u32, modification u32
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

// One entry of a list page.
struct DbListEntry {
  std::string dir;
  std::string name;
  uint32_t content_type;
  uint64_t size;
  uint32_t created;
  uint32_t modified;
};
// Reads the entries of a list reply, truncating the page when total_entries, starting_index
// and count_returned disagree.
DbResult processQueryResponse(const uint8_t* reply, size_t length, uint32_t token, uint32_t asked,
                              uint32_t* total, std::vector<DbListEntry>* out);
// One page of the media list from `start`, at most `count` entries.
DbResult dbGetPagedList(uint32_t start, uint32_t count, uint32_t list_options,
                        uint32_t query_options, uint32_t* total, std::vector<DbListEntry>* out);

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
