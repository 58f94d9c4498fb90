#include "zqsim/SimFirmware.h"

#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zqStorage.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"

namespace zqsim {
namespace {

constexpr long kDefaultOtaDelayMs = 200;

std::string StoragePath() { return SimState::Get().dir() + "/storage.conf"; }
std::string OtaModePath() { return SimState::Get().dir() + "/ota.conf"; }
std::string OtaPendingPath() { return SimState::Get().dir() + "/ota.pending"; }

int Fail(const std::string& message) {
  fprintf(stderr, "zqsim: %s\n", message.c_str());
  return 1;
}

bool ParseNumber(const std::string& text, long long min, long long max, long long* out) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = strtoull(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < static_cast<unsigned long long>(min) ||
      v > static_cast<unsigned long long>(max)) {
    return false;
  }
  *out = static_cast<long long>(v);
  return true;
}

// Replaces a switch file in one step, so that a reader sees the old or the new text.
// Called with the state locked too, so it takes no lock itself.
bool WriteSwitch(const std::string& path, const std::string& text) {
  zq_make_dirs(SimState::Get().dir());
  const std::string tmp = path + ".tmp";
  FILE* f = fopen(tmp.c_str(), "we");
  if (f == nullptr) return false;
  const bool written = fputs(text.c_str(), f) >= 0;
  if (fclose(f) != 0 || !written) return false;
  return rename(tmp.c_str(), path.c_str()) == 0;
}

// The first line of a switch file; "" when there is none.
std::string ReadSwitch(const std::string& path) {
  FILE* f = fopen(path.c_str(), "re");
  if (f == nullptr) return "";
  char line[128] = {};
  const bool got = fgets(line, sizeof line, f) != nullptr;
  fclose(f);
  return got ? std::string(line) : "";
}

int64_t NowMs() {
  timespec ts = {};
  clock_gettime(CLOCK_MONOTONIC, &ts);  // one clock for every process of the machine
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

struct OtaMode {
  bool silent = false;
  unsigned result = 5;
  long delay_ms = kDefaultOtaDelayMs;
};

OtaMode ReadOtaMode() {
  OtaMode m;
  const std::string line = ReadSwitch(OtaModePath());
  char word[16] = {};
  unsigned result = 0;
  long delay = 0;
  if (sscanf(line.c_str(), "%15s %u %ld", word, &result, &delay) == 3) {
    m.silent = strcmp(word, "silent") == 0;
    m.result = result;
    m.delay_ms = delay;
  }
  return m;
}

void SetOtaByte(SimStateData* d, uint8_t value) {
  StatusSlot& s = d->status[kOtaStatusId];
  memset(s.data, 0, sizeof s.data);
  s.data[0] = value;
  s.size = 1;
  s.kind = StatusKind::kNumber;
  s.present = 1;
}

}  // namespace

int StorageCommand(const std::vector<std::string>& a) {
  if (a.size() != 2 || a[0] != "free") return Fail("usage: zqsim storage free BYTES|real");
  if (a[1] == "real") {
    if (unlink(StoragePath().c_str()) != 0 && errno != ENOENT) {
      return Fail("cannot clear the storage figure: " + std::string(strerror(errno)));
    }
    return 0;
  }
  long long bytes = 0;
  if (!ParseNumber(a[1], 0, INT64_MAX, &bytes)) return Fail("not a byte count: " + a[1]);
  if (!WriteSwitch(StoragePath(), std::to_string(bytes) + "\n")) {
    return Fail("cannot store the storage figure: " + std::string(strerror(errno)));
  }
  return 0;
}

int OtaCommand(const std::vector<std::string>& a) {
  const char* usage = "usage: zqsim ota mode ok|fail RESULT|silent [MS]";
  if (a.size() < 2 || a[0] != "mode") return Fail(usage);
  size_t next = 2;
  long long result = 5;
  if (a[1] == "fail") {
    if (a.size() < 3 || !ParseNumber(a[2], 0, 255, &result)) {
      return Fail("fail takes a result from 0 to 255");
    }
    next = 3;
  } else if (a[1] != "ok" && a[1] != "silent") {
    return Fail(usage);
  }
  long long delay = kDefaultOtaDelayMs;
  if (a.size() > next + 1) return Fail(usage);
  if (a.size() == next + 1 && !ParseNumber(a[next], 0, INT32_MAX, &delay)) {
    return Fail("not a delay in milliseconds: " + a[next]);
  }
  const std::string line = a[1] + " " + std::to_string(result) + " " + std::to_string(delay) + "\n";
  if (!WriteSwitch(OtaModePath(), line)) {
    return Fail("cannot store the OTA mode: " + std::string(strerror(errno)));
  }
  return 0;
}

void FirmwareReset() {
  unlink(StoragePath().c_str());
  unlink(OtaModePath().c_str());
  unlink(OtaPendingPath().c_str());
}

void OtaStatusWritten(uint8_t value) {
  const OtaMode mode = ReadOtaMode();
  if (value != 10 || mode.silent) {
    unlink(OtaPendingPath().c_str());
    return;
  }
  char line[64];
  snprintf(line, sizeof line, "%" PRId64 " %u\n", NowMs() + zq_scaled_ms(mode.delay_ms),
           mode.result);
  if (!WriteSwitch(OtaPendingPath(), line)) {
    fprintf(stderr, "zqsim: cannot schedule the install's answer: %s\n", strerror(errno));
  }
}

void OtaApplyDue() {
  if (access(OtaPendingPath().c_str(), F_OK) != 0) return;  // no install under way
  SimState::Get().Write([](SimStateData& d) {
    long long due = 0;
    unsigned value = 0;
    if (sscanf(ReadSwitch(OtaPendingPath()).c_str(), "%lld %u", &due, &value) != 2) return 0;
    if (NowMs() < due) return 0;
    SetOtaByte(&d, static_cast<uint8_t>(value));
    unlink(OtaPendingPath().c_str());
    return 0;
  });
}

}  // namespace zqsim

int32_t zqfs_free_bytes(const char* path, uint64_t* bytes) {
  if (path == nullptr || bytes == nullptr) return ZQ_ERR_INVALID_PARAM;
  const std::string forced = zqsim::ReadSwitch(zqsim::StoragePath());
  unsigned long long v = 0;
  if (!forced.empty() && sscanf(forced.c_str(), "%llu", &v) == 1) {
    *bytes = v;
    return ZQ_OK;
  }
  struct statvfs st = {};
  if (statvfs(path, &st) != 0) return ZQ_ERR;
  *bytes = static_cast<uint64_t>(st.f_bsize) * static_cast<uint64_t>(st.f_bfree);
  return ZQ_OK;
}
