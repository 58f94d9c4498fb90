// Drains FileBuffers into a file. Results are the kFileWriter* codes of FileIOResults.h:
// 0, 1 create failed, 2 not open for writing, 4 write error or a size larger than the
// buffer's data, 6 allocation failed.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEWRITER_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEWRITER_H_

#include <cstdint>

class FileBuffer;

class FileWriter {
 public:
  FileWriter() = default;
  virtual ~FileWriter();
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;

  virtual uint32_t Create(const char* path) = 0;
  // Writes the first `size` data bytes of `buffer` (from its data offset).
  virtual uint32_t Write(FileBuffer& buffer, uint64_t size) = 0;
  // Every writer here is synchronous: 0.
  virtual uint32_t Wait(FileBuffer& buffer);
  virtual uint32_t Close() = 0;
  virtual int64_t GetFilePos() = 0;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_FILEWRITER_H_
