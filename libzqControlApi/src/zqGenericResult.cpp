#include "zqcontrolapi/zqGenericResult.h"

#include "generic/response_generic.pb-c.h"

bool zq_generic_result_decode(std::span<const uint8_t> bytes, int32_t* result) {
  Generic__ResponseGeneric* message =
      generic__response_generic__unpack(nullptr, bytes.size(), bytes.data());
  if (message == nullptr) return false;
  *result = message->result;
  generic__response_generic__free_unpacked(message, nullptr);
  return true;
}
