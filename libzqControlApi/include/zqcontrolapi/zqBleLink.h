// The link to the camera's BLE service, and the BLE accessory commands of the control
// interface built on it.
//
// Link: requests go into the network service's queue "/to_zqnet" (opened write-only, never
// blocking); replies come back in a receive queue of the daemon's own, "/to_ZQCC" followed by
// the process id in decimal, which is removed first if it exists and then created read-only
// with permissions 0664 and room for 5 messages of 1,500 bytes. Both live from
// zq_ble_link_open() to zq_ble_link_close(), the pre- and post-step of each BLE command that
// uses them; between requests neither queue exists.
//
// Messages are the IPC message library's (zqIpcMsg.h). A request has category 2 and the
// elements command (tag 65, two letters: "BL" for the BLE service, "PD"/"PX" for the pairing
// phase), parameters (66, the command bytes of zqBle.h, possibly empty), reply-to (68, the
// receive queue's name), destination (67: "/to_ble", or "/to_zqnet" for the pairing phase) and
// end (238, empty), in that order. A reply has category 3 and a result element (69): its first
// byte is the result (0 success), the bytes after it the reply data. A reply is awaited for
// 15 seconds (scaled by ZQ_TIME_SCALE).
//
// The link is process-wide; control requests use it one at a time (the dispatcher's lock). The
// command functions return 0, ZQ_ERR_INVALID_PARAM (bad or missing parameters: nothing is
// sent) or ZQ_ERR (the link or the service failed; logged).
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQBLELINK_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQBLELINK_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Element tags and categories of the link's messages.
inline constexpr uint8_t kZqBleTagCommand = 65;
inline constexpr uint8_t kZqBleTagParams = 66;
inline constexpr uint8_t kZqBleTagDestination = 67;
inline constexpr uint8_t kZqBleTagReplyTo = 68;
inline constexpr uint8_t kZqBleTagResult = 69;
inline constexpr uint8_t kZqBleTagEnd = 238;
inline constexpr uint8_t kZqBleRequestCategory = 2;
inline constexpr uint8_t kZqBleReplyCategory = 3;

inline constexpr char kZqBleRxPrefix[] = "/to_ZQCC";
inline constexpr char kZqBleService[] = "/to_ble";
inline constexpr char kZqNetService[] = "/to_zqnet";

// Opens both queues and sets the address elements. ZQ_ERR when the link is already open
// ("Interface already open") or a queue cannot be opened (nothing is left open then).
int32_t zq_ble_link_open();
// Closes both queues and removes the receive queue. Safe when closed.
void zq_ble_link_close();
// The receive queue's camera name ("/to_ZQCC" + pid) while the link is open, else "".
std::string zq_ble_link_rx_name();

// One request and its reply: `command` ("BL", "PD", "PX") with `params` to the BLE service
// (`to_ble`) or the network service. 0 and `*data` (the reply data) when the result byte is 0;
// ZQ_ERR otherwise.
int32_t zq_ble_exchange(const char* command, std::span<const uint8_t> params, bool to_ble,
                        std::vector<uint8_t>* data);

// "command/ble/pairing_available" (no link): ZQ_ERR while recording or while the access point
// pairs (status 54 is 1), else 0.
int32_t zq_ble_pairing_available();
// "command/ble/pairing_phase": "p=" integer; 0 sends "PX" without parameters, anything else
// "PD" with [1, 3], to the network service.
int32_t zq_ble_pairing_phase(const char* query);
// "command/ble/scan": "p=" 0 to 255; [1, p].
int32_t zq_ble_scan(const char* query);
// "command/ble/pair/start", ".../cancel": "device=" address (required), "address_type="
// (optional, 0 to 255, default 0).
int32_t zq_ble_pair(const char* query, bool start);
// "command/ble/pair/status": `*body` is "\n{\"pairing_status\":N}\n".
int32_t zq_ble_pair_status(std::string* body);
// "command/ble/scan/list", "command/ble/whitelist/list": "p=" optional first index.
int32_t zq_ble_scan_list(const char* query, std::string* body);
int32_t zq_ble_whitelist_list(const char* query, std::string* body);
// "command/ble/whitelist/device": "address=" (required); `*body` is "\n" and the device's
// object; kZqStatusNotFound when the list does not hold it.
int32_t zq_ble_whitelist_device(const char* query, std::string* body);
// "command/ble/whitelist/configure": "device=" (required), "remove=1" and/or "auto_connect="
// 0 or 1 (at least one); removing wins when both are given.
int32_t zq_ble_whitelist_configure(const char* query);
// "command/ble/configure": with "auto_connect=" (0 to 255) sets it ([8, 0, value]); without,
// reads it ([10]) into `*body` "\n{\"auto_connect\":N}\n".
int32_t zq_ble_configure(const char* query, std::string* body);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQBLELINK_H_
