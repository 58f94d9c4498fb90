// The simulated camera processes that `zqsim serve` runs: peers of the daemon's message
// queues and IPC endpoints. Each service runs on threads of its own until ServeStop().
#ifndef ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSERVE_H_
#define ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSERVE_H_

namespace zqsim {

// Starts every simulated process. Call with SIGTERM and SIGINT blocked.
void ServeStart();
// Stops them and waits for their threads.
void ServeStop();

}  // namespace zqsim

#endif  // ZQ_PLATFORM_SIM_INCLUDE_ZQSIM_SIMSERVE_H_
