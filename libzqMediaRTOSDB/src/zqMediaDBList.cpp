// The paged media list: query rules, entry names and the folder document.
#include "zqmediadb/zqMediaDBList.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "zqMediaDBQuery.h"
#include "zqcommon/zqLog.h"

namespace {

constexpr uint64_t Bit(int n) { return uint64_t{1} << n; }

// The field names and the formatter bits they select; "ghc", "ghi" and "legacy" are the
// list's own (no bit).
struct FieldName {
  const char* name;
  uint64_t bits;
};
constexpr FieldName kFields[] = {
    {"mod", 0x2},     {"cre", 0x4},     {"ls", 0x10},      {"cl", 0x20},     {"avc", 0x40},
    {"prof", 0x80},   {"mahs", 0x100},  {"hc", 0x200},     {"hi", 0x400},    {"ghc", 0},
    {"ghi", 0},       {"legacy", 0},    {"pumid", 0x2000}, {"us", 0x8000},   {"mos", Bit(34)},
    {"eis", 0x10000}, {"hdr", Bit(28)}, {"wdr", 0x20000},  {"pta", 0x40000}, {"ao", 0x80000},
    {"tr", Bit(21)},  {"mp", Bit(22)},  {"dur", Bit(23)},  {"raw", Bit(20)}, {"umid", 0x1000},
};

// Keys that need the content record and unique ids (command 7), and the video-specific
// information (command 4).
constexpr uint64_t kRecordBits = 0x100 | 0x200 | 0x8000 | Bit(34) | 0x10000 | Bit(28) | 0x20000 |
                                 0x40000 | 0x80000 | Bit(20) | Bit(21) | Bit(22) | 0x1000 | 0x2000;
constexpr uint64_t kVideoBits = 0x10 | 0x20 | 0x40 | 0x80 | 0x200 | 0x400 | Bit(23);
constexpr uint64_t kUmidBits = 0x1000 | 0x2000;

struct FilesValue {
  const char* name;
  uint32_t options;
};
constexpr uint32_t kMedia = kDbQueryVideos | kDbQueryPhotos;
constexpr FilesValue kFiles[] = {
    {"none", kMedia},
    {"clips", kMedia | kDbQuerySingles},
    {"videoclips", kDbQueryVideos | kDbQuerySingles},
    {"photoclips", kDbQueryPhotos | kDbQuerySingles},
    {"highlights", kMedia | kDbQueryHighlights},
    {"videohighlights", kDbQueryVideos | kDbQueryHighlights},
    {"photohighlights", kDbQueryPhotos | kDbQueryHighlights},
    {"groups", kMedia | kDbQueryGroups},
    {"videogroups", kDbQueryVideos | kDbQueryGroups},
    {"photogroups", kDbQueryPhotos | kDbQueryGroups},
    {"photos", kDbQueryPhotos},
    {"video", kDbQueryVideos},
    {"sessions", RTOS_DB_QUERY_METADATA_SESSION_FILES},
};

// A folder the camera writes media into: three digits 100-999 and a folder suffix.
bool IsMediaFolderName(const std::string& f) {
  if (f.size() != 8 || f[0] < '1' || f[0] > '9' || !isdigit(static_cast<unsigned char>(f[1])) ||
      !isdigit(static_cast<unsigned char>(f[2])))
    return false;
  const std::string_view suffix = std::string_view(f).substr(3);
  return suffix == "TAVRO" || suffix == "Q3D_R" || suffix == "Q3D_L" || suffix == "QFRNT" ||
         suffix == "QBACK";
}

DbResult Refuse(DbResult result, std::string* message, std::string text) {
  ZQ_LOG(ZQ_LOG_ERROR, "%s\n", text.c_str());
  *message = std::move(text);
  return result;
}

// Reads `key`; 1 found, 0 absent, -1 refused (with the message).
int Value(const char* query, const char* key, std::string* value, std::string* message) {
  switch (db_query_value(query, key, value)) {
    case 1:
      return 1;
    case 0:
      return 0;
    case -1:
      Refuse(DbResult::kBadRequest, message,
             std::string("Required field '") + key + "' has no value");
      return -1;
    case -2:
      Refuse(DbResult::kBadRequest, message, std::string("Field '") + key + "' too long");
      return -1;
    default:
      Refuse(DbResult::kBadRequest, message,
             std::string("Field '") + key + "' found multiple times");
      return -1;
  }
}

DbResult ParseFields(const std::string& list, DbMediaListQuery* q, std::string* message) {
  std::string unsupported;  // the names not supported, "," between them (an empty one too)
  bool any_unsupported = false;
  size_t from = 0;
  while (true) {
    const size_t comma = list.find(',', from);
    const std::string name =
        list.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    const FieldName* found = nullptr;
    for (const FieldName& f : kFields) {
      if (name == f.name) found = &f;
    }
    if (found == nullptr) {
      if (any_unsupported) unsupported += ",";
      unsupported += name;
      any_unsupported = true;
    } else {
      q->field_mask |= found->bits;
      q->group_tags |= name == "ghc";
      q->group_times |= name == "ghi";
      q->legacy |= name == "legacy";
    }
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  if (!any_unsupported) return DbResult::kOk;
  ZQ_LOG(ZQ_LOG_ERROR, "fieldMask = 0x%08llX, unsupported %s\n",
         static_cast<unsigned long long>(q->field_mask), unsupported.c_str());
  *message = "fields=" + unsupported + " not implemented";
  return DbResult::kNotSupported;
}

}  // namespace

DbResult db_parse_media_list_query(const char* query, DbMediaListQuery* out, std::string* message) {
  DbMediaListQuery q;
  const char* text = query != nullptr ? query : "";
  std::string value;
  int got = Value(text, "folder", &value, message);
  if (got < 0) return DbResult::kBadRequest;
  if (got == 0) return Refuse(DbResult::kBadRequest, message, "Required field 'folder' missing");
  if (!IsMediaFolderName(value))
    return Refuse(DbResult::kBadRequest, message, "invalid directory name: dir:'" + value + "'");
  q.folder = value;

  q.query_options = kMedia;
  got = Value(text, "files", &value, message);
  if (got < 0) return DbResult::kBadRequest;
  if (got == 1) {
    const FilesValue* found = nullptr;
    for (const FilesValue& f : kFiles) {
      if (value == f.name) found = &f;
    }
    if (found == nullptr)
      return Refuse(DbResult::kNotSupported, message, "files=" + value + " not implemented");
    q.query_options = found->options;
    q.sessions = found->options == RTOS_DB_QUERY_METADATA_SESSION_FILES;
  }

  got = Value(text, "upload", &value, message);
  if (got < 0) return DbResult::kBadRequest;
  if (got == 1) {
    char* end = nullptr;
    errno = 0;
    const unsigned long status = strtoul(value.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || !isdigit(static_cast<unsigned char>(value[0])) ||
        status >= kDbUploadStatusCount)
      return Refuse(DbResult::kBadRequest, message, "upload=" + value + " is an invalid value");
    q.upload.by_status = true;
    q.upload.status = static_cast<uint32_t>(status);
  }

  got = Value(text, "offload", &value, message);
  if (got < 0) return DbResult::kBadRequest;
  if (got == 1) {
    if (value == "app") {
      q.upload.not_offloaded = kDbOffloadApp;
    } else if (value == "pc") {
      q.upload.not_offloaded = kDbOffloadPc;
    } else if (value == "other") {
      q.upload.not_offloaded = kDbOffloadOther;
    } else {
      return Refuse(DbResult::kNotSupported, message, "offload=" + value + " not implemented");
    }
  }

  got = Value(text, "fields", &value, message);
  if (got < 0) return DbResult::kBadRequest;
  if (got == 1) {
    const DbResult parsed = ParseFields(value, &q, message);
    if (parsed != DbResult::kOk) return parsed;
  }
  *out = std::move(q);
  return DbResult::kOk;
}

std::string db_list_entry_name(const DbListEntry& e, int model_number, bool legacy) {
  if (!e.group) return e.name;
  char name[64];
  if (db_is_video_type(e.content_type)) {
    const bool newer = !legacy && is_new_media_name_format_for(model_number) &&
                       e.name.size() >= 2 && e.name[0] == 'Q';
    if (newer) {
      const bool spherical = e.content_type == 13 || e.content_type == 14;
      snprintf(name, sizeof name, "Q%c%.02u%04u.%s", e.name[1], e.first, e.group_number,
               spherical ? "360" : "MP4");
    } else {
      snprintf(name, sizeof name, "ZQ%.02u%04u.MP4", e.first, e.group_number);
    }
    return name;
  }
  if (!legacy) return e.name;
  snprintf(name, sizeof name, "G%.03u%04u.MP4", e.group_number, e.first);
  return name;
}

namespace {

// A content record made from the list entry alone, for entries whose keys need nothing more.
std::vector<uint8_t> RecordOf(const DbListEntry& e) {
  std::vector<uint8_t> r(kDbContentRecordSize, 0);
  zq_store_le32(r.data(), e.content_type);
  zq_store_le32(r.data() + 24, e.created);
  zq_store_le32(r.data() + 28, e.modified);
  return r;
}

// The file name of chapter `chapter` of the chaptered video whose first chapter is `first`:
// the chapter stands in characters 3 and 4.
std::string ChapterName(const std::string& first, uint32_t chapter) {
  if (first.size() < 4) return first;
  char digits[8];
  snprintf(digits, sizeof digits, "%02u", chapter % 100);
  return first.substr(0, 2) + digits + first.substr(4);
}

// Writes "ghc" and/or "ghi" of a chaptered video: the tags of every chapter it has, their
// times counted from the start of the first chapter.
DbResult GroupTags(const DbListEntry& e, const DbMediaListQuery& q, DbJsonEntry* json) {
  uint32_t count = 0;
  uint64_t offset_ms = 0;
  std::string times;
  size_t missing = 0;
  for (uint32_t chapter = e.first; chapter <= e.last; ++chapter) {
    if (missing < e.missing.size() && e.missing[missing] == chapter) {
      ++missing;
      continue;
    }
    DbReply v;
    const DbResult got =
        dbGetVideoSpecificInfo(e.dir.c_str(), ChapterName(e.name, chapter).c_str(), &v);
    if (got != DbResult::kOk) return got;
    if (v.video == nullptr) continue;
    const uint32_t tags = zq_load_le32(v.video + 16);
    for (uint32_t i = 0; i < tags; ++i, ++count) {
      if (count >= static_cast<uint32_t>(kDbMaxTags)) continue;
      if (count != 0) times += ",";
      times += std::to_string(offset_ms + zq_load_le32(v.video + 24 + 4 * i));
    }
    offset_ms += zq_load_le32(v.video + 4);
  }
  if (q.group_tags) json->Add(",", "\"ghc\":\"%u\"", count);
  if (q.group_times) json->Add(",", "\"ghi\":[%s]", times.c_str());
  return DbResult::kOk;
}

// Appends the JSON object of entry `e` to `*out`. kNotFound when the entry's file went away
// between the list and its records (the caller leaves it out).
DbResult WriteEntry(const DbListEntry& e, const DbMediaListQuery& q, int model_number,
                    std::string* out) {
  const uint64_t mask = q.field_mask;
  const bool video = db_is_video_type(e.content_type);
  std::vector<uint8_t> record = RecordOf(e);
  DbReply ids;
  const bool need_record = (mask & kRecordBits) != 0;
  if (need_record) {
    const DbResult got = dbGetUMIDByFileName(e.dir.c_str(), e.name.c_str(), &ids);
    if (got != DbResult::kOk) return got;
    record.assign(ids.content, ids.content + kDbContentRecordSize);
  }
  zq_store_le64(record.data() + 44, e.size);  // a group's size is all its members'

  DbJsonEntry json;
  const char* sep = "";
  const std::string name = db_list_entry_name(e, model_number, q.legacy);
  // Videos take "hc" and "hi" from their video-specific information.
  const uint64_t record_mask = (mask | 0x1 | 0x8) & ~(video ? uint64_t{0x600} : uint64_t{0x400});
  db_format_content_record(&json, &sep, record.data(), record_mask, name.c_str());
  if (need_record && (mask & kUmidBits) != 0) db_format_umid(&json, &sep, ids.extra, mask);
  if (video && (mask & kVideoBits) != 0) {
    DbReply v;
    const DbResult got = dbGetVideoSpecificInfo(e.dir.c_str(), e.name.c_str(), &v);
    if (got != DbResult::kOk) return got;
    if (v.video != nullptr) db_format_video_info(&json, &sep, v.video, mask & kVideoBits);
  }
  if (e.group) {
    std::string missing;
    for (uint32_t n : e.missing) {
      if (!missing.empty()) missing += ",";
      missing += "\"" + std::to_string(n) + "\"";
    }
    json.Add(",", "\"g\":\"%u\",\"b\":\"%u\",\"l\":\"%u\",\"m\":[%s]", e.group_number, e.first,
             e.last, missing.c_str());
    if (!video) json.Add(",", "\"t\":\"%s\"", e.last - e.first + 1 > 30 ? "t" : "b");
    if (video && (q.group_tags || q.group_times)) {
      const DbResult got = GroupTags(e, q, &json);
      if (got != DbResult::kOk) return got;
    }
  }
  if (json.failed()) return DbResult::kFailed;
  *out += "{" + json.text() + "}";
  return DbResult::kOk;
}

// Entries asked of the service at a time: as many as one reply message can hold.
constexpr uint32_t kPageEntries = 24;
// Pages asked at most: a service whose totals keep growing cannot hold the request forever.
constexpr uint32_t kMaxPages = 99999 / kPageEntries + 1;

}  // namespace

DbMediaListAnswer generateMediaList(const char* query, int model_number) {
  DbMediaListAnswer a;
  DbMediaListQuery q;
  a.result = db_parse_media_list_query(query, &q, &a.message);
  if (a.result != DbResult::kOk) return a;

  const uint32_t classes = q.query_options & (kMedia | RTOS_DB_QUERY_METADATA_SESSION_FILES);
  std::string body = "{\"d\":\"" + q.folder + "\",\"fs\":[";
  bool first = true;
  uint32_t start = 0;
  for (uint32_t page = 0; page < kMaxPages; ++page) {
    uint32_t total = 0;
    std::vector<DbListEntry> entries;
    const DbResult got =
        q.sessions ? dbGetCAHSessionFileList(start, kPageEntries, q.upload, &total, &entries)
                   : dbGetCAHList(start, kPageEntries, kDbListGrouping, q.query_options, q.upload,
                                  &total, &entries);
    if (got != DbResult::kOk) {
      a.result = got;
      a.message = "The media database could not list the media";
      return a;
    }
    for (const DbListEntry& e : entries) {
      if (e.dir != q.folder || !shouldOutput(e.content_type, classes)) continue;
      std::string object = first ? "" : ",";
      const DbResult written = WriteEntry(e, q, model_number, &object);
      if (written == DbResult::kNotFound) continue;  // deleted meanwhile
      if (written != DbResult::kOk) {
        a.result = written;
        a.message = "The media database could not describe " + e.name;
        return a;
      }
      body += object;
      first = false;
    }
    start += static_cast<uint32_t>(entries.size());
    if (entries.empty() || start >= total) break;
  }
  a.body = body + "]}\n";
  a.result = DbResult::kOk;
  return a;
}
