// Helpers for tests of the control interface against the simulated camera of the test
// binary's temporary root: the commands the control service received, fault switches and
// status values.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROLTESTSUPPORT_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROLTESTSUPPORT_H_

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "csi.h"
#include "zqsim/SimState.h"
#include "zqtest/TempDir.h"

namespace zqctest {

// The journal as "command:param-hex[:status]" lines (the status only when it is not 0).
inline std::vector<std::string> Journal() {
  std::vector<std::string> out;
  std::istringstream lines(zqtest::ReadFile(zqsim::JournalPath()));
  for (std::string line; std::getline(lines, line);) {
    const auto j = nlohmann::json::parse(line);
    std::string entry =
        std::to_string(j["command"].get<int>()) + ":" + j["param"].get<std::string>();
    if (j["status"] != 0) entry += ":" + std::to_string(j["status"].get<int>());
    out.push_back(entry);
  }
  zqtest::WriteFile(zqsim::JournalPath(), "");
  return out;
}

// Makes the control service answer `command` with `status` without acting (0 clears).
inline void Fail(int32_t command, int32_t status) {
  zqsim::SimState::Get().Write([&](zqsim::SimStateData& d) {
    for (zqsim::Fault& f : d.faults) {
      if (f.used && f.command == command) f = {};
    }
    if (status != 0) d.faults[0] = {command, status, 1, 0};
    return 0;
  });
}

inline uint32_t Status32(int id) {
  uint32_t v = 0;
  uint32_t len = 0;
  csi_get(id, sizeof v, &len, &v);
  return v;
}

}  // namespace zqctest

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROLTESTSUPPORT_H_
