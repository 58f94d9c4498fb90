// Writes a package file through one large buffer: few, large writes suit the card.
#ifndef ZQ_LIBZQFIRMWARE_SRC_ZQBUFFEREDWRITER_H_
#define ZQ_LIBZQFIRMWARE_SRC_ZQBUFFEREDWRITER_H_

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "zqcommon/zqUniqueFd.h"
#include "zqfirmware/zqFormReader.h"

namespace zqfw {

// The write call, replaceable so that tests can make the card fail (::write when empty).
using WriteFunction = std::function<ssize_t(int fd, const void* bytes, size_t size)>;

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

}  // namespace zqfw

#endif  // ZQ_LIBZQFIRMWARE_SRC_ZQBUFFEREDWRITER_H_
