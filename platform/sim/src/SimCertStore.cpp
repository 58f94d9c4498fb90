#include "zqsim/SimCertStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include <openssl/x509.h>

#include "zqCertStore.h"
#include "zqcommon/zqErrors.h"
#include "zqcommon/zqPaths.h"
#include "zqcommon/zqSha1.h"
#include "zqcommon/zqUniqueFd.h"
#include "zqsim/SimState.h"

namespace zqsim {
namespace {

// Certificates are small; a bigger file is not one the store would have written.
constexpr size_t kMaxCertificate = 1 << 20;

std::string SlowPath() { return SimState::Get().dir() + "/cert-slow"; }

int Fail(const std::string& message) {
  fprintf(stderr, "zqsim: %s\n", message.c_str());
  return 1;
}

void SlowDown() {
  FILE* f = fopen(SlowPath().c_str(), "re");
  if (f == nullptr) return;
  long ms = 0;
  const bool got = fscanf(f, "%ld", &ms) == 1;
  fclose(f);
  if (got && ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(zq_scaled_ms(ms)));
}

bool ReadWhole(const std::string& path, std::string* out) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st = {};
  if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<size_t>(st.st_size) > kMaxCertificate) {
    return false;
  }
  out->resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  while (got < out->size()) {
    const ssize_t n = read(fd.get(), out->data() + got, out->size() - got);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

// Writes `bytes` to `path` in one step (a temporary file renamed over it).
bool WriteWhole(const std::string& path, const void* bytes, size_t length) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !zq_make_dirs(path.substr(0, slash))) {
    return false;
  }
  const std::string tmp = path + ".tmp";
  UniqueFd fd(open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (!fd.valid()) return false;
  const char* p = static_cast<const char*>(bytes);
  size_t done = 0;
  while (done < length) {
    const ssize_t n = write(fd.get(), p + done, length - done);
    if (n <= 0) {
      unlink(tmp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  fd.reset();
  return rename(tmp.c_str(), path.c_str()) == 0;
}

// The regular files of the client directory, in name order.
std::vector<std::string> ClientNames() {
  std::vector<std::string> names;
  DIR* dir = opendir(zq_path(kCertClientDir).c_str());
  if (dir == nullptr) return names;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    struct stat st = {};
    if (name[0] != '.' && stat((zq_path(kCertClientDir) + name).c_str(), &st) == 0 &&
        S_ISREG(st.st_mode)) {
      names.push_back(name);
    }
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

const char* StorePath(const std::string& which) {
  if (which == "cam") return kCertCameraPath;
  if (which == "ca") return kCertAuthorityPath;
  return nullptr;
}

}  // namespace

int CertCommand(const std::vector<std::string>& a) {
  const size_t n = a.size();
  if (n == 3 && a[0] == "set" && StorePath(a[1]) != nullptr) {
    std::string bytes;
    if (!ReadWhole(a[2], &bytes)) return Fail("cannot read the certificate file " + a[2]);
    if (!WriteWhole(zq_path(StorePath(a[1])), bytes.data(), bytes.size())) {
      return Fail("cannot store the certificate: " + std::string(strerror(errno)));
    }
    return 0;
  }
  if (n == 2 && a[0] == "clear" && StorePath(a[1]) != nullptr) {
    if (unlink(zq_path(StorePath(a[1])).c_str()) != 0 && errno != ENOENT) {
      return Fail("cannot clear the certificate: " + std::string(strerror(errno)));
    }
    return 0;
  }
  if (n == 1 && a[0] == "clients") {
    for (const std::string& name : ClientNames()) {
      std::string bytes;
      if (ReadWhole(zq_path(kCertClientDir) + name, &bytes)) {
        printf("%s %s\n", name.c_str(), zq_sha1_hex(bytes).c_str());
      }
    }
    return 0;
  }
  if (n == 2 && a[0] == "slow") {
    char* end = nullptr;
    errno = 0;
    const long ms = strtol(a[1].c_str(), &end, 10);
    if (a[1].empty() || errno != 0 || *end != '\0' || ms < 0 || ms > INT32_MAX) {
      return Fail("not a delay in milliseconds: " + a[1]);
    }
    if (ms == 0) {
      unlink(SlowPath().c_str());
      return 0;
    }
    zq_make_dirs(SimState::Get().dir());
    const std::string text = std::to_string(ms) + "\n";
    if (!WriteWhole(SlowPath(), text.data(), text.size())) {
      return Fail("cannot store the delay: " + std::string(strerror(errno)));
    }
    return 0;
  }
  return Fail(
      "usage: zqsim cert set cam|ca FILE | cert clear cam|ca | cert clients | cert slow MS");
}

void CertReset() {
  for (const std::string& name : ClientNames()) unlink((zq_path(kCertClientDir) + name).c_str());
  unlink(zq_path(kCertCameraPath).c_str());
  unlink(zq_path(kCertAuthorityPath).c_str());
  unlink(SlowPath().c_str());
}

}  // namespace zqsim

int fsWriteCertificateBySubjectHash(const char* directory, const uint8_t* data, size_t length) {
  zqsim::SlowDown();
  if (directory == nullptr || data == nullptr || length == 0 || length > INT32_MAX) {
    return ZQ_ERR_INVALID_PARAM;
  }
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(data, static_cast<int>(length)),
                                                BIO_free);
  std::unique_ptr<X509, decltype(&X509_free)> cert(
      bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr, X509_free);
  if (!cert) return ZQ_ERR;
  char name[32];
  snprintf(name, sizeof name, "%08lx.0", X509_subject_name_hash(cert.get()));
  std::string path = directory;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return zqsim::WriteWhole(path, data, length) ? ZQ_OK : ZQ_ERR;
}

int fsGetCertificateLength(const char* path, size_t* length) {
  zqsim::SlowDown();
  struct stat st = {};
  if (path == nullptr || length == nullptr || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) {
    return ZQ_ERR;
  }
  *length = static_cast<size_t>(st.st_size);
  return ZQ_OK;
}

int fsReadCertificate(const char* path, uint8_t* buffer, size_t* length) {
  zqsim::SlowDown();
  std::string bytes;
  if (path == nullptr || buffer == nullptr || length == nullptr ||
      !zqsim::ReadWhole(path, &bytes) || bytes.size() > *length) {
    return ZQ_ERR;
  }
  memcpy(buffer, bytes.data(), bytes.size());
  *length = bytes.size();
  return ZQ_OK;
}
