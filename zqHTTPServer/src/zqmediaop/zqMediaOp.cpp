#include "zqmediaop/zqMediaOp.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <vector>

#include "core/zqLocks.h"
#include "zqcommon/zqContainment.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqMediaNames.h"
#include "zqcommon/zqPaths.h"

namespace {

constexpr size_t kValueSize = 2048;
constexpr size_t kMaxPath = 4095;
constexpr int kMaxChapters = 100;
constexpr int kRemoveAttempts = 3;

// Renames without ever replacing an existing target.
int RenameNoReplace(const char* from, const char* to) {
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}

std::atomic<MediaOpRenameFn> g_rename{RenameNoReplace};

// A query value: 1 found, 0 absent, -1 too long.
int Value(const char* query, const char* key, std::string* out) {
  switch (zq_query_param(query, key, kValueSize - 1, out)) {
    case ZqParam::kFound:
      return 1;
    case ZqParam::kMissing:
      return 0;
    case ZqParam::kTooLong:
      break;
  }
  return -1;
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool ParseInt(const std::string& s, long* out) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long v = strtol(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *out = v;
  return true;
}

// Removes with up to three attempts, 100 ms apart. 0, or -1 with errno set.
int RemoveRetrying(const char* path) {
  for (int i = 0; i < kRemoveAttempts; ++i) {
    if (unlink(path) == 0) return 0;
    if (i + 1 < kRemoveAttempts) usleep(static_cast<useconds_t>(zq_scaled_ms(100) * 1000));
  }
  return -1;
}

class MediaOp {
 public:
  MediaOp(const char* query, const std::string& root)
      : query_(query), root_(root), dcim_(root + "/DCIM") {}

  int Run() {
    struct stat st = {};
    if (stat(root_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Fail(kMediaOpNoStorage);
    std::string command, tc_text;
    Value(query_, "p", &command);
    if (Value(query_, "tc", &tc_text) == 1 && !ParseInt(tc_text, &tc_)) {
      ZQ_LOG(ZQ_LOG_ERROR, "Failed to parse tc value %s\n", tc_text.c_str());
      tc_ = 0;
    }
    if (command.empty()) return Fail(kMediaOpNoCommand);
    if (command == "del") return Delete();
    if (command == "delcv") {
      chaptered_ = true;
      return DeleteChapters();
    }
    return Fail(tc_ == 0 ? kMediaOpUnknownNoChapters : kMediaOpUnknown);
  }

  bool chaptered() const { return chaptered_; }
  int last_errno() const { return errno_; }

 private:
  int Fail(int status, int err = 0) {
    errno_ = err;
    return status;
  }

  // Removes the named entry (a link inside the card is removed, not what it leads to).
  int Delete() {
    std::string f;
    if (Value(query_, "f", &f) != 1 || f.empty()) return Fail(kMediaOpBadPath, EINVAL);
    if (dcim_.size() + 1 + f.size() > kMaxPath) {
      ZQ_LOG(ZQ_LOG_ERROR, "snprintf overflow size %zu\n", dcim_.size() + 1 + f.size());
      return Fail(kMediaOpPathTooLong, ENAMETOOLONG);
    }
    ZqContainedPath path;
    switch (zq_contain_resolve(dcim_, f, &path)) {
      case ZqContain::kBadName:
      case ZqContain::kOutside:
        return Fail(kMediaOpBadPath, EINVAL);
      case ZqContain::kMissing:
        return Fail(kMediaOpCannotExamine, ENOENT);
      case ZqContain::kInside:
        break;
    }
    struct stat st = {};
    if (stat(path.target.c_str(), &st) != 0) return Fail(kMediaOpCannotExamine, errno);
    if (!S_ISREG(st.st_mode)) return Fail(kMediaOpCannotRemove, EISDIR);
    if (RemoveRetrying(path.entry.c_str()) != 0) return Fail(kMediaOpCannotRemove, errno);
    return kMediaOpOk;
  }

  // The name of a chapter's file in its folder; `tmp` adds ".tmp".
  static std::string ChapterName(int chapter, long number, const char* ext, bool tmp) {
    return zq_media_chapter_name(chapter, number, ext) + (tmp ? ".tmp" : "");
  }

  // The chapter's file in the clip's folder (`folder_`, resolved inside the card).
  bool ChapterPath(int chapter, const char* ext, bool tmp, std::string* out) {
    char buf[kMaxPath + 2];
    int n = snprintf(buf, sizeof buf, "%s/%s", folder_.c_str(),
                     ChapterName(chapter, fn_, ext, tmp).c_str());
    if (n < 0 || static_cast<size_t>(n) > kMaxPath) {
      ZQ_LOG(ZQ_LOG_ERROR, "snprintf overflow size %d\n", n);
      return false;
    }
    out->assign(buf, static_cast<size_t>(n));
    return true;
  }

  // Renames chapter `from`'s file to chapter `to`'s name (aside: from == to, into ".tmp").
  // 0 done, 1 source missing (for an optional file), -1 failed, 22 path too long.
  int MoveChapterFile(int from, bool from_tmp, int to, bool to_tmp, const char* ext) {
    std::string src, dst;
    if (!ChapterPath(from, ext, from_tmp, &src) || !ChapterPath(to, ext, to_tmp, &dst))
      return kMediaOpPathTooLong;
    struct stat st = {};
    if (lstat(src.c_str(), &st) != 0) {
      errno_ = errno;
      return 1;
    }
    if (g_rename.load()(src.c_str(), dst.c_str()) != 0) {
      errno_ = errno;
      ZQ_LOG(ZQ_LOG_ERROR, "rename %s to %s failed: %s\n", src.c_str(), dst.c_str(),
             strerror(errno));
      return -1;
    }
    return 0;
  }

  struct Move {
    int from;
    bool from_tmp;
    int to;
    bool to_tmp;
    const char* ext;
  };

  // Undoes `done` in reverse order.
  void RollBack(const std::vector<Move>& done) {
    ZQ_LOG(ZQ_LOG_WARN, "rolling back\n");
    for (auto it = done.rbegin(); it != done.rend(); ++it) {
      ZQ_LOG(ZQ_LOG_WARN, "rollback chapfile %02d%04ld\n", it->from, fn_);
      if (MoveChapterFile(it->to, it->to_tmp, it->from, it->from_tmp, it->ext) != 0) {
        ZQ_LOG(ZQ_LOG_ERROR, "rollback file num %ld failed\n", fn_);
      }
    }
  }

  // Finds the clip's folder on the card and checks that neither it nor any file of the clip
  // leads off the card: 0, or the status that refuses the request.
  int ContainClip() {
    const std::string folder = fd_ + zq_media_folder_suffix('T');
    ZqContainedPath path;
    const ZqContain where = zq_contain_resolve(dcim_, folder, &path);
    if (where == ZqContain::kOutside || where == ZqContain::kBadName) return kMediaOpBadFolder;
    // A missing folder stays as named: moving its files aside fails and is answered so.
    folder_ = where == ZqContain::kInside ? path.target : path.entry;
    for (int k = 0; k < tc_; ++k) {
      for (const char* ext : {"MP4", "LRV", "THM"}) {
        if (k > 0 && strcmp(ext, "THM") == 0) continue;
        const std::string name = folder + "/" + ChapterName(k, fn_, ext, false);
        if (zq_contain_resolve(dcim_, name, &path) == ZqContain::kOutside) {
          ZQ_LOG(ZQ_LOG_ERROR, "%s leads off the card\n", name.c_str());
          return kMediaOpBadNumber;
        }
      }
    }
    return 0;
  }

  int DeleteChapters() {
    std::string c, fn_text;
    // Digits only: the folder and file numbers can name nothing but a clip's files.
    if (Value(query_, "fd", &fd_) != 1 || fd_.size() != 3 || !AllDigits(fd_))
      return Fail(kMediaOpBadFolder, EINVAL);
    if (Value(query_, "fn", &fn_text) != 1 || fn_text.size() >= 5 || !AllDigits(fn_text) ||
        !ParseInt(fn_text, &fn_))
      return Fail(kMediaOpBadNumber, EINVAL);
    if (Value(query_, "c", &c) != 1 || c.empty()) return Fail(kMediaOpNoChapters, EINVAL);
    std::vector<bool> deleted(kMaxChapters, false);
    size_t start = 0;
    int listed = 0;
    while (start <= c.size()) {
      size_t end = c.find(',', start);
      if (end == std::string::npos) end = c.size();
      long chapter = 0;
      if (!ParseInt(c.substr(start, end - start), &chapter) || chapter < 0 ||
          chapter >= kMaxChapters || ++listed > kMaxChapters)
        return Fail(kMediaOpNoChapters, EINVAL);
      deleted[static_cast<size_t>(chapter)] = true;
      start = end + 1;
    }
    if (tc_ <= 0 || tc_ > kMaxChapters) return Fail(kMediaOpMoveAsideFailed, EINVAL);
    if (const int refused = ContainClip(); refused != 0) return Fail(refused, EINVAL);
    remaining_ = static_cast<int>(tc_);

    // Move every chapter aside; a missing MP4 undoes the moves.
    std::vector<Move> done;
    for (int k = 0; k < tc_; ++k) {
      for (const char* ext : {"MP4", "LRV"}) {
        int r = MoveChapterFile(k, false, k, true, ext);
        if (r == 0) {
          done.push_back({k, false, k, true, ext});
        } else if (r != 1 || strcmp(ext, "MP4") == 0) {
          RollBack(done);
          return r == kMediaOpPathTooLong ? Fail(kMediaOpPathTooLong, ENAMETOOLONG)
                                          : kMediaOpMoveAsideFailed;
        }
      }
    }

    // Survivors take the names of chapters 0, 1, ... in order.
    std::vector<Move> placed;
    int j = 0;
    for (int k = 0; k < tc_; ++k) {
      if (deleted[static_cast<size_t>(k)]) continue;
      for (const char* ext : {"MP4", "LRV"}) {
        int r = MoveChapterFile(k, true, j, false, ext);
        if (r == 0) {
          placed.push_back({k, true, j, false, ext});
        } else if (r != 1 || strcmp(ext, "MP4") == 0) {
          // Nothing was removed yet: put every file back where it was.
          RollBack(placed);
          RollBack(done);
          return r == kMediaOpPathTooLong ? kMediaOpPathTooLong : kMediaOpRenameFailed;
        }
      }
      ++j;
    }

    int status = kMediaOpOk;
    for (int k = 0; k < tc_; ++k) {
      if (!deleted[static_cast<size_t>(k)]) continue;
      for (const char* ext : {"MP4", "LRV"}) {
        std::string path;
        if (!ChapterPath(k, ext, true, &path)) return kMediaOpPathTooLong;
        if (RemoveRetrying(path.c_str()) != 0 && errno != ENOENT) {
          errno_ = errno;
          status = kMediaOpRemoveFailed;
        }
      }
    }
    if (j == 0) {
      std::string thumb;
      if (ChapterPath(0, "THM", false, &thumb) && RemoveRetrying(thumb.c_str()) != 0 &&
          errno != ENOENT) {
        errno_ = errno;
        status = kMediaOpRemoveFailed;
      }
    }
    remaining_ = j;
    return status;
  }

 public:
  int remaining() const { return remaining_; }

 private:
  const char* query_;
  std::string root_;
  std::string dcim_;
  std::string fd_;
  std::string folder_;  // the clip's folder, resolved
  long fn_ = 0;
  long tc_ = 0;
  int remaining_ = 0;  // chapters of the clip after this request (0 until it acts on them)
  int errno_ = 0;
  bool chaptered_ = false;
};

std::string ErrnoField(int err) {
  char buf[160];
  snprintf(buf, sizeof buf, ",\"errno\":\"%s(%d)\"", strerror(err), err);
  return buf;
}

std::string AnswerBody(const MediaOp& op, int status, int remaining) {
  std::string body = "\n";
  char buf[160];
  if (op.chaptered()) {
    snprintf(buf, sizeof buf,
             "{\"success\":\"%d\",\"valid\":\"%d\",\"status\":\"%d\",\"remaining_chapters\":\"%d\"",
             status == 0 ? 1 : 0, status == 0 || status == kMediaOpMoveAsideFailed ? 1 : 0, status,
             remaining);
    body += buf;
    body += ",\"error_str\":\"\"";
  } else {
    snprintf(buf, sizeof buf, "{ \"status\":\"%d\"", status);
    body += buf;
  }
  if (status != 0) body += ErrnoField(op.last_errno());
  return body + "}\r\n";
}

}  // namespace

int mediaOp(const char* query, const char* storage_root, std::string* answer) {
  ZqLock lock(g_mediaOpMutex);
  MediaOp op(query, zq_path(storage_root));
  int status;
  try {
    status = op.Run();
  } catch (const std::exception& e) {
    ZQ_LOG(ZQ_LOG_ERROR, "zqMediaOp - Caught exception %s - discarding\n", e.what());
    status = kMediaOpNoCommand;
  }
  if (answer != nullptr) *answer = AnswerBody(op, status, op.remaining());
  return status;
}

void zqMediaOp_SetRenameForTest(MediaOpRenameFn fn) {
  g_rename.store(fn != nullptr ? fn : RenameNoReplace);
}

ZqAnswer zqMediaOp(ZqRequest& request) {
  std::string q(request.Query());
  std::string answer;
  if (q.empty())
    return ZqAnswer::Json(200, "\n{ \"status\":\"-100\"" + ErrnoField(ESRCH) + "}\r\n");
  if (q.find("QFRNT/") != std::string::npos) {
    mediaOp(q.c_str(), kZqInternalRoot, &answer);
    return ZqAnswer::Json(200, answer);
  }
  mediaOp(q.c_str(), kZqSdCardRoot, &answer);
  // The front-lens twin goes before the answer, so a client that has the answer never sees
  // the twin still there. The answer is the SD card's.
  if (q.find("QBACK/") != std::string::npos) {
    if (zq_media_front_lens_twin(&q)) {
      mediaOp(q.c_str(), kZqInternalRoot, nullptr);
    } else {
      ZQ_LOG(ZQ_LOG_ERROR, "invalid dualbank file name in %s\n", q.c_str());
    }
  }
  return ZqAnswer::Json(200, answer);
}
