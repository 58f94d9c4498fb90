#include "zqfileio/SyncFileWriter.h"

#include "zqfileio/FileBuffer.h"
#include "zqfileio/FileIOResults.h"

uint32_t SyncFileWriter::Create(const char* path) {
  return file_.openWrite(path, kFIOWriteTruncate) == 0 ? 0 : kFileWriterCreateFailed;
}

uint32_t SyncFileWriter::Write(FileBuffer& buffer, uint64_t size) {
  if (!file_.canWrite()) return kFileWriterNotWritable;
  if (size > buffer.DataSize()) return kFileWriterWriteError;
  return file_.write(buffer.Data(), size) == 0 ? 0 : kFileWriterWriteError;
}

uint32_t SyncFileWriter::Write(FileBuffer& buffer, int64_t position, uint64_t size) {
  if (!file_.canWrite()) return kFileWriterNotWritable;
  if (file_.setFilePointerOffset(position, kFIOFromStart) != 0) return kFileWriterWriteError;
  return Write(buffer, size);
}

uint32_t SyncFileWriter::Close() { return file_.close(); }
