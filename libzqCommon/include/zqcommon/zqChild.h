// Helper programs run as children of the daemon: started with fork and exec (the child does
// nothing else, so it is safe in a threaded process), stopped with a hang-up and, when that
// is not enough, a kill, and always reaped, so that no child is left a zombie.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCHILD_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCHILD_H_

#include <sys/types.h>

#include <string>
#include <vector>

// Starts the program at `path` with the arguments `argv` (argv[0] first) and the daemon's
// environment; its standard input, output and error are /dev/null. The child calls only
// dup2, execv and _exit: a program that cannot be run ends the child at once with status 127,
// and nothing is answered on its behalf. Returns the child's id, or -1 when fork failed.
pid_t zq_child_spawn(const std::string& path, const std::vector<std::string>& argv);

// Reaps child `pid` if it has ended. True when it is gone (it ended and was reaped now, or it
// is no child of ours any more); false while it runs.
bool zq_child_reap(pid_t pid);

// What stopping needs, so that tests can run the schedule without processes or time.
struct ZqChildOps {
  int (*signal)(pid_t pid, int sig);
  bool (*gone)(pid_t pid);  // reaps; true once the child has ended
  void (*sleep_ms)(long ms);
};
// kill(2), zq_child_reap and a sleep scaled by ZQ_TIME_SCALE.
const ZqChildOps& zq_child_real_ops();

// Stops child `pid`: SIGHUP, then up to five looks, 100 ms apart, whether it has ended; after
// the third interval SIGKILL. True when it ended (and was reaped); false when it still ran at
// the fifth look (a child that cannot even be killed), in which case it stays the caller's.
bool zq_child_stop(pid_t pid, const ZqChildOps& ops = zq_child_real_ops());

// Whether a process runs the program at `path` (an absolute path): its executable is that
// file (also when the file was replaced since), or it is a script that file names. Looks at
// every process of the machine (/proc).
bool zq_program_running(const std::string& path);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCHILD_H_
