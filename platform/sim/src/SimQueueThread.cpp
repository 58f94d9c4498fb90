#include "SimQueueThread.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "zqcommon/zqPaths.h"

namespace zqsim {

bool SimQueueThread::Start(long max_count, long msg_size, std::function<void(SimQueueThread*)> body,
                           std::string* error) {
  const std::string real = zq_mq_name(name_);
  mq_unlink(real.c_str());  // left by a killed run: this one owns the name now
  struct mq_attr attr = {};
  attr.mq_maxmsg = max_count;
  attr.mq_msgsize = msg_size;
  mqd_ = mq_open(real.c_str(), O_CREAT | O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0666, &attr);
  if (mqd_ == static_cast<mqd_t>(-1)) {
    *error = "cannot create the queue " + name_ + ": " + strerror(errno);
    return false;
  }
  stop_.reset(eventfd(0, EFD_CLOEXEC));
  if (!stop_.valid()) {
    *error = "eventfd: " + std::string(strerror(errno));
    Stop();
    return false;
  }
  thread_ = std::thread([this, body = std::move(body)] { body(this); });
  return true;
}

void SimQueueThread::Stop() {
  if (thread_.joinable()) {
    const uint64_t one = 1;
    if (write(stop_.get(), &one, sizeof one) < 0) perror("zqsim: stop");
    thread_.join();
  }
  if (mqd_ != static_cast<mqd_t>(-1)) {
    mq_close(mqd_);
    mq_unlink(zq_mq_name(name_).c_str());
    mqd_ = static_cast<mqd_t>(-1);
  }
}

int SimQueueThread::Wait(long ms, bool watch_queue) {
  fd_set readable;
  FD_ZERO(&readable);
  if (watch_queue) FD_SET(mqd_, &readable);
  FD_SET(stop_.get(), &readable);
  struct timeval tv = {ms / 1000, static_cast<suseconds_t>((ms % 1000) * 1000)};
  const int top = mqd_ > stop_.get() ? mqd_ : stop_.get();
  const int n = select(top + 1, &readable, nullptr, nullptr, &tv);
  if (n < 0) return errno == EINTR ? 0 : -1;
  if (FD_ISSET(stop_.get(), &readable)) return -1;
  return watch_queue && FD_ISSET(mqd_, &readable) ? 1 : 0;
}

ssize_t SimQueueThread::Receive(void* buf, size_t size) {
  return mq_receive(mqd_, static_cast<char*>(buf), size, nullptr);
}

}  // namespace zqsim
