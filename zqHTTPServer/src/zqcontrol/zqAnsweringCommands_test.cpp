// The control commands that make their own answers from the request (delete list, transcode
// requests, execute, analytics download, wireless offload) and the webcam faces' answers that
// need no webcam process, served as functions through their routes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "csi.h"
#include "http/zqFakeRequest.h"
#include "http/zqWriter.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqcontrol/zqControl.h"
#include "zqcontrol/zqControlTestSupport.h"
#include "zqsim/SimState.h"
#include "zqtest/TempDir.h"
#include "zqwebcamroute/zqWebcamRoute.h"

namespace {

using zqctest::Journal;

struct Reply {
  std::string status_line;
  std::string head;
  std::string body;
  bool cut = false;  // the body broke off: the connection was cut
};

Reply Split(const ZqCapture& out) {
  Reply r;
  const size_t end = out.bytes.find("\r\n\r\n");
  r.status_line = out.bytes.substr(0, out.bytes.find("\r\n"));
  r.head = out.bytes.substr(0, end);
  r.body = end == std::string::npos ? "" : out.bytes.substr(end + 4);
  r.cut = out.cut;
  return r;
}

Reply Serve(ZqAnswer (*route)(ZqRequest&), ZqFakeRequest request) {
  ZqCapture out;
  zq_write_answer(route(request), request.IsHead(), out);
  return Split(out);
}

Reply Control(const std::string& method, const std::string& target, std::string body = {}) {
  ZqFakeRequest request(method, "/zq/zqControl/" + target);
  if (!body.empty()) request.WithBody(std::move(body), 7);
  return Serve(zqControl, std::move(request));
}

int ErrorOf(const Reply& r) { return nlohmann::json::parse(r.body)["error"].get<int>(); }

class ZqAnsweringCommands : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zqsim::ResetCamera());
    Journal();
  }
};

// The list's record bytes and the deletion are proven end to end; here the body's limit and
// the refusals before anything is sent.
TEST_F(ZqAnsweringCommands, DeleteListReadsTheFormBodyOfAPost) {
  // A good list padded to a body of `size` bytes.
  auto padded = [](size_t size) {
    std::string body = "filelist=100TAVRO/ZQ010001.MP4,1&pad=";
    return body + std::string(size - body.size(), 'a');
  };
  EXPECT_EQ(Control("POST", "command/storage/delete/list", padded(29999)).status_line,
            "HTTP/1.1 200 OK");
  EXPECT_EQ(Journal().size(), 1u);
  // Refused before anything is sent: no list, a list line without its flag, a body past the
  // limit.
  for (const std::string& body :
       {std::string("other=1"), std::string("filelist=100TAVRO/ZQ010001.MP4"), padded(30000)}) {
    const Reply r = Control("POST", "command/storage/delete/list", body);
    EXPECT_EQ(r.status_line, "HTTP/1.1 500 Internal Server Error") << body.size();
    EXPECT_EQ(ErrorOf(r), ZQ_ERR_INVALID_PARAM);
    EXPECT_EQ(Journal(), std::vector<std::string>{}) << body.size();
  }

  // Methods other than GET and POST do nothing.
  EXPECT_EQ(Control("PUT", "command/storage/delete/list", "filelist=a,1").body, "{}\n");
  EXPECT_EQ(Journal(), std::vector<std::string>{});
}

TEST_F(ZqAnsweringCommands, TranscodeRefusalsAreBadRequestDocuments) {
  const std::string folder = zq_path("/tmp/fuse_d/DCIM/100TAVRO");
  ASSERT_EQ(system(("mkdir -p " + folder).c_str()), 0);
  zqtest::WriteFile(folder + "/ZQ010001.MP4", "clip");
  const std::string video =
      "command/transcode/video_to_video?source=100TAVRO/ZQ010001.MP4&res=1"
      "&fps_divisor=1&in_ms=0&out_ms=1000";
  struct Row {
    std::string target;
    int command;
    const char* name;
  };
  const Row rows[] = {
      {video, 46, "transcode_video_to_video"},
      {"command/transcode/photo_to_video?source=100TAVRO/TAVR0003.JPG&res=1", 45,
       "transcode_photo_to_video"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    zqctest::Fail(r.command, ZQ_ERR_NAK);
    const Reply refused = Control("GET", r.target);
    EXPECT_EQ(refused.status_line, "HTTP/1.1 400 Bad Request");
    const auto doc = nlohmann::json::parse(refused.body);
    EXPECT_EQ(doc["path"], r.name);
    EXPECT_EQ(doc["params"], r.target.substr(r.target.find('?') + 1));
    EXPECT_EQ(doc["error"], ZQ_ERR_NAK);
    EXPECT_EQ(refused.body.find("transcode request failed") != std::string::npos, true);
    zqctest::Fail(r.command, 0);
  }
  // A bad query never reaches the camera.
  Journal();
  const Reply bad = Control("GET", "command/transcode/photo_to_video?source=a.JPG");
  EXPECT_EQ(bad.status_line, "HTTP/1.1 500 Internal Server Error");
  EXPECT_EQ(ErrorOf(bad), ZQ_ERR_INVALID_PARAM);
  EXPECT_EQ(Journal(), std::vector<std::string>{});
}

TEST_F(ZqAnsweringCommands, ExecuteRefusesACameraThatIsNotReady) {
  zqsim::SimState::Get().Write([](zqsim::SimStateData& d) { return d.camera.ready = 0; });
  const std::string bin = zq_path("/usr/local/tavro/bin");
  ASSERT_EQ(system(("mkdir -p " + bin).c_str()), 0);
  zqtest::WriteFile(bin + "/zqStream", "#!/bin/sh\n");
  ZqCapture out;
  ZqFakeRequest start("GET", "/zq/zqControl/execute?p1=zqStream&a1=1&c1=start");
  zq_write_answer(zqControl(start), false, out);
  EXPECT_EQ(out.bytes,
            "HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\n"
            "Content-Length: 33\r\n\r\n{\"message\":\"System not ready\" }\n\n");
}

// Without files the download is the empty success (the files' stream is proven end to end).
TEST_F(ZqAnsweringCommands, AnalyticsWithoutFilesAnswersEmpty) {
  const std::string dir = zq_path("/tmp/fuse_a/save/");
  ASSERT_TRUE(zqsim::ResetCamera());
  ASSERT_EQ(system(("rm -rf " + dir).c_str()), 0);
  zqctest::Fail(39, ZQ_ERR_NAK);
  const Reply none = Control("GET", "analytics/get");
  EXPECT_EQ(none.status_line, "HTTP/1.1 200 OK");
  EXPECT_EQ(none.body, "{}\n");
}

TEST_F(ZqAnsweringCommands, AnalyticsFileGoneBeforeItsTurnEndsTheAnswerShort) {
  const std::string dir = zq_path("/tmp/fuse_a/save/");
  ASSERT_EQ(system(("rm -rf " + dir + " && mkdir -p " + dir).c_str()), 0);
  zqtest::WriteFile(dir + "DA000001.bin", "12345");
  ZqFakeRequest request("GET", "/zq/zqControl/analytics/get");
  const ZqAnswer answer = zqControl(request);
  ASSERT_EQ(unlink((dir + "data_analytics.bin").c_str()), 0);
  ZqCapture out;
  EXPECT_FALSE(zq_write_answer(answer, false, out));
  EXPECT_TRUE(out.cut);
  EXPECT_EQ(Split(out).body, "12345");
}

TEST_F(ZqAnsweringCommands, WirelessOffloadIsNotAnEndpointWithoutTls) {
  const Reply r = Control("GET", "command/wirelessOffload/start");
  EXPECT_EQ(r.status_line, "HTTP/1.1 404 Not Found");
  EXPECT_EQ(ErrorOf(r), kZqStatusNotFound);
}

// Webcam answers that need no webcam process: names, refused parameters.
TEST_F(ZqAnsweringCommands, WebcamAnswersWithoutAnExchange) {
  ASSERT_TRUE(zqsim::StatusJournalClear());
  struct Row {
    const char* target;
    const char* status_line;
    const char* body;
  };
  const Row legacy[] = {
      {"/zq/zqWebcam/start", "HTTP/1.1 404 Not Found", "{}\n"},  // names are upper case
      // The version's body is the webcam library's unit test; the name needs no slash.
      {"/zq/zqWebcamVERSION", "HTTP/1.1 200 OK", nullptr},
      {"/zq/zqWebcam/START?res=480&fov=2", "HTTP/1.1 403 Forbidden",
       "{\n\t\"status\": -1,\n\t\"error\": 6\n}\n\n"},
  };
  for (const Row& r : legacy) {
    const Reply reply = Serve(zqWebcam, ZqFakeRequest("GET", r.target));
    EXPECT_EQ(reply.status_line, r.status_line) << r.target;
    if (r.body != nullptr) {
      EXPECT_EQ(reply.body, r.body) << r.target;
    }
  }
  struct OpenRow {
    const char* sub_path;
    const char* target;
    const char* status_line;
    const char* body;
  };
  const OpenRow open_api[] = {
      {"preview", "/tavro/webcam/preview?res=12", "HTTP/1.1 400 Bad Request", "{}"},
      {"settings", "/tavro/webcam/settings", "HTTP/1.1 404 Not Found", "{}\n"},
      {"start", "/tavro/webcam/start?res=12&fov=2", "HTTP/1.1 500 Internal Server Error",
       "{\n\t\"status\": 0,\n\t\"error\": 7\n}\n"},
  };
  for (const OpenRow& r : open_api) {
    ZqFakeRequest request("GET", r.target);
    ZqCapture out;
    zq_write_answer(zqwebcam_openapi(r.sub_path, request, nullptr), false, out);
    const Reply reply = Split(out);
    EXPECT_EQ(reply.status_line, r.status_line) << r.target;
    EXPECT_EQ(reply.body, r.body) << r.target;
  }
  // None of them wrote a command word or a client address.
  EXPECT_EQ(zqtest::ReadFile(zqsim::StatusJournalPath()), "");
}

}  // namespace
