#include "http/zqWriter.h"

#include <civetweb.h>

#include <cinttypes>
#include <cstdio>
#include <utility>

namespace {

// Chunks up to this size go out in one write with their framing, so a small chunk is one
// packet rather than three.
constexpr size_t kCoalesceChunk = 16 * 1024;

std::string Head(const ZqAnswer& a) {
  std::string head = "HTTP/1.1 " + std::to_string(a.status()) + " ";
  head += a.reason() != nullptr ? *a.reason() : zq_reason(a.status());
  head += "\r\n";
  if (!a.type().empty()) head += "Content-Type: " + a.type() + "\r\n";
  for (const ZqHeader& h : a.headers()) head += h.name + ": " + h.value + "\r\n";
  return head;
}

bool WriteAll(ZqOut& out, const std::string& s) { return out.Write(s.data(), s.size()); }

// Frames each piece a producer writes as one chunk, after the head (`head`, sent with the
// first piece unless Start sent it before).
class ChunkSink final : public ZqSink {
 public:
  ChunkSink(ZqOut& out, std::string head) : out_(out), head_(std::move(head)) {}
  bool Start() {
    if (started_) return true;
    started_ = true;
    return WriteAll(out_, head_);
  }
  bool started() const { return started_; }
  bool Write(const void* bytes, size_t n) override {
    if (n == 0) return true;  // an empty chunk would end the body
    if (!Start()) return false;
    char head[24];
    const int len = snprintf(head, sizeof head, "%zx\r\n", n);
    if (n <= kCoalesceChunk) {
      std::string frame(head, static_cast<size_t>(len));
      frame.append(static_cast<const char*>(bytes), n);
      frame.append("\r\n");
      return WriteAll(out_, frame);
    }
    return out_.Write(head, static_cast<size_t>(len)) && out_.Write(bytes, n) &&
           out_.Write("\r\n", 2);
  }

 private:
  ZqOut& out_;
  std::string head_;
  bool started_ = false;
};

// Passes a sized body on, and counts it: the producer must write the announced length.
class CountingSink final : public ZqSink {
 public:
  explicit CountingSink(ZqOut& out) : out_(out) {}
  bool Write(const void* bytes, size_t n) override {
    written += n;
    return out_.Write(bytes, n);
  }
  uint64_t written = 0;

 private:
  ZqOut& out_;
};

}  // namespace

const char* zq_reason(int status) {
  const char* text = mg_get_response_code_text(nullptr, status);
  return text != nullptr ? text : "";
}

bool zq_write_answer(const ZqAnswer& a, bool head_only, ZqOut& out) {
  switch (a.body_kind()) {
    case ZqBody::kRaw: {
      const std::string& raw = a.body();
      if (!head_only) return WriteAll(out, raw);
      const size_t end = raw.find("\r\n\r\n");
      return out.Write(raw.data(), end == std::string::npos ? raw.size() : end + 4);
    }
    case ZqBody::kFixed: {
      // An answer that never has a body (1xx, 204) has no length either.
      if ((a.status() >= 100 && a.status() < 200) || a.status() == 204)
        return WriteAll(out, Head(a) + "\r\n");
      std::string text =
          Head(a) + "Content-Length: " + std::to_string(a.body().size()) + "\r\n\r\n";
      if (!head_only) text += a.body();
      return WriteAll(out, text);
    }
    case ZqBody::kSized: {
      if (!WriteAll(out, Head(a) + "Content-Length: " + std::to_string(a.length()) + "\r\n\r\n"))
        return false;
      if (head_only) return true;
      CountingSink sink(out);
      if (a.Produce(sink) && sink.written == a.length()) return true;
      out.Close();  // the client cannot tell a short body from a slow one otherwise
      return false;
    }
    case ZqBody::kChunked: {
      ChunkSink sink(out, Head(a) + "Transfer-Encoding: chunked\r\n\r\n");
      if (head_only) return sink.Start();
      if (!a.instead() && !sink.Start()) return false;
      const bool ok = a.Produce(sink);
      if (!ok && !sink.started() && a.instead()) return zq_write_answer(a.instead()(), false, out);
      if (ok) return sink.Start() && out.Write("0\r\n\r\n", 5);
      // Without the last chunk the client sees the body as cut, not complete.
      out.Close();
      return false;
    }
    case ZqBody::kFile:
      return out.SendFile(a.body(), a.type());
  }
  return false;
}

bool ZqCapture::Write(const void* b, size_t n) {
  if (limit != std::string::npos && bytes.size() + n > limit) return false;
  bytes.append(static_cast<const char*>(b), n);
  return true;
}

bool ZqCapture::SendFile(const std::string& path, const std::string& type) {
  file = path;
  file_type = type;
  return true;
}
