#include "zqfileio/AsyncFileReader.h"

#include "zqfileio/FileBuffer.h"
#include "zqfileio/FileIO.h"
#include "zqfileio/FileIOResults.h"

namespace {

// Results of AsyncFileReaderMessage::wait.
constexpr uint32_t kWaitShort = 5;
constexpr uint32_t kWaitFailed = 6;

}  // namespace

AsyncFileReaderMessage::AsyncFileReaderMessage() = default;

AsyncFileReaderMessage::~AsyncFileReaderMessage() = default;

uint32_t AsyncFileReaderMessage::prepare(FileIO* fileIO, void* memory, uint64_t fullSize,
                                         int64_t alignedPosition, uint64_t requestedSize) {
  ZqLock lock(stateMutex_);
  if (prepared_) return kFIOFailure;
  fileIO_ = fileIO;
  memory_ = memory;
  fullSize_ = fullSize;
  alignedPosition_ = alignedPosition;
  requestedSize_ = requestedSize;
  prepared_ = true;
  return 0;
}

void AsyncFileReaderMessage::SignalCompletion() {
  ZqLock lock(completionMutex_);
  completed_ = 1;
  completionCondition_.NotifyAll();
}

uint32_t AsyncFileReaderMessage::ProcessMessage(void*) {
  bool run = false;
  {
    ZqLock lock(stateMutex_);
    if (!prepared_) {
      failed_ = true;
      result_ = 1;
    } else if (!started_ && !failed_) {
      started_ = true;
      run = true;
    } else {
      failed_ = true;
      result_ = kFileReaderReadError;
    }
  }
  if (!run) {
    uint32_t code = result_;
    SignalCompletion();
    return code == 1 ? 1 : kFileReaderReadError;
  }
  uint64_t got = 0;
  uint32_t code = fileIO_->read(memory_, fullSize_, &got, alignedPosition_);
  got_ = got;
  uint32_t outcome = 0;
  if (code == kFIOSuccess || code == kFIOIncomplete) {
    // Only the requested bytes matter; a block-rounded read may end early past them.
    if (got < requestedSize_) {
      result_ = kFIOIncomplete;
      outcome = kFileReaderShortRead;
    } else {
      result_ = 0;
    }
  } else {
    result_ = code;
    outcome = kFileReaderReadError;
  }
  {
    ZqLock lock(stateMutex_);
    if (outcome != 0) failed_ = true;
  }
  SignalCompletion();
  return outcome;
}

uint32_t AsyncFileReaderMessage::wait() {
  {
    ZqLock lock(stateMutex_);
    if (!prepared_) return 1;
  }
  ZqLock lock(completionMutex_);
  while (completed_ != 1) completionCondition_.Wait(completionMutex_);
  completed_ = 0;
  if (result_ == 0) return 0;
  return result_ == kFIOIncomplete ? kWaitShort : kWaitFailed;
}

void AsyncFileReaderMessage::join() {
  ZqLock lock(completionMutex_);
  while (completed_ != 1) completionCondition_.Wait(completionMutex_);
}

AsyncFileReader::AsyncFileReader() : ThreadPoolLibThreadPool(1) {
  StartWorkerThreads(&AsyncFileReader::ThreadPoolWorkerProc, this);
}

AsyncFileReader::AsyncFileReader(const char* path) : AsyncFileReader() {
  if (path != nullptr) FileReader::Open(path);
}

AsyncFileReader::AsyncFileReader(FileIO* fileIO) : AsyncFileReader() { FileReader::Open(fileIO); }

AsyncFileReader::~AsyncFileReader() {
  // The quit message queues behind every pending read, so the worker finishes them all and
  // stops before the messages and the file go away.
  StopWorkerThreads();
  ZqLock lock(pendingMutex_);
  for (auto& entry : pending_) delete entry.second;
  pending_.clear();
  FileReader::Close();
}

uint32_t AsyncFileReader::Read(FileBuffer& buffer, int64_t position, uint64_t size) {
  uint32_t check = CheckReadable();
  if (check != 0) return check;
  if (position < 0) return kFileReaderReadError;
  ZqLock lock(pendingMutex_);
  if (pending_.count(&buffer) != 0) return kFileReaderReadPending;
  BlockSpan span = SpanOf(position, size);
  uint32_t prepared = PrepareBuffer(buffer, span, size);
  if (prepared != 0) return prepared;
  auto* message = new AsyncFileReaderMessage();
  if (message->prepare(fileIO_, buffer.Memory(), span.fullSize, span.alignedPosition,
                       span.inBlock + size) != 0) {
    delete message;
    return kFileReaderNotReadable;
  }
  pending_[&buffer] = message;
  AddMessage(message);
  return 0;
}

uint32_t AsyncFileReader::Wait(FileBuffer& buffer) {
  AsyncFileReaderMessage* message = nullptr;
  {
    ZqLock lock(pendingMutex_);
    auto it = pending_.find(&buffer);
    if (it == pending_.end()) return kFileReaderNoPendingRead;
    message = it->second;
    pending_.erase(it);
  }
  uint32_t outcome = message->wait();
  delete message;
  if (outcome == 0) return 0;
  buffer.SetDataSize(0);
  return outcome == kWaitShort ? kFileReaderShortRead : kFileReaderNotReadable;
}

uint32_t AsyncFileReader::Close() {
  {
    // A read still running uses the file that is about to go.
    ZqLock lock(pendingMutex_);
    for (auto& entry : pending_) entry.second->join();
  }
  return FileReader::Close();
}

void* AsyncFileReader::ThreadPoolWorkerProc(void* self) {
  static_cast<AsyncFileReader*>(self)->ProcessAsyncReadRequests();
  return nullptr;
}

uint32_t AsyncFileReader::ProcessAsyncReadRequests() {
  bool foreign = false;
  while (true) {
    ThreadPoolLibThreadMessage* message = nullptr;
    if (WaitForMessage(&message) != 0 || message == nullptr) return kFileReaderWorkerWaitFailed;
    switch (message->MessageType()) {
      case kThreadMessageQuit:
        delete message;
        return foreign ? kFileReaderForeignMessage : 0;
      case kThreadMessageProcess: {
        // Left alive: Wait owns it.
        auto* work = static_cast<ThreadPoolLibProcessMessage*>(message);
        work->ProcessMessage(work);
        break;
      }
      default:
        foreign = true;
        delete message;
        break;
    }
  }
}
