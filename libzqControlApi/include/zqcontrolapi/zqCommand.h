// What the control commands built on this library share: the camera status values they use,
// the marking of a command as coming from the Wi-Fi client, and the hand-over of an answer
// text to the control dispatcher's response buffer.
//
// Every command function of this library runs inside one control request: the dispatcher
// serialises them (one at a time per process), and they take no lock of their own.
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQCOMMAND_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQCOMMAND_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "csi.h"

// Camera status values of the wireless, BLE and system commands.
inline constexpr int32_t kCsiRecording = 3;
inline constexpr int32_t kCsiApPassword = 15;  // the access point's password, text
inline constexpr int32_t kCsiStActivity = 30;
inline constexpr int32_t kCsiBeaconUuid = 31;  // text, up to 1,400 bytes
inline constexpr int32_t kCsiBeaconMajor = 32;
inline constexpr int32_t kCsiBeaconPowerSave = 33;
inline constexpr int32_t kCsiOffloadFlags = 34;
inline constexpr int32_t kCsiBeaconMinor = 37;
inline constexpr int32_t kCsiStPaused = 38;
inline constexpr int32_t kCsiOffloadBusy = 39;
inline constexpr int32_t kCsiWakeupReason = 47;
inline constexpr int32_t kCsiApPairingState = 54;
inline constexpr int32_t kCsiPhoneName = 86;  // text
inline constexpr int32_t kCsiAnalyticsSource = 92;
inline constexpr int32_t kCsiNewMediaAvail = csi_id(128);
inline constexpr int32_t kCsiBootCountBt = csi_id(130);
inline constexpr int32_t kCsiBootCountRc = csi_id(131);
inline constexpr int32_t kCsiBootCountAp = csi_id(132);

// Largest text value of the camera status.
inline constexpr size_t kCsiTextMax = 1400;

// Marks the next command as coming from the Wi-Fi client: caller id 1, then status 92 set to
// the byte 1. A failed set is logged ("csi_set CSI_ANALYTICS_SOURCE 0x%02X failed - status %d")
// and the command goes on.
void zq_mark_source_wifi();

// The two log lines of an answer that does not fit the response buffer.
enum class ZqNoRoom : uint8_t {
  kNoRoom,   // "Not enough room in buffer for response\n"
  kTooLong,  // "Response structure not long enough to hold actual response of %d bytes"
};

// Copies `body` and a terminator into `response` (`size` bytes). When it does not fit (its
// length is at least `size`) nothing is copied, the line `log` names is logged, and ZQ_ERR is
// returned; else ZQ_OK.
int32_t zq_answer_into(std::string_view body, char* response, size_t size, ZqNoRoom log);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQCOMMAND_H_
