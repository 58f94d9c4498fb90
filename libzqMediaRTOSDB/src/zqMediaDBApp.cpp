#include "zqmediadb/zqMediaDBApp.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"

namespace {

// The request token: the low 32 bits of the reply buffer's address, as the service expects a
// value that identifies the exchange.
uint32_t TokenOf(const void* reply) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(reply));
}

void SleepScaledMs(long ms) { usleep(static_cast<useconds_t>(zq_scaled_ms(ms) * 1000)); }

void HexDump(const char* what, const uint8_t* bytes, size_t length) {
  if (g_logLevel < ZQ_LOG_TRACE) return;
  std::string line;
  for (size_t i = 0; i < length; ++i) {
    if (i % 32 == 0) {
      char head[64];
      snprintf(head, sizeof head, "\n[%5.5zu/%5.5zu]:", i, length);
      line += head;
    }
    char byte[4];
    snprintf(byte, sizeof byte, " %02x", bytes[i]);
    line += byte;
  }
  ZQ_LOG(ZQ_LOG_TRACE, "%s%s", what, line.c_str());
}

// Closes the endpoint when the operation ends.
class IpcEndpoint {
 public:
  IpcEndpoint() {
    int32_t ret = zqIpcInit(kZqMediaDbEndpoint, &handle_);
    open_ = ret >= 0;
    if (!open_) ZQ_LOG(ZQ_LOG_ERROR, "zqIpcInit fail, ret %d\n", ret);
  }
  ~IpcEndpoint() { zqIpcDestroy(&handle_); }
  IpcEndpoint(const IpcEndpoint&) = delete;
  IpcEndpoint& operator=(const IpcEndpoint&) = delete;
  bool open() const { return open_; }
  zqIpcHandle* get() { return &handle_; }

 private:
  zqIpcHandle handle_ = {-1, {}};
  bool open_ = false;
};

void PutText(uint8_t* at, const char* text, size_t width) {
  memset(at, 0, width);
  memcpy(at, text, strnlen(text, width));
}

bool AcceptName(const char* name, DbNameFilter filter) {
  if (name[0] == '\0') ZQ_LOG(ZQ_LOG_WARN, "scandir entry with an empty name\n");
  return filter == nullptr || filter(name, 12);
}

// Appends entry `e` (28 wire bytes) if the filter takes it.
void TakeEntry(const uint8_t* e, DbNameFilter filter, std::vector<DbScanEntry>* out) {
  DbScanEntry d;
  memcpy(d.name, e, 12);
  d.name[12] = '\0';
  if (!AcceptName(d.name, filter)) return;
  d.time = zq_load_le64(e + 12);
  d.size = zq_load_le64(e + 20);
  out->push_back(d);
}

}  // namespace

bool db_parse_response_header(const uint8_t* bytes, size_t length, db_response_header* out) {
  if (bytes == nullptr || length < kDbResponseHeaderSize) return false;
  out->command_type = zq_load_le32(bytes);
  out->status = static_cast<int32_t>(zq_load_le32(bytes + 4));
  out->count_returned = zq_load_le32(bytes + 8);
  out->rtos_db_version = zq_load_le32(bytes + 12);
  out->token = zq_load_le32(bytes + 16);
  return true;
}

void db_put_request_header(uint8_t* out, uint32_t command, uint32_t request_count, uint32_t token) {
  zq_store_le32(out, command);
  zq_store_le32(out + 4, request_count);
  zq_store_le32(out + 8, token);
}

int32_t zqdb_exchange(zqIpcHandle* handle, const uint8_t* request, uint32_t length, uint8_t* reply,
                      int retries, int timeout_seconds) {
  const long timeout_ms =
      zq_scaled_ms(1000L * (timeout_seconds > 0 ? timeout_seconds : kDbDefaultTimeoutSeconds));
  for (int attempt = 0; attempt <= retries; ++attempt) {
    HexDump("IPC send", request, length);
    int32_t ret = zqIpcSend(handle, request, length);
    if (ret < 0) {
      SleepScaledMs(100);
      ZQ_LOG(ZQ_LOG_ERROR, "error on IPC send, retrying, ret %d\n", ret);
      continue;
    }
    timeval tv = {timeout_ms / 1000, static_cast<suseconds_t>((timeout_ms % 1000) * 1000)};
    setsockopt(handle->fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    int32_t n = zqIpcReceive(handle, reply);
    if (n < 0) {
      SleepScaledMs(100);
      ZQ_LOG(ZQ_LOG_ERROR, "error on IPC received, retrying, bytesRead %d\n", n);
      continue;
    }
    HexDump("IPC receive", reply, static_cast<size_t>(n));
    return n;
  }
  ZQ_LOG(ZQ_LOG_ERROR, "exhausted retries on IPC exchange, exiting\n");
  return -1;
}

int db_scan_first_reply(const uint8_t* reply, size_t length, uint32_t token, uint32_t capacity,
                        DbNameFilter filter, std::vector<DbScanEntry>* out, uint32_t* taken,
                        uint32_t* announced, uint32_t* transfers) {
  db_response_header h;
  *taken = 0;
  if (!db_parse_response_header(reply, length, &h)) return kDbScanShortReply;
  if (h.status != 0) return kDbScanStatus;
  if (h.token != token) ZQ_LOG(ZQ_LOG_WARN, "Tokens don't match %u %u\n", h.token, token);
  *transfers = h.count_returned;
  *announced = h.rtos_db_version;
  uint32_t n = static_cast<uint32_t>((length - kDbResponseHeaderSize) / kDbScanEntrySize);
  if (n == 0) return kDbScanNoEntries;
  n = std::min(n, *announced);
  int result = 0;
  if (n > capacity) {
    ZQ_LOG(ZQ_LOG_ERROR, "not enough size of file_entries!\n");
    result = kDbScanOverflow;
    n = capacity;
  }
  for (uint32_t i = 0; i < n; ++i) {
    TakeEntry(reply + kDbResponseHeaderSize + i * kDbScanEntrySize, filter, out);
  }
  *taken = n;
  return result;
}

int db_scan_next_reply(const uint8_t* reply, size_t length, uint32_t capacity, DbNameFilter filter,
                       std::vector<DbScanEntry>* out, uint32_t* taken, uint32_t announced) {
  if (length < kDbScanEntrySize) return 1;
  uint32_t n = static_cast<uint32_t>(length / kDbScanEntrySize);
  n = std::min(n, announced - *taken);
  for (uint32_t i = 0; i < n; ++i) {
    if (*taken >= capacity) return kDbScanOverflow;
    TakeEntry(reply + i * kDbScanEntrySize, filter, out);
    ++*taken;
  }
  return *taken >= announced ? 1 : 0;
}

int scandirRTOSdb(const char* folder, std::vector<DbScanEntry>* out, uint32_t capacity,
                  DbNameFilter filter) {
  if (folder == nullptr || strlen(folder) != 8) return kDbScanBadFolder;
  IpcEndpoint ep;
  if (!ep.open()) return kDbScanOpenFailed;

  uint8_t reply[kZqIpcMaxMessage];
  uint8_t request[kDbScanDirRequestSize];
  const uint32_t token = TokenOf(reply);
  db_put_request_header(request, DB_CMD_NON_DB_SCANDIR, 1, token);
  memcpy(request + kDbRequestHeaderSize, folder, 8);
  int32_t n = zqdb_exchange(ep.get(), request, sizeof request, reply, 10, 0);
  if (n < 0) return n;

  const size_t before = out->size();
  uint32_t taken = 0, announced = 0, transfers = 0;
  int result = db_scan_first_reply(reply, static_cast<size_t>(n), token, capacity, filter, out,
                                   &taken, &announced, &transfers);
  if (result == 0 && transfers > 1 && taken < announced) {
    const long timeout_ms = zq_scaled_ms(1000L * kDbDefaultTimeoutSeconds);
    timeval tv = {timeout_ms / 1000, static_cast<suseconds_t>((timeout_ms % 1000) * 1000)};
    setsockopt(ep.get()->fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    for (uint32_t i = 1; i < transfers; ++i) {
      int32_t m = zqIpcReceive(ep.get(), reply);
      if (m < 0) break;
      int step = db_scan_next_reply(reply, static_cast<size_t>(m), capacity, filter, out, &taken,
                                    announced);
      if (step == kDbScanOverflow) result = kDbScanOverflow;
      if (step != 0) break;
    }
  }
  if (result != 0) return result;
  return static_cast<int>(out->size() - before);
}

int scandirRTOSdb(const char* folder, DbScanEntry* out, uint32_t* count, DbNameFilter filter) {
  std::vector<DbScanEntry> entries;
  int result = scandirRTOSdb(folder, &entries, *count, filter);
  std::copy(entries.begin(), entries.end(), out);
  *count = static_cast<uint32_t>(entries.size());
  return result;
}

DbResult db_result_of_status(int32_t status) {
  switch (status) {
    case 0:
      return DbResult::kOk;
    case 1:
    case 2:
      return DbResult::kBusy;
    case 3:
    case 4:
      return DbResult::kNotFound;
    default:
      return DbResult::kFailed;
  }
}

DbResult db_check_single_reply(uint32_t command, uint32_t token, uint32_t request_count,
                               DbReply* r) {
  db_response_header h;
  if (r->length < 0 || !db_parse_response_header(r->bytes, static_cast<size_t>(r->length), &h)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid response size (%d), discarding\n", r->length);
    return DbResult::kBadReply;
  }
  const size_t len = static_cast<size_t>(r->length);
  if (h.token != token) ZQ_LOG(ZQ_LOG_WARN, "Tokens don't match %u %u", h.token, token);
  if (h.count_returned > request_count) {
    ZQ_LOG(ZQ_LOG_WARN,
           "command %u requested %u, response returned %u, setting response returned to %u\n",
           command, request_count, h.count_returned, request_count);
  }
  if (h.status != 0) {
    const DbResult result = db_result_of_status(h.status);
    if (result == DbResult::kFailed) {
      ZQ_LOG(ZQ_LOG_ERROR, "error on IPC received, exiting, status %d\n", h.status);
    }
    return result;
  }
  if (command == DB_CMD_GET_MORE_INFO) {
    if (len < kDbMoreInfoMinReply) {
      ZQ_LOG(ZQ_LOG_ERROR, "Invalid response size (%d), discarding\n", r->length);
      return DbResult::kBadReply;
    }
    r->extra = r->bytes + kDbResponseHeaderSize;
    return DbResult::kOk;
  }
  if (len < kDbResponseHeaderSize + 4) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid response size (%d), discarding\n", r->length);
    return DbResult::kBadReply;
  }
  const uint8_t* content = r->bytes + kDbResponseHeaderSize;
  const uint32_t type = zq_load_le32(content);
  if (type == kDbUnknownContentType) {
    ZQ_LOG(ZQ_LOG_WARN, "Invalid content type (-1), inferring FILE NOT_FOUND\n");
    return DbResult::kNotFound;
  }
  // Every record past the type must be whole before anything reads it. The size needed is
  // reckoned in 64 bits: a tag count from the reply can ask for more than a 32-bit size holds.
  uint64_t need = kDbResponseHeaderSize + kDbContentRecordSize;
  if (command == DB_CMD_GET_VIDEO_SPECIFIC_INFO) {
    need = kDbVideoInfoOffset;
    if (len >= kDbVideoInfoOffset + 20 && db_is_video_type(type)) {
      const uint64_t tags = zq_load_le32(r->bytes + kDbVideoInfoOffset + 16);
      need = std::max<uint64_t>((tags + 30) * 4, kDbVideoInfoOffset + 24);
    } else if (db_is_video_type(type)) {
      need = kDbVideoInfoOffset + 24;
    }
  } else if (command == DB_CMD_GET_UMID_BY_FILENAME) {
    need = kDbVideoInfoOffset + 32;
  } else if (command == DB_CMD_GET_GROUP_CONTENT_INFO) {
    need = kDbVideoInfoOffset + 24;
  }
  if (len < need) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid response size (%d), discarding\n", r->length);
    return DbResult::kBadReply;
  }
  r->content = content;
  if (command == DB_CMD_GET_VIDEO_SPECIFIC_INFO) r->video = r->bytes + kDbVideoInfoOffset;
  if (command == DB_CMD_GET_UMID_BY_FILENAME || command == DB_CMD_GET_GROUP_CONTENT_INFO)
    r->extra = r->bytes + kDbVideoInfoOffset;
  return DbResult::kOk;
}

DbResult db_single_file_query(uint32_t command, const char* dir, const char* file, DbReply* reply,
                              const uint8_t* extra, size_t extra_len) {
  IpcEndpoint ep;
  if (!ep.open()) return DbResult::kUnreachable;
  uint8_t request[kDbSingleFileRequestSize + 4] = {};
  extra_len = std::min(extra_len, size_t{4});
  const uint32_t token = TokenOf(reply->bytes);
  db_put_request_header(request, command, 1, token);
  PutText(request + 12, dir, 8);
  PutText(request + 20, file, 12);
  if (extra != nullptr) memcpy(request + kDbSingleFileRequestSize, extra, extra_len);
  reply->content = reply->video = reply->extra = nullptr;
  reply->length =
      zqdb_exchange(ep.get(), request, static_cast<uint32_t>(kDbSingleFileRequestSize + extra_len),
                    reply->bytes, 10, 0);
  if (command == DB_CMD_SET_UPLOAD_STATUS) {
    db_response_header h;
    if (!db_parse_response_header(reply->bytes,
                                  reply->length < 0 ? 0 : static_cast<size_t>(reply->length), &h)) {
      ZQ_LOG(ZQ_LOG_ERROR, "Invalid response size (%d), discarding\n", reply->length);
      return DbResult::kBadReply;
    }
    return db_result_of_status(h.status);
  }
  return db_check_single_reply(command, token, 1, reply);
}

DbResult dbGetContentInfo(const char* dir, const char* file, DbReply* reply) {
  return db_single_file_query(DB_CMD_GET_CONTENT_INFO, dir, file, reply);
}
DbResult dbGetGroupContentInfo(const char* dir, const char* file, DbReply* reply) {
  return db_single_file_query(DB_CMD_GET_GROUP_CONTENT_INFO, dir, file, reply);
}
DbResult dbGetVideoSpecificInfo(const char* dir, const char* file, DbReply* reply) {
  return db_single_file_query(DB_CMD_GET_VIDEO_SPECIFIC_INFO, dir, file, reply);
}
DbResult dbGetUMIDByFileName(const char* dir, const char* file, DbReply* reply) {
  return db_single_file_query(DB_CMD_GET_UMID_BY_FILENAME, dir, file, reply);
}
DbResult dbGetMoreInfo(const char* dir, const char* file, DbReply* reply) {
  return db_single_file_query(DB_CMD_GET_MORE_INFO, dir, file, reply);
}

int dbGetChapteredVideoDuration(const char* dir, const char* file) {
  DbReply r;
  if (dbGetVideoSpecificInfo(dir, file, &r) != DbResult::kOk || r.video == nullptr) return -1;
  return static_cast<int>((uint64_t{zq_load_le32(r.video + 4)} + 500) / 1000);
}

DbResult dbGetFileNameByUMID(const uint8_t* umid, std::string* dir, std::string* file) {
  IpcEndpoint ep;
  if (!ep.open()) return DbResult::kUnreachable;
  uint8_t reply[kZqIpcMaxMessage];
  uint8_t request[28];
  const uint32_t token = TokenOf(reply);
  db_put_request_header(request, DB_CMD_GET_FILENAME_BY_UMID, 1, token);
  memcpy(request + 12, umid, 16);
  int32_t n = zqdb_exchange(ep.get(), request, sizeof request, reply, 10, 0);
  db_response_header h;
  if (n < 0) return DbResult::kUnreachable;
  if (!db_parse_response_header(reply, static_cast<size_t>(n), &h)) return DbResult::kBadReply;
  if (h.status != 0) return db_result_of_status(h.status);
  if (static_cast<size_t>(n) < kDbResponseHeaderSize + 20) return DbResult::kBadReply;
  const char* p = reinterpret_cast<const char*>(reply + kDbResponseHeaderSize);
  dir->assign(p, strnlen(p, 8));
  file->assign(p + 8, strnlen(p + 8, 12));
  return DbResult::kOk;
}

DbResult dbSetUploadStatusRawBits(const char* dir, const char* file, uint32_t word) {
  DbReply r;
  uint8_t extra[4];
  zq_store_le32(extra, word);
  return db_single_file_query(DB_CMD_SET_UPLOAD_STATUS, dir, file, &r, extra, sizeof extra);
}

DbResult dbSetCAHUploadStatus(const char* dir, const char* file, uint32_t status) {
  if (status >= kDbUploadStatusCount) return DbResult::kBadRequest;
  DbReply r;
  const DbResult got = dbGetContentInfo(dir, file, &r);
  if (got != DbResult::kOk) return got;
  const uint32_t word = (zq_load_le32(r.content + 40) & 0xFFFF0000u) | status;
  return dbSetUploadStatusRawBits(dir, file, word);
}

DbResult dbGetUploadStatusHistogram(uint32_t counts[kDbUploadStatusCount]) {
  IpcEndpoint ep;
  if (!ep.open()) return DbResult::kUnreachable;
  uint8_t reply[kZqIpcMaxMessage];
  uint8_t request[kDbRequestHeaderSize];
  const uint32_t token = TokenOf(reply);
  db_put_request_header(request, DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, kDbUploadStatusCount, token);
  int32_t n = zqdb_exchange(ep.get(), request, sizeof request, reply, 10, 0);
  db_response_header h;
  if (n < 0) return DbResult::kUnreachable;
  if (!db_parse_response_header(reply, static_cast<size_t>(n), &h)) return DbResult::kBadReply;
  if (h.status != 0) return db_result_of_status(h.status);
  if (static_cast<size_t>(n) < kDbResponseHeaderSize + 4 * kDbUploadStatusCount)
    return DbResult::kBadReply;
  for (uint32_t i = 0; i < kDbUploadStatusCount; ++i)
    counts[i] = zq_load_le32(reply + kDbResponseHeaderSize + 4 * i);
  return DbResult::kOk;
}

size_t db_put_list_request(uint8_t* out, const DbListRequest& r, uint32_t token, bool with_params) {
  db_put_request_header(out, DB_CMD_GET_LIST, r.count, token);
  zq_store_le32(out + 12, r.start);
  zq_store_le32(out + 16, r.list_options);
  zq_store_le32(out + 20, r.query_options);
  if (!with_params) return kDbListRequestSize;
  zq_store_le32(out + 24, r.param1);
  zq_store_le32(out + 28, r.param2);
  return kDbListParamRequestSize;
}

namespace {

// Reads the group record at `p` (`length` bytes, the record length the entry announced) into
// `e`. False when its mask size, span or missing count does not add up.
bool ReadGroupRecord(const uint8_t* p, uint32_t length, DbListEntry* e) {
  if (length < kDbGroupRecordSize) {
    ZQ_LOG(ZQ_LOG_ERROR, "Mask size failed sanity check. Size=%d\n", static_cast<int>(length));
    return false;
  }
  e->group = true;
  e->group_number = zq_load_le32(p);
  e->first = zq_load_le32(p + 4);
  e->last = zq_load_le32(p + 8);
  const uint32_t num_missing = zq_load_le32(p + 12);
  e->size = zq_load_le64(p + 16);
  const uint32_t mask_size = zq_load_le32(p + 24);
  const uint64_t span = e->last >= e->first ? uint64_t{e->last} - e->first + 1 : 0;
  if (span == 0 || span > kDbMaxGroupSpan || mask_size != (span + 7) / 8 ||
      length != kDbGroupRecordSize + mask_size) {
    ZQ_LOG(ZQ_LOG_ERROR, "Mask size failed sanity check. Size=%d\n", static_cast<int>(mask_size));
    return false;
  }
  const uint8_t* mask = p + kDbGroupRecordSize;
  for (uint32_t i = 0; i < span; ++i) {
    if (mask[i / 8] & (1u << (i % 8))) e->missing.push_back(e->first + i);
  }
  if (e->missing.size() != num_missing) {
    ZQ_LOG(ZQ_LOG_ERROR, "group %u: %u missing, the mask marks %zu\n", e->group_number, num_missing,
           e->missing.size());
    return false;
  }
  return true;
}

}  // namespace

DbResult processQueryResponse(const uint8_t* reply, size_t length, uint32_t token, uint32_t asked,
                              uint32_t list_options, uint32_t* total,
                              std::vector<DbListEntry>* out) {
  constexpr size_t kListHeader = kDbResponseHeaderSize + 20;
  db_response_header h;
  if (!db_parse_response_header(reply, length, &h)) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid response size (%d), discarding\n", static_cast<int>(length));
    return DbResult::kBadReply;
  }
  if (h.token != token) ZQ_LOG(ZQ_LOG_WARN, "Tokens don't match %u %u", h.token, token);
  if (h.status != 0) return db_result_of_status(h.status);
  if (length < kListHeader) {
    ZQ_LOG(ZQ_LOG_ERROR, "Invalid response size (%d), discarding\n", static_cast<int>(length));
    return DbResult::kBadReply;
  }
  const uint32_t start = zq_load_le32(reply + kDbResponseHeaderSize);
  *total = zq_load_le32(reply + kDbResponseHeaderSize + 12);
  uint32_t n = std::min(h.count_returned, asked);
  // The page can hold no more than the listing has past its start.
  const uint32_t left = *total > start ? *total - start : 0;
  if (n > left) {
    n = left;
    ZQ_LOG(ZQ_LOG_WARN, "truncating to %u items in this page\n", n);
  }
  const bool grouped = (list_options & kDbListGrouping) != 0;
  std::vector<DbListEntry> page;
  size_t at = kListHeader;
  for (uint32_t i = 0; i < n; ++i) {
    const size_t fixed = kDbListEntrySize + (grouped ? 4 : 0);
    if (length - at < fixed) {
      // Nor more than the message holds.
      ZQ_LOG(ZQ_LOG_WARN, "truncating to %u items in this page\n", i);
      break;
    }
    const uint8_t* p = reply + at;
    const char* text = reinterpret_cast<const char*>(p);
    DbListEntry e;
    e.dir.assign(text, strnlen(text, 8));
    e.name.assign(text + 8, strnlen(text + 8, 12));
    e.content_type = zq_load_le32(p + 20);
    e.size = zq_load_le64(p + 24);
    e.created = zq_load_le32(p + 32);
    e.modified = zq_load_le32(p + 36);
    at += fixed;
    if (grouped) {
      const uint32_t record = zq_load_le32(p + kDbListEntrySize);
      if (record > length - at) {
        ZQ_LOG(ZQ_LOG_ERROR, "Mask size failed sanity check. Size=%d\n", static_cast<int>(record));
        return DbResult::kBadReply;
      }
      if (record != 0 && !ReadGroupRecord(reply + at, record, &e)) return DbResult::kBadReply;
      at += record;
    }
    page.push_back(std::move(e));
  }
  std::move(page.begin(), page.end(), std::back_inserter(*out));
  return DbResult::kOk;
}

namespace {

DbResult ListQuery(const DbListRequest& request, bool with_params, uint32_t* total,
                   std::vector<DbListEntry>* out) {
  IpcEndpoint ep;
  if (!ep.open()) return DbResult::kUnreachable;
  uint8_t reply[kZqIpcMaxMessage];
  uint8_t bytes[kDbListParamRequestSize];
  const uint32_t token = TokenOf(reply);
  const size_t length = db_put_list_request(bytes, request, token, with_params);
  // A list query is not repeated: the service may take long to build a big list.
  int32_t n = zqdb_exchange(ep.get(), bytes, static_cast<uint32_t>(length), reply, 0, 600);
  if (n < 0) return DbResult::kUnreachable;
  return processQueryResponse(reply, static_cast<size_t>(n), token, request.count,
                              request.list_options, total, out);
}

DbListRequest Selected(DbListRequest r, const DbUploadSelector& selector) {
  if (selector.by_status) {
    r.query_options |= kDbQueryUploadStatus;
    r.param1 = selector.status;
  }
  if (selector.not_offloaded != 0) {
    r.query_options |= kDbQueryNotOffloaded;
    r.param2 = selector.not_offloaded;
  }
  return r;
}

}  // namespace

DbResult dbGetPagedList(uint32_t start, uint32_t count, uint32_t list_options,
                        uint32_t query_options, uint32_t* total, std::vector<DbListEntry>* out) {
  return ListQuery({start, count, list_options, query_options, 0, 0}, false, total, out);
}

DbResult dbGetCAHList(uint32_t start, uint32_t count, uint32_t list_options, uint32_t query_options,
                      const DbUploadSelector& selector, uint32_t* total,
                      std::vector<DbListEntry>* out) {
  query_options &= ~uint32_t{RTOS_DB_QUERY_METADATA_SESSION_FILES};
  if ((query_options & (kDbQueryVideos | kDbQueryPhotos)) == 0)
    query_options |= kDbQueryVideos | kDbQueryPhotos;
  return ListQuery(Selected({start, count, list_options, query_options, 0, 0}, selector), true,
                   total, out);
}

DbResult dbGetCAHSessionFileList(uint32_t start, uint32_t count, const DbUploadSelector& selector,
                                 uint32_t* total, std::vector<DbListEntry>* out) {
  return ListQuery(
      Selected({start, count, 0, RTOS_DB_QUERY_METADATA_SESSION_FILES, 0, 0}, selector), true,
      total, out);
}

bool shouldOutput(uint32_t content_type, uint32_t filter) {
  if (db_is_video_type(content_type)) return filter == 0 || (filter & 0x100) != 0;
  if ((content_type >= 4 && content_type <= 6) || (content_type >= 8 && content_type <= 10))
    return (filter & 0x200) != 0;
  if (content_type == 7) return (filter & 0x400) != 0;
  return false;
}

uint32_t mapDbContentTypeToApp(uint32_t content_type) {
  return content_type == 13 || content_type == 14 ? 3 : content_type;
}

bool db_is_video_type(uint32_t t) { return t <= 3 || t == 13 || t == 14; }

bool is_new_media_name_format_for(int model) {
  static constexpr int kModels[] = {24, 30, 32, 33, 50, 51, 55, 57, 58, 60, 61};
  return std::find(std::begin(kModels), std::end(kModels), model) != std::end(kModels);
}
