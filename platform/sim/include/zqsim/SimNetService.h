// The simulated network service and camera process of `zqsim serve`.
//
// The network service owns the mailbox "/to_zqnet". Every valid command it receives is
// answered with a valid response (category + 1, the command's CMD and CMDARG, RSPARG, SRC
// "/to_zqnet", DST the command's SRC) sent to the command's SRC; a command whose DST is
// "/to_camera" is handed on to the simulated camera process, which owns "/to_camera" and
// answers the same way with SRC "/to_camera". Result bytes (RSPARG):
//   "KX" (pairing)          0, 4, a 32-bit value (123456 when the operation byte is 1, else 0),
//                           status 0
//   "SP", "RP" (suspend,    a generic.ResponseGeneric message with result RESULT_SUCCESS
//   resume)                 (bytes 08 01)
//   anything else           0 followed by the command's argument bytes
//
// Messages of the IPC message library (zqIpcMsg.h, the daemon's BLE link) arrive in the same
// mailbox: "BL" commands addressed to "/to_ble" are handed to the simulated BLE service
// (SimBle.h), "PD"/"PX" (the BLE pairing phase) are acknowledged by this service; each is
// answered with a library message of category 3 whose result element (tag 69) holds the
// result byte and the reply data, sent to the reply-to queue (tag 68), and journaled like a
// TLV message ("cmdarg" the parameters, "src" the reply-to queue). `net fail` and the silent
// and norsparg modes apply to them too.
//
// Behaviour switches, kept in the simulator's state directory and read for every message:
//   zqsim net mode normal|silent|norsparg|fill
//       silent: messages are taken and never answered; norsparg: answers carry no RSPARG;
//       fill: "/to_zqnet" is filled to its limit and the service stops reading it, so senders
//       find it full (leaving the mode empties it)
//   zqsim net fail CMD RESULT / zqsim net ok CMD
//       CMD is answered with the single result byte RESULT (for SP/RP: the generic result)
//   zqsim net log / zqsim net clear
//       the messages received, one JSON object a line:
//       {"cat":2,"cmd":"XY","cmdarg":"01","src":"/to_mkcgi42","dst":"/to_camera"}
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMNETSERVICE_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMNETSERVICE_H_

#include <string>
#include <vector>

namespace zqsim {

// Starts both processes' threads. False (with `error` set) when their mailboxes cannot be
// created or another `zqsim serve` already serves this root.
bool NetServiceStart(std::string* error);
// Stops the threads and removes the mailboxes. Safe when not started.
void NetServiceStop();

// Back to the defaults: normal mode, no failures, an empty log (part of `zqsim reset`).
void NetReset();

// "zqsim net ..." (`args` without "net"): prints or changes the switches above. Returns the
// exit status.
int NetCommand(const std::vector<std::string>& args);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMNETSERVICE_H_
