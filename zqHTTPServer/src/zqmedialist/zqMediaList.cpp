#include "zqmedialist/zqMediaList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

#include "core/zqCsi.h"
#include "core/zqLocks.h"
#include "core/zqRecordingStatus.h"
#include "csi.h"
#include "http/zqResponse.h"
#include "zqCtrlD.h"
#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqMediaNames.h"
#include "zqcommon/zqPaths.h"
#include "zqcommon/zqQuery.h"
#include "zqmediadb/zqCardId.h"
#include "zqmediadb/zqMediaDBApp.h"
#include "zqmediadb/zqMediaDBList.h"
#include "zqmedialist/zqMediaListWriter.h"
#include "zqmediametadata/zqDbStatus.h"

namespace {

constexpr int kDefaultModel = 57;
constexpr size_t kQueryValueSize = 2048;
constexpr uint32_t kCmdSystemStatus = 34;
constexpr size_t kSystemStatusSize = 634;
constexpr size_t kSystemReadyOffset = 225;

// Written and read without a lock: an int and a byte, and a stale value is harmless.
std::atomic<int> g_modelNumber{0};
std::atomic<uint8_t> g_recordingAbort{0};

bool Digit(char c) { return c >= '0' && c <= '9'; }

bool DualLensModel(int model) { return model == 22 || model == 23; }

// Marks the scan as stopped by a recording when the camera records now.
bool RecordingNow() {
  if (g_recordingAbort.load() != 0) return true;
  UTILS_UpdateRecordingStatus(false);
  if (UTILS_GetRecordingStatus() != 0) {
    g_recordingAbort.store(1);
    return true;
  }
  return false;
}

// The accepted folders of <root>/DCIM in directory order; false when it cannot be read.
bool ListFolders(const std::string& dcim, std::vector<std::string>* out) {
  DIR* d = opendir(dcim.c_str());
  if (d == nullptr) return false;
  while (dirent* e = readdir(d)) {
    bool link = e->d_type == DT_LNK;
    if (e->d_type == DT_UNKNOWN) {
      struct stat st = {};
      link = fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
    }
    if (isMediaFolder(e->d_name, link)) out->push_back(e->d_name);
  }
  closedir(d);
  return true;
}

int Scan(const char* root, DbNameFilter filter, MediaScanBuffer* buffer, uint32_t* count) {
  *count = 0;
  // A recording seen by an earlier scan must not empty this one.
  g_recordingAbort.store(0);
  UTILS_UpdateRecordingStatus(true);
  if (UTILS_GetRecordingStatus() != 0) return kMediaScanRecording;

  std::vector<std::string> folders;
  if (!ListFolders(zq_path(root) + "/DCIM", &folders)) {
    ZQ_LOG(ZQ_LOG_ERROR, "scandir error, exiting\n");
    return kMediaScanNoDcim;
  }
  if (folders.empty()) return kMediaScanOk;
  if (!buffer->Allocate()) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqMediaList: cannot allocate the scan buffer\n");
    return kMediaScanNoDcim;
  }
  MediaListRecord* records = buffer->records();
  uint32_t used = 0;
  std::vector<DbScanEntry> entries;
  int code = kMediaScanOk;
  for (const std::string& folder : folders) {
    if (RecordingNow()) {
      buffer->Reset();  // the client sees an empty list
      return kMediaScanOk;
    }
    entries.clear();
    int ret = scandirRTOSdb(folder.c_str(), &entries, kMediaListMaxRecords - used, filter);
    if (ret == kDbScanNoEntries) ret = 0;  // an empty folder ends nothing
    if (ret < 0 && ret != kDbScanOverflow) {
      ZQ_LOG(ZQ_LOG_ERROR, "listing of %s failed (%d), ending the scan\n", folder.c_str(), ret);
      break;
    }
    const char type = zq_media_folder_type(folder);
    if (entries.empty()) {
      ZQ_LOG(ZQ_LOG_DEBUG, "No files in this folder %s\n", folder.c_str());
    } else if (type != 0) {
      const uint16_t number = static_cast<uint16_t>(zq_media_folder_number(folder));
      for (const DbScanEntry& e : entries) {
        MediaListRecord& r = records[used++];
        r.folder = number;
        r.type = type;
        memcpy(r.name, e.name, sizeof r.name);
        r.size = e.size;
        r.time = e.time;
      }
    }
    if (ret == kDbScanOverflow) break;
  }
  MediaListHeader* h = buffer->header();
  h->magic = kMediaListMagic;
  h->version = kMediaListVersion;
  h->count = used;
  *count = used;
  if (g_recordingAbort.load() != 0) code = kMediaScanRecording;
  return code;
}

bool MediaFileFilter(const char* name, int length) { return isMediaFile(name, length); }
bool SesFileFilter(const char* name, int length) { return isSesFile(name, length); }

void ClearNewMedia() {
  const uint32_t zero = 0;
  int32_t ret;
  {
    ZqLock lock(g_CSIMutex);
    ret = csi_set(CSI_NEW_MEDIA_AVAIL, &zero, sizeof zero);
  }
  if (ret != 0) ZQ_LOG(ZQ_LOG_ERROR, "Error clearing CSI_NEW_MEDIA_AVAIL\n");
}

std::string StorageId(int storage) {
  std::string id;
  if (getCardIDStrFromCard(&id, storage) < 0) return "0";
  return id;
}

// The error answer of either route: "{ \"message\": ... }" with the route's framing.
std::string ErrorBody(const std::string& message, bool ex) {
  const std::string body = "{ \"message\": \"" + zq_json_escape(message) + "\" }";
  return ex ? "\n" + body : body + "\n";
}

// The result of one scan, ready to be written.
struct ScanResult {
  MediaScanBuffer buffer;
  uint32_t count = 0;
  int code = 0;
  bool listed() const {
    return !buffer.empty() &&
           const_cast<MediaScanBuffer&>(buffer).header()->version == kMediaListVersion;
  }
};

void WriteMedia(std::string* json, ScanResult* r) {
  if (r->buffer.empty()) return;
  if (r->buffer.header()->version != kMediaListVersion) {
    ZQ_LOG(ZQ_LOG_ERROR, "unknown media list version %u\n", r->buffer.header()->version);
    return;
  }
  writeAllMediaFolders(json, r->buffer.records(), r->count);
}

// The answer to a failed scan (`code` not 0).
ZqAnswer ScanError(int code, bool ex) {
  if (mediaScanBusy(code)) return ZqAnswer::Json(503, ErrorBody("Camera is busy", ex));
  return ZqAnswer::Json(404, ErrorBody("Unknown Error.", ex));
}

bool SystemReady() {
  uint8_t record[kSystemStatusSize] = {};
  const bool was_open = is_zqcontrol_interface_open();
  if (!was_open) zqcontrol_interface_open();
  int32_t ret =
      zqcontrol_send_command_param_response(kCmdSystemStatus, nullptr, 0, record, sizeof record);
  if (!was_open) zqcontrol_interface_close();
  return ret == 0 && record[kSystemReadyOffset] != 0;
}

// Parses the request's query; the refusal when the query is refused.
std::optional<ZqAnswer> ParseRequest(const ZqRequest& request, bool ex,
                                     MediaListSelection* selection, bool* clear) {
  std::string message;
  const std::string query(request.Query());
  const int status =
      parseMediaListQuery(request.HasQuery() ? query.c_str() : nullptr, selection, clear, &message);
  if (status == 0) return std::nullopt;
  return ZqAnswer::Json(status, ErrorBody(message, ex));
}

ZqAnswer List(ZqRequest& request) {
  MediaListSelection selection;
  bool clear = false;
  if (auto refused = ParseRequest(request, false, &selection, &clear)) return std::move(*refused);
  ZqLock lock(g_mediaMetadataMutex);
  ScanResult scan;
  if (selection == MediaListSelection::kVideoPhoto) {
    scan.code = zqMediaList_ScanDir(&scan.buffer, &scan.count);
  } else if (selection == MediaListSelection::kSes) {
    scan.code = zqMediaList_ScanDirSES(&scan.buffer, &scan.count);
  } else {
    return ZqAnswer::Json(501, ErrorBody("Unrecognized request", false));
  }
  if (scan.code != 0) return ScanError(scan.code, false);
  std::string json = "{\"id\":\"" + zq_json_escape(StorageId(0)) + "\",\"media\":[";
  WriteMedia(&json, &scan);
  json += "]}\n";
  if (clear) ClearNewMedia();
  return ZqAnswer::Json(200, std::move(json));
}

ZqAnswer ListEx(ZqRequest& request) {
  if (!SystemReady()) return ZqAnswer::Json(503, ErrorBody("System not ready", true));
  MediaListSelection selection;
  bool clear = false;
  if (auto refused = ParseRequest(request, true, &selection, &clear)) return std::move(*refused);
  ZqLock lock(g_mediaMetadataMutex);
  ScanResult sd, internal;
  if (selection == MediaListSelection::kVideoPhoto) {
    sd.code = zqMediaList_ScanDirEx(&sd.buffer, &sd.count, 0);
    if (sd.code == 0) internal.code = zqMediaList_ScanDirEx(&internal.buffer, &internal.count, 1);
  } else if (selection == MediaListSelection::kSes) {
    sd.code = zqMediaList_ScanDirSES(&sd.buffer, &sd.count);
  } else {
    return ZqAnswer::Json(501, ErrorBody("Unrecognized request", true));
  }
  if (sd.code != 0 || internal.code != 0) {
    return ScanError(sd.code != 0 ? sd.code : internal.code, true);
  }
  std::string json = "\n[{\"id\":\"" + zq_json_escape(StorageId(0)) + "\",\"media\":[";
  WriteMedia(&json, &sd);
  json += "]},{\"id\":\"" + zq_json_escape(StorageId(1)) + "\",\"media\":[";
  WriteMedia(&json, &internal);
  json += "]}]\n";
  if (clear) {
    if (sd.buffer.empty() || sd.listed()) ClearNewMedia();
    if (internal.listed()) ClearNewMedia();
  }
  return ZqAnswer::Json(200, std::move(json));
}

// The paged list has a lock of its own (g_pagedListMutex): it asks only the media database and
// never scans the card, so it need not wait behind the scans and metadata requests.
ZqAnswer ListRTOSDB(ZqRequest& request) {
  ZqLock lock(g_pagedListMutex);
  const std::string query(request.Query());
  DbMediaListAnswer a =
      generateMediaList(request.HasQuery() ? query.c_str() : nullptr, getModelNumber());
  if (a.result != DbResult::kOk) {
    return ZqAnswer::Json(zq_db_http_status(a.result), ErrorBody(a.message, false));
  }
  return ZqAnswer::Json(200, std::move(a.body));
}

// Runs a handler body; an exception that escapes is logged and answered 500.
ZqAnswer Guarded(ZqRequest& request, ZqAnswer (*body)(ZqRequest&)) {
  try {
    return body(request);
  } catch (const std::exception& e) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqMediaList - Caught exception %s - discarding\n", e.what());
  }
  return ZqAnswer::EmptyJson(500);
}

}  // namespace

int getModelNumber() {
  int model = g_modelNumber.load();
  if (model != 0) return model;
  uint32_t value = 0;
  uint32_t len = 0;
  int32_t ret;
  {
    ZqLock lock(g_CSIMutex);
    ret = csi_get(CSI_MODEL_NUMBER, sizeof value, &len, &value);
  }
  if (ret != 0 || value == 0 || value > 255) return kDefaultModel;
  g_modelNumber.store(static_cast<int>(value));
  return static_cast<int>(value);
}

void zqMediaList_ResetModelNumber() { g_modelNumber.store(0); }

bool isMediaFolder(const char* name, bool is_symlink) {
  if (is_symlink || name[0] == '.') return false;
  if (RecordingNow()) return false;
  const char type = zq_media_folder_type(name);
  if (type == 'F' || type == 'B') return true;
  return type != 0 && !DualLensModel(getModelNumber());
}

bool isMediaFile(const char* name, int length) {
  if (length != 12 || strnlen(name, 12) != 12) return false;
  const std::string_view whole(name, 12);
  static const char* const kExts[] = {"MP4", "MRV", "360", "LRV", "JPG", "WAV", "ZQR"};
  bool known = false;
  for (const char* e : kExts) known = known || zq_media_name_is(whole, e);
  if (!known) return false;
  if (!DualLensModel(getModelNumber())) return true;

  const std::string_view ext = zq_media_extension(whole);
  const bool jpg = ext == "JPG";
  if (ext == "MRV") return false;
  if (name[0] != 'Q' && strncmp(name, "ZQ", 2) != 0) return false;
  if (strncmp(name, "ZQFR", 4) == 0 || strncmp(name, "ZQBK", 4) == 0) return true;
  if (strncmp(name, "ZQ", 2) == 0 && Digit(name[2]) && Digit(name[3])) return true;
  if ((strncmp(name, "QF", 2) == 0 || strncmp(name, "QB", 2) == 0) && Digit(name[2]) &&
      Digit(name[3]))
    return true;
  if (strncmp(name, "QS", 2) == 0) return true;
  if (jpg) return false;
  return name[0] == 'Q' && (name[1] == '0' || name[1] == '1') && Digit(name[2]) && Digit(name[3]);
}

bool isSesFile(const char* name, int length) {
  return length == 12 && strnlen(name, 12) == 12 && zq_media_name_is({name, 12}, "SES");
}

int parseMediaListQuery(const char* query, MediaListSelection* selection, bool* clear_new_media,
                        std::string* message) {
  *selection = MediaListSelection::kUnknown;
  *clear_new_media = false;
  if (query == nullptr || *query == '\0') {
    *selection = MediaListSelection::kVideoPhoto;
    return 0;
  }
  std::string cnmf;
  switch (zq_query_param(query, "cnmf", kQueryValueSize - 1, &cnmf)) {
    case ZqParam::kFound:
      if (cnmf == "1") {
        *clear_new_media = true;
        break;
      }
      if (cnmf == "0") break;
      [[fallthrough]];
    case ZqParam::kTooLong:
      ZQ_LOG(ZQ_LOG_WARN, "Error parsing clear new media flag (cnmf) - will not clear flag\n");
      break;
    case ZqParam::kMissing:
      break;
  }

  std::string f, again;
  switch (zq_query_param(query, "f", kQueryValueSize - 1, &f)) {
    case ZqParam::kMissing:
      *message = "Required field not supported";
      return 400;
    case ZqParam::kTooLong:
      *message = "Field value string too long";
      return 400;
    case ZqParam::kFound:
      break;
  }
  if (f.empty()) {
    *message = "Empty value of field not supported";
    return 400;
  }
  if (zq_query_param(query, "f", kQueryValueSize - 1, &again, 1) != ZqParam::kMissing) {
    *message = "Multiple copies of field not supported";
    return 400;
  }
  if (f == "videophoto") *selection = MediaListSelection::kVideoPhoto;
  if (f == "ses") *selection = MediaListSelection::kSes;
  return 0;
}

int zqMediaList_ScanDir(MediaScanBuffer* buffer, uint32_t* count) {
  return Scan(kZqSdCardRoot, MediaFileFilter, buffer, count);
}

int zqMediaList_ScanDirEx(MediaScanBuffer* buffer, uint32_t* count, int storage) {
  if (storage == 1) {
    // A camera without internal storage lists it as empty rather than failing the whole list.
    struct stat st = {};
    *count = 0;
    if (stat(zq_path(kZqInternalRoot).c_str(), &st) != 0) return kMediaScanOk;
  }
  return Scan(storage == 1 ? kZqInternalRoot : kZqSdCardRoot, MediaFileFilter, buffer, count);
}

int zqMediaList_ScanDirSES(MediaScanBuffer* buffer, uint32_t* count) {
  return Scan(kZqSdCardRoot, SesFileFilter, buffer, count);
}

ZqAnswer zqMediaList(ZqRequest& request) { return Guarded(request, List); }

ZqAnswer zqMediaListEx(ZqRequest& request) { return Guarded(request, ListEx); }

ZqAnswer zqMediaListRTOSDB(ZqRequest& request) { return Guarded(request, ListRTOSDB); }
