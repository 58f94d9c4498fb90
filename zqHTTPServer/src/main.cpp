// zqHTTPServer: the camera's HTTP daemon. Takes no arguments and reads no configuration; runs
// until SIGTERM or SIGINT.
#include <signal.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>

#include "core/zqCsi.h"
#include "core/zqExtendedMemory.h"
#include "csi.h"
#include "server/zqRoutes.h"
#include "server/zqServer.h"
#include "server/zqStartup.h"
#include "zqcommon/zqCrash.h"
#include "zqcommon/zqLog.h"
#include "zqtavro/zqOpenTavro.h"
#include "zqpolicy/zqPolicy.h"

volatile sig_atomic_t exit_flag = 0;

namespace {

void OnSignal(int sig) { exit_flag = sig; }

// Signals the crash handler leaves alone: SIGTERM and SIGINT stop the daemon in order.
constexpr uint32_t kCrashSignalMask = 0x0F0001EB;

// How long a stop waits for running requests.
constexpr long kDrainMs = 30000;

}  // namespace

int main(int /*argc*/, char** /*argv*/) {
  uint32_t flags = 0;
  uint32_t len = 0;
  csi_get(CSI_LOGGING_FLAGS, sizeof flags, &len, &flags);

  openlog(nullptr, LOG_CONS | LOG_PERROR, LOG_USER);
  zqUtilSetLogLevel(zq_log_level_for_flags(flags));
  if (g_logLevel == ZQ_LOG_DEBUG) {
    ZQ_LOG(ZQ_LOG_DEBUG, "Extended logging on");
  } else {
    // Written whatever the level: the one start-up line that always appears.
    zqUtilKlogMsgLevel(ZQ_LOG_INFO, __LINE__, __FILE_NAME__, "error logging only");
  }

  int crash = zqch_install_crash_handler(kCrashSignalMask);
  if (crash != 0) printf("Crash handler could not be initialized: %d (continuing)\n", crash);

  get_memory_support(&g_extendedMemory);
  const int workers = zq_worker_threads(g_extendedMemory);
  if (g_extendedMemory == 1) {
    printf("Using extended memory configuration %s threads\n", "8");
  } else {
    printf("Using low memory configuration %s threads\n", "5");
  }

  mg_context* ctx = zq_server_start(workers);
  if (ctx == nullptr) {
    puts("Failed to start server - ctx = NULL");
    return -1;
  }

  struct sigaction sa = {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);

  zq_routes_register(ctx);
  zqpolicy_table_print(zq_routes());
  fflush(stdout);
  zqch_host_fault_injection();  // host builds: lets tests crash the running daemon on purpose

  while (exit_flag == 0) sleep(1);

  // Running requests (a download, a clip being extracted) finish first; a client that keeps
  // the daemon waiting longer than this is cut.
  zq_server_drain(kDrainMs);
  zq_server_close(ctx);
  // A streaming helper started through the Open API would outlive the daemon otherwise.
  zqOpenTavroStop();
  fflush(stdout);
  fflush(stderr);
  return 0;
}
