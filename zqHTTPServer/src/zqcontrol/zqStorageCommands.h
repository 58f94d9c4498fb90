// Storage commands of the control interface: deleting files, groups and lists, tagging moments
// in recorded media, and transcode jobs.
//
// Command handlers in the form of the control registry (zqCameraCommands.h): thin calls into the
// control API library (libzqControlApi). Those that need the request itself (its method, body or
// TLS) or write answers of their own still answer ZQ_ERR_NOT_SUPPORTED, reported as a bad request.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQSTORAGECOMMANDS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQSTORAGECOMMANDS_H_

#include <cstdint>

int32_t handle_tag_playback(const char* params, char* response, uint16_t response_size);
int32_t handle_delete(const char* params, char* response, uint16_t response_size);
int32_t handle_delete_group(const char* params, char* response, uint16_t response_size);
int32_t handle_delete_list(const char* params, char* response, uint16_t response_size);
int32_t handle_transcode_history(const char* params, char* response, uint16_t response_size);
int32_t handle_transcode_video_to_video(const char* params, char* response, uint16_t response_size);
int32_t handle_transcode_photo_to_video(const char* params, char* response, uint16_t response_size);
int32_t handle_transcode_status(const char* params, char* response, uint16_t response_size);
int32_t handle_transcode_cancel(const char* params, char* response, uint16_t response_size);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQSTORAGECOMMANDS_H_
