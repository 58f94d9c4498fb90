#include "zqBufferedWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zqfw {

BufferedWriter::BufferedWriter(UniqueFd fd, std::function<void(std::string_view)> on_written,
                               const WriteFunction& write)
    : fd_(std::move(fd)),
      on_written_(std::move(on_written)),
      write_(write),
      buffer_(new char[kBufferSize]) {}

bool BufferedWriter::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    if (error_ != 0) return false;
    const size_t n = std::min(bytes.size(), kBufferSize - used_);
    memcpy(buffer_.get() + used_, bytes.data(), n);
    used_ += n;
    bytes.remove_prefix(n);
    if (used_ == kBufferSize && !Flush()) return false;
  }
  return error_ == 0;
}

int BufferedWriter::Finish() {
  Flush();
  if (fsync(fd_.get()) != 0 && error_ == 0) error_ = errno;
  return error_;
}

bool BufferedWriter::Flush() {
  size_t done = 0;
  while (done < used_ && error_ == 0) {
    const ssize_t n = write_ ? write_(fd_.get(), buffer_.get() + done, used_ - done)
                             : ::write(fd_.get(), buffer_.get() + done, used_ - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 && errno != 0 ? errno : EIO;
      break;
    }
    // These bytes are in the file whatever happens next.
    if (on_written_) on_written_(std::string_view(buffer_.get() + done, static_cast<size_t>(n)));
    done += static_cast<size_t>(n);
  }
  used_ = 0;
  return error_ == 0;
}

std::function<void(std::string_view)> FeedDigest(UploadDigest* digest, FileId id, uint64_t offset) {
  return [digest, id, offset](std::string_view bytes) mutable {
    digest->Appended(id, offset, bytes);
    offset += bytes.size();
  };
}

}  // namespace zqfw
