#include "zqtest/Programs.h"

#include <cstdlib>

namespace zqtest {

std::string ProgramCommand(const std::string& name) {
  const char* bin = getenv("ZQ_BIN_DIR");
  const char* emulator = getenv("ZQ_EMULATOR");
  std::string command;
  if (emulator != nullptr && *emulator != '\0') command = std::string(emulator) + " ";
  return command + (bin != nullptr ? bin : ".") + "/" + name;
}

}  // namespace zqtest
