#include "core/zqRecordingStatus.h"

#include <atomic>
#include <chrono>

#include "core/zqCsi.h"
#include "csi.h"
#include "zqcommon/zqLog.h"

namespace {

using Clock = std::chrono::steady_clock;

// Written under g_recordingStatusMutex; read without it to decide whether a refresh is due.
std::atomic<int64_t> g_lastReadMs{INT64_MIN / 2};
std::atomic<uint8_t> g_recording{0};

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
      .count();
}

constexpr int64_t kRefreshMs = 500;

}  // namespace

uint8_t UTILS_UpdateRecordingStatus(bool force) {
  if (!force && NowMs() - g_lastReadMs.load() < kRefreshMs) return 0;
  if (!g_recordingStatusMutex.TryLock()) return 0;
  ZqLock lock(g_recordingStatusMutex, std::adopt_lock);
  g_lastReadMs.store(NowMs());

  uint32_t value = 0;
  uint32_t len = 0;
  int32_t status;
  {
    ZqLock csi(g_CSIMutex);
    status = csi_get(CSI_RECORDING, sizeof value, &len, &value);
  }
  if (status != 0) {
    ZQ_DBG(15, "Unable to fetch record mode state from CSI!");
    return 255;
  }
  if (value != 0) {
    g_recording.store(1);
    ZQ_DBG(7, "record mode detected");
  } else {
    g_recording.store(0);
  }
  return 1;
}

uint8_t UTILS_GetRecordingStatus() { return g_recording.load(); }
