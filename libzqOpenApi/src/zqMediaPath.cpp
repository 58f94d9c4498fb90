#include "zqopenapi/zqMediaPath.h"

#include <cstring>

#include "zqcommon/zqErrors.h"

namespace {

bool Digits(std::string_view s, size_t at, size_t n) {
  if (at + n > s.size()) return false;
  for (size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

bool Upper(std::string_view s, size_t at, size_t n) {
  if (at + n > s.size()) return false;
  for (size_t i = at; i < at + n; ++i) {
    if (s[i] < 'A' || s[i] > 'Z') return false;
  }
  return true;
}

bool OneOf(std::string_view s, size_t at, const char* set) {
  return at < s.size() && s[at] != '\0' && strchr(set, s[at]) != nullptr;
}

constexpr std::string_view kPathKey = "path=";
constexpr std::string_view kFolder = "TAVRO/";

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Reads the tag query into `path` and `ms` as the patterns "path=%[^&]&ms=%u" (a video tag),
// "ms=%u&path=%[^&]" (the same) and "path=%s" (a photo tag, ms 0) would; numbers are digits
// only and fit 32 bits. False when none matches.
bool ParseTagQuery(std::string_view q, std::string* path, uint32_t* ms, bool* video) {
  auto number = [](std::string_view s, uint32_t* out) {
    uint64_t v = 0;
    size_t i = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
      v = v * 10 + static_cast<uint64_t>(s[i] - '0');
      if (v > UINT32_MAX) return false;
    }
    *out = static_cast<uint32_t>(v);
    return i > 0;
  };
  if (q.starts_with(kPathKey)) {
    const std::string_view rest = q.substr(kPathKey.size());
    const size_t amp = rest.find('&');
    if (amp != 0 && amp != std::string_view::npos && rest.substr(amp).starts_with("&ms=") &&
        number(rest.substr(amp + 4), ms)) {
      *path = rest.substr(0, amp);
      *video = true;
      return true;
    }
  }
  if (q.starts_with("ms=")) {
    size_t end = 3;
    while (end < q.size() && q[end] >= '0' && q[end] <= '9') ++end;
    if (number(q.substr(3), ms) && q.substr(end).starts_with("&path=")) {
      const std::string_view rest = q.substr(end + 6);
      const size_t amp = rest.find('&');
      if (amp != 0 && !rest.empty()) {
        *path = rest.substr(0, amp);
        *video = true;
        return true;
      }
    }
  }
  if (q.starts_with(kPathKey)) {
    // %s: the run of characters up to the first white space, at least one.
    const std::string_view rest = q.substr(kPathKey.size());
    size_t end = 0;
    while (end < rest.size() && strchr(" \t\n\v\f\r", rest[end]) == nullptr) ++end;
    if (end > 0) {
      *path = rest.substr(0, end);
      *ms = 0;
      *video = false;
      return true;
    }
  }
  return false;
}

ZqMediaPlan Refuse(std::string log) {
  ZqMediaPlan plan;
  plan.status = 400;
  plan.log = std::move(log);
  return plan;
}

const char* MetadataType(ZqMediaAction action) {
  switch (action) {
    case ZqMediaAction::kTelemetry:
      return "&t=tracks&trackNames=telemetry";
    case ZqMediaAction::kInfo:
      return "&t=v5info";
    case ZqMediaAction::kZqmf:
      return "&t=zqmf";
    case ZqMediaAction::kScreennail:
      return "&t=scr";
    default:
      return "";  // thumbnail and metadata: the metadata handler's default
  }
}

std::string Text(const char* s) { return s != nullptr ? s : "(null)"; }

}  // namespace

ZqMediaAction zqoa_media_action(std::string_view path) {
  struct Row {
    std::string_view path;
    ZqMediaAction action;
  };
  static constexpr Row kRows[] = {
      {"media/list", ZqMediaAction::kList},
      {"media/turbo_transfer", ZqMediaAction::kTurbo},
      {"media/spotmark/moment", ZqMediaAction::kTagMoment},
      {"media/spotmark/file", ZqMediaAction::kTagFile},
      {"media/spotmark/remove", ZqMediaAction::kTagRemove},
      {"media/delete/file", ZqMediaAction::kDelete},
      {"media/telemetry", ZqMediaAction::kTelemetry},
      {"media/info", ZqMediaAction::kInfo},
      {"media/zqmf", ZqMediaAction::kZqmf},
      {"media/screennail", ZqMediaAction::kScreennail},
      {"media/thumbnail", ZqMediaAction::kThumbnail},
      {"media/metadata", ZqMediaAction::kMetadata},
  };
  for (const Row& r : kRows) {
    if (r.path == path) return r.action;
  }
  return ZqMediaAction::kNone;
}

bool zqoa_media_query_valid(std::string_view q, const char** log) {
  const char* ignored = nullptr;
  const char** out = log != nullptr ? log : &ignored;
  *out = "";
  // "path=" DDD "TAVRO/" is common to every form.
  if (!q.starts_with(kPathKey) || !Digits(q, 5, 3) || q.substr(8, kFolder.size()) != kFolder)
    return false;
  const size_t n = kPathKey.size() + 3 + kFolder.size();  // start of the file name
  // 1. TAVR + 4 digits, then exactly ".JPG".
  if (q.substr(n, 4) == "TAVR" && Digits(q, n + 4, 4)) {
    if (q.substr(n + 8) == ".JPG") return true;
    *out = "Format is incorrect for ###TAVRO/TAVR####.JPG";
    return false;
  }
  if (q.substr(n, 1) != "Q") return false;
  // 2. Q, H or X, two letters, 4 digits, then exactly ".MP4".
  if (OneOf(q, n + 1, "HX") && Upper(q, n + 2, 2) && Digits(q, n + 4, 4)) {
    if (q.substr(n + 8) == ".MP4") return true;
    *out = "Format is incorrect for ###TAVRO/Q[HX][A-Z][A-Z]####.MP4";
    return false;
  }
  // 3. Q, one of G L H X, 6 digits, then ".LRV" for L, else ".MP4" or ".THM".
  if (OneOf(q, n + 1, "GLHX") && Digits(q, n + 2, 6)) {
    const std::string_view rest = q.substr(n + 8);
    if (q[n + 1] == 'L') {
      if (rest == ".LRV") return true;
      *out = "Format is incorrect for ###TAVRO/QL######.LRV";
      return false;
    }
    if (rest == ".MP4" || rest == ".THM") return true;
    *out = "Format is incorrect for ###TAVRO/Q[HXG]######.MP4";
    return false;
  }
  // 4. Q, 7 digits, then ".JPG" or ".ZQR"; refused without a log line.
  if (Digits(q, n + 1, 7)) {
    const std::string_view rest = q.substr(n + 8);
    return rest == ".JPG" || rest == ".ZQR";
  }
  return false;
}

ZqMediaPlan zqoa_media_plan(ZqMediaAction action, const char* query, const char* path_var) {
  switch (action) {
    case ZqMediaAction::kNone:
      return Refuse("");  // the caller answers 404
    case ZqMediaAction::kList:
      if (query != nullptr) return Refuse("");
      return {0, "", "", "", {}};
    case ZqMediaAction::kTurbo:
      return {0, "", "", "", {}};
    case ZqMediaAction::kTagMoment:
      if (query != nullptr)
        return Refuse("Params should be NULL for tagging a moment in a recording");
      return {0, "", "", "", {}};
    case ZqMediaAction::kDelete: {
      if (path_var == nullptr || strlen(path_var) > 255)
        return Refuse("No parameters(" + Text(query) + ") given for file delete");
      if (!zqoa_media_query_valid(query != nullptr ? query : "", nullptr))
        return Refuse("Invalid parameters(" + Text(query) + ") given for single file delete");
      ZqMediaPlan plan;
      plan.status = 0;
      plan.delete_path = path_var;
      return plan;
    }
    case ZqMediaAction::kTagFile:
    case ZqMediaAction::kTagRemove: {
      if (query == nullptr) return Refuse("No parameters given for request");
      std::string path;
      uint32_t ms = 0;
      bool video = false;
      if (!ParseTagQuery(query, &path, &ms, &video)) return Refuse("No path was given");
      if (!EndsWith(path, video ? "MP4" : "JPG")) {
        return Refuse(std::string("A ") + (video ? "video" : "photo") +
                      " tag needs a path ending in " + (video ? "MP4" : "JPG") + ", not " + path);
      }
      // A valid name is far shorter than the record's path field: it is never cut.
      if (!zqoa_media_query_valid(std::string(kPathKey) + path, nullptr)) {
        return Refuse("Invalid parameters(" + std::string(query) + ") given for file path:" + path);
      }
      ZqMediaPlan plan;
      plan.status = 0;
      plan.tag =
          zq_tag_record(action == ZqMediaAction::kTagFile ? 1 : 0, path, static_cast<int32_t>(ms));
      return plan;
    }
    default: {
      // Metadata: the hand-off text first, from the path variable (at most 99 bytes, no ".."),
      // then the whole query must be one valid name.
      std::string extra;
      if (path_var != nullptr && strlen(path_var) <= 99 && strstr(path_var, "..") == nullptr)
        extra = std::string("&p=") + path_var;
      if (query == nullptr || !zqoa_media_query_valid(query, nullptr))
        return Refuse("Metadata requires a valid path name for param:" + Text(query));
      ZqMediaPlan plan;
      plan.status = 0;
      plan.extra = extra + MetadataType(action);
      return plan;
    }
  }
}

int zqoa_media_result_status(ZqMediaAction action, int32_t result) {
  if (result == ZQ_OK) return 200;
  if (action == ZqMediaAction::kDelete) return 400;
  if (action == ZqMediaAction::kTagFile || action == ZqMediaAction::kTagRemove)
    return result == ZQ_ERR_INVALID_PARAM ? 400 : 500;
  return 500;
}
