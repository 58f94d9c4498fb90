#include "zqfileio/StdOutFileWriter.h"

#include <unistd.h>

#include <cerrno>

#include "zqfileio/FileBuffer.h"
#include "zqfileio/FileIO.h"
#include "zqfileio/FileIOResults.h"

uint32_t StdOutFileWriter::Create(const char*) { return 0; }

uint32_t StdOutFileWriter::Close() { return 0; }

uint32_t StdOutFileWriter::Write(FileBuffer& buffer, uint64_t size) {
  if (size > buffer.DataSize()) return kFileWriterWriteError;
  if (target_ != nullptr) {
    if (target_->write(buffer.Data(), size) != 0) return kFileWriterWriteError;
    written_ += size;
    return 0;
  }
  const uint8_t* p = buffer.Data();
  uint64_t left = size;
  while (left > 0) {
    ssize_t n = ::write(STDOUT_FILENO, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    p += n;
    left -= static_cast<uint64_t>(n);
    written_ += static_cast<uint64_t>(n);
  }
  return left == 0 ? 0 : kFileWriterWriteError;
}
