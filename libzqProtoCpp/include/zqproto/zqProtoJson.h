// The JSON form of a binary protobuf message, as the Open API answers with it.
//
// The conversion is protobuf's own JSON mapping over the generated descriptors: field names
// in lowerCamel ("presetGroupArray", "canAddPreset"), enum values by name, output indented
// over several lines and ended by a line end. Presence is proto2's: a field is written when
// the message carries it (also when it carries the default value), a field it does not carry
// is left out; so a setting sent without value and caption flag shows only its id. The text
// shows the message as parsed, each field once whatever the order on the wire (a field sent
// twice shows its last value); unknown fields, and enum numbers the schema does not name
// (proto2 keeps them aside as unknown), are left out.
#ifndef ZQ_LIBZQPROTOCPP_INCLUDE_ZQPROTO_ZQPROTOJSON_H_
#define ZQ_LIBZQPROTOCPP_INCLUDE_ZQPROTO_ZQPROTOJSON_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace google::protobuf {
class Message;
}

// Type URL of the preset status message ("open_tavro" prefix, "/", the message's full name).
inline constexpr char kZqPresetStatusTypeUrl[] = "open_tavro/open_tavro.NotifyPresetStatus";
// The URL prefix of the Open API's messages.
inline constexpr char kZqOpenTavroUrlPrefix[] = "open_tavro";

// HTTP status and body of an answer made from a binary message.
struct ZqProtoJsonAnswer {
  int status = 500;  // 200, or 500 when the bytes do not convert
  std::string body;  // the JSON text; "{}" (two bytes, no line end) with 500
};

// Converts `length` bytes of a serialised message (`bytes` may be null when `length` is 0).
// `message` is an empty instance of the type `type_url` names: the bytes are first parsed
// into it (bytes that do not parse give 500), and its descriptor pool resolves the type.
// A type URL the pool does not know also gives 500. `message` is left holding the parsed
// message (without its unknown fields). Thread-safe for distinct `message` objects.
ZqProtoJsonAnswer zqproto_json_answer(const void* bytes, size_t length, std::string_view type_url,
                                      google::protobuf::Message* message);

// The answer for the control service's preset status reply (open_tavro.NotifyPresetStatus).
ZqProtoJsonAnswer zqproto_preset_status_json(const void* bytes, size_t length);

// The reverse mapping, for tests and tools: the JSON text of a message of `type_url` (a type
// of `message`'s pool) as serialised bytes. False, with a reason in `*error`, when the text
// does not map onto the type.
bool zqproto_json_to_binary(std::string_view json, std::string_view type_url,
                            const google::protobuf::Message& message, std::string* bytes,
                            std::string* error);

#endif  // ZQ_LIBZQPROTOCPP_INCLUDE_ZQPROTO_ZQPROTOJSON_H_
