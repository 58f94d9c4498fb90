#include "zqmftimeline/ZQMFAssetSourceImage.h"

#include "ZQMFPayloadWords.h"
#include "zqmf/zqmfContainers.h"

ZQMF_LIB_ERROR ZQMFAssetSourceImage::GetPayload(uint32_t index, std::vector<uint32_t>* words,
                                                uint32_t* bytes) const {
  if (index >= GetNumberPayloads()) return ZQMF_LIB_ERROR_NO_SAMPLE;
  return ZQMFCopyToWords(block_.data(), block_.size(), words, bytes);
}

uint32_t ZQMFAssetSourceImage::GetPayloadSize(uint32_t index) const {
  return index < GetNumberPayloads() ? static_cast<uint32_t>(block_.size()) : 0;
}

ZQMF_LIB_ERROR ZQMFAssetSourceJPEGReader::ParseJPEG(const std::string& path) {
  block_.clear();
  const ZQMF_ERROR r = zqmf_jpeg_read_block(path.c_str(), &block_);
  if (r == ZQMF_ERROR_FIND || (r == ZQMF_OK && block_.empty())) return ZQMF_LIB_ERROR_NO_SAMPLE;
  return r;
}
