#include "SimFfmpeg.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zqsim {

const std::vector<std::string> kFfmpegBitExact = {"-fflags",       "+bitexact", "-flags:v",
                                                  "+bitexact",     "-flags:a",  "+bitexact",
                                                  "-map_metadata", "-1"};

bool RunFfmpeg(const std::vector<std::string>& args, std::string* error) {
  std::vector<std::string> all = {"ffmpeg", "-nostdin", "-v", "error", "-y"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) {
    *error = std::string("fork: ") + strerror(errno);
    return false;
  }
  if (pid == 0) {
    execvp("ffmpeg", argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  *error = "ffmpeg failed making " + all.back() +
           (WIFEXITED(status) && WEXITSTATUS(status) == 127 ? " (is ffmpeg installed?)" : "");
  return false;
}

}  // namespace zqsim
