#include "zqproto/zqProtoJson.h"

#include <google/protobuf/message.h>
#include <google/protobuf/util/json_util.h>
#include <google/protobuf/util/type_resolver.h>
#include <google/protobuf/util/type_resolver_util.h>

#include <memory>

#include "opentavro/preset_status.pb.h"

namespace {

namespace pb = google::protobuf;

// A resolver over the pool of `message`'s generated code, for URLs with our prefix.
std::unique_ptr<pb::util::TypeResolver> ResolverFor(const pb::Message& message) {
  return std::unique_ptr<pb::util::TypeResolver>(pb::util::NewTypeResolverForDescriptorPool(
      kZqOpenTavroUrlPrefix, message.GetDescriptor()->file()->pool()));
}

}  // namespace

ZqProtoJsonAnswer zqproto_json_answer(const void* bytes, size_t length, std::string_view type_url,
                                      pb::Message* message) {
  ZqProtoJsonAnswer answer;
  answer.body = "{}";
  if (message == nullptr || (bytes == nullptr && length != 0) || length > INT32_MAX) return answer;
  const void* data = bytes != nullptr ? bytes : "";
  if (!message->ParseFromArray(data, static_cast<int>(length))) return answer;
  // The text is written from the message as parsed, not from the bytes as they came: the
  // converter streams the wire as it finds it, so a repeated field whose elements are not
  // adjacent, a field sent twice, or an enum number proto2 sets aside would each give one key
  // twice in an object. Serialised again, every field is once, in number order.
  message->DiscardUnknownFields();
  std::string canonical;
  if (!message->SerializeToString(&canonical)) return answer;

  pb::util::JsonPrintOptions options;
  options.add_whitespace = true;
  options.always_print_primitive_fields = false;
  options.always_print_enums_as_ints = false;
  options.preserve_proto_field_names = false;
  std::string json;
  const pb::util::Status status = pb::util::BinaryToJsonString(
      ResolverFor(*message).get(), std::string(type_url), canonical, &json, options);
  if (!status.ok()) return answer;
  answer.status = 200;
  answer.body = std::move(json);
  return answer;
}

ZqProtoJsonAnswer zqproto_preset_status_json(const void* bytes, size_t length) {
  open_tavro::NotifyPresetStatus message;
  return zqproto_json_answer(bytes, length, kZqPresetStatusTypeUrl, &message);
}

bool zqproto_json_to_binary(std::string_view json, std::string_view type_url,
                            const pb::Message& message, std::string* bytes, std::string* error) {
  bytes->clear();
  const pb::util::Status status = pb::util::JsonToBinaryString(
      ResolverFor(message).get(), std::string(type_url), std::string(json), bytes);
  if (status.ok()) return true;
  if (error != nullptr) *error = std::string(status.message());
  return false;
}
