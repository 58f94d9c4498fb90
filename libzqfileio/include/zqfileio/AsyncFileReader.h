// The FileReader whose reads run on a worker thread of its own pool: Read queues the request
// and returns; Wait blocks until that buffer's read has finished.
//
// Read, Wait and Close are called from one owner thread; the worker touches only the queued
// messages. One read may be pending per buffer.
#ifndef ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_ASYNCFILEREADER_H_
#define ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_ASYNCFILEREADER_H_

#include <cstdint>
#include <map>

#include "threadpool/ThreadPoolLibThreadPool.h"
#include "zqcommon/zqMutex.h"
#include "zqfileio/FileReader.h"

class FileBuffer;

// One queued read. Owned by the reader's pending map from Read until Wait destroys it; the
// worker only runs it.
class AsyncFileReaderMessage final : public ThreadPoolLibProcessMessage {
 public:
  AsyncFileReaderMessage();
  ~AsyncFileReaderMessage() override;

  // Records the read to do; 3 when the message was already prepared.
  uint32_t prepare(FileIO* fileIO, void* memory, uint64_t fullSize, int64_t alignedPosition,
                   uint64_t requestedSize);
  // Runs the read (on the worker) and signals completion: 0, 10 when fewer than the
  // requested bytes came, 4 on another failure or a second run, 1 when unprepared.
  uint32_t ProcessMessage(void* context) override;
  // Blocks until ProcessMessage has signalled. 0 success, 5 short read, 6 other failure,
  // 1 unprepared.
  uint32_t wait();
  // Blocks until ProcessMessage has signalled, leaving the signal for wait().
  void join();

  uint64_t bytesRead() const { return got_; }

 private:
  void SignalCompletion();

  FileIO* fileIO_ = nullptr;
  void* memory_ = nullptr;
  uint64_t requestedSize_ = 0;
  uint64_t fullSize_ = 0;
  int64_t alignedPosition_ = 0;
  ZqMutex stateMutex_;
  ZqMutex completionMutex_;
  ZqCondVar completionCondition_;
  int completed_ GUARDED_BY(completionMutex_) = 0;
  bool started_ GUARDED_BY(stateMutex_) = false;
  bool failed_ GUARDED_BY(stateMutex_) = false;
  bool prepared_ GUARDED_BY(stateMutex_) = false;
  uint32_t result_ = 0;
  uint64_t got_ = 0;
};

class AsyncFileReader final : public FileReader, public ThreadPoolLibThreadPool {
 public:
  AsyncFileReader();
  // Opens `path` (when non-null) through an owned FileIO.
  explicit AsyncFileReader(const char* path);
  // Reads through `fileIO`, which stays the caller's.
  explicit AsyncFileReader(FileIO* fileIO);
  ~AsyncFileReader() override;

  // Queues the read: 2 when the message cannot be prepared, 9 when the buffer has a read
  // pending, 6 when its memory cannot be had.
  uint32_t Read(FileBuffer& buffer, int64_t position, uint64_t size) override;
  // 8 without a pending read; else waits, then 0, or 10 (short) / 2 (failure) with the
  // buffer's data size set to 0.
  uint32_t Wait(FileBuffer& buffer) override;
  // Lets every pending read finish (they stay pending for Wait), then closes the file.
  uint32_t Close() override;

  // The worker procedure: takes messages until a quit message (returns 0, or 12 when a
  // message of another kind was seen) or a failed wait (11).
  static void* ThreadPoolWorkerProc(void* self);
  uint32_t ProcessAsyncReadRequests();

 private:
  ZqMutex pendingMutex_;
  std::map<FileBuffer*, AsyncFileReaderMessage*> pending_ GUARDED_BY(pendingMutex_);  // owned
};

#endif  // ZQ_LIBZQFILEIO_INCLUDE_ZQFILEIO_ASYNCFILEREADER_H_
