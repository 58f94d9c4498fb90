#include "zqfileio/SyncFileReader.h"

#include "zqfileio/FileBuffer.h"
#include "zqfileio/FileIO.h"
#include "zqfileio/FileIOResults.h"

SyncFileReader::SyncFileReader(const char* path) {
  if (path != nullptr) Open(path);
}

SyncFileReader::SyncFileReader(FileIO* fileIO) { Open(fileIO); }

SyncFileReader::~SyncFileReader() { Close(); }

uint32_t SyncFileReader::Read(FileBuffer& buffer, int64_t position, uint64_t size) {
  uint32_t check = CheckReadable();
  if (check != 0) return check;
  if (position < 0) return kFileReaderReadError;
  BlockSpan span = SpanOf(position, size);
  uint32_t prepared = PrepareBuffer(buffer, span, size);
  if (prepared != 0) return prepared;
  uint64_t got = 0;
  uint32_t result = fileIO_->read(buffer.Memory(), span.fullSize, &got, span.alignedPosition);
  if (result != kFIOSuccess && result != kFIOIncomplete) return kFileReaderReadError;
  // A block-level FileIO may call a read that ended inside its last block complete; what
  // counts here is whether the requested bytes themselves arrived.
  if (got < span.inBlock + size) {
    buffer.SetDataSize(got > span.inBlock ? got - span.inBlock : 0);
    return kFileReaderShortRead;
  }
  return 0;
}

uint32_t SyncFileReader::Wait(FileBuffer&) { return 0; }
