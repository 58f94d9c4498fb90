#include "zqcontrol/zqControl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "http/zqFakeRequest.h"
#include "http/zqWriter.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqcontrol/zqControlTestSupport.h"
#include "zqcontrol/zqControlUri.h"

namespace {

using zqctest::Journal;

struct Answer {
  int32_t result;
  std::string status_line;
  std::string body;
};

Answer Dispatch(const char* path, const char* params) {
  std::optional<ZqAnswer> answer;
  Answer a;
  {
    const ZqControlLocks locks;
    a.result = zqcontrol_cgi_handler(path, params, &answer, nullptr);
  }
  EXPECT_TRUE(answer.has_value()) << path;
  ZqCapture capture;
  if (answer) zq_write_answer(*answer, false, capture);
  const std::string& out = capture.bytes;
  a.status_line = out.substr(0, out.find("\r\n"));
  const size_t end = out.find("\r\n\r\n");
  a.body = end == std::string::npos ? "" : out.substr(end + 4);
  if (end != std::string::npos && a.status_line.find(" 204 ") == std::string::npos) {
    EXPECT_NE(out.find("Content-Length: " + std::to_string(a.body.size()) + "\r\n"),
              std::string::npos)
        << out;
  }
  return a;
}

class ZqControlDispatch : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(zqsim::ResetCamera()); }
};

TEST_F(ZqControlDispatch, ServiceStatusesBecomeHttpAnswers) {
  struct Row {
    int32_t service;
    const char* status_line;
    int32_t error_code;
  };
  const Row rows[] = {
      {kZqStatusNoContent, "HTTP/1.1 204 No Content", 0},
      {ZQ_ERR_NOT_SUPPORTED, "HTTP/1.1 400 Bad Request", ZQ_ERR_INVALID_PARAM},
      {ZQ_ERR_ACCESS_DENIED, "HTTP/1.1 403 Forbidden", ZQ_ERR_ACCESS_DENIED},
      {kZqStatusNotFound, "HTTP/1.1 404 Not Found", kZqStatusNotFound},
      {ZQ_ERR_INCOMPLETE_CGI_PARAM, "HTTP/1.1 400 Bad Request", ZQ_ERR_INCOMPLETE_CGI_PARAM},
      {ZQ_ERR_NAK, "HTTP/1.1 500 Internal Server Error", ZQ_ERR_NAK},
      // The shutter handler never answers itself: the client still gets an answer.
      {ZQ_ERR_RESPONSE_ALREADY_SENT, "HTTP/1.1 500 Internal Server Error",
       ZQ_ERR_RESPONSE_ALREADY_SENT},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.service);
    zqctest::Fail(3, r.service);
    const Answer a = Dispatch("command/shutter", "p=1");
    EXPECT_EQ(a.result, r.service);
    EXPECT_EQ(a.status_line, r.status_line);
    if (r.error_code == 0) {
      EXPECT_EQ(a.body, "");
    } else {
      const auto doc = nlohmann::json::parse(a.body);
      EXPECT_EQ(doc["error"], r.error_code);
      EXPECT_EQ(doc["path"], "command/shutter");
      EXPECT_EQ(doc["params"], "p=1");
    }
    EXPECT_EQ(Journal(), std::vector<std::string>{"3:01:" + std::to_string(r.service)});
  }
  zqctest::Fail(3, 0);
  const Answer ok = Dispatch("command/shutter", "p=1");
  EXPECT_EQ(ok.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(ok.body, "{}\n");
}

TEST_F(ZqControlDispatch, BodiesComeFromTheResponseBuffer) {
  EXPECT_TRUE(nlohmann::json::parse(Dispatch("status", "").body).contains("settings"));
  // The buffer is cleared between requests: a command without body answers "{}".
  EXPECT_EQ(Dispatch("command/mode", "p=0").body, "{}\n");
}

// A handler and steps that record what ran.
std::vector<std::string> g_ran;
int32_t g_preResult = 0;

TEST_F(ZqControlDispatch, RegistryTablesStepsAndDuplicates) {
  const auto defaults = zqcontrol_default_handlers();
  const auto custom = zqcontrol_custom_handlers();
  std::set<std::string> paths;
  for (const auto& r : defaults) EXPECT_TRUE(paths.insert(r.path).second) << r.path;
  for (const auto& r : custom) EXPECT_TRUE(paths.insert(r.path).second) << r.path;
  // Rows 2 to 11 of the custom table run inside the BLE link.
  for (size_t i = 0; i < custom.size(); ++i) {
    EXPECT_EQ(custom[i].record.pre != nullptr, i >= 1 && i <= 10) << custom[i].path;
    EXPECT_EQ(custom[i].record.post != nullptr, i >= 1 && i <= 10) << custom[i].path;
  }

  const ZqcUriRecord probe = {[](const char* params, char* response, uint16_t) {
                                g_ran.push_back(std::string("handler ") + params);
                                strcpy(response, "{\"x\":1}");
                                return int32_t{0};
                              },
                              [] {
                                g_ran.push_back("pre");
                                return g_preResult;
                              },
                              [] { g_ran.push_back("post"); }, nullptr};
  {
    const ZqLock access(g_accessMutex);
    ASSERT_EQ(zqcontrol_uri_interface_open(), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(zqcontrol_uri_add_handler("status", {nullptr, nullptr, nullptr, nullptr}), ZQ_ERR);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Handler already exists for key [status]\n");
    ASSERT_EQ(zqcontrol_uri_add_handler("test/probe", probe), 0);
  }
  const Answer a = Dispatch("test/probe", "q=1");
  EXPECT_EQ(a.body, "{\"x\":1}");
  EXPECT_EQ(g_ran, (std::vector<std::string>{"pre", "handler q=1", "post"}));
  g_ran.clear();
  g_preResult = ZQ_ERR_MQ_FAIL;
  EXPECT_EQ(Dispatch("test/probe", "").result, ZQ_ERR_MQ_FAIL);
  EXPECT_EQ(g_ran, (std::vector<std::string>{"pre", "post"}));  // the handler is skipped

  // Emptied, the registry is filled again by the next request.
  {
    const ZqLock access(g_accessMutex);
    remove_all_handlers();
    EXPECT_EQ(zqcontrol_uri_find("status"), nullptr);
    zqcontrol_uri_interface_close();
  }
  EXPECT_EQ(Dispatch("status", "").status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(Dispatch("test/probe", "").result, ZQ_ERR_NOT_SUPPORTED);
  EXPECT_FALSE(is_zqcontrol_interface_open());  // every open was closed
}

// Error documents carry the client's texts escaped, so that they always parse (a 204 without
// length nor body is proven on the wire).
TEST(ZqControlErrors, ErrorDocumentsAlwaysParse) {
  ZqCapture out;
  zq_write_answer(zqcontrol_error_answer("command/x", "a=\"q\"\x01\xff", 400, ZQ_ERR_INVALID_PARAM,
                                         "detail", "zqcontrol_cgi_handler", 12),
                  false, out);
  const std::string head = "HTTP/1.1 400 Bad Request\r\nContent-Type: application/json\r\n";
  ASSERT_EQ(out.bytes.rfind(head, 0), 0u) << out.bytes;
  const std::string body = out.bytes.substr(out.bytes.find("\r\n\r\n") + 4);
  EXPECT_NE(out.bytes.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos);
  const auto doc = nlohmann::ordered_json::parse(body);
  std::vector<std::string> keys;
  for (const auto& item : doc.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"path", "params", "error", "error_name", "detail",
                                            "function", "line"}));
  EXPECT_EQ(doc["params"], "a=\"q\"\x01\xef\xbf\xbd");  // the stray byte replaced
  EXPECT_EQ(doc["error"], ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(doc["error_name"], zqErrno2Str(ZQ_ERR_INVALID_PARAM));
  EXPECT_EQ(doc["line"], 12);
  EXPECT_EQ(body.back(), '\n');
}

// A command that answers itself (here with a stream) returns its answer through the route,
// inside its pre- and post-steps; a failed pre-step is answered like any failed command.
TEST_F(ZqControlDispatch, CommandsThatAnswerThemselves) {
  const ZqcUriRecord streaming = {nullptr,
                                  [] {
                                    g_ran.push_back("pre");
                                    return g_preResult;
                                  },
                                  [] { g_ran.push_back("post"); },
                                  [](const char* params, ZqRequest& request) {
                                    g_ran.push_back(std::string("answer ") + params);
                                    const std::string method(request.Method());
                                    return ZqAnswer::Chunked(
                                        200, "text/plain", [method](ZqSink& s) {
                                          return s.Write(method.data(), method.size());
                                        });
                                  }};
  {
    const ZqLock access(g_accessMutex);
    ASSERT_EQ(zqcontrol_uri_interface_open(), 0);
    ASSERT_EQ(zqcontrol_uri_add_handler("test/stream", streaming), 0);
    zqcontrol_uri_interface_close();
  }
  g_ran.clear();
  g_preResult = 0;

  ZqFakeRequest request("POST", "/zq/zqControl/test/stream?x=1");
  ZqCapture out;
  EXPECT_TRUE(zq_write_answer(zqControl(request), false, out));
  EXPECT_EQ(out.bytes,
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n"
            "4\r\nPOST\r\n0\r\n\r\n");
  EXPECT_EQ(g_ran, (std::vector<std::string>{"pre", "answer x=1", "post"}));

  g_ran.clear();
  g_preResult = ZQ_ERR_MQ_FAIL;
  ZqCapture failed;
  zq_write_answer(zqControl(request), false, failed);
  EXPECT_EQ(failed.bytes.substr(0, failed.bytes.find("\r\n")),
            "HTTP/1.1 500 Internal Server Error");
  EXPECT_EQ(g_ran, (std::vector<std::string>{"pre", "post"}));
  g_preResult = 0;

  // Without a request (the command cannot answer) it is no command.
  EXPECT_EQ(Dispatch("test/stream", "").result, ZQ_ERR_NOT_SUPPORTED);
  const ZqLock access(g_accessMutex);
  remove_all_handlers();
}

}  // namespace
