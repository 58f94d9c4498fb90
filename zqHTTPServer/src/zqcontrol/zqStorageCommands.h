// Storage commands of the control interface: deleting files, groups and lists, tagging moments
// in recorded media, and transcode jobs.
//
// Command handlers in the form of the control registry (zqCameraCommands.h): thin calls into the
// control API library (libzqControlApi). The delete list (its method and form body) and the two
// transcode requests (a refused job is answered with a 400 error document) make answers of their
// own from the request.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQSTORAGECOMMANDS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQSTORAGECOMMANDS_H_

#include <cstdint>

#include "http/zqAnswer.h"
#include "http/zqRequest.h"

int32_t handle_tag_playback(const char* params, char* response, uint16_t response_size);
int32_t handle_delete(const char* params, char* response, uint16_t response_size);
int32_t handle_delete_group(const char* params, char* response, uint16_t response_size);
ZqAnswer handle_delete_list(const char* params, ZqRequest& request);
int32_t handle_transcode_history(const char* params, char* response, uint16_t response_size);
ZqAnswer handle_transcode_video_to_video(const char* params, ZqRequest& request);
ZqAnswer handle_transcode_photo_to_video(const char* params, ZqRequest& request);
int32_t handle_transcode_status(const char* params, char* response, uint16_t response_size);
int32_t handle_transcode_cancel(const char* params, char* response, uint16_t response_size);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQSTORAGECOMMANDS_H_
