// Result codes of the file I/O layer, all unsigned:
//
//   FileIO (file access):      0 success, 1 incomplete transfer, 3 failure.
//   FileReader / FileWriter:   the kFileReader* / kFileWriter* codes below.
//
// Libraries above it (the MP4 library) wrap these in their own result spaces.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEIORESULTS_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEIORESULTS_H_

#include <cstdint>

inline constexpr uint32_t kFIOSuccess = 0;
inline constexpr uint32_t kFIOIncomplete = 1;
inline constexpr uint32_t kFIOFailure = 3;

inline constexpr uint32_t kFileReaderSuccess = 0;
inline constexpr uint32_t kFileReaderNoFile = 1;
inline constexpr uint32_t kFileReaderNotReadable = 2;  // also read-ahead or async read failed
inline constexpr uint32_t kFileReaderReadError = 4;
inline constexpr uint32_t kFileReaderAllocFailed = 6;
inline constexpr uint32_t kFileReaderNoPendingRead = 8;
inline constexpr uint32_t kFileReaderReadPending = 9;
inline constexpr uint32_t kFileReaderShortRead = 10;
inline constexpr uint32_t kFileReaderWorkerWaitFailed = 11;
inline constexpr uint32_t kFileReaderForeignMessage = 12;

inline constexpr uint32_t kFileWriterSuccess = 0;
inline constexpr uint32_t kFileWriterCreateFailed = 1;
inline constexpr uint32_t kFileWriterNotWritable = 2;
inline constexpr uint32_t kFileWriterWriteError = 4;
inline constexpr uint32_t kFileWriterAllocFailed = 6;

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEIORESULTS_H_
