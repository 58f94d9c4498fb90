#include "http/zqWriter.h"

#include <civetweb.h>
#include <strings.h>

#include <cinttypes>
#include <cstdio>
#include <utility>

namespace {

// Chunks up to this size go out in one write with their framing, so a small chunk is one
// packet rather than three.
constexpr size_t kCoalesceChunk = 16 * 1024;

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// The value of the extra header `name` the answer names itself, or nullptr.
const std::string* Named(const ZqAnswer& a, const char* name) {
  for (const ZqHeader& h : a.headers()) {
    if (SameName(h.name, name)) return &h.value;
  }
  return nullptr;
}

// An answer that never has a body, and so no length either.
bool Bodiless(int status) {
  return (status >= 100 && status < 200) || status == 204 || status == 304;
}

// The head up to its framing: the status line, the type unless the answer names it among its
// headers, and the headers.
std::string Head(const ZqAnswer& a) {
  std::string head = "HTTP/1.1 " + std::to_string(a.status()) + " ";
  head += a.reason() != nullptr ? *a.reason() : zq_reason(a.status());
  head += "\r\n";
  if (!a.type().empty() && Named(a, "Content-Type") == nullptr) {
    head += "Content-Type: " + a.type() + "\r\n";
  }
  for (const ZqHeader& h : a.headers()) head += h.name + ": " + h.value + "\r\n";
  return head;
}

// The whole head of a body framed by `name: value`: the framing comes last unless the answer
// named it. False when the answer named it with another value.
bool FramedHead(const ZqAnswer& a, const char* name, const std::string& value, std::string* head) {
  const std::string* named = Named(a, name);
  if (named != nullptr && *named != value) return false;
  *head = Head(a);
  if (named == nullptr) *head += std::string(name) + ": " + value + "\r\n";
  *head += "\r\n";
  return true;
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
  if (a.ends_connection()) out.Close();
  std::string head;
  switch (a.body_kind()) {
    case ZqBody::kRaw: {
      const std::string& raw = a.body();
      if (!head_only) return WriteAll(out, raw);
      const size_t end = raw.find("\r\n\r\n");
      return out.Write(raw.data(), end == std::string::npos ? raw.size() : end + 4);
    }
    case ZqBody::kFixed: {
      if (Bodiless(a.status())) return WriteAll(out, Head(a) + "\r\n");
      if (!FramedHead(a, "Content-Length", std::to_string(a.body().size()), &head)) break;
      if (!head_only) head += a.body();
      return WriteAll(out, head);
    }
    case ZqBody::kSized: {
      if (!FramedHead(a, "Content-Length", std::to_string(a.length()), &head)) break;
      if (!WriteAll(out, head)) return false;
      if (head_only) return true;
      CountingSink sink(out);
      // An empty body needs no producer run.
      if ((a.length() == 0 || a.Produce(sink)) && sink.written == a.length()) return true;
      out.Cut();  // the client cannot tell a short body from a slow one otherwise
      return false;
    }
    case ZqBody::kChunked: {
      if (!FramedHead(a, "Transfer-Encoding", "chunked", &head)) break;
      ChunkSink sink(out, std::move(head));
      if (head_only) return sink.Start();
      if (!a.instead() && !sink.Start()) return false;
      const bool ok = a.Produce(sink);
      if (!ok && !sink.started() && a.instead()) return zq_write_answer(a.instead()(), false, out);
      if (ok) return sink.Start() && out.Write("0\r\n\r\n", 5);
      // Without the last chunk the client sees the body as cut, not complete.
      out.Cut();
      return false;
    }
  }
  // Framing that disagrees with the body: nothing the client could read right goes out.
  out.Cut();
  return false;
}

bool ZqCapture::Write(const void* b, size_t n) {
  if (limit != std::string::npos && bytes.size() + n > limit) return false;
  bytes.append(static_cast<const char*>(b), n);
  return true;
}
