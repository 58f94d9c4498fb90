#include "zqsim/SimServe.h"

namespace zqsim {

// No camera process is simulated yet: the daemon's message-queue peers join here.
void ServeStart() {}
void ServeStop() {}

}  // namespace zqsim
