// Reading the parameters of control commands.
//
// Parameters are looked up and their decimal numbers read through zqcontrolapi/zqQuery.h; what
// is here is what only the camera commands need: widths, hexadecimal fields, setting paths.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROLPARAMS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROLPARAMS_H_

#include <cstdint>
#include <string_view>

// Whether `value` fits a parameter of `width` bytes (1, 2 or 4): unsigned values up to
// 2^(8 width) - 1; signed values from -2^(8 width - 1) up to the same top, so that both the
// signed and the unsigned reading of the field are accepted.
bool zqc_fits_unsigned(uint32_t value, int width);
bool zqc_fits_signed(int32_t value, int width);

// Reads `count` hexadecimal fields, each introduced by "%" ("%0e%0a%1d%0b%15%2c"), of at most
// eight digits each, into `fields` as 32-bit values. Returns -1 when the text holds exactly
// those fields, else the index of the first field that could not be read (`count` when text
// follows the last one).
int zqc_read_hex_fields(std::string_view text, int count, int32_t* fields);

// Reads "/<id>/<value>" (signed decimal numbers) as the setting path gives them.
bool zqc_read_setting_path(std::string_view text, int32_t* id, int32_t* value);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROLPARAMS_H_
