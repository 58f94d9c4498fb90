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

// Camera identity as one record (zqcontrol_get_camera_info).
struct zqcontrol_camera_info {
  uint8_t model_number;
  char model_name[kZqcTextSize];
  char firmware_version[kZqcTextSize];
  char serial_number[kZqcTextSize];
  char board_type[kZqcTextSize];
  char ap_mac[kZqcTextSize];
  char ap_ssid[kZqcTextSize];
  bool ap_has_default_credentials;
  uint32_t common_camera_features;
};

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

// HTTP text helpers: each appends to `stream`.
void http_output_success_header(std::string& stream);            // 200 head, JSON type
void http_output_content_length(std::string& stream, size_t n);  // length and blank line
void http_output_empty_json(std::string& stream);                // whole 200 answer "{}"
// A whole error answer with status line `http_status` (e.g. "400 Bad Request\r\n") and a
// JSON body naming the path, parameters, error code, detail, function and line.
void http_print_error_response_ex(std::string& stream, const char* path, const char* params,
                                  const char* http_status, int32_t err, const char* detail,
                                  const char* function, int line);

// Finds `key` (including its "=", e.g. "p=") at the start of a parameter of the query text
// `params` and stores the raw, undecoded text up to the next "&". False when absent.
bool parseParam(const char* params, const char* key, std::string& value);

// Percent-decodes `text` ("+" stays "+").
std::string urlDecode(const char* text);

// Appends printf-formatted text to `s`.
void ss_printf(std::string& s, const char* format, ...) __attribute__((format(printf, 2, 3)));

#endif  // ZQ_PLATFORM_INCLUDE_ZQCTRLD_H_
