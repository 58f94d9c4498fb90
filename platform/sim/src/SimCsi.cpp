// Camera status values and the status listener, served from the shared simulator state.
#include <cstring>
#include <set>

#include "ZQCSIListener.h"
#include "csi.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqMutex.h"
#include "zqsim/SimFirmware.h"
#include "zqsim/SimState.h"
#include "zqsim/SimWebcam.h"

using zqsim::SimState;
using zqsim::SimStateData;
using zqsim::StatusSlot;

namespace {
// Status id of the camera's model number (4 bytes).
constexpr size_t kSimModelNumberId = 145;
}  // namespace

int32_t csi_get(int32_t id, uint32_t size, uint32_t* len, void* value) {
  if (value == nullptr) return ZQ_ERR_INVALID_PARAM;
  const size_t slot = static_cast<uint8_t>(id);
  if (slot == zqsim::kOtaStatusId) zqsim::OtaApplyDue();  // the camera's answer to an install
  return SimState::Get().Read([&](const SimStateData& d) -> int32_t {
    if (slot == kSimModelNumberId) {
      // The model number follows the camera identity (zqsim identity set model_number).
      uint32_t model = d.identity.model_number;
      memset(value, 0, size);
      memcpy(value, &model, size < sizeof model ? size : sizeof model);
      if (len != nullptr) *len = sizeof model;
      return ZQ_OK;
    }
    const StatusSlot& s = d.status[slot];
    if (!s.present) return ZQ_ERR;
    // Numbers are copied at their width and the rest of the caller's buffer zeroed, so a
    // one-byte value read as four bytes comes out right. Texts end with a terminator when
    // there is room for one.
    size_t n = s.size < size ? s.size : size;
    memcpy(value, s.data, n);
    if (n < size) memset(static_cast<uint8_t*>(value) + n, 0, size - n);
    if (len != nullptr) *len = s.size;
    return ZQ_OK;
  });
}

// The daemon's writes: each is journaled (with its status), a fault switch makes it fail
// without storing anything, and a webcam command word is handed to the webcam process.
int32_t csi_set(int32_t id, const void* value, uint32_t size) {
  const int slot = static_cast<uint8_t>(id);
  if (value == nullptr || size > zqsim::kStatusMaxSize) {
    zqsim::StatusJournalAppend(slot, value, value != nullptr ? size : 0, ZQ_ERR_INVALID_PARAM);
    return ZQ_ERR_INVALID_PARAM;
  }
  const int32_t status = SimState::Get().Write([&](SimStateData& d) -> int32_t {
    if (d.status_faults[slot] != 0) return d.status_faults[slot];
    StatusSlot& s = d.status[slot];
    memset(s.data, 0, sizeof s.data);
    memcpy(s.data, value, size);
    s.size = static_cast<uint16_t>(size);
    s.present = 1;
    if (slot == zqsim::kOtaStatusId && size > 0) {
      zqsim::OtaStatusWritten(static_cast<const uint8_t*>(value)[0]);
    }
    return ZQ_OK;
  });
  zqsim::StatusJournalAppend(slot, value, size, status);
  if (status == ZQ_OK && slot == zqsim::kWebcamCommandId) zqsim::WebcamNotify(value, size);
  return status;
}

namespace {

// The listener reads the shared state at every call, so its "cached" values always follow
// changes that zqsim or a test makes.
class SimCSIListener final : public ZQCSIListener {
 public:
  bool Init(bool /*start_thread*/, const char* /*name*/) override { return true; }

  void RegisterForCSINotifications(const std::vector<uint32_t>& ids) override {
    ZqLock lock(mu_);
    for (uint32_t id : ids) ids_.insert(id & 0xFF);
  }

  bool AllValuesReceived() override {
    std::set<uint32_t> ids;
    {
      ZqLock lock(mu_);
      ids = ids_;
    }
    return SimState::Get().Read([&](const SimStateData& d) {
      for (uint32_t id : ids) {
        if (!d.status[id].present) return false;
      }
      return true;
    });
  }

  bool GetCSIValue(uint32_t id, uint32_t& value) override {
    uint32_t v = 0;
    uint32_t len = 0;
    if (csi_get(static_cast<int32_t>(id & 0xFF), sizeof v, &len, &v) != ZQ_OK) return false;
    value = v;
    return true;
  }

 private:
  ZqMutex mu_;
  std::set<uint32_t> ids_ GUARDED_BY(mu_);
};

}  // namespace

ZQCSIListener* ZQCSIListener::GetInstance() {
  static SimCSIListener* listener = new SimCSIListener();  // lives for the process
  return listener;
}
