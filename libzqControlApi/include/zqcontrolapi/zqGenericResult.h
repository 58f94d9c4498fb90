// The generic result message (ResponseGeneric: field 1, a required EnumResultGeneric) that the
// network daemon answers the suspend and resume values with, decoded with protobuf-c.
#ifndef ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQGENERICRESULT_H_
#define ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQGENERICRESULT_H_

#include <cstdint>
#include <span>

inline constexpr int32_t kZqResultSuccess = 1;  // RESULT_SUCCESS

// Decodes `bytes`. False when they are not such a message (the required result missing, or
// malformed); `*result` then stays as it was.
bool zq_generic_result_decode(std::span<const uint8_t> bytes, int32_t* result);

#endif  // ZQ_LIBZQCONTROLAPI_INCLUDE_ZQCONTROLAPI_ZQGENERICRESULT_H_
