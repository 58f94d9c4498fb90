// The preset operations against the simulated control service: what is sent (the journal) and
// what is answered.
#include "zqpresets/zqPresets.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zqcommon/zqErrors.h"
#include "zqsim/SimControl.h"
#include "zqsim/SimState.h"

namespace {

// The journal's lines as (command, parameter hex).
std::vector<std::pair<int, std::string>> Journal() {
  std::vector<std::pair<int, std::string>> out;
  std::ifstream in(zqsim::JournalPath());
  std::string line;
  while (std::getline(in, line)) {
    const nlohmann::json j = nlohmann::json::parse(line);
    out.emplace_back(j.at("command").get<int>(), j.at("param").get<std::string>());
  }
  return out;
}

ZqPresetLookup Query(std::map<std::string, std::string> vars) {
  return [vars](const char* key, std::string* value) {
    auto it = vars.find(key);
    if (it == vars.end()) return false;
    *value = it->second;
    return true;
  };
}

class ZqPresets : public testing::Test {
 protected:
  void SetUp() override { zqsim::ResetCamera(); }
  int32_t Run(std::string_view name, std::map<std::string, std::string> vars) {
    answer_ = {};
    return zqpreset_commands(name, Query(std::move(vars)), &answer_);
  }
  ZqPresetAnswer answer_;
};

TEST_F(ZqPresets, MissingNegativeOrUnreadableParametersSendNothing) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> vars;
    int32_t result;
  };
  const std::vector<Case> cases = {
      {"load", {{"id", "-4"}}, ZQ_ERR_INVALID_PARAM},
      {"load", {{"id", "4294967296"}}, ZQ_ERR_INVALID_PARAM},
      {"set_order", {{"id", "1"}}, ZQ_ERR_INVALID_PARAM},
      {"create", {{"group_id", "1000"}, {"fmode", "12"}, {"icon", "1"}}, ZQ_ERR_INVALID_PARAM},
      {"create",
       {{"group_id", "1000"}, {"fmode", "12"}, {"icon", "1"}, {"name", "1"}, {"num", "x"}},
       ZQ_ERR_INVALID_PARAM},
      {"list_presets", {{"id", "1000"}}, ZQ_ERR_INVALID_PARAM},
      {"set_title_icon", {}, ZQ_ERR_INVALID_PARAM},
      {"set_title_icon", {{"icon", "-1"}, {"name", "-1"}}, ZQ_ERR_INVALID_PARAM},
      {"get_info", {{"group_id", "3"}}, ZQ_ERR_INVALID_PARAM},
      {"Load", {{"id", "1"}}, ZQ_ERR},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.name, c.vars), c.result) << c.name;
  }
  EXPECT_TRUE(Journal().empty());
}

TEST_F(ZqPresets, RequestsCarryExactlyTheirFields) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> vars;
    int command;
    std::string param;  // hex of the serialised request
  };
  const std::vector<Case> cases = {
      {"load", {{"id", "65537"}}, 76, "08818004"},
      {"create",
       {{"group_id", "1000"}, {"fmode", "12"}, {"icon", "20"}, {"name", "20"}},
       73,
       "08e807100c18142014"
       "28ffffffff0f"},
      {"create",
       {{"group_id", "1000"}, {"fmode", "12"}, {"icon", "20"}, {"name", "20"}, {"num", "2"}},
       73,
       "08e807100c181420142802"},
      {"set_title_icon", {{"name", "4"}, {"icon", "-1"}}, 83, "0804"},
      {"set_order", {{"id", "7"}, {"pos", "0"}}, 75, "08071000"},
      {"list_presets", {{"group_id", "1001"}}, 71, "08e907"},
      {"get_info", {{"id", "0"}}, 72, "0800"},
      {"switch_flatmode", {{"fmode", "24"}}, 82, "0818"},
      {"reset", {{"id", "1"}}, 80, "0801"},
      {"list_groups", {}, 70, ""},
      {"get_presets", {{"id", "junk"}}, 81, ""},
      {"remove", {{"id", "4096"}}, 74, "088020"},
      {"edit_start", {{"id", "2"}}, 77, "0802"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    zqsim::JournalClear();
    ASSERT_EQ(Run(c.name, c.vars), ZQ_OK);
    const auto journal = Journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].first, c.command);
    EXPECT_EQ(journal[0].second, c.param);
  }
}

TEST_F(ZqPresets, RepliesPassThroughAndEmptyAnswersAreEmpty) {
  ASSERT_EQ(Run("load", {{"id", "1"}}), ZQ_OK);
  EXPECT_EQ(answer_.status, 200);
  EXPECT_STREQ(answer_.content_type, kZqPresetOctetStream);
  EXPECT_EQ(answer_.body, "");

  // The stored reply is what comes back, byte for byte.
  std::string error;
  ASSERT_TRUE(zqsim::ControlReplyWith(81, std::string("\x0a\x03\x08\xe8\x07", 5), &error));
  ASSERT_EQ(Run("get_presets", {}), ZQ_OK);
  EXPECT_EQ(answer_.body, std::string("\x0a\x03\x08\xe8\x07", 5));
}

TEST_F(ZqPresets, FailureBodiesNameTheOperation) {
  // The body is { "message": "<what> failed with err -101" }, or "{}" where `what` is null.
  struct Case {
    const char* name;
    std::map<std::string, std::string> vars;
    int command;
    const char* what;
    const char* type;
  };
  const char* const kOctets = kZqPresetOctetStream;
  const char* const kJson = kZqPresetJson;
  const std::vector<Case> cases = {
      {"list_groups", {}, 70, "ZQCONTROL_PRESET_LIST_GROUPS return size:0,", kOctets},
      {"list_presets",
       {{"group_id", "1000"}},
       71,
       "ZQCONTROL_PRESET_LIST_IDS return size:0,",
       kOctets},
      {"get_info", {{"id", "1"}}, 72, "PRESET_GET_INFO return size:0,", kOctets},
      {"create",
       {{"group_id", "1000"}, {"fmode", "12"}, {"icon", "1"}, {"name", "1"}},
       73,
       "ZQCONTROL_PRESET_CUSTOM_CREATE return size:0,",
       kOctets},
      {"remove", {{"id", "1"}}, 74, "ZQCONTROL_PRESET_CUSTOM_REMOVE return", kOctets},
      {"set_order", {{"id", "1"}, {"pos", "0"}}, 75, "ZQCONTROL_PRESET_SET_ORDER return", kOctets},
      {"load", {{"id", "1"}}, 76, nullptr, kOctets},
      {"edit_start", {{"id", "1"}}, 77, "ZQCONTROL_PRESET_EDIT_START return", kOctets},
      {"edit_cancel", {}, 78, "ZQCONTROL_PRESET_EDIT_CANCEL return", kOctets},
      {"edit_store", {}, 79, "ZQCONTROL_PRESET_EDIT_STORE return", kOctets},
      {"reset", {{"id", "1"}}, 80, "ZQCONTROL_PRESET_FACTORY_RESET return", kJson},
      {"get_presets", {}, 81, "ZQCONTROL_PRESET_GET_PRESETS return size:0,", kOctets},
      {"switch_flatmode", {{"fmode", "12"}}, 82, "ZQCONTROL_PRESET_SWITCH_FLATMODE return", kJson},
      {"set_title_icon", {{"icon", "1"}}, 83, "ZQCONTROL_PRESET_SET_TITLE_ICON return", kJson},
  };
  std::string error;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(zqsim::ControlFail(static_cast<uint32_t>(c.command), ZQ_ERR_NAK, &error));
    ASSERT_EQ(Run(c.name, c.vars), ZQ_OK);
    EXPECT_EQ(answer_.status, 500);
    EXPECT_EQ(answer_.body, c.what == nullptr ? std::string("{}")
                                              : std::string("{ \"message\": \"") + c.what +
                                                    " failed with err -101\" }");
    EXPECT_STREQ(answer_.content_type, c.type);
  }
}

TEST_F(ZqPresets, AReplyExpectedButEmptyIsAFailure) {
  std::string error;
  ASSERT_TRUE(zqsim::ControlReplyWith(81, "", &error));
  ASSERT_EQ(Run("get_presets", {}), ZQ_OK);
  EXPECT_EQ(answer_.status, 500);
  EXPECT_EQ(answer_.body,
            "{ \"message\": \"ZQCONTROL_PRESET_GET_PRESETS return size:0, failed with err 0\" }");
}

}  // namespace
