// The fields of an upload form, read from a multipart body: small text fields kept by name,
// one file part's data handed to a target as it arrives.
#ifndef ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQFORMREADER_H_
#define ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQFORMREADER_H_

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zqfirmware/parseformdata.h"

namespace zqfw {

// Where a file part's data goes.
class FileTarget {
 public:
  virtual ~FileTarget() = default;
  // Takes the next run of data. False stops reading the body (the data cannot be kept).
  virtual bool Write(std::string_view bytes) = 0;
};

// The write call that stores a file part, replaceable so that tests can make the card fail
// (::write when empty).
using WriteFunction = std::function<ssize_t(int fd, const void* bytes, size_t size)>;

class FormReader final : public MultipartSink {
 public:
  static constexpr size_t kMaxValue = 1024;  // bytes of one text field
  static constexpr size_t kMaxFields = 32;   // text fields in one body

  // Chooses where the file part's data goes, given the part and the fields read before it:
  // a target (not owned; it must outlive the reading), or nullptr to read the data and drop it.
  using Chooser = std::function<FileTarget*(const FormPart& part, const FormReader& fields)>;

  // The file part is the first part with a file name whose field name is `file_field` (any
  // name when empty); later file parts are read and dropped.
  FormReader(std::string file_field, Chooser choose)
      : file_field_(std::move(file_field)), choose_(std::move(choose)) {}

  bool OnPartBegin(const FormPart& part) override;
  bool OnPartData(std::string_view bytes) override;
  bool OnPartEnd() override;

  // The first value of text field `name` (nullptr when there is none).
  const std::string* Field(std::string_view name) const;
  // The file part, once its headers were read.
  const std::optional<FormPart>& file() const { return file_; }
  // Whether the file part's data ended with its delimiter.
  bool file_complete() const { return file_complete_; }
  // Whether reading stopped because a field was too long or there were too many.
  bool too_big() const { return too_big_; }

 private:
  enum class Current { kNone, kField, kFile, kDropped };

  std::string file_field_;
  Chooser choose_;
  std::vector<std::pair<std::string, std::string>> fields_;
  std::optional<FormPart> file_;
  FileTarget* target_ = nullptr;  // not owned
  Current current_ = Current::kNone;
  bool file_complete_ = false;
  bool too_big_ = false;
};

}  // namespace zqfw

#endif  // ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_ZQFORMREADER_H_
