// The programs the build makes (zqmp4, zqmf, zqsim, the daemon), as tests start them.
#ifndef ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_PROGRAMS_H_
#define ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_PROGRAMS_H_

#include <string>

namespace zqtest {

// The start of a shell command that runs program `name` from $ZQ_BIN_DIR (the current directory
// when unset). When the programs are built for another processor, $ZQ_EMULATOR names what runs
// them and comes first.
std::string ProgramCommand(const std::string& name);

}  // namespace zqtest

#endif  // ZQ_TESTS_SUPPORT_INCLUDE_ZQTEST_PROGRAMS_H_
