// A writer over a plain FileIO that it owns.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_SYNCFILEWRITER_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_SYNCFILEWRITER_H_

#include "zqfileio/FileIO.h"
#include "zqfileio/FileWriter.h"

class SyncFileWriter final : public FileWriter {
 public:
  // Creates or truncates `path`.
  uint32_t Create(const char* path) override;
  uint32_t Write(FileBuffer& buffer, uint64_t size) override;
  // Writes at `position` from the start of the file.
  uint32_t Write(FileBuffer& buffer, int64_t position, uint64_t size);
  uint32_t Close() override;
  int64_t GetFilePos() override { return file_.getFilePointerOffset(); }

 private:
  FileIO file_;
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_SYNCFILEWRITER_H_
