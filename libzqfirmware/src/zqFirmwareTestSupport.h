// Fakes and builders shared by the firmware library's tests.
#ifndef ZQ_LIBZQFIRMWARE_SRC_ZQFIRMWARETESTSUPPORT_H_
#define ZQ_LIBZQFIRMWARE_SRC_ZQFIRMWARETESTSUPPORT_H_

#include <cctype>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "zqcommon/zqMutex.h"
#include "zqcommon/zqSha1.h"
#include "zqfirmware/zqBodySource.h"
#include "zqfirmware/zqFirmwareStatus.h"

namespace zqfw::test {

// Camera status in memory, with a journal of writes and failure switches.
class FakeStatus final : public CameraStatusPort {
 public:
  int32_t Read(int32_t id, uint32_t* value) override {
    ZqLock lock(mu_);
    if (fail_read.count(id)) return -1;
    *value = values[id];
    if (on_read) on_read(id, value);
    return 0;
  }
  int32_t Write(int32_t id, uint32_t value, uint32_t width) override {
    ZqLock lock(mu_);
    if (fail_write.count(id)) return -1;
    values[id] = value;
    writes.push_back({id, value, width});
    return 0;
  }
  // The values written to `id`, in order.
  std::vector<uint32_t> Written(int32_t id) const {
    std::vector<uint32_t> out;
    for (const Write_& w : writes) {
      if (w.id == id) out.push_back(w.value);
    }
    return out;
  }
  struct Write_ {
    int32_t id;
    uint32_t value;
    uint32_t width;
  };
  std::map<int32_t, uint32_t> values;
  std::vector<Write_> writes;
  std::set<int32_t> fail_read;
  std::set<int32_t> fail_write;
  // Called after each read (with the value read), e.g. to let the camera move on.
  std::function<void(int32_t, uint32_t*)> on_read;

 private:
  ZqMutex mu_;
};

// A body from a string, read in pieces of the given sizes (cycled; all of it when empty). With
// `fail_at`, reading breaks off after that many bytes, as a dropped connection does.
class StringBody final : public BodySource {
 public:
  explicit StringBody(std::string bytes, std::vector<size_t> pieces = {},
                      size_t fail_at = std::string::npos)
      : bytes_(std::move(bytes)), pieces_(std::move(pieces)), fail_at_(fail_at) {}
  ssize_t Read(char* buffer, size_t size) override {
    const size_t end = std::min(bytes_.size(), fail_at_);
    if (at_ == end) return at_ == bytes_.size() ? 0 : -1;
    size_t n = std::min(size, end - at_);
    if (!pieces_.empty()) n = std::min(n, pieces_[next_++ % pieces_.size()]);
    memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<ssize_t>(n);
  }
  size_t consumed() const { return at_; }

 private:
  std::string bytes_;
  std::vector<size_t> pieces_;
  size_t fail_at_;
  size_t at_ = 0;
  size_t next_ = 0;
};

// A multipart body with text fields and at most one file, as clients send it.
class FormBody {
 public:
  static constexpr char kBoundary[] = "zqTestBoundary1234";
  FormBody& Field(const std::string& name, const std::string& value) {
    body_ += std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name +
             "\"\r\n\r\n" + value + "\r\n";
    return *this;
  }
  FormBody& File(const std::string& name, const std::string& filename, const std::string& data) {
    body_ += std::string("--") + kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name +
             "\"; filename=\"" + filename + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
             data + "\r\n";
    return *this;
  }
  std::string Build() const { return body_ + "--" + kBoundary + "--\r\n"; }
  static std::string ContentType() {
    return std::string("multipart/form-data; boundary=") + kBoundary;
  }

 private:
  std::string body_;
};

// One piece of a resumable upload.
inline std::string UploadPiece(const std::string& sha1, const std::string& offset,
                               const std::string& complete, const std::string& data) {
  return FormBody()
      .Field("sha1", sha1)
      .Field("offset", offset)
      .Field("complete", complete)
      .File("file", "firmware.zip", data)
      .Build();
}

inline std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

inline std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return s;
}

// Random bytes, with the delimiter's ingredients (CR, LF, '-') made common.
inline std::string PackageBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string out(size, '\0');
  for (char& c : out) {
    const uint32_t r = rng();
    c = (r & 7) == 0 ? "\r\n-"[(r >> 3) % 3] : static_cast<char>(r >> 8);
  }
  return out;
}

}  // namespace zqfw::test

#endif  // ZQ_LIBZQFIRMWARE_SRC_ZQFIRMWARETESTSUPPORT_H_
