// Reading the parameters of control commands.
//
// A command's parameters are the request's query text, undecoded: key=value pairs separated
// by "&", looked up by their key including its "=" ("p="). Numbers are decimal and written
// with digits only (a leading "-" for signed values); anything else, an empty value, or a
// number outside 32 bits is unreadable. A key given twice is refused rather than guessed at.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROLPARAMS_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQCONTROL_ZQCONTROLPARAMS_H_

#include <cstdint>
#include <string>
#include <string_view>

enum class ZqcParam : uint8_t { kAbsent, kFound, kRepeated };

// Looks `key` up in `params` (nullptr counts as empty); on kFound `*value` holds its text.
ZqcParam zqc_param(const char* params, const char* key, std::string* value);

// Decimal readers; false leaves `*out` alone.
bool zqc_read_unsigned(std::string_view text, uint32_t* out);
bool zqc_read_signed(std::string_view text, int32_t* out);

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
