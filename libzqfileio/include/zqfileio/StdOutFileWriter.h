// The writer of streamed output: bytes go to an explicit target FileIO (an HTTP chunked
// response, for one) or, without one, to standard output. Strictly sequential: its position
// is the count of bytes written, and it offers no positioned write.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_STDOUTFILEWRITER_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_STDOUTFILEWRITER_H_

#include "zqfileio/FileWriter.h"

class FileIO;

class StdOutFileWriter final : public FileWriter {
 public:
  // `target` (may be null) is borrowed and must outlive the writer.
  void SetExplicitFilePointer(FileIO* target) { target_ = target; }

  uint32_t Create(const char* path) override;  // 0
  uint32_t Write(FileBuffer& buffer, uint64_t size) override;
  uint32_t Close() override;  // 0
  int64_t GetFilePos() override { return static_cast<int64_t>(written_); }

 private:
  uint64_t written_ = 0;
  FileIO* target_ = nullptr;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_STDOUTFILEWRITER_H_
