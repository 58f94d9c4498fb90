#include "zqsim/SimServe.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "zqsim/SimNetService.h"

namespace zqsim {

// The daemon's message-queue peers, each on threads of its own.
void ServeStart() {
  if (std::string error; !NetServiceStart(&error)) {
    fprintf(stderr, "zqsim: %s\n", error.c_str());
    exit(1);
  }
}
void ServeStop() { NetServiceStop(); }

}  // namespace zqsim
