// Writes a package file through one large buffer: few, large writes suit the card.
#ifndef ZQ_LIBZQFIRMWARE_SRC_ZQBUFFEREDWRITER_H_
#define ZQ_LIBZQFIRMWARE_SRC_ZQBUFFEREDWRITER_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "zqcommon/zqUniqueFd.h"
#include "zqfirmware/zqFormReader.h"
#include "zqfirmware/zqUploadDigest.h"

namespace zqfw {

class BufferedWriter final : public FileTarget {
 public:
  static constexpr size_t kBufferSize = 262144;

  // `on_written` sees every run of bytes once it reached the file, in order. `write` must
  // outlive the writer.
  BufferedWriter(UniqueFd fd, std::function<void(std::string_view)> on_written,
                 const WriteFunction& write);

  // Buffers `bytes`; false once a write failed (nothing more is taken).
  bool Write(std::string_view bytes) override;

  // Writes what is buffered and makes the file durable. 0, or the errno of the first failure.
  int Finish();

 private:
  bool Flush();

  UniqueFd fd_;
  std::function<void(std::string_view)> on_written_;
  const WriteFunction& write_;
  std::unique_ptr<char[]> buffer_;
  size_t used_ = 0;
  int error_ = 0;
};

// An `on_written` that hands the bytes to `digest` as written to file `id` from `offset` on.
std::function<void(std::string_view)> FeedDigest(UploadDigest* digest, FileId id, uint64_t offset);

}  // namespace zqfw

#endif  // ZQ_LIBZQFIRMWARE_SRC_ZQBUFFEREDWRITER_H_
