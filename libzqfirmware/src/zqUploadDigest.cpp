#include "zqfirmware/zqUploadDigest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <system_error>

#include "zqcommon/zqLog.h"
#include "zqcommon/zqSha1.h"
#include "zqcommon/zqUniqueFd.h"

namespace zqfw {
namespace {

// Reads back in pieces this big: large enough for the card to stream, small enough that an
// append waits for at most one of them.
constexpr size_t kReadBackChunk = 65536;

}  // namespace

UploadDigest::UploadDigest() = default;

UploadDigest::~UploadDigest() {
  std::thread reader;
  {
    ZqLock lock(mu_);
    stop_ = true;
    reader = std::move(thread_);
  }
  cv_.NotifyAll();
  if (reader.joinable()) reader.join();
  ZqLock lock(mu_);
  EVP_MD_CTX_free(ctx_);
}

void UploadDigest::StartLocked(const FileId& id) {
  if (ctx_ == nullptr) ctx_ = EVP_MD_CTX_new();
  valid_ = ctx_ != nullptr && EVP_DigestInit_ex(ctx_, EVP_sha1(), nullptr) == 1;
  id_ = id;
  hashed_ = 0;
  ++generation_;
}

void UploadDigest::Forget() {
  ZqLock lock(mu_);
  valid_ = false;
  hashed_ = 0;
  pending_.clear();
  ++generation_;
}

void UploadDigest::Appended(const FileId& id, uint64_t offset, std::string_view bytes) {
  ZqLock lock(mu_);
  // A file that starts anew replaces whatever the state covered.
  if (offset == 0 && !(valid_ && id_ == id && hashed_ == 0)) StartLocked(id);
  if (!valid_ || !(id_ == id) || hashed_ != offset) return;
  if (EVP_DigestUpdate(ctx_, bytes.data(), bytes.size()) != 1) {
    valid_ = false;
    return;
  }
  hashed_ += bytes.size();
}

bool UploadDigest::CatchUp(int fd, bool hold) {
  struct stat st = {};
  if (fstat(fd, &st) != 0) return false;
  const FileId id{st.st_dev, st.st_ino};
  if (!valid_ || !(id_ == id) || hashed_ > static_cast<uint64_t>(st.st_size)) StartLocked(id);
  std::unique_ptr<char[]> buffer(new char[kReadBackChunk]);
  while (!stop_ || hold) {
    if (!valid_ || !(id_ == id)) return true;  // forgotten meanwhile, or another file began
    if (fstat(fd, &st) != 0) return false;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (hashed_ > size) {
      StartLocked(id);  // the file shrank under us: only a full reading is sure
      continue;
    }
    if (hashed_ == size) return true;
    const uint64_t at = hashed_;
    const uint64_t generation = generation_;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadBackChunk, size - at));
    ssize_t n;
    if (hold) {
      n = pread(fd, buffer.get(), want, static_cast<off_t>(at));
    } else {
      mu_.Unlock();
      n = pread(fd, buffer.get(), want, static_cast<off_t>(at));
      mu_.Lock();
    }
    if (n <= 0) return false;
    // Appends or another reader may have moved the state on while the lock was free.
    if (generation != generation_ || hashed_ != at) continue;
    if (EVP_DigestUpdate(ctx_, buffer.get(), static_cast<size_t>(n)) != 1) {
      valid_ = false;
      return false;
    }
    hashed_ += static_cast<uint64_t>(n);
    read_back_ += static_cast<uint64_t>(n);
  }
  return true;
}

void UploadDigest::CatchUpLater(const std::string& path) {
  ZqLock lock(mu_);
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread(&UploadDigest::Run, this);
    } catch (const std::system_error& e) {
      // Without the thread, Compute reads whatever is missing when it is needed.
      ZQ_LOG(ZQ_LOG_WARN, "upload digest: no background reader: %s", e.what());
      return;
    }
  }
  pending_ = path;
  cv_.NotifyAll();
}

void UploadDigest::Run() {
  ZqLock lock(mu_);
  while (true) {
    while (!stop_ && pending_.empty()) cv_.Wait(mu_);
    if (stop_) return;
    const std::string path = std::move(pending_);
    pending_.clear();
    busy_ = true;
    lock.Unlock();
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    lock.Lock();
    if (fd.valid() && !CatchUp(fd.get(), false)) {
      ZQ_LOG(ZQ_LOG_WARN, "upload digest: reading back %s failed", path.c_str());
    }
    busy_ = false;
    cv_.NotifyAll();
  }
}

void UploadDigest::WaitIdle() {
  ZqLock lock(mu_);
  while (!stop_ && (busy_ || !pending_.empty())) cv_.Wait(mu_);
}

bool UploadDigest::Compute(const std::string& path, std::string* hex) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return false;
  ZqLock lock(mu_);
  if (!CatchUp(fd.get(), true) || !valid_) return false;
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> copy(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!copy || EVP_MD_CTX_copy_ex(copy.get(), ctx_) != 1 ||
      EVP_DigestFinal_ex(copy.get(), md, &len) != 1) {
    return false;
  }
  *hex = zq_hex_lower(md, len);
  return true;
}

uint64_t UploadDigest::hashed() const {
  ZqLock lock(mu_);
  return valid_ ? hashed_ : 0;
}

uint64_t UploadDigest::bytes_read_back() const {
  ZqLock lock(mu_);
  return read_back_;
}

}  // namespace zqfw
