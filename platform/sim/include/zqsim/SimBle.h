// The simulated BLE service, reached through the network service of `zqsim serve` by messages
// of the IPC message library (zqIpcMsg.h) addressed to "/to_ble".
//
// Twenty accessories are in range. A scan start ([1, p] with p != 0) rebuilds the scan results
// with all of them (a new list id); a stop leaves the results. Pairing ([2, address, type])
// succeeds at once for a device in the scan results: the service remembers it with
// auto-connect on (a new remembered-list id) and the pairing status is 2; an unknown device
// fails (result 1, status 3). The remembered list holds 16 devices; remembered devices can be
// removed and their auto-connect flag set ([7, ...]); [8, 0, v] and [10] set and read the
// service's own auto-connect value; [9] reads the pairing status (0 idle, 1 pairing, 2
// paired, 3 failed). Pages ([4, first, max], [6, first, max]) hold at most 15 entries; the
// page format is the one the daemon reads (entry bytes: address as sent, type with bit 7 the
// auto-connect flag in remembered-device pages, signal, name and UUID lists in the data area).
// State lives in the shared simulator state, so `zqsim reset` forgets everything.
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMBLE_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMBLE_H_

#include <cstdint>
#include <span>
#include <vector>

namespace zqsim {

inline constexpr size_t kBleDeviceCount = 20;

// The result bytes of one "BL" command with `params`: the result (0 success) and the reply
// data.
std::vector<uint8_t> BleCommand(std::span<const uint8_t> params);

// The pairing phase ("PD" starts it, "PX" ends it): the result bytes.
std::vector<uint8_t> BlePairingPhase(bool start);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMBLE_H_
