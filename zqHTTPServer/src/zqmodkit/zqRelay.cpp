#include "zqmodkit/zqRelay.h"

#include <cstdio>
#include <cstring>

#include "core/zqLocks.h"
#include "http/zqResponse.h"
#include "zqcommon/zqLog.h"
#include "zqcommon/zqMsg.h"
#include "zqcommon/zqMsgDebug.h"

namespace {

constexpr size_t kQueryMax = 255;
constexpr uint32_t kRelayVerbosity = 15;
constexpr uint32_t kRequestLogBit = 0x1;  // g_debug: log the request line
constexpr char kVersionFormat[] = "{\"status\":\"0\",\n\"version\":\"%s\"}";
constexpr char kVersion[] = "6.00";
constexpr char kReplyPrefix[] = "/to_mkcgi";
constexpr char kNetService[] = "/to_zqnet";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The legacy answer: one raw head with the fixed header lines, then the body.
ZqAnswer Answer(const char* status, const char* type, const void* body, size_t len) {
  char head[512];
  const int n = snprintf(head, sizeof head,
                         "HTTP/1.1 %s\r\n"
                         "Allow: GET \r\n"
                         "Accept-Ranges: bytes\r\n"
                         "Cache-Control: no-cache\r\n"
                         "Cache-Control: no-store\r\n"
                         "Connection: Keep-Alive\r\n"
                         "Server: Tavro Web Server v1.1\r\n"
                         "Content-Type: %s\r\n"
                         "Content-Length: %zu\r\n"
                         "\r\n",
                         status, type, len);
  std::string out(head, static_cast<size_t>(n));
  out.append(static_cast<const char*>(body), len);
  return ZqAnswer::Raw(std::move(out));
}

ZqAnswer AnswerText(const char* status, const char* text) {
  return Answer(status, kMimeText, text, strlen(text));
}

ZqAnswer AnswerVersion(const char* type) {
  char body[96];
  const int n = snprintf(body, sizeof body, kVersionFormat, kVersion);
  return ZqAnswer::Bytes(200, type, std::string(body, static_cast<size_t>(n)) + "\r\n");
}

}  // namespace

std::string zq_relay_query(const char* uri, const char* query,
                           std::span<const char* const> markers) {
  const char* own = query != nullptr ? query : "";
  std::string out = own;
  for (const char* marker : markers) {
    const char* at = uri != nullptr ? strstr(uri, marker) : nullptr;
    if (at == nullptr) continue;
    out = "cmd=";
    out += at + strlen(marker);
    if (*own != '\0') {
      out += '&';
      out += own;
    }
    break;
  }
  if (out.size() > kQueryMax) out.resize(kQueryMax);
  return out;
}

int zq_relay_decode_arg(const char* text, uint8_t* out, size_t capacity) {
  size_t n = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    int byte = static_cast<unsigned char>(*p);
    if (*p == '%') {
      const int hi = HexDigit(p[1]);
      const int lo = hi >= 0 ? HexDigit(p[2]) : -1;
      if (lo < 0) return -1;
      byte = hi * 16 + lo;
      p += 2;
    }
    if (n == capacity) return -1;
    out[n++] = static_cast<uint8_t>(byte);
  }
  return static_cast<int>(n);
}

ZqAnswer zq_relay(ZqRequest& request, const ZqRelayVariant& variant) {
  if (request.Tls()) return ZqAnswer::Bytes(404, kMimeHtml, "");
  // Both routes name their reply mailbox "/to_mkcgi<pid>", so one lock serves them all: their
  // exchanges never overlap. Held from the query's parsing until the answer is made.
  ZqLock lock(g_relayMutex);

  const std::string uri(request.Uri());
  const std::string raw_query(request.Query());
  const std::string query = zq_relay_query(
      uri.c_str(), request.HasQuery() ? raw_query.c_str() : nullptr, variant.markers);
  if (query.empty()) return AnswerVersion(variant.version_type);

  // The values are at most 7, 31 and 31 bytes.
  std::string cmd, p, t;
  const ZqParam cmd_found = zq_query_param(query, "cmd", 7, &cmd);
  const ZqParam p_found = zq_query_param(query, "p", 31, &p);
  zq_query_param(query, "t", 31, &t);  // only logged
  if (g_debug & kRequestLogBit) {
    ZQ_DBG(0, ">> %s?cmd=%s&t=%s&p=%s\n", variant.request_path, cmd.c_str(), t.c_str(), p.c_str());
  }
  // A value too long for its buffer would otherwise go out empty: refuse it instead.
  if (cmd_found == ZqParam::kTooLong || p_found == ZqParam::kTooLong) {
    ZQ_DBG(kRelayVerbosity, "relay: cmd or p too long in \"%s\"\n", query.c_str());
    return AnswerText("400 Bad Request", "Bad request: cmd or p too long.");
  }
  // "p" was decoded once by the form reader; its "%xx" escapes are decoded once more (a
  // decoded NUL ends it, as it always has).
  uint8_t arg[32];
  const int arg_len = zq_relay_decode_arg(p.c_str(), arg, sizeof arg);
  if (arg_len < 0) {
    ZQ_DBG(kRelayVerbosity, "relay: invalid escape in p=\"%s\"\n", p.c_str());
    return AnswerText("400 Bad Request", "Bad request: invalid escape in p.");
  }

  zqmsg rec;
  zqmsg_build(&rec, cmd.c_str(), arg, static_cast<size_t>(arg_len), CAT_CGI_MK);
  char reply_name[20];
  zqmsg_reply_name(reply_name, sizeof reply_name, kReplyPrefix);
  ZqmsgFailure why = ZqmsgFailure::kNone;
  const int n =
      zqmsg_exchange(&rec, reply_name, variant.dst, kNetService, kZqDumpHbSent, false, &why);
  if (n < 0) {
    const char* text = "Server error: RX timeout.";
    switch (why) {
      case ZqmsgFailure::kRxOpen:
        text = "Server error: RX mbox will not open.";
        break;
      case ZqmsgFailure::kTxOpen:
        text = "Server error: TX mbox will not open.";
        break;
      case ZqmsgFailure::kBadReply:
        text = "Server error: RX message invalid.";
        break;
      default:
        break;
    }
    ZQ_DBG(kRelayVerbosity, "%s (cmd %.2s)\n", text, cmd.c_str());
    return AnswerText("500 Internal Server Error", text);
  }

  // A result of ZQMSG_MAX bytes or more counts as none.
  uint8_t result[ZQMSG_MAX];
  const int len = sntlv_find(result, sizeof result, TLV_RSPARG, rec.msg);
  hexprint(kZqDumpHbResult, result, static_cast<size_t>(len));
  // No result bytes at all says nothing about success: answered like a failed command.
  if (len > 0 && result[0] == 0) {
    return Answer("200 OK", kMimeOctetStream, result, static_cast<size_t>(len));
  }
  return Answer("404 Not Found", kMimeText, result, static_cast<size_t>(len));
}
