#include "core/zqCsi.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "ZQCSIListener.h"
#include "zqcommon/zqPaths.h"

namespace {

// Set under g_CSIMutex once the listener is started; read without it so that requests after
// the first never wait for the status mutex (a control request holds it throughout).
std::atomic<bool> g_monitorStarted{false};

// The ids the daemon follows, in registration order.
const std::vector<uint32_t> kFollowedIds = {103, 3, 38, 39, 111, 30, 152, 151, 7, 138, 143};

}  // namespace

void init_csi_monitor() {
  if (g_monitorStarted.load(std::memory_order_acquire)) return;
  ZqLock lock(g_CSIMutex);
  if (g_monitorStarted.load(std::memory_order_relaxed)) return;
  ZQCSIListener* listener = ZQCSIListener::GetInstance();
  if (listener == nullptr) {
    printf("csi:E! %s(L%d): Failed to get ZQCSIListener instance\n", __func__, __LINE__);
    return;  // not marked: the next request tries again
  }
  listener->Init(true, "/to_zqhttp");
  listener->RegisterForCSINotifications(kFollowedIds);
  bool all = false;
  for (int i = 0; i < 20 && !(all = listener->AllValuesReceived()); ++i) {
    usleep(static_cast<useconds_t>(zq_scaled_ms(5) * 1000));
  }
  if (!all) printf("csi:E! %s(L%d): Failed to get All CSI Values\n", __func__, __LINE__);
  g_monitorStarted.store(true, std::memory_order_release);
}

uint32_t zq_csi_value(uint32_t id, uint32_t preset) {
  ZQCSIListener* listener = ZQCSIListener::GetInstance();
  uint32_t value = preset;
  if (listener == nullptr || !listener->GetCSIValue(id, value)) return preset;
  return value;
}
