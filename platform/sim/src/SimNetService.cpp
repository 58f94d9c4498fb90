#include "zqsim/SimNetService.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "SimQueueThread.h"
#include "zqIpcMsg.h"
#include "zqcommon/zqMbox.h"
#include "zqcommon/zqPaths.h"
#include "zqcommon/zqTlv.h"
#include "zqcommon/zqUniqueFd.h"
#include "zqsim/SimBle.h"
#include "zqsim/SimState.h"

namespace zqsim {
namespace {

constexpr char kNetMailbox[] = "/to_zqnet";
constexpr char kCameraMailbox[] = "/to_camera";
// Filler messages come from here: they are dropped when the service drains its mailbox.
constexpr char kFillerSource[] = "/to_zqnet_fill";
// The host's default per-queue limit for unprivileged processes.
constexpr long kMailboxCount = 10;
constexpr long kPollMs = 50;
constexpr uint32_t kPairingCode = 123456;

enum class Mode { kNormal, kSilent, kNoRsparg, kFill };

struct Config {
  Mode mode = Mode::kNormal;
  std::map<std::string, int> failures;  // CMD -> result byte
};

std::string ConfigPath() { return SimState::Get().dir() + "/net.conf"; }
std::string LogPath() { return SimState::Get().dir() + "/net.log"; }

const char* ModeName(Mode m) {
  switch (m) {
    case Mode::kSilent:
      return "silent";
    case Mode::kNoRsparg:
      return "norsparg";
    case Mode::kFill:
      return "fill";
    default:
      return "normal";
  }
}

bool ParseMode(const std::string& text, Mode* m) {
  for (Mode candidate : {Mode::kNormal, Mode::kSilent, Mode::kNoRsparg, Mode::kFill}) {
    if (text == ModeName(candidate)) {
      *m = candidate;
      return true;
    }
  }
  return false;
}

// The switches as `zqsim net` left them (defaults when there is no file).
Config ReadConfig() {
  Config c;
  FILE* f = fopen(ConfigPath().c_str(), "re");
  if (f == nullptr) return c;
  char key[16];
  char a[16];
  int result = 0;
  char line[128];
  while (fgets(line, sizeof line, f) != nullptr) {
    if (sscanf(line, "mode %15s", a) == 1) {
      ParseMode(a, &c.mode);
    } else if (sscanf(line, "fail %15s %d", key, &result) == 2) {
      c.failures[key] = result;
    }
  }
  fclose(f);
  return c;
}

bool WriteConfig(const Config& c) {
  const std::string path = ConfigPath();
  const std::string tmp = path + ".tmp";
  FILE* f = fopen(tmp.c_str(), "we");
  if (f == nullptr) return false;
  fprintf(f, "mode %s\n", ModeName(c.mode));
  for (const auto& [cmd, result] : c.failures) fprintf(f, "fail %s %d\n", cmd.c_str(), result);
  const bool ok = fclose(f) == 0;
  return ok && rename(tmp.c_str(), path.c_str()) == 0;  // readers see the old or the new file
}

std::string Value(const uint8_t* msg, uint8_t type) {
  const uint8_t* tlv = tlv_find(msg, type);
  if (tlv == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(tlv + kTlvElementHeaderSize),
                     tlv_value_len(tlv));
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char two[3];
  for (unsigned char b : bytes) {
    snprintf(two, sizeof two, "%02x", b);
    out += two;
  }
  return out;
}

void JournalLine(const nlohmann::ordered_json& j) {
  AppendLine(LogPath(), j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void Journal(const uint8_t* msg, size_t len, bool valid) {
  nlohmann::ordered_json j;
  if (valid) {
    j["cat"] = msg[3];
    j["cmd"] = Value(msg, TLV_CMD);
    j["cmdarg"] = Hex(Value(msg, TLV_CMDARG));
    j["src"] = Value(msg, TLV_SRC);
    j["dst"] = Value(msg, TLV_DST);
  } else {
    j["invalid"] = Hex(std::string(reinterpret_cast<const char*>(msg), len));
  }
  JournalLine(j);
}

// The result bytes for a command.
std::string Result(const std::string& cmd, const std::string& arg, const Config& c) {
  const bool generic = cmd == "SP" || cmd == "RP";
  if (auto it = c.failures.find(cmd); it != c.failures.end()) {
    const char result = static_cast<char>(it->second);
    return generic ? std::string("\x08", 1) + result : std::string(1, result);
  }
  if (generic) return std::string("\x08\x01", 2);  // ResponseGeneric{result: RESULT_SUCCESS}
  if (cmd == "KX") {
    const uint32_t value = (!arg.empty() && arg[0] == 1) ? kPairingCode : 0;
    const char out[7] = {0,
                         4,
                         static_cast<char>(value >> 24),
                         static_cast<char>(value >> 16),
                         static_cast<char>(value >> 8),
                         static_cast<char>(value),
                         0};
    return std::string(out, sizeof out);
  }
  return std::string(1, '\0') + arg;
}

void Answer(const uint8_t* request, const char* responder, const Config& c) {
  const std::string cmd = Value(request, TLV_CMD);
  const std::string arg = Value(request, TLV_CMDARG);
  const std::string reply_to = Value(request, TLV_SRC);
  uint8_t msg[ZQMSG_MAX + kTlvHeaderSize];
  sntlv_msg_init(msg, ZQMSG_MAX, static_cast<uint8_t>(request[3] | 1));
  bool fits = sntlv_add_bin(msg, ZQMSG_MAX, TLV_CMD, cmd.size(), cmd.data()) > 0 &&
              sntlv_add_bin(msg, ZQMSG_MAX, TLV_CMDARG, arg.size(), arg.data()) > 0;
  if (fits && c.mode != Mode::kNoRsparg) {
    const std::string result = Result(cmd, arg, c);
    fits = sntlv_add_bin(msg, ZQMSG_MAX, TLV_RSPARG, result.size(), result.data()) > 0;
  }
  fits = fits && sntlv_add_bin(msg, ZQMSG_MAX, TLV_SRC, strlen(responder), responder) > 0 &&
         sntlv_add_bin(msg, ZQMSG_MAX, TLV_DST, reply_to.size(), reply_to.data()) > 0 &&
         sntlv_add_dat(msg, ZQMSG_MAX, TLV_END, 0, 0) > 0 && sntlv_msg_len(msg) <= ZQMSG_MAX;
  if (!fits) {
    fprintf(stderr, "zqsim: %s: the answer to %s does not fit a message\n", responder, cmd.c_str());
    return;
  }
  zqMbox tx;
  if (zqMbox_txopen(reply_to.c_str(), &tx) != 0) {
    fprintf(stderr, "zqsim: %s: reply mailbox %s is gone\n", responder, reply_to.c_str());
    return;
  }
  zqMbox_send(msg, sntlv_msg_len(msg), &tx);
  zqMbox_close(&tx);
}

// Messages of the IPC message library (the BLE link): tags of their elements.
constexpr uint8_t kTagCommand = 65;
constexpr uint8_t kTagParams = 66;
constexpr uint8_t kTagDestination = 67;
constexpr uint8_t kTagReplyTo = 68;
constexpr uint8_t kTagResult = 69;
constexpr uint8_t kTagEnd = 238;
constexpr uint8_t kLibraryMark = 0xA7;  // first byte of a library message (see SimIpcMsg.cpp)
constexpr char kBleService[] = "/to_ble";

std::string ElementText(const Msg& m, uint8_t tag) {
  const MsgElement* e = m.FindElement(tag);
  return e != nullptr ? std::string(e->value().begin(), e->value().end()) : std::string();
}

// A library message to the BLE service (or a pairing-phase command to this service): journaled
// like a TLV message and answered with a library message of category 3 whose result element
// holds the result byte and the reply data.
void AnswerLibrary(const uint8_t* buf, size_t len, const Config& c) {
  Msg request;
  if (!request.Decode(MemStream(buf, len)) || request.category() != 2) {
    JournalLine({{"invalid", Hex(std::string(reinterpret_cast<const char*>(buf), len))}});
    fprintf(stderr, "zqsim: %s: dropped an invalid library message of %zu bytes\n", kNetMailbox,
            len);
    return;
  }
  const std::string cmd = ElementText(request, kTagCommand);
  const std::string params = ElementText(request, kTagParams);
  const std::string reply_to = ElementText(request, kTagReplyTo);
  const std::string dst = ElementText(request, kTagDestination);
  JournalLine({{"cat", request.category()},
               {"cmd", cmd},
               {"cmdarg", Hex(params)},
               {"src", reply_to},
               {"dst", dst}});
  if (c.mode == Mode::kSilent || reply_to.empty()) return;
  std::vector<uint8_t> result = {1};
  const auto* p = reinterpret_cast<const uint8_t*>(params.data());
  if (auto it = c.failures.find(cmd); it != c.failures.end()) {
    result = {static_cast<uint8_t>(it->second)};
  } else if (dst == kBleService && cmd == "BL") {
    result = BleCommand(std::span(p, params.size()));
  } else if (dst == kNetMailbox && (cmd == "PD" || cmd == "PX")) {
    result = BlePairingPhase(cmd == "PD");
  }
  Msg reply(3);
  reply.AddElement(MsgElement(kTagCommand, cmd));
  if (c.mode != Mode::kNoRsparg)
    reply.AddElement(MsgElement(kTagResult, result.data(), result.size()));
  reply.AddElement(MsgElement(kTagEnd, nullptr, 0));
  MemStream out;
  if (!reply.Encode(&out)) return;
  const mqd_t q = mq_open(zq_mq_name(reply_to).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (q == static_cast<mqd_t>(-1)) {
    fprintf(stderr, "zqsim: %s: reply queue %s is gone\n", kNetMailbox, reply_to.c_str());
    return;
  }
  mq_send(q, reinterpret_cast<const char*>(out.data()), out.size(), 0);
  mq_close(q);
}

// Fills the mailbox to its limit with filler commands.
void Fill(const char* name) {
  zqMbox tx;
  if (zqMbox_txopen(name, &tx) != 0) return;
  uint8_t msg[64];
  sntlv_msg_init(msg, 60, CAT_CGI_MK);
  sntlv_add_bin(msg, 60, TLV_CMD, 2, "FL");
  sntlv_add_bin(msg, 60, TLV_CMDARG, 0, nullptr);
  sntlv_add_bin(msg, 60, TLV_SRC, strlen(kFillerSource), kFillerSource);
  sntlv_add_bin(msg, 60, TLV_DST, strlen(name), name);
  sntlv_add_dat(msg, 60, TLV_END, 0, 0);
  struct mq_attr attr = {};
  while (mq_getattr(tx.mqd, &attr) == 0 && attr.mq_curmsgs < attr.mq_maxmsg) {
    if (mq_send(tx.mqd, reinterpret_cast<const char*>(msg), sntlv_msg_len(msg), 0) != 0) break;
  }
  zqMbox_close(&tx);
}

void Drain(const char* name) {
  const std::string real = zq_mq_name(name);
  const mqd_t q = mq_open(real.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (q == static_cast<mqd_t>(-1)) return;
  char buf[ZQMSG_MAX];
  while (mq_receive(q, buf, sizeof buf, nullptr) >= 0) {
  }
  mq_close(q);
}

// One simulated process: a thread serving the mailbox `name` until stopped.
class Process {
 public:
  explicit Process(const char* name) : name_(name), thread_(name) {}

  bool Start(std::string* error) {
    return thread_.Start(
        kMailboxCount, static_cast<long>(ZQMSG_MAX), [this](SimQueueThread* t) { Run(t); }, error);
  }

 private:
  void Run(SimQueueThread* t) {
    uint8_t buf[ZQMSG_MAX + kTlvHeaderSize];
    const bool is_net = strcmp(name_, kNetMailbox) == 0;
    bool filling = false;
    for (;;) {
      const int ready = filling ? t->Wait(kPollMs, false) : t->Wait(kPollMs * 4, true);
      if (ready < 0) return;
      // The switches are read after every wake-up, so a message that arrives after
      // `zqsim net mode ...` returned is always handled in the new mode.
      Config c = ReadConfig();
      // `zqsim net mode fill` filled the mailbox; it stays unread until the mode changes.
      filling = is_net && c.mode == Mode::kFill;
      if (filling) continue;
      if (ready == 0) continue;
      memset(buf, 0, sizeof buf);
      const ssize_t n = t->Receive(buf, ZQMSG_MAX);
      if (n < 0) continue;
      const size_t len = static_cast<size_t>(n);
      if (is_net && len > 0 && buf[0] == kLibraryMark) {
        AnswerLibrary(buf, len, c);
        continue;
      }
      const bool framed = len >= kTlvHeaderSize && sntlv_msg_len(buf) == len;
      const bool valid = framed && tlv_validate(buf) == 0 && (buf[3] & 1) == 0;
      if (valid && Value(buf, TLV_SRC) == kFillerSource) continue;
      if (is_net) Journal(buf, len, valid);
      if (!valid) {
        fprintf(stderr, "zqsim: %s: dropped an invalid message of %zu bytes\n", name_, len);
        continue;
      }
      if (is_net && c.mode == Mode::kSilent) continue;
      if (is_net && Value(buf, TLV_DST) == kCameraMailbox) {
        zqMbox tx;
        if (zqMbox_txopen(kCameraMailbox, &tx) == 0) {
          zqMbox_send(buf, len, &tx);
          zqMbox_close(&tx);
        }
        continue;
      }
      Answer(buf, name_, c);
    }
  }

  const char* name_;
  SimQueueThread thread_;
};

Process* g_net = nullptr;
Process* g_camera = nullptr;
UniqueFd g_lock;

int Fail(const std::string& message) {
  fprintf(stderr, "zqsim: %s\n", message.c_str());
  return 1;
}

int NetUsage() {
  return Fail(
      "usage: zqsim net mode normal|silent|norsparg|fill | net fail CMD RESULT |"
      " net ok CMD | net log | net clear");
}

}  // namespace

bool NetServiceStart(std::string* error) {
  // One `zqsim serve` per root: the lock says whether a mailbox of ours is stale.
  SimState::Get().Read([](const SimStateData&) { return 0; });  // makes the directory
  const std::string lock_path = SimState::Get().dir() + "/netservice.lock";
  g_lock.reset(open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!g_lock.valid() || flock(g_lock.get(), LOCK_EX | LOCK_NB) != 0) {
    *error = "another zqsim serve is running for this root (" + lock_path + ")";
    g_lock.reset();
    return false;
  }
  g_camera = new Process(kCameraMailbox);
  g_net = new Process(kNetMailbox);
  if (!g_camera->Start(error) || !g_net->Start(error)) {
    NetServiceStop();
    return false;
  }
  return true;
}

void NetServiceStop() {
  delete g_net;
  g_net = nullptr;
  delete g_camera;
  g_camera = nullptr;
  g_lock.reset();
}

void NetReset() {
  remove(ConfigPath().c_str());
  remove(LogPath().c_str());
}

int NetCommand(const std::vector<std::string>& a) {
  const size_t n = a.size();
  if (n == 1 && a[0] == "log") {
    FILE* f = fopen(LogPath().c_str(), "re");
    if (f == nullptr) return 0;  // nothing received yet
    char buf[4096];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, f)) > 0) fwrite(buf, 1, got, stdout);
    fclose(f);
    return 0;
  }
  if (n == 1 && a[0] == "clear") {
    const int fd = open(LogPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return Fail("cannot clear the network log: " + std::string(strerror(errno)));
    close(fd);
    return 0;
  }
  Config c = ReadConfig();
  const bool was_filling = c.mode == Mode::kFill;
  if (n == 2 && a[0] == "mode") {
    if (!ParseMode(a[1], &c.mode)) return Fail("unknown mode: " + a[1]);
  } else if (n == 3 && a[0] == "fail") {
    char* end = nullptr;
    errno = 0;
    const long result = strtol(a[2].c_str(), &end, 10);
    if (a[1].size() != 2 || errno != 0 || *end != '\0' || end == a[2].c_str() || result < 0 ||
        result > 255) {
      return Fail("usage: zqsim net fail CMD RESULT (two letters, 0 to 255)");
    }
    c.failures[a[1]] = static_cast<int>(result);
  } else if (n == 2 && a[0] == "ok") {
    c.failures.erase(a[1]);
  } else {
    return NetUsage();
  }
  if (!WriteConfig(c)) return Fail("cannot write " + ConfigPath());
  // Full, or empty again, from now on: not only once the service next wakes up. What waited
  // in the full mailbox is dropped (its senders have timed out).
  if (c.mode == Mode::kFill) Fill(kNetMailbox);
  if (was_filling && c.mode != Mode::kFill) Drain(kNetMailbox);
  return 0;
}

}  // namespace zqsim
