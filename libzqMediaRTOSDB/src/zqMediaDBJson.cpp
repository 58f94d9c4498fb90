// JSON formatting of database records and the metadata query answer.

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "zqMediaDBQuery.h"
#include "zqcommon/zqContainment.h"
#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqMediaNames.h"
#include "zqcommon/zqQuery.h"
#include "zqmediadb/zqCardId.h"
#include "zqmediadb/zqMediaDBApp.h"

namespace {

constexpr uint64_t Bit(int n) { return uint64_t{1} << n; }

}  // namespace

bool DbJsonEntry::Add(const char* sep, const char* format, ...) {
  char piece[kDbJsonEntrySize + 1];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(piece, sizeof piece, format, args);
  va_end(args);
  const size_t total = text_.size() + strlen(sep) + (n > 0 ? static_cast<size_t>(n) : 0);
  if (n < 0 || total > kDbJsonEntrySize) {
    ZQ_LOG(ZQ_LOG_ERROR, "%zu > %zu, entry buff exceeded, %s:%d\n", total, kDbJsonEntrySize,
           __FILE_NAME__, __LINE__);
    failed_ = true;
    return false;
  }
  text_ += sep;
  text_.append(piece, static_cast<size_t>(n));
  return true;
}

// Every key goes through here so that the separator becomes "," after it, written or not.
#define DB_KEY(e, sep, ...)        \
  do {                             \
    (e)->Add(*(sep), __VA_ARGS__); \
    *(sep) = ",";                  \
  } while (0)

void db_format_content_record(DbJsonEntry* e, const char** sep, const uint8_t* c, uint64_t mask,
                              const char* name) {
  const uint32_t flags = zq_load_le32(c + 36);
  const uint32_t upload = zq_load_le32(c + 40);
  if (mask & 0x1)
    DB_KEY(e, sep, "\"n\":\"%s\"", zq_json_escape(std::string(name, strnlen(name, 12))).c_str());
  if (mask & 0x2) DB_KEY(e, sep, "\"mod\":\"%u\"", zq_load_le32(c + 28));
  if (mask & 0x4) DB_KEY(e, sep, "\"cre\":\"%u\"", zq_load_le32(c + 24));
  if (mask & 0x8)
    DB_KEY(e, sep, "\"s\":\"%llu\"", static_cast<unsigned long long>(zq_load_le64(c + 44)));
  if (mask & 0x100) DB_KEY(e, sep, "\"mahs\":\"%u\"", c[52] & 0x7Fu);
  if (mask & 0x200) DB_KEY(e, sep, "\"hc\":\"%u\"", zq_load_le32(c + 32));
  if (mask & 0x8000) DB_KEY(e, sep, "\"us\":\"%u\"", upload & 0xFFFFu);
  if (mask & Bit(34)) {
    std::string marks;
    static const char* const kMarks[] = {"app", "pc", "other"};
    for (int i = 0; i < 3; ++i) {
      if ((upload & (1u << (16 + i))) == 0) continue;
      if (!marks.empty()) marks += ",";
      marks += std::string("\"") + kMarks[i] + "\"";
    }
    DB_KEY(e, sep, "\"mos\":[%s]", marks.c_str());
  }
  if (mask & 0x10000) DB_KEY(e, sep, "\"eis\":\"%u\"", (flags >> 1) & 1u);
  if (mask & Bit(28)) DB_KEY(e, sep, "\"hdr\":\"%u\"", (flags >> 12) & 1u);
  if (mask & 0x20000) DB_KEY(e, sep, "\"wdr\":\"%u\"", (flags >> 8) & 1u);
  if (mask & 0x40000) DB_KEY(e, sep, "\"pta\":\"%u\"", (flags & 0x1Cu) != 0 ? 1u : 0u);
  if (mask & 0x80000) {
    const char* ao = (flags & 0x80u)   ? "auto"
                     : (flags & 0x40u) ? "wind"
                     : (flags & 0x20u) ? "stereo"
                                       : "off";
    DB_KEY(e, sep, "\"ao\":\"%s\"", ao);
  }
  if (mask & Bit(20)) DB_KEY(e, sep, "\"raw\":\"%u\"", (flags >> 9) & 1u);
  if (mask & Bit(21)) DB_KEY(e, sep, "\"tr\":\"%u\"", (flags >> 10) & 1u);
  if (mask & Bit(22)) DB_KEY(e, sep, "\"mp\":\"%u\"", (flags >> 11) & 1u);
  if (mask & Bit(29)) DB_KEY(e, sep, "\"ct\":\"%u\"", mapDbContentTypeToApp(zq_load_le32(c)));
  if (mask & Bit(30))
    DB_KEY(e, sep, "\"rot\":\"%u\",\"fov\":\"%u\"", zq_load_le32(c + 60), zq_load_le32(c + 64));
  if (mask & Bit(32)) DB_KEY(e, sep, "\"lc\":\"%u\"", zq_load_le32(c + 68));
  if (mask & Bit(33)) DB_KEY(e, sep, "\"prjn\":\"%u\"", zq_load_le32(c + 72));
}

namespace {
std::string Hex16(const uint8_t* id) {
  char hex[33];
  for (int i = 0; i < 16; ++i) snprintf(hex + 2 * i, 3, "%02x", id[i]);
  return hex;
}
bool AllZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}
}  // namespace

void db_format_umid(DbJsonEntry* e, const char** sep, const uint8_t* ids, uint64_t mask) {
  if (mask & 0x1000) DB_KEY(e, sep, "\"umid\":\"%s\"", Hex16(ids).c_str());
  if ((mask & 0x2000) && !AllZero(ids + 16, 16))
    DB_KEY(e, sep, "\"pumid\":\"%s\"", Hex16(ids + 16).c_str());
}

namespace {
// The tag times of a video-specific record, at most 99, separated by ",".
std::string TagTimes(const uint8_t* v) {
  const uint32_t count = zq_load_le32(v + 16);
  std::string out;
  for (uint32_t i = 0; i < count && i < static_cast<uint32_t>(kDbMaxTags); ++i) {
    if (i != 0) out += ",";
    out += std::to_string(zq_load_le32(v + 24 + 4 * i));
  }
  return out;
}
uint32_t Seconds(uint32_t ms) { return static_cast<uint32_t>((uint64_t{ms} + 500) / 1000); }
}  // namespace

void db_format_video_info(DbJsonEntry* e, const char** sep, const uint8_t* v, uint64_t mask) {
  const uint32_t ls = zq_load_le32(v);
  if (mask & 0x10) {
    if (ls == 0) {
      DB_KEY(e, sep, "\"ls\":\"-1\"");
    } else {
      DB_KEY(e, sep, "\"ls\":\"%u\"", ls);
    }
  }
  if (mask & 0x20) DB_KEY(e, sep, "\"cl\":\"%u\"", zq_load_le32(v + 20));
  if (mask & 0x40) DB_KEY(e, sep, "\"avc_profile\":\"%u\"", zq_load_le32(v + 12));
  if (mask & 0x80) DB_KEY(e, sep, "\"profile\":\"%u\"", zq_load_le32(v + 8));
  if (mask & 0x200) DB_KEY(e, sep, "\"hc\":\"%u\"", zq_load_le32(v + 16));
  if (mask & 0x400) DB_KEY(e, sep, "\"hi\":[%s]", TagTimes(v).c_str());
  if (mask & Bit(23)) DB_KEY(e, sep, "\"dur\":\"%u\"", Seconds(zq_load_le32(v + 4)));
}

void db_format_more_info(DbJsonEntry* e, const char** sep, const uint8_t* m, uint64_t mask) {
  auto i32 = [&](int k) { return static_cast<int>(zq_load_le32(m + 4 * k)); };
  if (mask & Bit(24)) DB_KEY(e, sep, "\"w\":\"%d\",\"h\":\"%d\"", i32(0), i32(1));
  if (mask & Bit(25)) DB_KEY(e, sep, "\"fps\":\"%d\",\"fps_denom\":\"%d\"", i32(2), i32(3));
  if (mask & Bit(26)) DB_KEY(e, sep, "\"prog\":\"%d\"", i32(4));
  if (mask & Bit(27)) DB_KEY(e, sep, "\"subsample\":\"%d\"", i32(5));
}

#undef DB_KEY

int db_query_value(const char* query, const char* key, std::string* out) {
  std::string value, again;
  const ZqParam got = zq_query_param(query, key, kDbQueryValueMax, &value);
  if (got == ZqParam::kMissing) return 0;
  if (got == ZqParam::kTooLong) return -2;
  if (zq_query_param(query, key, kDbQueryValueMax, &again, 1) != ZqParam::kMissing) return -3;
  if (value.empty()) return -1;
  *out = std::move(value);
  return 1;
}

namespace {

bool IsVideoForInfo(uint32_t t) { return t <= 3 || (t >= 12 && t <= 14); }

enum class Action { kVideoInfo, kDur, kV4, kV5, kUpload, kOffload };

struct Request {
  Action action;
  std::string dir;
  std::string file;
  bool change = false;
  uint32_t upload = 0;        // upload status to set
  uint32_t offload_mark = 0;  // offload bit to set or clear
  bool offload_set = true;
};

DbMetadataAnswer Fail(DbResult result, const char* message, const std::string& detail = "") {
  ZQ_LOG(ZQ_LOG_ERROR, message, detail.c_str());
  return {result, ""};
}

// Parses the query into `r`; an answer other than kOk on failure.
DbMetadataAnswer ParseRequest(const char* query, Request* r) {
  std::string t, p;
  int got = db_query_value(query, "t", &t);
  if (got == 0 || got == -1 || got == -2 || got == -3)
    return Fail(DbResult::kBadRequest, "invalid field 't'%s\n");
  if (t == "videoinfo")
    r->action = Action::kVideoInfo;
  else if (t == "dur")
    r->action = Action::kDur;
  else if (t == "v4info")
    r->action = Action::kV4;
  else if (t == "v5info")
    r->action = Action::kV5;
  else if (t == "upload")
    r->action = Action::kUpload;
  else if (t == "offload")
    r->action = Action::kOffload;
  else
    return Fail(DbResult::kNotSupported, "%s not implemented\n", "t=" + t);

  got = db_query_value(query, "p", &p);
  if (got != 1) return Fail(DbResult::kBadRequest, "Required field '%s' missing\n", "p");
  const size_t slash = p.find('/');
  if (slash == std::string::npos || slash == 0 || slash + 1 >= p.size())
    return Fail(DbResult::kBadRequest, "invalid path: '%s'\n", p);
  r->dir = p.substr(0, slash);
  r->file = p.substr(slash + 1);
  // Each part is one name below the card's DCIM folder: the containment rule applies.
  if (r->dir.size() > 8 || !zq_contain_name_ok(r->dir))
    return Fail(DbResult::kBadRequest, "invalid directory name: dir:'%s'\n", r->dir);
  if (r->file.size() > 12 || r->file.find('/') != std::string::npos || !zq_contain_name_ok(r->file))
    return Fail(DbResult::kBadRequest, "invalid filename: file:'%s'\n", r->file);
  const std::string_view ext = zq_media_extension(r->file);
  if (ext != "JPG" && ext != "MP4" && ext != "360")
    return Fail(DbResult::kNotFound, "Not a JPG or MP4 file name '%s', inferring FILE NOT_FOUND\n",
                r->file);

  if (r->action == Action::kUpload || r->action == Action::kOffload) {
    std::string status;
    got = db_query_value(query, "status", &status);
    if (got == -1)
      return Fail(DbResult::kBadRequest, "Required field '%s' has no value\n", "status");
    if (got < 0) return Fail(DbResult::kBadRequest, "invalid field '%s'\n", "status");
    if (got == 1) {
      r->change = true;
      if (r->action == Action::kUpload) {
        char* end = nullptr;
        errno = 0;
        unsigned long v = strtoul(status.c_str(), &end, 10);
        if (errno != 0 || *end != '\0' || status[0] == '-' || v > UINT32_MAX)
          return Fail(DbResult::kBadRequest, "%s is an invalid value\n", "status=" + status);
        r->upload = static_cast<uint32_t>(v);
      } else {
        std::string value;
        int vgot = db_query_value(query, "value", &value);
        if (status == "app")
          r->offload_mark = 1;
        else if (status == "pc")
          r->offload_mark = 2;
        else if (status == "other")
          r->offload_mark = 4;
        if (r->offload_mark == 0 || vgot != 1 || (value != "true" && value != "false"))
          return Fail(DbResult::kBadRequest, "%s is an invalid offload set request\n",
                      "status=" + status);
        r->offload_set = value == "true";
      }
    }
  }
  return {DbResult::kOk, ""};
}

// v4info and v5info: masks by content type.
uint64_t InfoMask(Action a, uint32_t type) {
  constexpr uint64_t kSelection = ~(uint64_t{1} | 2u | 0x4000u);
  const bool video4 = type <= 3 || type == 13 || type == 14;
  const bool video5 = IsVideoForInfo(type);
  uint64_t m;
  if (a == Action::kV4)
    m = video4 ? 0x40fedb63fULL : 0x40133b20fULL;
  else
    m = video5 ? 0x7efedb7ffULL : 0x7f173b22fULL;
  return m & kSelection;
}

DbMetadataAnswer Info(const Request& r) {
  DbReply content;
  DbResult got = dbGetUMIDByFileName(r.dir.c_str(), r.file.c_str(), &content);
  if (got != DbResult::kOk) return {got, ""};
  const uint32_t type = zq_load_le32(content.content);
  const uint64_t mask = InfoMask(r.action, type);
  const bool video = r.action == Action::kV4 ? db_is_video_type(type) : IsVideoForInfo(type);
  DbJsonEntry e;
  const char* sep = "";
  const uint64_t record_mask = video ? mask & ~uint64_t{0x600} : mask;
  db_format_content_record(&e, &sep, content.content, record_mask, r.file.c_str());
  db_format_umid(&e, &sep, content.extra, record_mask);
  if (video) {
    DbReply v;
    got = dbGetVideoSpecificInfo(r.dir.c_str(), r.file.c_str(), &v);
    if (got != DbResult::kOk) return {got, ""};
    if (v.video != nullptr) db_format_video_info(&e, &sep, v.video, mask);
  }
  if ((type & ~8u) < 7) {
    DbReply m;
    got = dbGetMoreInfo(r.dir.c_str(), r.file.c_str(), &m);
    if (got != DbResult::kOk) return {got, ""};
    db_format_more_info(&e, &sep, m.extra, mask);
  }
  if (e.failed()) return {DbResult::kFailed, ""};
  return {DbResult::kOk, "{" + e.text() + "}"};
}

DbMetadataAnswer VideoInfo(const Request& r, bool dur_only) {
  DbReply v;
  DbResult got = dbGetVideoSpecificInfo(r.dir.c_str(), r.file.c_str(), &v);
  if (got != DbResult::kOk) return {got, ""};
  const uint32_t type = zq_load_le32(v.content);
  const bool video = dur_only ? db_is_video_type(type) || type == 12 : IsVideoForInfo(type);
  if (!video || v.video == nullptr) {
    ZQ_LOG(ZQ_LOG_WARN, "not implemented for content_type %u\n", type);
    return {DbResult::kNotSupported, ""};
  }
  DbJsonEntry e;
  const uint8_t* p = v.video;
  e.Add("", "\"dur\":\"%u\",\"c\":\"%u\"", Seconds(zq_load_le32(p + 4)), zq_load_le32(p + 20));
  if (!dur_only) e.Add(",", "\"avc_profile\":\"%u\"", zq_load_le32(p + 12));
  e.Add(",", "\"profile\":\"%u\"", zq_load_le32(p + 8));
  if (!dur_only) {
    e.Add(",", "\"tag_count\":%u,\"tags\":[%s]", zq_load_le32(p + 16), TagTimes(p).c_str());
    if ((type & ~8u) < 7) {
      DbReply m;
      got = dbGetMoreInfo(r.dir.c_str(), r.file.c_str(), &m);
      if (got != DbResult::kOk) return {got, ""};
      const char* sep = ",";
      db_format_more_info(&e, &sep, m.extra, Bit(24) | Bit(25) | Bit(26) | Bit(27));
    }
  }
  if (e.failed()) return {DbResult::kFailed, ""};
  return {DbResult::kOk, "{" + e.text() + "}"};
}

DbMetadataAnswer Upload(const Request& r) {
  const bool upload = r.action == Action::kUpload;
  DbReply c;
  DbResult got = dbGetContentInfo(r.dir.c_str(), r.file.c_str(), &c);
  if (got != DbResult::kOk) return {got, ""};
  if (r.change) {
    uint32_t word = zq_load_le32(c.content + 40);
    const uint32_t value = upload ? r.upload : r.offload_mark;
    if ((upload && value >= 32) || (!upload && value >= 0x10000)) {
      ZQ_LOG(ZQ_LOG_ERROR, "Out of Bounds upload / offload status value = %08x, isUpload = %s\n",
             value, upload ? "true" : "false");
      return {DbResult::kBadRequest, ""};
    }
    if (upload)
      word = (word & 0xFFFF0000u) | value;
    else if (r.offload_set)
      word |= value << 16;
    else
      word &= ~(value << 16);
    got = dbSetUploadStatusRawBits(r.dir.c_str(), r.file.c_str(), word);
    if (got != DbResult::kOk) return {got, ""};
    got = dbGetContentInfo(r.dir.c_str(), r.file.c_str(), &c);
    if (got != DbResult::kOk) return {got, ""};
  }
  DbJsonEntry e;
  const char* sep = "";
  db_format_content_record(&e, &sep, c.content, upload ? 0x8000 : Bit(34), r.file.c_str());
  if (e.failed()) return {DbResult::kFailed, ""};
  return {DbResult::kOk, "{" + e.text() + "}"};
}

}  // namespace

DbMetadataAnswer zqdb_metadata(const char* query) {
  Request r;
  DbMetadataAnswer parsed = ParseRequest(query != nullptr ? query : "", &r);
  if (parsed.result != DbResult::kOk) return parsed;
  std::string id;
  if (getCardIDStr(&id) < 0) return {DbResult::kNotFound, ""};
  switch (r.action) {
    case Action::kDur:
      return VideoInfo(r, true);
    case Action::kVideoInfo:
      return VideoInfo(r, false);
    case Action::kV4:
    case Action::kV5:
      return Info(r);
    case Action::kUpload:
    case Action::kOffload:
      return Upload(r);
  }
  return {DbResult::kFailed, ""};
}

DbResult zqdb_metadata_check_query(const char* query) {
  Request r;
  return ParseRequest(query != nullptr ? query : "", &r).result;
}
