#include "zqcontrol/zqStorageCommands.h"

#include "zqcommon/zqErrors.h"

int32_t handle_tag_playback(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_delete(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_delete_group(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_delete_list(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_transcode_history(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_transcode_video_to_video(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_transcode_photo_to_video(const char*, char*, uint16_t) {
  return ZQ_ERR_NOT_SUPPORTED;
}
int32_t handle_transcode_status(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
int32_t handle_transcode_cancel(const char*, char*, uint16_t) { return ZQ_ERR_NOT_SUPPORTED; }
