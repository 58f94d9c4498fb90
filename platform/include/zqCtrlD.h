// Contract of the camera's control-service client library.
//
// Calls are synchronous and may be made from any thread; the daemon serialises control
// requests itself. Status results are 0 for success or a negative ZQ_ERR_* code. Text
// "streams" are std::string buffers that the helpers append to.
#ifndef ZQ_PLATFORM_INCLUDE_ZQCTRLD_H_
#define ZQ_PLATFORM_INCLUDE_ZQCTRLD_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Size of the identity texts the zqc_state_get_* calls fill.
inline constexpr size_t kZqcTextSize = 256;

// Command numbers of the control service. Parameter and reply records are little-endian; their
// layouts are given where the daemon sends them.
enum ZqcCommand : uint32_t {
  ZQCONTROL_SHUTTER = 3,
  ZQCONTROL_MODE = 4,
  ZQCONTROL_SUB_MODE = 5,
  ZQCONTROL_DATE_TIME = 6,
  ZQCONTROL_TAG_MOMENT = 7,
  ZQCONTROL_TAG_PLAYBACK = 8,
  ZQCONTROL_DELETE_FILE = 9,
  ZQCONTROL_DELETE_LAST = 10,
  ZQCONTROL_DELETE_GROUP = 11,
  ZQCONTROL_DELETE_ALL = 12,
  ZQCONTROL_FWUPDATE_START = 13,
  ZQCONTROL_FWUPDATE_CANCEL = 14,
  ZQCONTROL_FWUPDATE_DONE = 15,
  ZQCONTROL_AP_CONTROL = 16,
  ZQCONTROL_AP_CONFIG = 17,
  ZQCONTROL_BAND_SELECT = 18,
  ZQCONTROL_SSID_SCAN = 19,
  ZQCONTROL_SSID_LIST = 20,
  ZQCONTROL_SSID_SAVE = 21,
  ZQCONTROL_SSID_SELECT = 22,
  ZQCONTROL_SSID_DELETE = 23,
  ZQCONTROL_RC_PAIR = 25,
  ZQCONTROL_RC_PAIR_CANCEL = 26,
  ZQCONTROL_VIDEO_PROMODE_RESET = 27,
  ZQCONTROL_PHOTO_PROMODE_RESET = 28,
  ZQCONTROL_MULTI_PROMODE_RESET = 29,
  ZQCONTROL_SETTING = 30,
  ZQCONTROL_CAMERA_STATE = 33,  // reply: 394-byte camera state record
  ZQCONTROL_STATUS = 34,        // reply: all_status_settings_t
  ZQCONTROL_SHUTDOWN = 35,
  ZQCONTROL_SLEEP = 36,
  ZQCONTROL_LOCATE = 37,
  ZQCONTROL_FACTORY_RESET = 38,
  ZQCONTROL_ANALYTICS_PREPARE = 39,
  ZQCONTROL_ANALYTICS_CLEAR = 40,
  ZQCONTROL_DEBUG_LEVEL = 42,
  ZQCONTROL_NOTIFICATIONS = 43,
  ZQCONTROL_TRANSCODE_HISTORY = 44,
  ZQCONTROL_TRANSCODE_PHOTO_TO_VIDEO = 45,
  ZQCONTROL_TRANSCODE_VIDEO_TO_VIDEO = 46,
  ZQCONTROL_TRANSCODE_STATUS = 49,
  ZQCONTROL_TRANSCODE_CANCEL = 50,
  ZQCONTROL_LIVEVIEW_EXPOSURE = 51,
  ZQCONTROL_SYSTEM_GET_GEOCAL = 60,
  ZQCONTROL_DIGITAL_ZOOM = 61,
  ZQCONTROL_SYSTEM_GET_SHADINGDATA_FILE = 64,
  ZQCONTROL_BLE_CONTROL = 65,
  ZQCONTROL_PHOTO_TIMER = 66,
  ZQCONTROL_SET_MODE = 67,  // 16-bit mode (preset) group
  ZQCONTROL_PROMODE_RESET = 68,
  ZQCONTROL_PRESET_LIST_GROUPS = 70,
  ZQCONTROL_PRESET_LIST_IDS = 71,
  ZQCONTROL_PRESET_GET_INFO = 72,
  ZQCONTROL_PRESET_CUSTOM_CREATE = 73,
  ZQCONTROL_PRESET_CUSTOM_REMOVE = 74,
  ZQCONTROL_PRESET_SET_ORDER = 75,
  ZQCONTROL_PRESET_LOAD = 76,
  ZQCONTROL_PRESET_EDIT_START = 77,
  ZQCONTROL_PRESET_EDIT_CANCEL = 78,
  ZQCONTROL_PRESET_EDIT_STORE = 79,
  ZQCONTROL_PRESET_FACTORY_RESET = 80,
  ZQCONTROL_PRESET_GET_PRESETS = 81,
  ZQCONTROL_PRESET_SWITCH_FLATMODE = 82,
  ZQCONTROL_PRESET_SET_TITLE_ICON = 83,
  ZQCONTROL_ONSCREEN_SHORTCUTS_RESET = 84,
  ZQCONTROL_TIMEWARP_SPEED_RAMP = 85,
  ZQCONTROL_TIMEWARP_SPEED_RAMP_ACTIVE = 86,
  ZQCONTROL_BUTTON_SET = 88,
  ZQCONTROL_SET_IN_CONTEXTUAL_MENU = 90,
  ZQCONTROL_SET_CAMERA_CONTROL_STATUS = 92,
  ZQCONTROL_DELETE_LIST = 93,
  ZQCONTROL_DELETE_LIST_STATE = 94,
  ZQCONTROL_WIRED_USB = 96,
  ZQCONTROL_GET_DATE_TIME = 98,  // reply: the 10-byte date-time record
  ZQCONTROL_BUSY = 100,          // reply: one byte, 0 when the camera is not busy
};

// The camera's settings and status as one record: the reply of ZQCONTROL_STATUS. Its layout
// inside the three parts belongs to the control service; the daemon reads only the
// system-ready byte and hands the parts to the serializers below.
struct camera_settings_t {
  uint8_t data[200];
};
struct camera_status_t {
  uint8_t data[300];
};
struct system_settings_t {
  uint8_t data[134];
};
struct all_status_settings_t {
  camera_settings_t settings;
  camera_status_t status;
  system_settings_t system_settings;
};
static_assert(sizeof(all_status_settings_t) == 634, "the status record is 634 bytes");

// Byte of the status record that is non-zero once the camera is ready for work (streaming,
// media listings); zero while it starts up or changes state.
inline constexpr size_t kZqcSystemReadyOffset = 225;

// Size of the camera state record (reply of ZQCONTROL_CAMERA_STATE), the signed byte at which
// is 1 while digital zoom is available, and the byte that is 1 while the camera is busy.
inline constexpr size_t kZqcCameraStateSize = 394;
inline constexpr size_t kZqcZoomAvailableOffset = 241;
inline constexpr size_t kZqcCameraBusyOffset = 209;

// Camera identity as one record (zqcontrol_get_camera_info). The word at offset 364 holds the
// common camera features (bit 0: the access point is configured without a password).
struct zqcontrol_camera_info {
  uint8_t model_number;
  bool ap_has_default_credentials;
  uint8_t reserved[2];
  char model_name[64];
  char firmware_version[64];
  char serial_number[64];
  char board_type[32];
  char ap_mac[32];
  char ap_ssid[104];
  uint32_t common_camera_features;
};
static_assert(offsetof(zqcontrol_camera_info, common_camera_features) == 364,
              "the features word sits at offset 364");

// Opens and closes the service connection. Every open is closed after use.
int32_t zqcontrol_interface_open();
int32_t zqcontrol_interface_close();
bool is_zqcontrol_interface_open();

// Tags the following commands as coming from the caller `id` (the daemon always passes 1).
void zqcontrol_set_caller_id(int32_t id);

// Sends `command` with `param_len` little-endian parameter bytes (nullptr, 0 when none). On
// status 0, `response` (nullptr, 0 when none) holds up to `response_size` bytes of the reply.
int32_t zqcontrol_send_command_param_response(uint32_t command, const void* param,
                                              uint32_t param_len, void* response,
                                              uint32_t response_size);
// As above, and stores the reply's real size in `*response_len`.
int32_t zqcontrol_send_command_param_response_ex(uint32_t command, const void* param,
                                                 uint32_t param_len, void* response,
                                                 uint32_t response_size, uint16_t* response_len);

int32_t zqcontrol_get_camera_info(zqcontrol_camera_info* info);

// Identity and state queries. Text calls write a zero-terminated text into `text` (`size`
// bytes, normally kZqcTextSize).
int32_t zqc_state_get_model_number(uint8_t* model_number);
int32_t zqc_state_get_model_name(char* text, size_t size);
int32_t zqc_state_get_firmware_version(char* text, size_t size);
int32_t zqc_state_get_serial_number(char* text, size_t size);
int32_t zqc_state_get_board_type(char* text, size_t size);
int32_t zqc_state_get_ap_mac(char* text, size_t size);
int32_t zqc_state_get_ap_ssid(char* text, size_t size);
int32_t zqc_state_get_ap_has_default_credentials(bool* value);
int32_t zqc_state_get_common_camera_features(uint32_t* value);
int32_t zqc_state_get_update_required(uint32_t* value);

// Append the status and the settings of a status record as JSON members to `stream`:
// "\"status\":{...}" and "\"settings\":{...}", each object mapping decimal ids (as strings)
// to values. `model_number` selects which ids the camera model reports.
void camera_status_serialize_status_to_json(std::string& stream,
                                            const all_status_settings_t* record,
                                            uint8_t model_number);
void camera_settings_serialize_to_json(std::string& stream, const camera_settings_t* settings,
                                       const camera_status_t* status,
                                       const system_settings_t* system_settings,
                                       uint8_t model_number);

// Finds `key` (including its "=", e.g. "p=") at the start of a parameter of the query text
// `params` and stores the raw, undecoded text up to the next "&". False when absent.
bool parseParam(const char* params, const char* key, std::string& value);

// Percent-decodes `text` ("+" stays "+").
std::string urlDecode(const char* text);

#endif  // ZQ_PLATFORM_INCLUDE_ZQCTRLD_H_
