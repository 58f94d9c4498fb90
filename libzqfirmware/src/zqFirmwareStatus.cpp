#include "zqfirmware/zqFirmwareStatus.h"

#include "csi.h"
#include "zqStorage.h"

namespace zqfw {

int32_t CsiStatusPort::Read(int32_t id, uint32_t* value) {
  uint8_t bytes[4] = {};
  uint32_t len = 0;
  ZqLock lock(*mu_);
  const int32_t rc = csi_get(id, sizeof bytes, &len, bytes);
  if (rc == 0) {
    *value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
             uint32_t{bytes[3]} << 24;
  }
  return rc;
}

int32_t CsiStatusPort::Write(int32_t id, uint32_t value, uint32_t width) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  ZqLock lock(*mu_);
  return csi_set(id, bytes, width < sizeof bytes ? width : sizeof bytes);
}

bool CardHasRoomForUpdate(const std::string& card) {
  uint64_t free_bytes = 0;
  return zqfs_free_bytes(card.c_str(), &free_bytes) == 0 && free_bytes >= kUpdateFreeSpace;
}

}  // namespace zqfw
