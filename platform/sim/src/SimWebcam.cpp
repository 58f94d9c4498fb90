#include "zqsim/SimWebcam.h"

#include <fcntl.h>
#include <mqueue.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <nlohmann/json.hpp>

#include "SimQueueThread.h"
#include "zqcommon/zqByteOrder.h"
#include "zqcommon/zqPaths.h"
#include "zqsim/SimState.h"

namespace zqsim {
namespace {

// Where the status library hands the words on (the simulator's own queue).
constexpr char kNotifyQueue[] = "/zqsim_webcam";
constexpr char kReplyQueue[] = "/to_webcam_http";
constexpr long kNotifyCount = 10;
constexpr long kNotifySize = 8;

constexpr int32_t kIdle = 1;
constexpr int32_t kStreaming = 2;
constexpr int32_t kPreview = 3;

enum class Mode { kNormal, kSilent, kError, kSlow };

struct Config {
  Mode mode = Mode::kNormal;
  long value = 0;  // the error code or the delay in ms
};

std::string ConfigPath() { return SimState::Get().dir() + "/webcam.conf"; }
std::string LogPath() { return SimState::Get().dir() + "/webcam.log"; }

Config ReadConfig() {
  Config c;
  FILE* f = fopen(ConfigPath().c_str(), "re");
  if (f == nullptr) return c;
  char line[64] = {};
  long v = 0;
  if (fgets(line, sizeof line, f) != nullptr) {
    if (strncmp(line, "silent", 6) == 0) {
      c.mode = Mode::kSilent;
    } else if (sscanf(line, "error %ld", &v) == 1) {
      c = {Mode::kError, v};
    } else if (sscanf(line, "slow %ld", &v) == 1) {
      c = {Mode::kSlow, v};
    }
  }
  fclose(f);
  return c;
}

// The command is the word's low four bits: a start carries its resolution in bits 4-5.
uint32_t Command(uint32_t word) { return word & 0x0F; }

int32_t NextStatus(int32_t status, uint32_t word) {
  switch (Command(word)) {
    case 2:
    case 3:
      return kStreaming;
    case 4:
    case 5:
      return status == kStreaming ? kStreaming : kPreview;
    case 6:
    case 8:
      return kIdle;
    default:
      return status;
  }
}

// The daemon's reply queue, or -1 when it is gone: the reply is then dropped.
mqd_t OpenReplyQueue() {
  return mq_open(zq_mq_name(kReplyQueue).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
}

void SendReply(mqd_t q, int32_t status, int32_t error) {
  uint8_t reply[8];
  for (int i = 0; i < 4; ++i) {
    reply[i] = static_cast<uint8_t>(static_cast<uint32_t>(status) >> (8 * i));
    reply[4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(error) >> (8 * i));
  }
  if (mq_send(q, reinterpret_cast<const char*>(reply), sizeof reply, 0) != 0) {
    fprintf(stderr, "zqsim: webcam reply not sent: %s\n", strerror(errno));
  }
  mq_close(q);
}

void Serve(SimQueueThread* t) {
  for (;;) {
    const int ready = t->Wait(1000, true);
    if (ready < 0) return;
    uint8_t buf[kNotifySize];
    if (ready == 0 || t->Receive(buf, sizeof buf) != 4) continue;
    const uint32_t word = zq_load_le32(buf);
    const Config c = ReadConfig();
    if (c.mode == Mode::kSlow && t->Wait(zq_scaled_ms(c.value), false) < 0) return;
    std::string client;
    const int32_t status = SimState::Get().Write([&](SimStateData& d) {
      const StatusSlot& s = d.status[kWebcamClientId];
      client.assign(reinterpret_cast<const char*>(s.data),
                    strnlen(reinterpret_cast<const char*>(s.data), s.size));
      if (c.mode != Mode::kError) d.webcam_status = NextStatus(d.webcam_status, word);
      return d.webcam_status;
    });
    const int32_t error = c.mode == Mode::kError ? static_cast<int32_t>(c.value) : 0;
    const mqd_t q = c.mode == Mode::kSilent ? static_cast<mqd_t>(-1) : OpenReplyQueue();
    const bool replied = q != static_cast<mqd_t>(-1);
    // The line is written before the reply goes out, so that whoever holds the reply finds it.
    nlohmann::ordered_json j = {{"word", word},     {"command", Command(word)},
                                {"client", client}, {"status", status},
                                {"error", error},   {"replied", replied}};
    AppendLine(LogPath(), j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    if (replied) SendReply(q, status, error);
  }
}

std::unique_ptr<SimQueueThread> g_process;

int Fail(const std::string& message) {
  fprintf(stderr, "zqsim: %s\n", message.c_str());
  return 1;
}

bool ParseLong(const std::string& text, long min, long max, long* out) {
  char* end = nullptr;
  errno = 0;
  const long v = strtol(text.c_str(), &end, 10);
  if (text.empty() || errno != 0 || *end != '\0' || v < min || v > max) return false;
  *out = v;
  return true;
}

}  // namespace

void WebcamNotify(const void* value, uint32_t size) {
  if (size != 4) return;
  const mqd_t q = mq_open(zq_mq_name(kNotifyQueue).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (q == static_cast<mqd_t>(-1)) return;  // no webcam process runs
  mq_send(q, static_cast<const char*>(value), size, 0);
  mq_close(q);
}

bool WebcamStart(std::string* error) {
  g_process = std::make_unique<SimQueueThread>(kNotifyQueue);
  if (!g_process->Start(kNotifyCount, kNotifySize, Serve, error)) {
    g_process.reset();
    return false;
  }
  return true;
}

void WebcamStop() { g_process.reset(); }

void WebcamReset() {
  remove(ConfigPath().c_str());
  remove(LogPath().c_str());
}

int WebcamCommand(const std::vector<std::string>& a) {
  const size_t n = a.size();
  if (n == 1 && a[0] == "log") {
    const std::string path = LogPath();
    FILE* f = fopen(path.c_str(), "re");
    if (f == nullptr) return 0;  // nothing received yet
    char buf[4096];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, f)) > 0) fwrite(buf, 1, got, stdout);
    fclose(f);
    return 0;
  }
  std::string line;
  long v = 0;
  if (n == 2 && a[0] == "mode" && (a[1] == "normal" || a[1] == "silent")) {
    line = a[1];
  } else if (n == 3 && a[0] == "mode" && a[1] == "error" &&
             ParseLong(a[2], INT32_MIN, INT32_MAX, &v)) {
    line = "error " + std::to_string(v);
  } else if (n == 3 && a[0] == "mode" && a[1] == "slow" && ParseLong(a[2], 0, 3600000, &v)) {
    line = "slow " + std::to_string(v);
  } else {
    return Fail("usage: zqsim webcam mode normal|silent|error CODE|slow MS | webcam log");
  }
  SimState::Get().Read([](const SimStateData&) { return 0; });  // makes the directory
  const std::string path = ConfigPath();
  const std::string tmp = path + ".tmp";
  FILE* f = fopen(tmp.c_str(), "we");
  if (f == nullptr) return Fail("cannot write " + path);
  fprintf(f, "%s\n", line.c_str());
  if (fclose(f) != 0 || rename(tmp.c_str(), path.c_str()) != 0) {
    return Fail("cannot write " + path);
  }
  return 0;
}

}  // namespace zqsim
