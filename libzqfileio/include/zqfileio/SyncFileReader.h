// The FileReader that reads on the calling thread: Read has finished when it returns.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_SYNCFILEREADER_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_SYNCFILEREADER_H_

#include "zqfileio/FileReader.h"

class SyncFileReader final : public FileReader {
 public:
  SyncFileReader() = default;
  // Opens `path` (when non-null) through an owned FileIO; check fileIO() for the outcome.
  explicit SyncFileReader(const char* path);
  // Reads through `fileIO`, which stays the caller's.
  explicit SyncFileReader(FileIO* fileIO);
  ~SyncFileReader() override;

  // 0 when every requested byte arrived; 10 when the file ended first (the buffer's data size
  // is then the bytes that did arrive); 4 on a read error.
  uint32_t Read(FileBuffer& buffer, int64_t position, uint64_t size) override;
  uint32_t Wait(FileBuffer& buffer) override;  // 0
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_SYNCFILEREADER_H_
