// A caller's buffer of ZQMF bytes as a source: one payload without time. The bytes are
// borrowed and must stay valid while the source is used.
#ifndef ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEGLOBALBUFFER_H_
#define ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEGLOBALBUFFER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zqmftimeline/ZQMFTimelineTypes.h"

class ZQMFAssetSourceGlobalBuffer {
 public:
  // `writable` bytes may be changed through Modify.
  ZQMFAssetSourceGlobalBuffer(const void* bytes, size_t size, void* writable)
      : bytes_(static_cast<const uint8_t*>(bytes)), size_(size), writable_(writable) {}

  uint32_t GetNumberPayloads() const { return size_ == 0 ? 0 : 1; }
  ZQMF_LIB_ERROR GetPayload(uint32_t index, std::vector<uint32_t>* words, uint32_t* bytes) const;
  uint32_t GetPayloadSize(uint32_t index) const;

  // Rewrites the record `key` in place (see ZQMF_Modify; `data` in host order). 1 for a
  // read-only buffer.
  ZQMF_LIB_ERROR Modify(uint32_t key, uint32_t type, uint32_t structSize, uint32_t repeat,
                        const void* data);

 private:
  const uint8_t* bytes_;
  size_t size_;
  void* writable_;
};

#endif  // ZQ_LIBZQMFTIMELINE_INCLUDE_ZQMFTIMELINE_ZQMFASSETSOURCEGLOBALBUFFER_H_
