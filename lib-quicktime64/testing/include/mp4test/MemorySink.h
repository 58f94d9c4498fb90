// Destinations for the library's streaming writers in tests: a FileIO that keeps what it is
// given in memory and records every attempt to treat it as anything but a sequential
// stream (a read, a seek elsewhere, a positioned write away from its end). It can be told to
// refuse bytes past a limit, as a client connection that breaks midway.
#ifndef ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_MEMORYSINK_H_
#define ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_MEMORYSINK_H_

#include <cstdint>
#include <string>

#include "zqfileio/FileIO.h"

namespace mp4test {

class MemorySink : public FileIO {
 public:
  MemorySink();

  uint32_t openRead(const char* path) override;
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead) override;
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead,
                int64_t offsetFromStart) override;
  uint32_t write(const void* buffer, uint64_t length) override;
  uint32_t write(const void* buffer, uint64_t length, int64_t offsetFromStart) override;
  int64_t getFilePointerOffset() override { return static_cast<int64_t>(received_); }
  uint32_t setFilePointerOffset(int64_t offset, uint32_t method) override;
  uint32_t getFileSize(int64_t* size) override;

  // Bytes beyond `limit` are refused (the write that crosses it fails whole).
  void FailAfter(uint64_t limit) { limit_ = limit; }
  // Keep only the first `n` bytes in memory (the rest is counted and passed to Consume).
  void KeepAtMost(uint64_t n) { keep_ = n; }

  const std::string& bytes() const { return bytes_; }
  uint64_t received() const { return received_; }
  int misuses() const { return misuses_; }
  int writes() const { return writes_; }

 protected:
  // Sees every accepted piece at its stream offset (for checks on streams too large to keep).
  virtual void Consume(const uint8_t* data, uint64_t length, uint64_t offset);

 private:
  std::string bytes_;
  uint64_t received_ = 0;
  uint64_t limit_ = UINT64_MAX;
  uint64_t keep_ = UINT64_MAX;
  int misuses_ = 0;
  int writes_ = 0;
};

}  // namespace mp4test

#endif  // ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_MEMORYSINK_H_
