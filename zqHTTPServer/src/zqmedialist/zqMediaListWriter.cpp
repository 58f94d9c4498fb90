#include "zqmedialist/zqMediaListWriter.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "zqcommon/zqJson.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqMediaNames.h"

namespace {

constexpr size_t kMaxFolders = 900;
constexpr uint32_t kMaxFilesPerFolder = 65535;
constexpr size_t kMaxMissing = 10000;

bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Upper(char c) { return c >= 'A' && c <= 'Z'; }
bool Prefix(const char* name, const char* p) { return strncmp(name, p, strlen(p)) == 0; }
// A record's name (at most twelve characters, terminated when shorter).
std::string_view Name(const char* name) { return {name, strnlen(name, kZqMediaNameLength)}; }
bool ExtIs(const char* name, const char* ext) { return zq_media_extension(Name(name)) == ext; }
int FileNumber(const char* name) { return zq_media_file_number(Name(name)); }
int Chapter(const char* name) { return zq_media_chapter(Name(name)); }

enum Slot { kQx, kQh, kQm, kQl, kQg, kQs, kZq, kBase, kLs, kMs, kQlrv, kRaw, kPta, kSlotCount };
const char* const kSlotKeys[kSlotCount] = {"qx",   "qh", "qm", "ql",   "qg",  "qs", "zq",
                                           "base", "ls", "ms", "qlrv", "raw", "pta"};

// Characters 3-4 of a Q-prefixed name: two digits, two upper-case letters or "__".
bool QSuffix(const char* name) {
  return (Digit(name[2]) && Digit(name[3])) || (Upper(name[2]) && Upper(name[3])) ||
         (name[2] == '_' && name[3] == '_');
}

Slot SlotOf(const char* name) {
  if (ExtIs(name, "MP4") || ExtIs(name, "360")) {
    static const std::pair<const char*, Slot> kQ[] = {{"QX", kQx}, {"QH", kQh}, {"QM", kQm},
                                                      {"QL", kQl}, {"QG", kQg}, {"QS", kQs}};
    for (const auto& [p, s] : kQ)
      if (Prefix(name, p) && QSuffix(name)) return s;
    return kZq;
  }
  if (ExtIs(name, "LRV")) return Prefix(name, "QL") && QSuffix(name) ? kQlrv : kLs;
  if (ExtIs(name, "MRV")) return kMs;
  if (ExtIs(name, "WAV")) return kPta;
  if (ExtIs(name, "ZQR")) return kRaw;
  return kBase;
}

// The folder being written: its item and group under assembly, and whether anything was
// written in it yet.
class FolderWriter {
 public:
  explicit FolderWriter(std::string* json) : json_(json) {}

  void Add(const MediaListRecord* r) {
    if (r->name[0] == '.') return;
    const int gid =
        (ExtIs(r->name, "JPG") || ExtIs(r->name, "ZQR")) ? zq_media_group_id(Name(r->name)) : -1;
    if (gid >= 0) {
      AddGroupMember(r, gid);
      return;
    }
    const int number = FileNumber(r->name);
    const int chapter = Chapter(r->name);
    if (!item_open_ || number != number_ || chapter != chapter_) {
      WriteGroup();
      WriteItem();
      item_open_ = true;
      number_ = number;
      chapter_ = chapter;
    }
    slots_[SlotOf(r->name)] = r;
  }

  void Finish() {
    WriteGroup();
    WriteItem();
  }

 private:
  void Comma() {
    if (wrote_) *json_ += ",";
    wrote_ = true;
  }
  void Appendf(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    char buf[128];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    if (n > 0) json_->append(buf, std::min(static_cast<size_t>(n), sizeof buf - 1));
  }
  void AppendName(const char* name) {
    *json_ += zq_json_escape(std::string_view(name, strnlen(name, 12)));
  }

  void AddGroupMember(const MediaListRecord* r, int gid) {
    const int number = FileNumber(r->name);
    if (group_open_ && gid == gid_ && number >= last_) {
      for (int m = last_ + 1; m < number; ++m) {
        if (missing_.size() < kMaxMissing) {
          missing_.push_back(static_cast<uint16_t>(m));
        } else {
          ZQ_LOG(ZQ_LOG_WARN, "group %d: more than %zu missing numbers, dropping %d\n", gid,
                 kMaxMissing, m);
        }
      }
      last_ = number;
      if (ExtIs(r->name, "ZQR")) {
        raw_ = true;
      } else {
        total_ += r->size;
      }
      return;
    }
    if (group_open_) {
      WriteGroup();
    } else {
      WriteItem();
    }
    group_open_ = true;
    gid_ = gid;
    first_ = last_ = number;
    total_ = r->size;
    time_ = r->time;
    raw_ = false;
    missing_.clear();
    Comma();
    *json_ += "{\"n\":\"";
    AppendName(r->name);
    Appendf("\",\"g\":\"%d\",\"b\":\"%d\",", gid, number);
  }

  void WriteGroup() {
    if (!group_open_) return;
    group_open_ = false;
    Appendf("\"l\":\"%d\",", last_);
    if (time_ != 0) {
      Appendf("\"cre\":\"%" PRIu64 "\",\"mod\":\"%" PRIu64 "\",", time_, time_);
    }
    if (raw_) *json_ += "\"raw\":\"1\",";
    Appendf("\"s\":\"%" PRIu64 "\",", total_);
    const int span = last_ == first_ ? 0 : last_ - first_ + 1;
    *json_ += span > 30 ? "\"t\":\"t\"," : "\"t\":\"b\",";
    *json_ += "\"m\":[";
    for (size_t i = 0; i < missing_.size(); ++i) {
      Appendf("%s\"%d\"", i == 0 ? "" : ",", missing_[i]);
    }
    *json_ += "]}";
  }

  void WriteItem() {
    if (!item_open_) return;
    item_open_ = false;
    const MediaListRecord* primary = nullptr;
    for (Slot s : {kQx, kQh, kQm, kQl, kQg, kQs, kZq, kBase}) {
      if (slots_[s] != nullptr) {
        primary = slots_[s];
        break;
      }
    }
    if (primary == nullptr) {
      ZQ_LOG(ZQ_LOG_WARN, "Error missing primary file for file number %d, chapter number %d\n",
             number_, chapter_);
      std::fill(std::begin(slots_), std::end(slots_), nullptr);
      return;
    }
    Comma();
    *json_ += "{\"n\":\"";
    AppendName(primary->name);
    *json_ += "\"";
    if (primary->time != 0) {
      Appendf(",\"cre\":\"%" PRIu64 "\",\"mod\":\"%" PRIu64 "\"", primary->time, primary->time);
    }
    if (ExtIs(primary->name, "MP4") || ExtIs(primary->name, "360")) {
      for (Slot s : {kQx, kQh, kQm, kQl, kQlrv, kPta, kZq, kQs, kQg, kMs}) {
        const MediaListRecord* r = slots_[s];
        if (r == nullptr || r == primary) continue;
        if (s == kPta) {
          *json_ += ",\"pta\":\"1\"";
        } else {
          Appendf(",\"%s\":\"%" PRIu64 "\"", kSlotKeys[s], r->size);
        }
      }
      if (slots_[kLs] != nullptr) {
        Appendf(",\"ls\":\"%" PRIu64 "\"", slots_[kLs]->size);
      } else {
        *json_ += ",\"ls\":\"-1\"";
      }
    } else if (ExtIs(primary->name, "JPG") && slots_[kRaw] != nullptr) {
      *json_ += ",\"raw\":\"1\"";
    }
    Appendf(",\"s\":\"%" PRIu64 "\"}", primary->size);
    std::fill(std::begin(slots_), std::end(slots_), nullptr);
  }

  std::string* json_;
  bool wrote_ = false;
  bool item_open_ = false;
  int number_ = 0;
  int chapter_ = -1;
  const MediaListRecord* slots_[kSlotCount] = {};
  bool group_open_ = false;
  int gid_ = -1;
  int first_ = 0;
  int last_ = 0;
  uint64_t total_ = 0;
  uint64_t time_ = 0;
  bool raw_ = false;
  std::vector<uint16_t> missing_;
};

// Sort key of a record: file number × 4 + class (0 JPG or no chapter, 1 chapter 0,
// 2 chapter 1, 3 chapter 2 and up).
uint16_t SortKey(const MediaListRecord& r) {
  const int chapter = ExtIs(r.name, "JPG") ? -1 : Chapter(r.name);
  const int cls = chapter < 0 ? 0 : chapter == 0 ? 1 : chapter == 1 ? 2 : 3;
  return static_cast<uint16_t>(FileNumber(r.name) * 4 + cls);
}

void SortFolder(MediaListRecord* begin, MediaListRecord* end) {
  // Within a key, chapters 2 and up go by chapter; the name breaks the remaining ties so that
  // the same card always gives the same document.
  std::sort(begin, end, [](const MediaListRecord& a, const MediaListRecord& b) {
    const uint16_t ka = SortKey(a), kb = SortKey(b);
    if (ka != kb) return ka < kb;
    if ((ka & 3) == 3) {
      const int ca = Chapter(a.name), cb = Chapter(b.name);
      if (ca != cb) return ca < cb;
    }
    return strncmp(a.name, b.name, 12) < 0;
  });
}

// A run of consecutive records of one folder: [first, end).
struct FolderRun {
  uint16_t number;
  uint32_t first;
  uint32_t end;
  uint32_t count() const { return std::min(end - first, kMaxFilesPerFolder); }
};

}  // namespace

void writeMediaFolders(std::string* json, MediaListRecord* records, uint32_t count, char type,
                       bool* wrote) {
  std::vector<FolderRun> runs;
  for (uint32_t i = 0; i < count; ++i) {
    if (records[i].type != type) continue;
    FolderRun* last = runs.empty() ? nullptr : &runs.back();
    if (last != nullptr && last->number == records[i].folder && last->end == i) {
      if (last->end - last->first == kMaxFilesPerFolder) {
        ZQ_LOG(ZQ_LOG_WARN, "Exceeded %u files in directory %d\n", kMaxFilesPerFolder,
               records[i].folder);
      }
      ++last->end;
      continue;
    }
    if (runs.size() == kMaxFolders) break;
    runs.push_back({records[i].folder, i, i + 1});
  }
  std::stable_sort(runs.begin(), runs.end(),
                   [](const FolderRun& a, const FolderRun& b) { return a.number < b.number; });
  for (const FolderRun& run : runs) {
    if (run.number < 100 || run.number > 999) continue;
    if (*wrote) *json += ",";
    char head[64];
    snprintf(head, sizeof head, "{\"d\":\"%03d%s\",\"fs\":[", run.number,
             zq_media_folder_suffix(type));
    *json += head;
    *wrote = true;
    MediaListRecord* begin = records + run.first;
    SortFolder(begin, begin + run.count());
    FolderWriter folder(json);
    for (uint32_t i = 0; i < run.count(); ++i) folder.Add(begin + i);
    folder.Finish();
    *json += "]}";
  }
}

void writeAllMediaFolders(std::string* json, MediaListRecord* records, uint32_t count) {
  bool wrote = false;
  for (char type : {'T', 'R', 'L', 'F', 'B'}) writeMediaFolders(json, records, count, type, &wrote);
}
