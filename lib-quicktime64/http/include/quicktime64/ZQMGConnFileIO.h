// A write-only FileIO that sends every byte written to it as one chunk of an HTTP chunked
// response, so that an MP4 built by the library streams to a client as it is produced.
//
// The output is strictly sequential: a positioned write is accepted only at the current
// offset (the number of bytes sent so far), and the only seek accepted is "from the start to
// the current offset". Reads, sizes and opens for reading are refused. Every refusal is
// logged and returns 3.
//
// Either the creator starts the chunked response (http_start_chunked_stream) before handing
// the object to a writer, or it passes `kStartOnFirstWrite` and the head goes out with the
// first bytes: a writer that fails before writing anything then leaves the connection free
// for an error answer (headSent() tells). The destructor ends a started stream with the
// last, empty chunk, unless the stream was abandoned (Abandon, or a failed write): a stream
// that fails midway must not look complete, so its owner closes the connection instead. Not
// thread safe; the connection is borrowed and must outlive the object.
#ifndef ZQ_LIB_QUICKTIME64_HTTP_INCLUDE_QUICKTIME64_ZQMGCONNFILEIO_H_
#define ZQ_LIB_QUICKTIME64_HTTP_INCLUDE_QUICKTIME64_ZQMGCONNFILEIO_H_

#include <cstdint>

#include "quicktime64/FileIO.h"

struct mg_connection;

class ZQMGConnFileIO final : public FileIO {
 public:
  enum Head { kHeadSent, kStartOnFirstWrite };

  // Open for writing at offset 0.
  explicit ZQMGConnFileIO(mg_connection* connection, Head head = kHeadSent);
  ~ZQMGConnFileIO() override;

  uint32_t openRead(const char* path) override;
  uint32_t openWrite(const char* path, uint32_t style) override;  // 0, does nothing
  uint32_t openReadWrite(const char* path, uint32_t style) override;
  uint32_t close() override;
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead) override;
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead,
                int64_t offsetFromStart) override;
  uint32_t write(const void* buffer, uint64_t length) override;
  uint32_t write(const void* buffer, uint64_t length, int64_t offsetFromStart) override;
  int64_t getFilePointerOffset() override;
  uint32_t setFilePointerOffset(int64_t offset, uint32_t method) override;
  uint32_t getFileSize(int64_t* size) override;

  // The stream will not be ended with the last chunk.
  void Abandon() { abandoned_ = true; }
  bool abandoned() const { return abandoned_; }
  uint64_t bytesWritten() const { return written_; }
  bool headSent() const { return headSent_; }

 private:
  mg_connection* connection_;
  uint64_t written_ = 0;
  bool abandoned_ = false;
  bool headSent_ = true;
};

#endif  // ZQ_LIB_QUICKTIME64_HTTP_INCLUDE_QUICKTIME64_ZQMGCONNFILEIO_H_
