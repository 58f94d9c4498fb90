// The SHA-1 of a package that grows by appends (the resumable upload's partial file), kept up
// to date as it grows, so that completing a 100 MB upload does not read 100 MB back.
//
// The digest state (OpenSSL EVP) covers the first hashed() bytes of one file, named by its
// device and inode. Bytes that the upload appends right where the hashed part ends are hashed
// from memory as they are written. Bytes the state does not cover (after the daemon started,
// or after a write it did not see) are read back from the file: in the background on the
// digest's own thread (CatchUpLater), or by Compute when the digest is needed. Everything the
// state covers is read from, or was written to, the file itself, so the digest is always that
// of the bytes on disk: after a restart it is simply read again, never restored from memory.
//
// Thread safety: every member may be called from any thread. The background reader takes the
// digest's mutex only between reads, so appends and requests are not held up by it.
#ifndef ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQUPLOADDIGEST_H_
#define ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQUPLOADDIGEST_H_

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "zqcommon/zqMutex.h"

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace zqfw {

// Which file: its device and inode.
struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const FileId& o) const { return dev == o.dev && ino == o.ino; }
};

class UploadDigest {
 public:
  UploadDigest();
  ~UploadDigest();  // stops and joins the background reader
  UploadDigest(const UploadDigest&) = delete;
  UploadDigest& operator=(const UploadDigest&) = delete;

  // The file was removed or replaced: the state covers nothing.
  void Forget();

  // `bytes` were written to file `id` at `offset`. Hashed when they continue exactly what the
  // state covers (or start a new file at offset 0); otherwise left for a catch-up read.
  void Appended(const FileId& id, uint64_t offset, std::string_view bytes);

  // Reads what the state does not cover of the file at `path`, on the background thread
  // (started at the first call). Returns at once.
  void CatchUpLater(const std::string& path);

  // The digest of the file at `path` as 40 lower-case hex digits, reading what the state does
  // not cover first. False when the file cannot be read.
  bool Compute(const std::string& path, std::string* hex);

  // Waits until the background reader has nothing to do.
  void WaitIdle();

  // Bytes the state covers, and bytes read back from files so far (for tests and the log).
  uint64_t hashed() const;
  uint64_t bytes_read_back() const;

 private:
  // Makes the state cover file `id` from its start.
  void StartLocked(const FileId& id) REQUIRES(mu_);
  // Hashes what the state is missing of the open file `fd`, up to its current size. mu_ is
  // held on entry and on return; without `hold` it is let go during each read. False on a
  // read error.
  bool CatchUp(int fd, bool hold) REQUIRES(mu_);
  void Run();

  mutable ZqMutex mu_;
  ZqCondVar cv_;
  EVP_MD_CTX* ctx_ GUARDED_BY(mu_) = nullptr;  // owned
  bool valid_ GUARDED_BY(mu_) = false;         // ctx_ covers hashed_ bytes of file id_
  FileId id_ GUARDED_BY(mu_);
  uint64_t hashed_ GUARDED_BY(mu_) = 0;
  uint64_t generation_ GUARDED_BY(mu_) = 0;  // bumped whenever the state restarts
  uint64_t read_back_ GUARDED_BY(mu_) = 0;
  std::string pending_ GUARDED_BY(mu_);  // a file for the background reader
  bool busy_ GUARDED_BY(mu_) = false;    // the background reader is at work
  bool stop_ GUARDED_BY(mu_) = false;
  std::thread thread_ GUARDED_BY(mu_);  // started by the first CatchUpLater
};

}  // namespace zqfw

#endif  // ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQUPLOADDIGEST_H_
