#include "zqmftimeline/ZQMFAssetSourceGlobalBuffer.h"

#include <cstring>

#include "ZQMFPayloadWords.h"
#include "zqmf/zqmfParser.h"

ZQMF_LIB_ERROR ZQMFAssetSourceGlobalBuffer::GetPayload(uint32_t index, std::vector<uint32_t>* words,
                                                       uint32_t* bytes) const {
  if (index >= GetNumberPayloads()) return ZQMF_LIB_ERROR_NO_SAMPLE;
  return ZQMFCopyToWords(bytes_, size_, words, bytes);
}

uint32_t ZQMFAssetSourceGlobalBuffer::GetPayloadSize(uint32_t index) const {
  return index < GetNumberPayloads() ? static_cast<uint32_t>(size_) : 0;
}

ZQMF_LIB_ERROR ZQMFAssetSourceGlobalBuffer::Modify(uint32_t key, uint32_t type, uint32_t structSize,
                                                   uint32_t repeat, const void* data) {
  if (writable_ == nullptr) return ZQMF_ERROR_MEMORY;
  // The caller's bytes need not be aligned: work on an aligned copy and write it back.
  std::vector<uint32_t> words;
  uint32_t bytes = 0;
  if (ZQMF_LIB_ERROR r = ZQMFCopyToWords(bytes_, size_, &words, &bytes); r != ZQMF_LIB_OK) {
    return r;
  }
  ZQMF_stream ms;
  if (ZQMF_ERROR r = ZQMF_Init(&ms, words.data(), bytes); r != ZQMF_OK) return r;
  const ZQMF_ERROR r = ZQMF_Modify(&ms, key, key, type, structSize, repeat, data);
  if (r == ZQMF_OK) memcpy(writable_, words.data(), size_);
  return r;
}
