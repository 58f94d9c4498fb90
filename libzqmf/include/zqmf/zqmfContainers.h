// Where the camera keeps ZQMF blocks inside its media files.
//
// JPEG: an APP6 segment (FF E6, big-endian length) whose payload begins with "Tavro" and a
// zero byte; the rest of the segment is the block, so a block holds at most 65,527 bytes.
//
// MP4: the payload of the "ZQMF" atom inside the movie's user data (moov/udta/ZQMF). The
// functions here walk just the few boxes on that path; they serve the command-line tool and
// the simulated card until the MP4 library's reader and writer carry user data.
//
// Results: ZQMF_OK; ZQMF_ERROR_FIND when the file has no block; ZQMF_ERROR_BAD_STRUCTURE for
// a damaged file or one the block cannot be added to; ZQMF_ERROR_MEMORY for bad arguments,
// unreadable or unwritable files.
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

// The payload of moov/udta/ZQMF of the MP4 at `path`.
ZQMF_ERROR zqmf_mp4_read_udta_block(const char* path, std::vector<uint8_t>* block);
// Adds moov/udta/ZQMF to the MP4 at `path`, in place: into the "free" box that follows the
// movie atom (ffmpeg's -moov_size leaves one), or at the end when the movie atom is last, so
// that no sample offset moves. A file that already has the atom is refused.
ZQMF_ERROR zqmf_mp4_add_udta_block(const char* path, const uint8_t* block, size_t blockSize);

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMFCONTAINERS_H_
