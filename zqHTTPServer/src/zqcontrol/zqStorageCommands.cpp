#include "zqcontrol/zqStorageCommands.h"

#include <string>

#include "http/zqResponse.h"
#include "zqCtrlD.h"
#include "zqcommon/zqErrors.h"
#include "zqcontrol/zqControl.h"
#include "zqcontrolapi/zqCommand.h"
#include "zqcontrolapi/zqStorage.h"
#include "zqcontrolapi/zqTranscode.h"

namespace {

// A command whose success answer is a body: the body into the response buffer.
int32_t Answer(int32_t status, const std::string& body, char* response, uint16_t size) {
  if (status != ZQ_OK) return status;
  return zq_answer_into(body, response, size, ZqNoRoom::kTooLong);
}

// The request body of a form, at most kZqDeleteListBodyMax bytes: a longer one (by its
// Content-Length, or by what arrives) is ZQ_ERR_INVALID_PARAM, a failed read ZQ_ERR.
int32_t ReadForm(ZqRequest& request, std::string* form) {
  if (request.ContentLength() >= static_cast<int64_t>(kZqDeleteListBodyMax)) {
    return ZQ_ERR_INVALID_PARAM;
  }
  char buf[4096];
  long n;
  while ((n = request.Read(buf, sizeof buf)) > 0) {
    form->append(buf, static_cast<size_t>(n));
    if (form->size() > kZqDeleteListBodyMax) return ZQ_ERR_INVALID_PARAM;
  }
  return n < 0 ? ZQ_ERR : ZQ_OK;
}

}  // namespace

int32_t handle_tag_playback(const char* params, char*, uint16_t) { return zq_storage_tag(params); }
int32_t handle_delete(const char* params, char*, uint16_t) {
  return zq_storage_delete(params, false);
}
int32_t handle_delete_group(const char* params, char*, uint16_t) {
  return zq_storage_delete(params, true);
}
ZqAnswer handle_delete_list(const char* params, ZqRequest& request) {
  constexpr char kPath[] = "command/storage/delete/list";
  std::string body;
  int32_t status = ZQ_OK;
  if (request.Method() == "GET") {
    status = zq_delete_list_state(&body);
  } else if (request.Method() == "POST") {
    std::string form;
    std::string filelist;
    status = ReadForm(request, &form);
    if (status == ZQ_OK && !zq_delete_list_form_value(form, &filelist)) {
      status = ZQ_ERR_INVALID_PARAM;
    }
    if (status == ZQ_OK) status = zq_delete_list_send(filelist);
  }
  return zqcontrol_status_answer(kPath, params, status, body);
}

int32_t handle_transcode_history(const char*, char* response, uint16_t size) {
  std::string body;
  const int32_t status = zq_transcode_history(&body);
  return Answer(status, body, response, size);
}
namespace {

using TranscodeRequest = int32_t (*)(const char* query, std::string* body, bool* refused);

ZqAnswer Transcode(const char* path, const char* name, TranscodeRequest send, const char* params) {
  std::string body;
  bool refused = false;
  const int32_t status = send(params, &body, &refused);
  if (refused) {
    return zqcontrol_error_answer(name, params, 400, status, "transcode request failed", name,
                                  __LINE__);
  }
  return zqcontrol_status_answer(path, params, status, body);
}

}  // namespace

ZqAnswer handle_transcode_video_to_video(const char* params, ZqRequest&) {
  return Transcode("command/transcode/video_to_video", "transcode_video_to_video",
                   zq_transcode_video_to_video, params);
}
ZqAnswer handle_transcode_photo_to_video(const char* params, ZqRequest&) {
  return Transcode("command/transcode/photo_to_video", "transcode_photo_to_video",
                   zq_transcode_photo_to_video, params);
}
int32_t handle_transcode_status(const char* params, char* response, uint16_t size) {
  std::string body;
  const int32_t status = zq_transcode_status(params, false, &body);
  return Answer(status, body, response, size);
}
int32_t handle_transcode_cancel(const char* params, char* response, uint16_t size) {
  std::string body;
  const int32_t status = zq_transcode_status(params, true, &body);
  return Answer(status, body, response, size);
}
