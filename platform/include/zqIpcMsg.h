// Contract of the camera's IPC message library (part of libzqipc): messages of tagged elements
// that the BLE service and the network service exchange over POSIX message queues.
//
// A message has a category and elements in the order they were added; each element is a tag
// and a value of bytes. The byte encoding of a message belongs to the library: callers only
// encode a message into a MemStream to send its bytes, and decode received bytes back. An
// encoded message is at most kZqIpcMaxMessage (zqipc.h) bytes.
//
// Objects are plain values: copyable, not shared between threads while one of them changes.
#ifndef ZQ_PLATFORM_INCLUDE_ZQIPCMSG_H_
#define ZQ_PLATFORM_INCLUDE_ZQIPCMSG_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The bytes of one encoded message.
class MemStream {
 public:
  MemStream() = default;
  MemStream(const void* data, size_t size);

  const uint8_t* data() const { return bytes_.data(); }
  size_t size() const { return bytes_.size(); }
  void Clear() { bytes_.clear(); }
  void Append(const void* data, size_t size);

 private:
  std::vector<uint8_t> bytes_;
};

class MsgElement {
 public:
  MsgElement() = default;
  MsgElement(uint8_t tag, const void* data, size_t size);
  MsgElement(uint8_t tag, std::string_view text);

  uint8_t tag() const { return tag_; }
  const std::vector<uint8_t>& value() const { return value_; }

 private:
  uint8_t tag_ = 0;
  std::vector<uint8_t> value_;
};

class Msg {
 public:
  explicit Msg(uint8_t category = 0) : category_(category) {}

  uint8_t category() const { return category_; }
  const std::vector<MsgElement>& elements() const { return elements_; }
  void AddElement(const MsgElement& element) { elements_.push_back(element); }
  // The first element with `tag`, or nullptr.
  const MsgElement* FindElement(uint8_t tag) const;

  // Encodes the message into `out` (replacing what it held). False, leaving `out` empty, when
  // it would exceed kZqIpcMaxMessage bytes.
  bool Encode(MemStream* out) const;
  // Replaces this message by the one encoded in `in`. False, leaving it empty, when the bytes
  // are not exactly one message of this library.
  bool Decode(const MemStream& in);

 private:
  uint8_t category_;
  std::vector<MsgElement> elements_;
};

#endif  // ZQ_PLATFORM_INCLUDE_ZQIPCMSG_H_
