// How firmware updates reach the camera: the status values of its update state machine, and
// the free space of the card.
#ifndef ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQFIRMWARESTATUS_H_
#define ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQFIRMWARESTATUS_H_

#include <cstdint>
#include <string>

#include "zqcommon/zqMutex.h"

namespace zqfw {

// Camera status ids.
inline constexpr int32_t kCsiFwProgress = 41;  // per cent of the package received, 4 bytes
inline constexpr int32_t kCsiOtaState = 42;    // the OTA state: 1 byte written, 4 bytes read
inline constexpr int32_t kCsiFwComplete = 44;  // 1 while a verified package waits, 4 bytes

// Values of the OTA state.
enum OtaState : uint32_t {
  kOtaIdle = 0,            // the update screen hidden
  kOtaInstalled = 5,       // the camera finished installing
  kOtaScreen = 6,          // the update screen shown
  kOtaReceived = 7,        // package received, being verified
  kOtaUploadFailed = 8,    // the upload failed
  kOtaDigestMismatch = 9,  // the package's digest did not match
  kOtaInstall = 10,        // install the package (also reported during an installation)
  kOtaStartInstall = 11,   // start installing from the resumable upload's package
};

// Status reads and writes as the firmware code needs them. Implementations serialise with the
// rest of the daemon as they must; calls may come from any thread.
class CameraStatusPort {
 public:
  virtual ~CameraStatusPort() = default;
  // `*value` receives status `id` read as a 4-byte little-endian number. 0 on success.
  virtual int32_t Read(int32_t id, uint32_t* value) = 0;
  // Writes `value` as `width` (1 or 4) little-endian bytes. 0 on success.
  virtual int32_t Write(int32_t id, uint32_t value, uint32_t width) = 0;
};

// The platform's camera status, each call holding `csi_mutex` (the daemon's g_CSIMutex).
class CsiStatusPort final : public CameraStatusPort {
 public:
  explicit CsiStatusPort(ZqMutex* csi_mutex) : mu_(csi_mutex) {}
  int32_t Read(int32_t id, uint32_t* value) override;
  int32_t Write(int32_t id, uint32_t value, uint32_t width) override;

 private:
  ZqMutex* mu_;  // not owned; outlives this object
};

// An update needs more than 350 MiB free on the card: the camera unpacks the package there.
inline constexpr uint64_t kUpdateFreeSpace = 367001600;

// Whether the file system holding `card` (a resolved path) has at least kUpdateFreeSpace
// bytes free, by the platform's file-system query. False when it cannot be asked.
bool CardHasRoomForUpdate(const std::string& card);

}  // namespace zqfw

#endif  // ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQFIRMWARESTATUS_H_
