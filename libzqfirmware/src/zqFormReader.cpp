#include "zqfirmware/zqFormReader.h"

namespace zqfw {

bool FormReader::OnPartBegin(const FormPart& part) {
  const bool is_file = part.filename.has_value();
  if (is_file && !file_ && (file_field_.empty() || part.name == file_field_)) {
    file_ = part;
    target_ = choose_ ? choose_(part, *this) : nullptr;
    current_ = Current::kFile;
    return true;
  }
  if (is_file) {
    current_ = Current::kDropped;
    return true;
  }
  if (fields_.size() == kMaxFields) {
    too_big_ = true;
    return false;
  }
  fields_.emplace_back(part.name, "");
  current_ = Current::kField;
  return true;
}

bool FormReader::OnPartData(std::string_view bytes) {
  switch (current_) {
    case Current::kField:
      if (fields_.back().second.size() + bytes.size() > kMaxValue) {
        too_big_ = true;
        return false;
      }
      fields_.back().second.append(bytes);
      return true;
    case Current::kFile:
      return target_ == nullptr || target_->Write(bytes);
    case Current::kNone:
    case Current::kDropped:
      return true;
  }
  return true;
}

bool FormReader::OnPartEnd() {
  if (current_ == Current::kFile) file_complete_ = true;
  current_ = Current::kNone;
  return true;
}

const std::string* FormReader::Field(std::string_view name) const {
  for (const auto& [key, value] : fields_) {
    if (key == name) return &value;
  }
  return nullptr;
}

}  // namespace zqfw
