// Copies payload bytes into word storage, so that the parser always gets an aligned buffer.
#ifndef ZQ_LIBZQMFTIMELINE_SRC_ZQMFPAYLOADWORDS_H_
#define ZQ_LIBZQMFTIMELINE_SRC_ZQMFPAYLOADWORDS_H_

#include <cstdint>
#include <cstring>
#include <vector>

#include "zqmftimeline/ZQMFTimelineTypes.h"

inline ZQMF_LIB_ERROR ZQMFCopyToWords(const uint8_t* bytes, size_t size,
                                      std::vector<uint32_t>* words, uint32_t* copied) {
  if (words == nullptr || copied == nullptr || size > UINT32_MAX - 3) return 1;
  words->assign((size + 3) / 4, 0);
  if (size != 0) memcpy(words->data(), bytes, size);
  *copied = static_cast<uint32_t>(size);
  return ZQMF_LIB_OK;
}

#endif  // ZQ_LIBZQMFTIMELINE_SRC_ZQMFPAYLOADWORDS_H_
