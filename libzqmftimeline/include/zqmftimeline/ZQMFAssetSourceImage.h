// The ZQMF of a still image: the camera's block in a JPEG (see zqmf/zqmfContainers.h), one
// payload without time.
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEIMAGE_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEIMAGE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "zqmftimeline/ZQMFTimelineTypes.h"

class ZQMFAssetSourceImage {
 public:
  virtual ~ZQMFAssetSourceImage() = default;

  // Reads the image's block: 0, ZQMF_LIB_ERROR_NO_SAMPLE when it has none, or a parser code
  // for a damaged or unreadable file.
  virtual ZQMF_LIB_ERROR ParseJPEG(const std::string& path) = 0;

  uint32_t GetNumberPayloads() const { return block_.empty() ? 0 : 1; }
  ZQMF_LIB_ERROR GetPayload(uint32_t index, std::vector<uint32_t>* words, uint32_t* bytes) const;
  uint32_t GetPayloadSize(uint32_t index) const;
  void CloseSource() { block_.clear(); }

 protected:
  std::vector<uint8_t> block_;
};

class ZQMFAssetSourceJPEGReader final : public ZQMFAssetSourceImage {
 public:
  ZQMF_LIB_ERROR ParseJPEG(const std::string& path) override;
};

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEIMAGE_H_
