// The simulated media database service. See zqsim/SimMediaDb.h for what it keeps.
//
// Requests and replies are the daemon's media database messages: little-endian, packed, a
// 12-byte request header (command, request count, token) and a 20-byte reply header (command,
// status, count returned, version, token). Each connection is served on a thread of its own.
#include "zqsim/SimMediaDb.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "SimMediaProbe.h"
#include "zqcommon/zqByteOrder.h"
#include "zqcommon/zqMutex.h"
#include "zqcommon/zqPaths.h"
#include "zqcommon/zqUniqueFd.h"
#include "zqipc.h"

namespace zqsim {
namespace {

// Commands and statuses of the service.
enum : uint32_t {
  kCmdList = 0,
  kCmdContentInfo = 2,
  kCmdGroupInfo = 3,
  kCmdVideoInfo = 4,
  kCmdNameByUmid = 6,
  kCmdUmid = 7,
  kCmdMoreInfo = 8,
  kCmdSetUpload = 9,
  kCmdHistogram = 10,
  kCmdScanDir = 12,
};
enum : int32_t { kStatusOk = 0, kStatusBadRequest = 5, kStatusNoFile = 4, kStatusNoDir = 3 };

constexpr uint32_t kUnknownType = 0xFFFFFFFF;
constexpr size_t kReplyHeader = 20;
constexpr size_t kContentRecord = 76;
constexpr size_t kScanEntry = 28;
constexpr size_t kListHeader = 20;

void Put32(std::string* s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s->push_back(static_cast<char>(v >> (8 * i)));
}
void Put64(std::string* s, uint64_t v) {
  for (int i = 0; i < 8; ++i) s->push_back(static_cast<char>(v >> (8 * i)));
}
void PutText(std::string* s, const std::string& text, size_t width) {
  std::string field = text.substr(0, width);
  field.resize(width, '\0');
  *s += field;
}
void Set32(std::string* s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*s)[at + i] = static_cast<char>(v >> (8 * i));
}

std::string Header(uint32_t command, int32_t status, uint32_t count, uint32_t version,
                   uint32_t token) {
  std::string s;
  Put32(&s, command);
  Put32(&s, static_cast<uint32_t>(status));
  Put32(&s, count);
  Put32(&s, version);
  Put32(&s, token);
  return s;
}

std::string Ext(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : name.substr(dot + 1);
}

// A folder name as the service accepts it: eight letters, digits or "_".
bool ValidDir(const std::string& dir) {
  if (dir.size() != 8) return false;
  return std::all_of(dir.begin(), dir.end(), [](char c) { return isalnum(c) || c == '_'; });
}
bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > 12 || name[0] == '.') return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return isalnum(c) || c == '.' || c == '_'; });
}

// The folder's path on the card, then on the internal storage; "" when neither has it.
std::string FolderPath(const std::string& dir) {
  if (!ValidDir(dir)) return "";
  for (const char* root : {kZqSdCardRoot, kZqInternalRoot}) {
    std::string p = zq_path(root) + "/DCIM/" + dir;
    struct stat st = {};
    if (stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return p;
  }
  return "";
}

struct FileEntry {
  std::string name;
  uint64_t size;
  uint64_t mtime;
};

// The regular files of a folder with 8.3-sized names, sorted by name.
bool ListFolder(const std::string& path, std::vector<FileEntry>* out) {
  DIR* d = opendir(path.c_str());
  if (d == nullptr) return false;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (!ValidName(name)) continue;
    struct stat st = {};
    if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
      continue;
    out->push_back({name, static_cast<uint64_t>(st.st_size), static_cast<uint64_t>(st.st_mtime)});
  }
  closedir(d);
  std::sort(out->begin(), out->end(),
            [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
  return true;
}

// Capture times are read once per file version (path, size, time): folders are listed often.
struct TimeCache {
  ZqMutex mu;
  std::map<std::string, std::pair<uint64_t, uint64_t>> entries
      GUARDED_BY(mu);  // path -> (size^mtime, time)
};
TimeCache& Times() {
  static TimeCache* cache = new TimeCache();  // lives for the process
  return *cache;
}

uint64_t CreationTime(const std::string& path, uint64_t size, uint64_t mtime) {
  const uint64_t stamp = size * 1000003u ^ mtime;
  {
    ZqLock lock(Times().mu);
    auto it = Times().entries.find(path);
    if (it != Times().entries.end() && it->second.first == stamp) return it->second.second;
  }
  uint64_t t = ProbeMedia(path).capture_time;
  if (t == 0) t = mtime;
  ZqLock lock(Times().mu);
  Times().entries[path] = {stamp, t};
  return t;
}

// The service's own records, one per file ("100TAVRO/ZQ010001.MP4").
struct Record {
  std::string umid;  // 32 hex digits
  std::vector<uint32_t> tags;
  uint32_t duration_ms = 0;
  uint32_t lrv_size = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t upload = 0;
};

class Records {
 public:
  static Records& Get() {
    static Records* r = new Records();  // lives for the process
    return *r;
  }
  // The record of the file at `path` called `key`, made now if it has none.
  Record Find(const std::string& key, const std::string& path) {
    ZqLock lock(mu_);
    LoadLocked();
    auto it = records_.find(key);
    if (it != records_.end()) return it->second;
    Record r = Make(key, path);
    records_[key] = r;
    SaveLocked();
    return r;
  }
  void SetUpload(const std::string& key, const std::string& path, uint32_t word) {
    ZqLock lock(mu_);
    LoadLocked();
    if (records_.find(key) == records_.end()) records_[key] = Make(key, path);
    records_[key].upload = word;
    SaveLocked();
  }
  // (key, record) pairs, for the histogram and unique-id lookups.
  std::map<std::string, Record> All() {
    ZqLock lock(mu_);
    LoadLocked();
    return records_;
  }

 private:
  std::string FilePath() const { return zq_path(kZqSimStateDir) + "/mediadb.json"; }

  Record Make(const std::string& key, const std::string& path) {
    Record r;
    MediaProbe probe = ProbeMedia(path);
    r.duration_ms = probe.duration_ms;
    r.width = probe.width;
    r.height = probe.height;
    std::random_device rd;
    std::mt19937_64 gen((uint64_t{rd()} << 32) ^ rd());
    char hex[33];
    snprintf(hex, sizeof hex, "%016llx%016llx", static_cast<unsigned long long>(gen()),
             static_cast<unsigned long long>(gen()));
    r.umid = hex;
    const std::string ext = Ext(key);
    if (ext == "MP4" || ext == "360") {
      // A clip gets a tag every third of its length past the first, the way a rider tags.
      const uint32_t seconds = r.duration_ms / 1000;
      for (uint32_t t = 1; seconds >= 2 && t < seconds && r.tags.size() < 3; t += 1 + seconds / 3)
        r.tags.push_back(t * 1000);
      std::string lrv = path.substr(0, path.size() - ext.size()) + "LRV";
      const size_t slash = lrv.rfind('/');
      if (lrv.compare(slash + 1, 2, "QH") == 0 || lrv.compare(slash + 1, 2, "QX") == 0 ||
          lrv.compare(slash + 1, 2, "QM") == 0) {
        lrv.replace(slash + 1, 2, "QL");
      }
      struct stat st = {};
      if (stat(lrv.c_str(), &st) == 0) r.lrv_size = static_cast<uint32_t>(st.st_size);
    }
    return r;
  }

  void LoadLocked() REQUIRES(mu_) {
    if (loaded_) return;
    loaded_ = true;
    std::ifstream in(FilePath());
    if (!in) return;
    nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
    if (!j.is_object()) return;
    for (auto& [key, v] : j.items()) {
      if (!v.is_object()) continue;
      Record r;
      r.umid = v.value("umid", std::string(32, '0'));
      r.duration_ms = v.value("duration_ms", 0u);
      r.lrv_size = v.value("lrv_size", 0u);
      r.width = v.value("width", 0u);
      r.height = v.value("height", 0u);
      r.upload = v.value("upload", 0u);
      if (v.contains("tags") && v["tags"].is_array()) {
        for (auto& t : v["tags"])
          if (t.is_number_unsigned()) r.tags.push_back(t.get<uint32_t>());
      }
      records_[key] = r;
    }
  }

  void SaveLocked() REQUIRES(mu_) {
    nlohmann::json j = nlohmann::json::object();
    for (const auto& [key, r] : records_) {
      j[key] = {{"umid", r.umid},         {"tags", r.tags},   {"duration_ms", r.duration_ms},
                {"lrv_size", r.lrv_size}, {"width", r.width}, {"height", r.height},
                {"upload", r.upload}};
    }
    zq_make_dirs(zq_path(kZqSimStateDir));
    const std::string tmp = FilePath() + ".tmp";
    {
      std::ofstream out(tmp, std::ios::trunc);
      out << j.dump(1) << "\n";
      if (!out) return;
    }
    rename(tmp.c_str(), FilePath().c_str());
  }

  ZqMutex mu_;
  bool loaded_ GUARDED_BY(mu_) = false;
  std::map<std::string, Record> records_ GUARDED_BY(mu_);
};

uint32_t ContentType(const std::string& name) {
  const std::string ext = Ext(name);
  if (ext == "MP4") return 0;
  if (ext == "360") return 13;
  if (ext == "SES") return 7;  // a metadata session file
  if (ext == "JPG") {
    // Members of a burst or time-lapse group: "Q", "L" or "R" and a three-digit group number.
    if ((name[0] == 'Q' || name[0] == 'L' || name[0] == 'R') && isdigit(name[1]) &&
        isdigit(name[2]) && isdigit(name[3]) && name.compare(1, 3, "000") != 0)
      return 5;
    return 4;
  }
  return kUnknownType;
}

bool IsVideoType(uint32_t t) { return t <= 3 || t == 13 || t == 14; }

struct Target {
  std::string dir;
  std::string name;
  std::string path;
  struct stat st;
};

// The file a single-file request names; false with the status to answer.
bool FindTarget(const uint8_t* req, size_t len, Target* t, int32_t* status) {
  if (len < 32) {
    *status = kStatusBadRequest;
    return false;
  }
  t->dir.assign(reinterpret_cast<const char*>(req + 12),
                strnlen(reinterpret_cast<const char*>(req + 12), 8));
  t->name.assign(reinterpret_cast<const char*>(req + 20),
                 strnlen(reinterpret_cast<const char*>(req + 20), 12));
  const std::string folder = FolderPath(t->dir);
  if (folder.empty()) {
    *status = kStatusNoDir;
    return false;
  }
  t->path = folder + "/" + t->name;
  if (!ValidName(t->name) || lstat(t->path.c_str(), &t->st) != 0 || !S_ISREG(t->st.st_mode)) {
    *status = kStatusNoFile;
    return false;
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st = {};
  return stat(path.c_str(), &st) == 0;
}

std::string ContentRecord(const Target& t, const Record& r, uint32_t type) {
  std::string s;
  Put32(&s, type);
  PutText(&s, t.dir, 8);
  PutText(&s, t.name, 12);
  const uint64_t mtime = static_cast<uint64_t>(t.st.st_mtime);
  Put32(&s,
        static_cast<uint32_t>(CreationTime(t.path, static_cast<uint64_t>(t.st.st_size), mtime)));
  Put32(&s, static_cast<uint32_t>(mtime));
  Put32(&s, static_cast<uint32_t>(r.tags.size()));
  uint32_t flags = 0;
  const std::string stem = t.path.substr(0, t.path.size() - 3);
  if (IsVideoType(type)) {
    flags |= 1u << 1;  // stabilised
    flags |= 1u << 5;  // stereo audio
    if (Exists(stem + "WAV")) flags |= 1u << 2;
  } else if (Exists(stem + "ZQR")) {
    flags |= 1u << 9;
  }
  Put32(&s, flags);
  Put32(&s, r.upload);
  Put64(&s, static_cast<uint64_t>(t.st.st_size));
  s.append(8, '\0');                  // offset 52: "mahs" byte and reserved
  Put32(&s, 0);                       // offset 60: rotation
  Put32(&s, type == 13 ? 360 : 122);  // field of view
  Put32(&s, 1);                       // lens count
  Put32(&s, type == 13 ? 1 : 0);      // projection
  return s;
}

std::vector<std::string> ScanDir(const uint8_t* req, size_t len, uint32_t token) {
  if (len < 20) return {Header(kCmdScanDir, kStatusBadRequest, 0, 0, token)};
  const std::string dir(reinterpret_cast<const char*>(req + 12), 8);
  const std::string folder = FolderPath(dir);
  std::vector<FileEntry> files;
  if (folder.empty() || !ListFolder(folder, &files)) {
    return {Header(kCmdScanDir, kStatusNoDir, 0, 0, token)};
  }
  std::vector<std::string> entries;
  for (const FileEntry& f : files) {
    std::string e;
    PutText(&e, f.name, 12);
    Put64(&e, CreationTime(folder + "/" + f.name, f.size, f.mtime));
    Put64(&e, f.size);
    entries.push_back(e);
  }
  const size_t first = (kZqIpcMaxMessage - kReplyHeader) / kScanEntry;
  const size_t more = kZqIpcMaxMessage / kScanEntry;
  const size_t rest = entries.size() > first ? entries.size() - first : 0;
  const uint32_t transfers = static_cast<uint32_t>(1 + (rest + more - 1) / more);
  std::vector<std::string> out;
  out.push_back(
      Header(kCmdScanDir, kStatusOk, transfers, static_cast<uint32_t>(entries.size()), token));
  size_t i = 0;
  for (; i < entries.size() && i < first; ++i) out[0] += entries[i];
  while (i < entries.size()) {
    std::string m;
    for (size_t k = 0; k < more && i < entries.size(); ++k, ++i) m += entries[i];
    out.push_back(m);
  }
  return out;
}

// Every media file of the card's folders, in folder then name order.
std::vector<std::pair<std::string, FileEntry>> CardMedia() {
  std::vector<std::pair<std::string, FileEntry>> out;
  const std::string dcim = zq_path(kZqSdCardRoot) + "/DCIM";
  DIR* d = opendir(dcim.c_str());
  if (d == nullptr) return out;
  std::vector<std::string> dirs;
  while (dirent* e = readdir(d)) {
    if (ValidDir(e->d_name)) dirs.push_back(e->d_name);
  }
  closedir(d);
  std::sort(dirs.begin(), dirs.end());
  for (const std::string& dir : dirs) {
    std::vector<FileEntry> files;
    ListFolder(dcim + "/" + dir, &files);
    for (const FileEntry& f : files) {
      if (ContentType(f.name) != kUnknownType) out.push_back({dir, f});
    }
  }
  return out;
}

// List options and query options of a list request (the daemon's wire format).
enum : uint32_t {
  kListGrouping = 0x2,
  kQueryHighlights = 0x1,
  kQueryGroups = 0x2,
  kQuerySingles = 0x4,
  kQueryVideos = 0x100,
  kQueryPhotos = 0x200,
  kQuerySessions = 0x400,
  kQueryUploadStatus = 0x1000,
  kQueryNotOffloaded = 0x2000,
};
constexpr size_t kGroupRecord = 28;

uint32_t Digits(const std::string& s, size_t at, size_t n) {
  if (s.size() < at + n) return UINT32_MAX;
  uint32_t v = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (!isdigit(static_cast<unsigned char>(s[i]))) return UINT32_MAX;
    v = v * 10 + static_cast<uint32_t>(s[i] - '0');
  }
  return v;
}

// One entry of the list: a file, or a group of them (a chaptered video, a burst or a
// time-lapse) under its first member.
struct ListItem {
  std::string dir;
  std::vector<FileEntry> members;  // in number or chapter order
  std::vector<uint32_t> numbers;   // of each member
  uint32_t type = 0;
  uint32_t group_number = 0;
  bool in_group = false;
};

// The group a file belongs to, as "<dir>/<key>", with its number in it; "" for none. A burst
// or time-lapse photo is "Q", "L" or "R" and a three-digit group number; a chapter of a video
// two letters, the chapter and the file number (a video of one chapter stays a file).
std::string GroupKey(const std::string& dir, const FileEntry& f, uint32_t* number,
                     uint32_t* group) {
  const uint32_t type = ContentType(f.name);
  if (type == 5) {
    *group = Digits(f.name, 1, 3);
    *number = Digits(f.name, 4, 4);
    if (*number == UINT32_MAX) return "";
    return dir + "/" + f.name.substr(0, 4) + "." + Ext(f.name);
  }
  if (IsVideoType(type) && isupper(static_cast<unsigned char>(f.name[0])) &&
      isupper(static_cast<unsigned char>(f.name[1]))) {
    *number = Digits(f.name, 2, 2);
    *group = Digits(f.name, 4, 4);
    if (*number == UINT32_MAX || *group == UINT32_MAX) return "";
    return dir + "/" + f.name.substr(0, 2) + "**" + f.name.substr(4);
  }
  return "";
}

// The card's media as list entries: grouped when `grouping`, one a file otherwise (each
// still knowing whether it belongs to a group).
std::vector<ListItem> ListItems(bool grouping) {
  std::vector<ListItem> items;
  std::map<std::string, size_t> groups;  // key -> index in items
  for (const auto& [dir, f] : CardMedia()) {
    uint32_t number = 0, group = 0;
    const std::string key = GroupKey(dir, f, &number, &group);
    auto it = key.empty() ? groups.end() : groups.find(key);
    if (it != groups.end()) {
      items[it->second].members.push_back(f);
      items[it->second].numbers.push_back(number);
      continue;
    }
    ListItem item;
    item.dir = dir;
    item.members = {f};
    item.numbers = {number};
    item.type = ContentType(f.name);
    item.group_number = group;
    if (!key.empty()) groups[key] = items.size();
    items.push_back(item);
  }
  // A burst is a group whatever its size; a video of one chapter is a file.
  std::vector<ListItem> out;
  for (ListItem& item : items) {
    item.in_group = item.type == 5 || item.members.size() > 1;
    if (grouping || !item.in_group) {
      out.push_back(item);
      continue;
    }
    for (size_t i = 0; i < item.members.size(); ++i) {
      ListItem one = item;
      one.members = {item.members[i]};
      one.numbers = {item.numbers[i]};
      out.push_back(one);
    }
  }
  return out;
}

bool Selected(const ListItem& item, uint32_t query, uint32_t param1, uint32_t param2,
              const std::map<std::string, Record>& records) {
  uint32_t classes = query & (kQueryVideos | kQueryPhotos | kQuerySessions);
  if (classes == 0) classes = kQueryVideos | kQueryPhotos;
  const uint32_t t = item.type;
  const uint32_t cls = IsVideoType(t) ? kQueryVideos : t == 7 ? kQuerySessions : kQueryPhotos;
  if ((classes & cls) == 0) return false;
  if ((query & kQueryGroups) && !item.in_group) return false;
  if ((query & kQuerySingles) && item.in_group) return false;
  const std::string first_key = item.dir + "/" + item.members[0].name;
  auto it = records.find(first_key);
  const uint32_t word = it == records.end() ? 0 : it->second.upload;
  if ((query & kQueryUploadStatus) && (word & 0xFFFF) != param1) return false;
  if ((query & kQueryNotOffloaded) && ((word >> 16) & param2) != 0) return false;
  if (query & kQueryHighlights) {
    if (!IsVideoType(t)) return false;
    bool tagged = false;
    for (const FileEntry& m : item.members) {
      const std::string key = item.dir + "/" + m.name;
      const std::string path = zq_path(kZqSdCardRoot) + "/DCIM/" + key;
      tagged |= !Records::Get().Find(key, path).tags.empty();
    }
    if (!tagged) return false;
  }
  return true;
}

std::string ListEntry(const ListItem& item, bool grouping) {
  const FileEntry& f = item.members[0];
  const std::string path = zq_path(kZqSdCardRoot) + "/DCIM/" + item.dir + "/" + f.name;
  uint64_t size = 0;
  for (const FileEntry& m : item.members) size += m.size;
  const bool group = grouping && item.in_group;
  const uint32_t first = item.numbers.front(), last = item.numbers.back();
  uint32_t type = item.type;
  if (group && type == 5 && last - first + 1 > 30) type = 6;  // a time-lapse
  std::string e;
  PutText(&e, item.dir, 8);
  PutText(&e, f.name, 12);
  Put32(&e, type);
  Put64(&e, size);
  Put32(&e, static_cast<uint32_t>(CreationTime(path, f.size, f.mtime)));
  Put32(&e, static_cast<uint32_t>(f.mtime));
  if (!grouping) return e;
  if (!group) {
    Put32(&e, 0);
    return e;
  }
  const uint32_t span = last - first + 1;
  std::string mask((span + 7) / 8, '\0');
  for (uint32_t n = first; n <= last; ++n)
    mask[(n - first) / 8] |= static_cast<char>(1u << ((n - first) % 8));
  for (uint32_t n : item.numbers)
    mask[(n - first) / 8] &= static_cast<char>(~(1u << ((n - first) % 8)));
  Put32(&e, static_cast<uint32_t>(kGroupRecord + mask.size()));
  Put32(&e, item.group_number);
  Put32(&e, first);
  Put32(&e, last);
  Put32(&e, static_cast<uint32_t>(span - item.numbers.size()));
  Put64(&e, size);
  Put32(&e, static_cast<uint32_t>(mask.size()));
  return e + mask;
}

std::string ListPage(const uint8_t* req, size_t len, uint32_t token) {
  if (len < 24) return Header(kCmdList, kStatusBadRequest, 0, 0, token);
  const uint32_t asked = zq_load_le32(req + 4);
  const uint32_t start = zq_load_le32(req + 12);
  const uint32_t list_options = zq_load_le32(req + 16);
  const uint32_t query_options = zq_load_le32(req + 20);
  const uint32_t param1 = len >= 32 ? zq_load_le32(req + 24) : 0;
  const uint32_t param2 = len >= 32 ? zq_load_le32(req + 28) : 0;
  const bool grouping = (list_options & kListGrouping) != 0;
  const auto records = Records::Get().All();
  std::vector<ListItem> items;
  for (ListItem& item : ListItems(grouping)) {
    if (Selected(item, query_options, param1, param2, records)) items.push_back(std::move(item));
  }
  std::string body;
  uint32_t n = 0;
  for (size_t i = start; i < items.size() && n < asked; ++i, ++n) {
    std::string e = ListEntry(items[i], grouping);
    if (kReplyHeader + kListHeader + body.size() + e.size() > kZqIpcMaxMessage) break;
    body += e;
  }
  std::string s = Header(kCmdList, kStatusOk, n, 1, token);
  Put32(&s, start);
  Put32(&s, list_options);
  Put32(&s, query_options);
  Put32(&s, static_cast<uint32_t>(items.size()));
  Put32(&s, 1);  // session
  return s + body;
}

std::string SingleFile(uint32_t command, const uint8_t* req, size_t len, uint32_t token) {
  Target t;
  int32_t status = kStatusOk;
  if (!FindTarget(req, len, &t, &status)) return Header(command, status, 0, 1, token);
  const std::string key = t.dir + "/" + t.name;
  const uint32_t type = ContentType(t.name);
  if (command == kCmdSetUpload) {
    if (len < 36) return Header(command, kStatusBadRequest, 0, 1, token);
    Records::Get().SetUpload(key, t.path, zq_load_le32(req + 32));
    return Header(command, kStatusOk, 1, 1, token);
  }
  if (type == kUnknownType) {
    std::string s = Header(command, kStatusOk, 1, 1, token);
    Put32(&s, kUnknownType);
    s.resize(kReplyHeader + kContentRecord, '\0');
    return s;
  }
  const Record r = Records::Get().Find(key, t.path);
  std::string s = Header(command, kStatusOk, 1, 1, token);
  if (command == kCmdMoreInfo) {
    Put32(&s, r.width);
    Put32(&s, r.height);
    Put32(&s, IsVideoType(type) ? 30 : 0);
    Put32(&s, 1);
    Put32(&s, IsVideoType(type) ? 1 : 0);  // progressive
    Put32(&s, 420);
    Put32(&s, 0);
    return s;
  }
  s += ContentRecord(t, r, type);
  if (command == kCmdVideoInfo) {
    Put32(&s, r.lrv_size);
    Put32(&s, r.duration_ms);
    Put32(&s, 1);    // profile
    Put32(&s, 100);  // AVC profile: high
    Put32(&s, static_cast<uint32_t>(r.tags.size()));
    Put32(&s, 0);  // "cl"
    for (uint32_t tag : r.tags) Put32(&s, tag);
  } else if (command == kCmdUmid) {
    for (size_t i = 0; i < 16; ++i) {
      s.push_back(static_cast<char>(strtoul(r.umid.substr(2 * i, 2).c_str(), nullptr, 16)));
    }
    s.append(16, '\0');  // no parent
  } else if (command == kCmdGroupInfo) {
    if (type != 5) return Header(command, kStatusNoFile, 0, 1, token);
    std::vector<FileEntry> files;
    ListFolder(t.path.substr(0, t.path.rfind('/')), &files);
    uint32_t first = 0, last = 0, count = 0;
    uint64_t total = 0;
    for (const FileEntry& f : files) {
      if (f.name.compare(0, 4, t.name, 0, 4) != 0 || Ext(f.name) != "JPG") continue;
      const uint32_t number =
          static_cast<uint32_t>(strtoul(f.name.substr(4, 4).c_str(), nullptr, 10));
      if (count == 0) first = number;
      last = number;
      ++count;
      total += f.size;
    }
    Set32(&s, kReplyHeader, last - first + 1 > 30 ? 6 : 5);
    Put32(&s, static_cast<uint32_t>(strtoul(t.name.substr(1, 3).c_str(), nullptr, 10)));
    Put32(&s, first);
    Put32(&s, last);
    Put32(&s, last - first + 1 - count);
    Put64(&s, total);
  }
  return s;
}

std::string NameByUmid(const uint8_t* req, size_t len, uint32_t token) {
  if (len < 28) return Header(kCmdNameByUmid, kStatusBadRequest, 0, 1, token);
  char hex[33];
  for (int i = 0; i < 16; ++i) snprintf(hex + 2 * i, 3, "%02x", req[12 + i]);
  for (const auto& [key, r] : Records::Get().All()) {
    if (r.umid != hex) continue;
    std::string s = Header(kCmdNameByUmid, kStatusOk, 1, 1, token);
    PutText(&s, key.substr(0, 8), 8);
    PutText(&s, key.substr(9), 12);
    return s;
  }
  return Header(kCmdNameByUmid, kStatusNoFile, 0, 1, token);
}

std::string Histogram(uint32_t token) {
  uint32_t counts[32] = {};
  auto records = Records::Get().All();
  for (const auto& [dir, f] : CardMedia()) {
    auto it = records.find(dir + "/" + f.name);
    const uint32_t us = it == records.end() ? 0 : (it->second.upload & 0xFFFF);
    if (us < 32) ++counts[us];
  }
  std::string s = Header(kCmdHistogram, kStatusOk, 32, 1, token);
  for (uint32_t c : counts) Put32(&s, c);
  return s;
}

// The fault switch, read at every request so that zqsim can change it while serving.
struct Fault {
  std::string mode;
  long long value = 0;
};

std::string FaultPath() { return zq_path(kZqSimStateDir) + "/mediadb-fault"; }

Fault ReadFault() {
  Fault f;
  std::ifstream in(FaultPath());
  if (in) in >> f.mode >> f.value;
  return f;
}

class Server {
 public:
  bool Start(std::string* error) {
    ZqLock lock(mu_);
    if (listen_.valid()) return true;
    zq_make_dirs(zq_path(kZqSimStateDir));
    const std::string path = IpcSocketPath(kMediaDbEndpoint);
    sockaddr_un addr;
    if (!IpcSocketAddress(path, &addr)) {
      *error = "socket path too long: " + path;
      return false;
    }
    unlink(path.c_str());
    UniqueFd fd(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!fd.valid() || bind(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd.get(), 64) != 0) {
      *error = "cannot serve " + path + ": " + strerror(errno);
      return false;
    }
    if (pipe2(wake_, O_CLOEXEC) != 0) {
      *error = std::string("pipe: ") + strerror(errno);
      return false;
    }
    listen_ = std::move(fd);
    stopping_ = false;
    acceptor_ = std::thread([this] { Accept(); });
    return true;
  }

  void Stop() {
    {
      ZqLock lock(mu_);
      if (!listen_.valid()) return;
      stopping_ = true;
      for (int fd : clients_) shutdown(fd, SHUT_RDWR);
    }
    cv_.NotifyAll();
    char b = 0;
    ssize_t n = write(wake_[1], &b, 1);
    (void)n;
    acceptor_.join();
    std::vector<Worker> workers;
    {
      ZqLock lock(mu_);
      workers.swap(workers_);
    }
    for (Worker& w : workers) w.thread.join();
    ZqLock lock(mu_);
    unlink(IpcSocketPath(kMediaDbEndpoint).c_str());
    listen_.reset();
    close(wake_[0]);
    close(wake_[1]);
  }

 private:
  void Accept() {
    while (true) {
      pollfd fds[2] = {{listen_.get(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
      if (fds[1].revents != 0) return;
      if ((fds[0].revents & POLLIN) == 0) continue;
      int fd = accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ZqLock lock(mu_);
      if (stopping_) {
        close(fd);
        return;
      }
      clients_.push_back(fd);
      ReapLocked();
      auto done = std::make_shared<std::atomic<bool>>(false);
      workers_.push_back({std::thread([this, fd, done] {
                            Serve(fd);
                            done->store(true);
                          }),
                          done});
    }
  }

  void Serve(int fd) {
    uint8_t req[kZqIpcMaxMessage];
    while (true) {
      ssize_t n = recv(fd, req, sizeof req, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      const Fault fault = ReadFault();
      if (fault.mode == "silent") continue;
      if (fault.mode == "slow") {
        ZqLock lock(mu_);
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(zq_scaled_ms(fault.value));
        while (!stopping_ && cv_.WaitUntil(mu_, until)) {
        }
        if (stopping_) break;
      }
      std::vector<std::string> replies;
      if (fault.mode == "status" && n >= 12) {
        replies = {Header(zq_load_le32(req), static_cast<int32_t>(fault.value), 0, 1,
                          zq_load_le32(req + 8))};
      } else {
        replies = MediaDbAnswer(req, static_cast<size_t>(n));
      }
      for (std::string& r : replies) {
        if (fault.mode == "truncate" && r.size() > static_cast<size_t>(fault.value))
          r.resize(static_cast<size_t>(fault.value));
        if (send(fd, r.data(), r.size(), MSG_NOSIGNAL) < 0) break;
      }
    }
    ZqLock lock(mu_);
    clients_.erase(std::remove(clients_.begin(), clients_.end(), fd), clients_.end());
    close(fd);
  }

  ZqMutex mu_;
  ZqCondVar cv_;
  UniqueFd listen_;
  int wake_[2] = {-1, -1};
  bool stopping_ GUARDED_BY(mu_) = false;
  std::vector<int> clients_ GUARDED_BY(mu_);
  // One per connection; finished ones are joined when the next connection comes.
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  void ReapLocked() REQUIRES(mu_) {
    for (auto it = workers_.begin(); it != workers_.end();) {
      if (it->done->load()) {
        it->thread.join();
        it = workers_.erase(it);
      } else {
        ++it;
      }
    }
  }
  std::vector<Worker> workers_ GUARDED_BY(mu_);
  std::thread acceptor_;
};

Server& TheServer() {
  static Server* s = new Server();  // lives for the process
  return *s;
}

}  // namespace

std::vector<std::string> MediaDbAnswer(const uint8_t* request, size_t length) {
  if (length < 12) return {Header(0, kStatusBadRequest, 0, 0, 0)};
  const uint32_t command = zq_load_le32(request);
  const uint32_t token = zq_load_le32(request + 8);
  switch (command) {
    case kCmdScanDir:
      return ScanDir(request, length, token);
    case kCmdList:
      return {ListPage(request, length, token)};
    case kCmdContentInfo:
    case kCmdGroupInfo:
    case kCmdVideoInfo:
    case kCmdUmid:
    case kCmdMoreInfo:
    case kCmdSetUpload:
      return {SingleFile(command, request, length, token)};
    case kCmdNameByUmid:
      return {NameByUmid(request, length, token)};
    case kCmdHistogram:
      return {Histogram(token)};
    default:
      return {Header(command, kStatusBadRequest, 0, 0, token)};
  }
}

uint64_t MediaCreationTime(const std::string& path) {
  struct stat st = {};
  if (stat(path.c_str(), &st) != 0) return 0;
  return CreationTime(path, static_cast<uint64_t>(st.st_size), static_cast<uint64_t>(st.st_mtime));
}

bool MediaDbStart(std::string* error) { return TheServer().Start(error); }
void MediaDbStop() { TheServer().Stop(); }

bool MediaDbSetFault(const std::string& mode, const std::string& value, std::string* error) {
  zq_make_dirs(zq_path(kZqSimStateDir));
  if (mode == "ok") {
    unlink(FaultPath().c_str());
    return true;
  }
  long long v = 0;
  if (mode != "silent") {
    char* end = nullptr;
    errno = 0;
    v = strtoll(value.c_str(), &end, 10);
    if (value.empty() || errno != 0 || *end != '\0' || (mode != "status" && v < 0) ||
        v > INT32_MAX || v < INT32_MIN) {
      *error = "bad value for mediadb " + mode + ": " + value;
      return false;
    }
  }
  if (mode != "slow" && mode != "status" && mode != "truncate" && mode != "silent") {
    *error = "unknown mediadb fault: " + mode;
    return false;
  }
  const std::string tmp = FaultPath() + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << mode << " " << v << "\n";
    if (!out) {
      *error = "cannot write " + tmp;
      return false;
    }
  }
  return rename(tmp.c_str(), FaultPath().c_str()) == 0;
}

}  // namespace zqsim
