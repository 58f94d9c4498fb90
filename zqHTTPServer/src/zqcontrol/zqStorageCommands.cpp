#include "zqcontrol/zqStorageCommands.h"

#include <string>

#include "zqcommon/zqErrors.h"
#include "zqcontrolapi/zqCommand.h"
#include "zqcontrolapi/zqStorage.h"
#include "zqcontrolapi/zqTranscode.h"

namespace {

// A command whose success answer is a body: the body into the response buffer.
int32_t Answer(int32_t status, const std::string& body, char* response, uint16_t size) {
  if (status != ZQ_OK) return status;
  return zq_answer_into(body, response, size, ZqNoRoom::kTooLong);
}

}  // namespace

int32_t handle_tag_playback(const char* params, char*, uint16_t) { return zq_storage_tag(params); }
int32_t handle_delete(const char* params, char*, uint16_t) {
  return zq_storage_delete(params, false);
}
int32_t handle_delete_group(const char* params, char*, uint16_t) {
  return zq_storage_delete(params, true);
}
// Needs the request's method and body (GET: zq_delete_list_state; POST: the "filelist" form
// value to zq_delete_list_send): built on the request context of the HTTP layer.
int32_t handle_delete_list(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }

int32_t handle_transcode_history(const char*, char* response, uint16_t size) {
  std::string body;
  const int32_t status = zq_transcode_history(&body);
  return Answer(status, body, response, size);
}
// A refused job is answered with an error document the handler writes itself: built on the
// answer value of the HTTP layer (zq_transcode_video_to_video / _photo_to_video report it).
int32_t handle_transcode_video_to_video(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_transcode_photo_to_video(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
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
