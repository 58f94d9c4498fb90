// zqsim_stream: the streaming helper stand-in (see zqsim/SimStream.h). Installed by
// `zqsim stream install` under the names of the camera's streaming helpers.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "zqcommon/zqJson.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimStream.h"

namespace {

std::string Event(const char* event, const std::string& more) {
  return std::string("{\"event\":\"") + event + "\",\"pid\":" + std::to_string(getpid()) + more +
         "}";
}

int Exit(const char* reason, int status) {
  zqsim::StreamLogEvent(Event("exit", std::string(",\"reason\":\"") + reason + "\""));
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string args = ",\"argv\":[";
  for (int i = 0; i < argc; ++i) {
    if (i > 0) args += ",";
    args += "\"" + zq_json_escape(argv[i]) + "\"";
  }
  args += "]";
  // The signals are taken before the start is logged, so that a stop sent once the start
  // shows in the log finds the helper listening.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigprocmask(SIG_BLOCK, &set, nullptr);
  zqsim::StreamLogEvent(Event("start", args));

  const zqsim::StreamSetting setting = zqsim::StreamReadMode();
  timespec start = {};
  clock_gettime(CLOCK_MONOTONIC, &start);
  auto elapsed_ms = [&] {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000L;
  };
  const long die_after =
      setting.mode == zqsim::StreamMode::kDie ? zq_scaled_ms(setting.die_ms) : -1;
  const long lifetime = zqsim::kStreamHelperLifetimeS * 1000L;
  while (true) {
    const long now = elapsed_ms();
    if (die_after >= 0 && now >= die_after) return Exit("own", 1);
    if (now >= lifetime) return Exit("lifetime", 0);
    long wait = lifetime - now;
    if (die_after >= 0 && die_after - now < wait) wait = die_after - now;
    timespec timeout = {wait / 1000, (wait % 1000) * 1000000L};
    const int sig = sigtimedwait(&set, nullptr, &timeout);
    if (sig == SIGHUP) {
      const bool ignore = setting.mode == zqsim::StreamMode::kIgnore;
      zqsim::StreamLogEvent(
          Event("hangup", std::string(",\"action\":\"") + (ignore ? "ignored" : "exit") + "\""));
      if (!ignore) return Exit("hangup", 0);
    } else if (sig == SIGINT) {
      return Exit("interrupt", 0);
    } else if (sig == SIGTERM) {
      return Exit("terminate", 0);
    }
  }
}
