#include "zqsim/SimStorage.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "zqCtrlD.h"
#include "zqcommon/zqByteOrder.h"
#include "zqcommon/zqContainment.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimState.h"

namespace zqsim {
namespace {

constexpr size_t kRecordSize = 552;
constexpr int64_t kJobMs = 3000;

std::string Dcim() { return zq_path(std::string(kZqSdCardRoot) + "/DCIM"); }

std::string Text(const uint8_t* p, size_t width) {
  const char* c = reinterpret_cast<const char*>(p);
  return std::string(c, strnlen(c, width));
}

// A card path as the commands name it, split into its folder and file name; false when it
// would leave DCIM or names no file in a folder.
bool Split(std::string path, std::string* folder, std::string* name) {
  std::replace(path.begin(), path.end(), '\\', '/');
  const size_t slash = path.rfind('/');
  if (!zq_contain_name_ok(path) || slash == std::string::npos || slash + 1 == path.size()) {
    return false;
  }
  *folder = Dcim() + "/" + path.substr(0, slash);
  *name = path.substr(slash + 1);
  return true;
}

std::string Stem(const std::string& name) { return name.substr(0, name.rfind('.')); }

bool IsFile(const std::string& path) {
  struct stat st = {};
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return isdigit(c) != 0; });
}

// Whether `name` (a file in the folder) belongs with `first`: its companions, and for a group
// every member.
bool InGroup(const std::string& first, const std::string& name, bool group) {
  const std::string a = Stem(first);
  const std::string b = Stem(name);
  if (!group || a.size() != 8 || b.size() != 8) return a == b;
  // A burst or time-lapse: "Q", a three-digit group, a four-digit frame number.
  if (a[0] == 'Q' && AllDigits(a.substr(1))) {
    return b.compare(0, 4, a, 0, 4) == 0 && AllDigits(b.substr(4));
  }
  // A chaptered clip: two letters, the chapter, the clip number.
  if (isupper(a[0]) && isupper(a[1]) && AllDigits(a.substr(2))) {
    return b.compare(0, 2, a, 0, 2) == 0 && AllDigits(b.substr(2, 2)) &&
           b.compare(4, 4, a, 4, 4) == 0;
  }
  return a == b;
}

// Deletes `path` (relative to DCIM) with its companions, or its whole group. ZQ_OK, or
// ZQ_ERR_NAK when the file does not exist, ZQ_ERR_INVALID_PARAM for a name outside DCIM.
int32_t DeleteMedia(const std::string& path, bool group) {
  std::string folder;
  std::string first;
  if (!Split(path, &folder, &first)) return ZQ_ERR_INVALID_PARAM;
  if (!IsFile(folder + "/" + first)) return ZQ_ERR_NAK;
  DIR* d = opendir(folder.c_str());
  if (d == nullptr) return ZQ_ERR_NAK;
  std::vector<std::string> doomed;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] != '.' && InGroup(first, e->d_name, group)) doomed.push_back(e->d_name);
  }
  closedir(d);
  for (const std::string& name : doomed) {
    if (IsFile(folder + "/" + name)) unlink((folder + "/" + name).c_str());
  }
  return ZQ_OK;
}

// Transcode records.
void PutRecord(const TranscodeJob& job, int64_t now_ms, uint8_t* out) {
  memset(out, 0, kRecordSize);
  memcpy(out, job.source, strnlen(job.source, 256));
  zq_store_le(out + 264, static_cast<uint64_t>(job.id), 8);
  const bool cancelled = job.cancelled_ms != 0;
  const int64_t elapsed = (cancelled ? job.cancelled_ms : now_ms) - job.started_ms;
  const bool done = !cancelled && elapsed >= job.duration_ms;
  const int64_t completion =
      done ? 100 : std::clamp<int64_t>(elapsed * 100 / job.duration_ms, 0, 99);
  const int64_t remaining = done || cancelled ? 0 : (job.duration_ms - elapsed + 999) / 1000;
  zq_store_le(out + 272, cancelled ? 4u : done ? 2u : 1u, 4);
  zq_store_le(out + 280, static_cast<uint64_t>(remaining), 4);
  zq_store_le(out + 284, static_cast<uint64_t>(completion), 4);
  memcpy(out + 288, job.output, strnlen(job.output, 256));
}

// Makes the output of every finished job that has none yet (a link to its source: the
// simulated camera does not re-encode).
void WriteOutputs(TranscodeState& t, int64_t now_ms) {
  for (TranscodeJob& job : t.jobs) {
    if (!job.used || job.cancelled_ms != 0 || job.written ||
        now_ms - job.started_ms < job.duration_ms) {
      continue;
    }
    std::string folder, name, out_folder, out_name;
    if (Split(job.source, &folder, &name) && Split(job.output, &out_folder, &out_name)) {
      link((folder + "/" + name).c_str(), (out_folder + "/" + out_name).c_str());
    }
    job.written = 1;
  }
}

int32_t StartJob(SimStateData& d, const uint8_t* p, bool photo, int64_t now_ms, uint8_t* reply,
                 uint32_t* reply_len) {
  if (IsRecording(d)) return ZQ_ERR_NAK;
  const std::string source = Text(p, 256);
  std::string folder, name;
  if (!Split(source, &folder, &name)) return ZQ_ERR_INVALID_PARAM;
  if (!IsFile(folder + "/" + name)) return ZQ_ERR_NAK;
  if (!photo && zq_load_le32(p + 284) <= zq_load_le32(p + 280))
    return ZQ_ERR_INVALID_PARAM;  // out <= in
  TranscodeState& t = d.transcode;
  t.jobs[1] = t.jobs[0];
  TranscodeJob& job = t.jobs[0];
  job = {};
  job.used = 1;
  job.photo = photo;
  job.id = t.next_id++;
  job.started_ms = now_ms;
  job.duration_ms = zq_scaled_ms(kJobMs);
  snprintf(job.source, sizeof job.source, "%s", source.c_str());
  std::string rel_folder = source.substr(0, source.find_last_of("/\\"));
  std::replace(rel_folder.begin(), rel_folder.end(), '\\', '/');
  snprintf(job.output, sizeof job.output, "%s/TRAN%04lld.MP4", rel_folder.c_str(),
           static_cast<long long>(job.id % 10000));
  PutRecord(job, now_ms, reply);
  *reply_len = kRecordSize;
  return ZQ_OK;
}

TranscodeJob* FindJob(TranscodeState& t, const uint8_t* p) {
  const int64_t id = static_cast<int64_t>(zq_load_le64(p));
  for (TranscodeJob& job : t.jobs) {
    if (job.used && job.id == id) return &job;
  }
  return nullptr;
}

std::string AnalyticsFile(const char* name) {
  return zq_path(std::string(kAnalyticsDir) + "/" + name);
}

int32_t AnalyticsPrepare(uint8_t* reply, uint32_t* reply_len) {
  zq_make_dirs(zq_path(kAnalyticsDir));
  const std::string current = AnalyticsFile("data_analytics.bin");
  if (IsFile(current)) rename(current.c_str(), AnalyticsFile("DA000001.bin").c_str());
  FILE* f = fopen(current.c_str(), "we");
  if (f == nullptr) return ZQ_ERR;
  for (int i = 0; i < 1500; ++i) fputc((i * 13 + 5) & 0xFF, f);
  if (fclose(f) != 0) return ZQ_ERR;
  static constexpr char kCurrentPath[] = "/tmp/fuse_a/save/data_analytics.bin";
  memcpy(reply, kCurrentPath, sizeof kCurrentPath);
  *reply_len = sizeof kCurrentPath;
  return ZQ_OK;
}

int32_t AnalyticsClear() {
  DIR* d = opendir(zq_path(kAnalyticsDir).c_str());
  if (d == nullptr) return ZQ_OK;
  std::vector<std::string> doomed;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    const bool backup = name.size() >= 5 && name.compare(0, 2, "DA") == 0 &&
                        name.compare(name.size() - 4, 4, ".bin") == 0;
    if (name == "data_analytics.bin" || backup) doomed.push_back(name);
  }
  closedir(d);
  for (const std::string& name : doomed) unlink(AnalyticsFile(name.c_str()).c_str());
  return ZQ_OK;
}

}  // namespace

bool IsStorageCommand(uint32_t command) {
  switch (command) {
    case ZQCONTROL_TAG_PLAYBACK:
    case ZQCONTROL_ANALYTICS_PREPARE:
    case ZQCONTROL_ANALYTICS_CLEAR:
    case ZQCONTROL_TRANSCODE_HISTORY:
    case ZQCONTROL_TRANSCODE_PHOTO_TO_VIDEO:
    case ZQCONTROL_TRANSCODE_VIDEO_TO_VIDEO:
    case ZQCONTROL_TRANSCODE_STATUS:
    case ZQCONTROL_TRANSCODE_CANCEL:
    case ZQCONTROL_DELETE_LIST_STATE:
      return true;
    default:
      return false;
  }
}

bool IsCardDelete(uint32_t command) {
  return command == ZQCONTROL_DELETE_FILE || command == ZQCONTROL_DELETE_GROUP ||
         command == ZQCONTROL_DELETE_LIST;
}

int32_t StorageDelete(uint32_t command, const uint8_t* p, uint32_t len, uint8_t* list_result) {
  if (command != ZQCONTROL_DELETE_LIST) {
    return DeleteMedia(Text(p, len), command == ZQCONTROL_DELETE_GROUP);
  }
  uint8_t result = 0;
  for (uint32_t at = 0; at + 23 <= len; at += 23) {
    const int32_t status = DeleteMedia(Text(p + at + 1, 22), false);
    if (status == ZQ_ERR_INVALID_PARAM) return status;
    if (status != ZQ_OK) result = 1;
  }
  *list_result = result;
  return ZQ_OK;
}

int32_t StorageExecute(SimStateData& d, uint32_t command, const uint8_t* p, uint32_t /*len*/,
                       int64_t now_ms, uint8_t* reply, uint32_t* reply_len) {
  *reply_len = 0;
  TranscodeState& t = d.transcode;
  switch (command) {
    case ZQCONTROL_TAG_PLAYBACK: {
      std::string folder, name;
      if (zq_load_le32(p) > 1 || !Split(Text(p + 4, 256), &folder, &name))
        return ZQ_ERR_INVALID_PARAM;
      if (!IsFile(folder + "/" + name)) return ZQ_ERR_NAK;
      ++d.camera.tags;
      return ZQ_OK;
    }
    case ZQCONTROL_DELETE_LIST_STATE:
      reply[0] = d.delete_list_result;
      *reply_len = 1;
      return ZQ_OK;
    case ZQCONTROL_ANALYTICS_PREPARE:
      return AnalyticsPrepare(reply, reply_len);
    case ZQCONTROL_ANALYTICS_CLEAR:
      return AnalyticsClear();
    case ZQCONTROL_TRANSCODE_PHOTO_TO_VIDEO:
    case ZQCONTROL_TRANSCODE_VIDEO_TO_VIDEO:
      return StartJob(d, p, command == ZQCONTROL_TRANSCODE_PHOTO_TO_VIDEO, now_ms, reply,
                      reply_len);
    case ZQCONTROL_TRANSCODE_STATUS:
    case ZQCONTROL_TRANSCODE_CANCEL: {
      WriteOutputs(t, now_ms);
      TranscodeJob* job = FindJob(t, p);
      if (job == nullptr) return ZQ_ERR_NAK;
      if (command == ZQCONTROL_TRANSCODE_CANCEL && job->cancelled_ms == 0 &&
          now_ms - job->started_ms < job->duration_ms) {
        job->cancelled_ms = now_ms;
      }
      PutRecord(*job, now_ms, reply);
      *reply_len = kRecordSize;
      return ZQ_OK;
    }
    case ZQCONTROL_TRANSCODE_HISTORY:
      WriteOutputs(t, now_ms);
      memset(reply, 0, 2 * kRecordSize);
      for (size_t i = 0; i < kTranscodeJobs; ++i) {
        if (t.jobs[i].used) PutRecord(t.jobs[i], now_ms, reply + i * kRecordSize);
      }
      *reply_len = 2 * kRecordSize;
      return ZQ_OK;
    default:
      return ZQ_ERR_INVALID_PARAM;
  }
}

}  // namespace zqsim
