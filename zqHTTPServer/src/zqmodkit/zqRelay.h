// The legacy two-letter command relay shared by "/modkit", "/zq/zqModkit" and "/zq/zqCamera":
// the URL names a command and an argument, which go as one TLV message to the camera's network
// service ("/to_zqnet"); the result bytes of its response are the HTTP body.
//
//   /modkit/XY?p=%2501        command "XY", argument the byte 0x01 ("p" is decoded twice)
//   /zq/zqCamera?cmd=XY&p=..  the same, addressed to the camera process ("/to_camera")
//
// Answers are written as one raw head (fixed legacy header lines) and the body:
//   200 application/octet-stream  result bytes whose first byte is 0 (success)
//   404 text/plain                result bytes whose first byte is not 0, or no result bytes
//   500 text/plain                "Server error: ..." when the exchange fails
//   400 text/plain                a command or argument that cannot be relayed as given
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQMODKIT_ZQRELAY_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQMODKIT_ZQRELAY_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "http/zqAnswer.h"
#include "http/zqRequest.h"

// What tells the relay's routes apart.
struct ZqRelayVariant {
  std::span<const char* const> markers;  // path markers, searched in order
  const char* dst;                       // DST of the message
  const char* request_path;              // in the request log line: "/modkit" or "/camera"
  const char* version_type;              // content type of the answer without a command
};

// Answers one request for `variant`. Requests of all variants run one at a time: they share
// the reply mailbox name.
ZqAnswer zq_relay(ZqRequest& request, const ZqRelayVariant& variant);

// The query the relay reads: with a marker in `uri`, "cmd=" + the text after it (+ "&" +
// `query` when there is one); otherwise `query` (nullptr counts as ""). At most 255 chars.
std::string zq_relay_query(const char* uri, const char* query,
                           std::span<const char* const> markers);

// Decodes "%" and two hexadecimal digits (either case) into one byte, other bytes as they are,
// into `out` (`capacity` bytes). Returns the byte count, or -1 for a "%" without two hex digits
// or output that does not fit.
int zq_relay_decode_arg(const char* text, uint8_t* out, size_t capacity);

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQMODKIT_ZQRELAY_H_
