// Where the camera keeps a ZQMF block inside a photo: an APP6 segment (FF E6, big-endian
// length) whose payload begins with "Tavro" and a zero byte; the rest of the segment is the
// block, so a block holds at most 65,527 bytes. (Recordings carry theirs in a telemetry track
// and the user data's ZQMF atom, read through the MP4 library: see the timeline's
// ZQMFAssetSourceMP4Reader.)
//
// Results: ZQMF_OK; ZQMF_ERROR_FIND when the file has no block; ZQMF_ERROR_BAD_STRUCTURE for
// a damaged file; ZQMF_ERROR_MEMORY for bad arguments or unreadable files.
#ifndef ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFCONTAINERS_H_
#define ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFCONTAINERS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zqmf/zqmfParser.h"

inline constexpr size_t kZqmfJpegBlockMax = 65535 - 2 - 6;

// The block inside a JPEG held in memory: its offset and length. Stops at the start of scan.
ZQMF_ERROR zqmf_jpeg_find_block(const uint8_t* jpeg, size_t size, size_t* offset, size_t* length);
// The same from a file, reading only segment headers and the block.
ZQMF_ERROR zqmf_jpeg_read_block(const char* path, std::vector<uint8_t>* block);
// `jpeg` with `block` in an APP6 segment after the leading application segments (replacing an
// existing camera block).
ZQMF_ERROR zqmf_jpeg_insert_block(const uint8_t* jpeg, size_t size, const uint8_t* block,
                                  size_t blockSize, std::vector<uint8_t>* out);

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFCONTAINERS_H_
