#include "http/zqAnswer.h"

ZqAnswer ZqAnswer::Bytes(int status, std::string type, std::string body) {
  ZqAnswer a(status, ZqBody::kFixed, std::move(type));
  a.body_ = std::move(body);
  return a;
}

ZqAnswer ZqAnswer::Json(int status, std::string body) {
  return Bytes(status, "application/json", std::move(body));
}

ZqAnswer ZqAnswer::EmptyJson(int status) { return Json(status, "{}\n"); }

ZqAnswer ZqAnswer::Raw(std::string bytes) {
  ZqAnswer a(0, ZqBody::kRaw, {});
  a.body_ = std::move(bytes);
  return a;
}

ZqAnswer ZqAnswer::Chunked(int status, std::string type, ZqProducer producer) {
  ZqAnswer a(status, ZqBody::kChunked, std::move(type));
  a.producer_ = std::move(producer);
  return a;
}

ZqAnswer ZqAnswer::Sized(int status, std::string type, uint64_t length, ZqProducer producer) {
  ZqAnswer a(status, ZqBody::kSized, std::move(type));
  a.length_ = length;
  a.producer_ = std::move(producer);
  return a;
}

ZqAnswer& ZqAnswer::Reason(std::string reason) {
  has_reason_ = true;
  reason_ = std::move(reason);
  return *this;
}

ZqAnswer& ZqAnswer::Header(std::string name, std::string value) {
  headers_.push_back({std::move(name), std::move(value)});
  return *this;
}

ZqAnswer& ZqAnswer::InsteadOfNothing(std::function<ZqAnswer()> instead) {
  instead_ = std::move(instead);
  return *this;
}

ZqAnswer& ZqAnswer::EndsConnection() {
  ends_connection_ = true;
  return *this;
}
