#include "zqsim/SimStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "zqcommon/zqPaths.h"
#include "zqcommon/zqUniqueFd.h"

namespace zqsim {
namespace {

constexpr const char* kHelperPaths[] = {"/usr/local/tavro/bin/zqStream",
                                        "/usr/local/tavro/bin/zqStreamVerse"};

std::string ModePath() { return zq_path(kZqSimStateDir) + "/stream-mode"; }

bool CopyFile(const std::string& from, const std::string& to, std::string* error) {
  UniqueFd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.valid()) {
    *error = "cannot read " + from + ": " + strerror(errno);
    return false;
  }
  const std::string tmp = to + ".tmp";
  UniqueFd out(open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755));
  if (!out.valid()) {
    *error = "cannot write " + tmp + ": " + strerror(errno);
    return false;
  }
  char buf[65536];
  ssize_t n;
  while ((n = read(in.get(), buf, sizeof buf)) > 0) {
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(out.get(), buf + done, static_cast<size_t>(n - done));
      if (w <= 0) {
        *error = "cannot write " + tmp + ": " + strerror(errno);
        unlink(tmp.c_str());
        return false;
      }
      done += w;
    }
  }
  // An executable is replaced by renaming, never rewritten in place: a helper that runs it
  // keeps its file.
  if (n < 0 || fchmod(out.get(), 0755) != 0 || rename(tmp.c_str(), to.c_str()) != 0) {
    *error = "cannot install " + to + ": " + strerror(errno);
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::span<const char* const> StreamHelperPaths() { return kHelperPaths; }

bool StreamSetMode(const std::string& mode, const std::string& value, std::string* error) {
  long ms = 0;
  if (mode == "die") {
    char* end = nullptr;
    errno = 0;
    ms = strtol(value.c_str(), &end, 10);
    if (value.empty() || errno != 0 || *end != '\0' || ms < 0 || ms > 86400000) {
      *error = "stream die needs milliseconds (0 to 86400000): " + value;
      return false;
    }
  } else if (mode != "exit" && mode != "ignore") {
    *error = "unknown stream mode: " + mode;
    return false;
  } else if (!value.empty()) {
    *error = "stream " + mode + " takes no value";
    return false;
  }
  zq_make_dirs(zq_path(kZqSimStateDir));
  const std::string tmp = ModePath() + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << mode << " " << ms << "\n";
    if (!out) {
      *error = "cannot write " + tmp;
      return false;
    }
  }
  return rename(tmp.c_str(), ModePath().c_str()) == 0;
}

StreamSetting StreamReadMode() {
  StreamSetting s;
  std::ifstream in(ModePath());
  std::string mode;
  long ms = 0;
  if (!(in >> mode >> ms)) return s;
  if (mode == "ignore") s.mode = StreamMode::kIgnore;
  if (mode == "die" && ms >= 0) {
    s.mode = StreamMode::kDie;
    s.die_ms = ms;
  }
  return s;
}

std::string StreamLogPath() { return zq_path(kZqSimStateDir) + "/stream.log"; }

bool StreamClearLog() {
  zq_make_dirs(zq_path(kZqSimStateDir));
  UniqueFd fd(open(StreamLogPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  return fd.valid();
}

void StreamLogEvent(const std::string& json) {
  zq_make_dirs(zq_path(kZqSimStateDir));
  UniqueFd fd(open(StreamLogPath().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
  if (!fd.valid()) return;
  const std::string line = json + "\n";
  // One write with O_APPEND keeps lines of several helpers whole.
  ssize_t n = write(fd.get(), line.data(), line.size());
  (void)n;
}

bool StreamInstall(const std::string& program, std::string* error) {
  for (const char* camera_path : kHelperPaths) {
    const std::string to = zq_path(camera_path);
    if (!zq_make_dirs(to.substr(0, to.rfind('/')))) {
      *error = "cannot create the folder of " + to;
      return false;
    }
    if (!CopyFile(program, to, error)) return false;
  }
  return true;
}

}  // namespace zqsim
