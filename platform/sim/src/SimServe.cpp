#include "zqsim/SimServe.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "zqsim/SimMediaDb.h"
#include "zqsim/SimNetService.h"
#include "zqsim/SimWebcam.h"

namespace zqsim {

// The daemon's peers, each on threads of its own: the network service's message queues (with
// the BLE service behind them), the media database's socket and the webcam process. Without the
// network service the daemon cannot be exercised at all, so failing to start it ends `zqsim serve`;
// a missing media database only makes the media routes answer with errors, as on a camera whose
// database is down.
void ServeStart() {
  std::string error;
  if (!NetServiceStart(&error)) {
    fprintf(stderr, "zqsim: %s\n", error.c_str());
    exit(1);
  }
  if (!MediaDbStart(&error))
    fprintf(stderr, "zqsim: media database not served: %s\n", error.c_str());
  if (!WebcamStart(&error)) fprintf(stderr, "zqsim: webcam process not run: %s\n", error.c_str());
}

void ServeStop() {
  WebcamStop();
  MediaDbStop();
  NetServiceStop();
}

}  // namespace zqsim
