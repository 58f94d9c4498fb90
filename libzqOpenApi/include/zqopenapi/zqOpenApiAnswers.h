// Bodies and conversions of the Open API's camera endpoints that need more than an empty
// JSON object: the settings filter's refusals, the version, and the date and time in both
// directions. Pure functions: they call nothing and return status codes and text.
#ifndef ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQOPENAPIANSWERS_H_
#define ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQOPENAPIANSWERS_H_

#include <cstdint>
#include <string>
#include <vector>

// The empty JSON object most answers carry.
inline constexpr char kZqoaEmptyBody[] = "{}\n";

// A status and a body.
struct ZqoaAnswer {
  int status = 500;
  std::string body;
};

// Bodies are built into a 4,096-byte buffer with its terminator on the camera: longer ones
// are refused.
inline constexpr size_t kZqoaResponseBufferSize = 4096;

// The setting endpoint's answer while the camera shuts down (status command result -103).
inline constexpr char kZqoaShutdownPendingBody[] =
    "{\n    \"state\":{\n        \"shutdown_pending\":true\n    }\n}\n";

// One option of a settings filter verdict.
struct ZqoaOption {
  int32_t id;
  std::string name;
  bool valid;
};

// The answer to a refused setting: for filter codes 1 to 4, 403 and the explanation
//   1: {"error": 1, "option_id": O, "setting_id": S, "available_options": []}
//   2: {"error": 2, "setting_id": S}
//   3: ... "available_options": [ the valid options as {"display_name": ..., "id": ...} ]
//   4: ... "supported_options": [ the same ]
// laid out over lines with tabs; names are JSON-escaped. Any other code: 500 with "{}\n"
// (code 0 is no refusal: the caller sends the setting). A body longer than the response
// buffer holds gives 500 with "{}\n" rather than a cut, unparsable text.
ZqoaAnswer zqoa_setting_refusal(int32_t code, uint32_t setting, uint32_t option,
                                const std::vector<ZqoaOption>& options);

// {"version" : "<version>"}\n with 200 ("" between the quotes for a null version); 500 with
// "{}\n" when it does not fit the response buffer.
ZqoaAnswer zqoa_version_body(const char* version);

// The bodies of the date and time endpoints' refusals.
inline constexpr char kZqoaMissingDateTimeBody[] =
    "\n{\n    \"error\": \"missing date / time parameter\"\n}\n";
inline constexpr char kZqoaInvalidDateTimeBody[] =
    "\n{\n    \"error\": \"invalid parameter value / format\"\n}\n";
inline constexpr char kZqoaNoParametersBody[] =
    "\n{\n    \"error\": \"expected no parameters\"\n}\n";

// The control API's date and time parameter for the Open API's readable values: `date`
// "YYYY_MM_DD", `time` "HH_MM_SS", `tzone` minutes (null: 32767, no zone), `dst` "0" or "1"
// (null: "0"). Gives "p=%17%4%5%a%14%1e%7fff%0" for 2023_04_05, 10_20_30: each of the eight
// pieces (year - 2000, month, day, hour, minute, second, zone, flag) as "%" and its value cut
// to 16 bits in lower-case hex. False when a piece is missing, empty or not a decimal number,
// or `dst` is neither "0" nor "1" (the invalid-format answer).
bool zqoa_date_time_param(const char* date, const char* time, const char* tzone, const char* dst,
                          std::string* param);

// The body for the 10-byte date and time record of the control service (year u16, month, day,
// hour, minute, second, zone i16 unaligned, daylight-saving flag; little-endian):
// {"date": "2023_04_05", "time": "09_07_03", "tzone": 60, "dst": 0} laid out over lines.
std::string zqoa_date_time_body(const uint8_t record[10]);

#endif  // ZQ_LIBZQOPENAPI_INCLUDE_ZQOPENAPI_ZQOPENAPIANSWERS_H_
