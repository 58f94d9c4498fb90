// Owns one file descriptor and closes it when it goes.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQUNIQUEFD_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQUNIQUEFD_H_

#include <unistd.h>

#include <utility>

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives up ownership without closing.
  int release() { return std::exchange(fd_, -1); }
  // Closes the current descriptor (if any) and owns `fd`.
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQUNIQUEFD_H_
