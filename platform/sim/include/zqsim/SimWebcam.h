// The simulated webcam process of `zqsim serve`.
//
// The daemon hands it a command by writing a 32-bit little-endian word to camera status 141
// (the client's address goes to status 142 first); the simulated camera-status library passes
// every such write on to this process, which answers on "/to_webcam_http" with one 8-byte
// reply {status, error} (32-bit little-endian, signed). Its status is 2 (streaming) after a
// start word (2 or 3) until a stop (6) or exit (8) word, 3 after a preview word (4 or 5) while
// not streaming, and 1 (idle) otherwise; an exit word does not end the simulated process. A
// reply whose queue no longer exists is dropped.
//
// Modes (`zqsim webcam mode ...`, kept in the simulator's state directory, read for every
// command; `zqsim reset` restores normal):
//   normal     reply {status, 0}
//   silent     no reply
//   error CODE reply {status, CODE}; the command does not change the status
//   slow MS    reply as normal, MS milliseconds (times ZQ_TIME_SCALE) later
// `zqsim webcam log` prints the commands received, one JSON object a line:
//   {"word":786,"command":2,"client":"127.0.0.1","status":2,"error":0,"replied":true}
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMWEBCAM_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMWEBCAM_H_

#include <cstdint>
#include <string>
#include <vector>

namespace zqsim {

inline constexpr int kWebcamCommandId = 141;
inline constexpr int kWebcamClientId = 142;

// Passes a word written to status 141 to the webcam process (dropped when none runs).
void WebcamNotify(const void* value, uint32_t size);

// Starts and stops the process's thread.
bool WebcamStart(std::string* error);
void WebcamStop();

// Normal mode and an empty log (part of `zqsim reset`).
void WebcamReset();

// "zqsim webcam ..." (`args` without "webcam"). Returns the exit status.
int WebcamCommand(const std::vector<std::string>& args);

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMWEBCAM_H_
