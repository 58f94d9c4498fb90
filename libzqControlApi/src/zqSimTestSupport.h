// Test helpers over the simulated camera of the test binary's temporary root: the commands the
// control service received, the camera-status writes, and fault switches.
#ifndef ZQ_LIBZQCONTROLAPI_SRC_ZQSIMTESTSUPPORT_H_
#define ZQ_LIBZQCONTROLAPI_SRC_ZQSIMTESTSUPPORT_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zqsim/SimNetService.h"
#include "zqsim/SimState.h"
#include "zqtest/TempDir.h"

namespace zqsimtest {

struct Sent {
  uint32_t command;
  std::string param;  // lower-case hex
  int32_t status;
  bool operator==(const Sent&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Sent& s) {
  return os << s.command << ":" << s.param << ":" << s.status;
}

// The commands since the last call (the journal is emptied).
inline std::vector<Sent> TakeJournal() {
  std::vector<Sent> out;
  std::istringstream lines(zqtest::ReadFile(zqsim::JournalPath()));
  for (std::string line; std::getline(lines, line);) {
    const auto j = nlohmann::json::parse(line);
    out.push_back(
        {j["command"].get<uint32_t>(), j["param"].get<std::string>(), j["status"].get<int32_t>()});
  }
  zqtest::WriteFile(zqsim::JournalPath(), "");
  return out;
}

// Makes the control service answer `command` with `status` without acting (0 clears).
inline void FailCommand(int32_t command, int32_t status) {
  zqsim::SimState::Get().Write([&](zqsim::SimStateData& d) {
    for (zqsim::Fault& f : d.faults) {
      if (f.used && f.command == command) f = {};
    }
    for (zqsim::Fault& f : d.faults) {
      if (status != 0 && !f.used) {
        f = {command, status, 1, 0};
        break;
      }
    }
    return 0;
  });
}

// A status value's bytes as stored.
inline std::string StatusBytes(int id) {
  return zqsim::SimState::Get().Read([&](const zqsim::SimStateData& d) {
    const zqsim::StatusSlot& s = d.status[static_cast<uint8_t>(id)];
    return std::string(reinterpret_cast<const char*>(s.data), s.size);
  });
}

// Every time-out of a test binary that includes this header runs a hundred times shorter:
// ZQ_TIME_SCALE is read once, at its first use, so it is set before main.
inline const bool kFastTimeouts = (setenv("ZQ_TIME_SCALE", "0.01", 1), true);

// Tests whose suite runs the simulated network service in this process (from the first test to
// the last), each test starting from an idle camera and a normal service.
class NetServiceTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(kFastTimeouts);
    std::string error;
    ASSERT_TRUE(zqsim::NetServiceStart(&error)) << error;
  }
  static void TearDownTestSuite() { zqsim::NetServiceStop(); }
  void SetUp() override {
    zqsim::ResetCamera();
    zqsim::NetReset();
  }
};

}  // namespace zqsimtest

#endif  // ZQ_LIBZQCONTROLAPI_SRC_ZQSIMTESTSUPPORT_H_
