// The wireless commands that talk to the network service, against the simulated one running in
// this process.
#include "zqcontrolapi/zqNetMessage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zqSimTestSupport.h"
#include "zqcommon/zqErrors.h"
#include "zqcontrolapi/zqWifi.h"
#include "zqsim/SimNetService.h"
#include "zqsim/SimState.h"

namespace {

// The messages the network service received since the last call: "CMD:cmdarg-hex".
std::vector<std::string> TakeNetLog() {
  const std::string path = zqsim::SimState::Get().dir() + "/net.log";
  std::istringstream lines(zqtest::ReadFile(path));
  std::vector<std::string> out;
  for (std::string line; std::getline(lines, line);) {
    const auto j = nlohmann::json::parse(line);
    out.push_back(j["cmd"].get<std::string>() + ":" + j["cmdarg"].get<std::string>());
    EXPECT_EQ(j["dst"], "/to_zqnet");
    EXPECT_EQ(j["src"], "/to_kxpair" + std::to_string(getpid()));
  }
  zqtest::WriteFile(path, "");
  return out;
}

void Net(std::vector<std::string> args) { ASSERT_EQ(zqsim::NetCommand(args), 0); }

class ZqNetMessage : public zqsimtest::NetServiceTest {};

TEST_F(ZqNetMessage, PairCompleteStoresThePhoneNameAndSendsKx) {
  EXPECT_EQ(zq_pair_complete("success=1&deviceName=Ann%27s%20phone"), ZQ_OK);
  EXPECT_EQ(zqsimtest::StatusBytes(86), "Ann's phone");
  EXPECT_EQ(TakeNetLog(), std::vector<std::string>{"KX:0001"});

  Net({"fail", "KX", "3"});
  EXPECT_EQ(zq_pair_complete("success=1"), ZQ_ERR);
  Net({"ok", "KX"});
  Net({"mode", "norsparg"});
  EXPECT_EQ(zq_pair_complete("success=1"), ZQ_ERR);
  Net({"mode", "silent"});
  EXPECT_EQ(zq_pair_complete("success=1"), ZQ_ERR);  // after the (scaled) time-out
  EXPECT_EQ(TakeNetLog().size(), 3u);
  // Parameter errors send nothing.
  EXPECT_EQ(zq_pair_complete("deviceName=x"), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(TakeNetLog(), std::vector<std::string>{});
}

TEST_F(ZqNetMessage, SuspendThenResumeEachNeedASuccessfulGenericResult) {
  EXPECT_EQ(zq_suspend_resume("suspend=CAE%3D&resume=CAI="), ZQ_OK);
  EXPECT_EQ(TakeNetLog(), (std::vector<std::string>{"SP:0801", "RP:0802"}));

  // Without "resume=" the suspend value has gone out all the same.
  EXPECT_EQ(zq_suspend_resume("suspend=CAE="), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(TakeNetLog(), std::vector<std::string>{"SP:0801"});
  EXPECT_EQ(zq_suspend_resume("resume=CAE="), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(zq_suspend_resume(("suspend=" + std::string(28, 'A') + "&resume=CAE=").c_str()),
            ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(TakeNetLog(), std::vector<std::string>{});

  // A result other than RESULT_SUCCESS, or none, fails the value and stops there.
  Net({"fail", "SP", "3"});
  EXPECT_EQ(zq_suspend_resume("suspend=CAE=&resume=CAI="), ZQ_ERR);
  EXPECT_EQ(TakeNetLog(), std::vector<std::string>{"SP:0801"});
  Net({"ok", "SP"});
  Net({"fail", "RP", "2"});
  EXPECT_EQ(zq_suspend_resume("suspend=CAE=&resume=CAI="), ZQ_ERR);
  Net({"ok", "RP"});
  Net({"mode", "norsparg"});
  EXPECT_EQ(zq_suspend_resume("suspend=CAE=&resume=CAI="), ZQ_ERR);
  EXPECT_EQ(TakeNetLog(), (std::vector<std::string>{"SP:0801", "RP:0802", "SP:0801"}));
}

TEST_F(ZqNetMessage, ExchangeReportsTheResultBytes) {
  ZqNetReply reply;
  const uint8_t arg[] = {1, 2};
  ASSERT_EQ(zq_net_exchange("XY", arg, &reply), ZQ_OK);
  EXPECT_TRUE(reply.has_result);
  EXPECT_EQ(reply.result, (std::vector<uint8_t>{0, 1, 2}));
  Net({"mode", "norsparg"});
  ASSERT_EQ(zq_net_exchange("XY", arg, &reply), ZQ_OK);
  EXPECT_FALSE(reply.has_result);
  EXPECT_TRUE(reply.result.empty());
}

}  // namespace
