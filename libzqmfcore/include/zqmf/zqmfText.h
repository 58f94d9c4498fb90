// Text forms of ZQMF values, shared by the command-line dump and the timeline's export.
#ifndef ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFTEXT_H_
#define ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFTEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>

// Appends the element of type `type` stored in host order at `p`: integers in decimal,
// floats as the shortest text that reads back the same value, four-character codes ('F') as
// a quoted string, other bytes ('G', 'U', 'q', 'Q', 'u') as a quoted hex string. With `json`
// a value that is not a finite number is written null (else "nan", "inf", "-inf").
void zqmf_format_element(std::string* out, const uint8_t* p, uint32_t type, bool json);

// Appends up to `n` characters (ending at the first NUL) as a quoted JSON string.
void zqmf_format_text(std::string* out, const char* text, size_t n);

// The key word (ZQMF_Key4CC) as four characters, with anything unprintable shown as '.'.
std::string zqmf_key_text(uint32_t key);

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFTEXT_H_
