// Streaming reader of "multipart/form-data" request bodies (firmware uploads).
//
// Wire format (as browsers and HTTP clients send it):
//
//   preamble (ignored)
//   "--" boundary  [SP|HT]* CRLF
//   header lines, each "Name: value" CRLF, then CRLF
//   part data
//   CRLF "--" boundary  [SP|HT]* CRLF          (the next part's headers follow)
//   ...
//   CRLF "--" boundary "--"                    (the close delimiter; the epilogue is ignored)
//
// The delimiter D = CRLF "--" boundary belongs to neither part: the CRLF before it is not
// data. The first delimiter may open the body without its CRLF. A boundary never occurs in the
// data of its body (the sender chose it so), so D followed by anything but "--" or padding and
// CRLF is a broken body, not data.
//
// Bodies arrive in pieces of any size and a delimiter can be split anywhere between two
// pieces. Part data is handed out as soon as it is known to be data: bytes at the end of a
// piece that may begin D are held back (at most D's length minus one) until the next piece
// shows what they are. When the body ends early (a broken connection), Finish() drops the
// held-back tail, so a consumer only ever receives real data, never the start of a delimiter.
//
// Each part must carry "Content-Disposition: form-data" with its "name" (and, for a file,
// "filename") parameter; "Content-Type" is kept; other headers are ignored. Header lines are
// bounded in length and number, and end with CRLF (a bare LF or CR, or a folded line, is an
// error).
#ifndef ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_PARSEFORMDATA_H_
#define ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_PARSEFORMDATA_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zqfw {

// The headers of one part.
struct FormPart {
  std::string name;                     // the "name" parameter
  std::optional<std::string> filename;  // the "filename" parameter; present marks a file part
  std::string content_type;             // "" when the part has none
};

// Receives the parts of a body in order. Returning false from any call stops the reader with
// MultipartError::kAborted (for example when the data cannot be stored).
class MultipartSink {
 public:
  virtual ~MultipartSink() = default;
  virtual bool OnPartBegin(const FormPart& part) = 0;
  // A run of the current part's data; called any number of times (never with 0 bytes).
  virtual bool OnPartData(std::string_view bytes) = 0;
  // The part's data ended with its delimiter.
  virtual bool OnPartEnd() = 0;
};

enum class MultipartStatus { kNeedMore, kDone, kError };

enum class MultipartError {
  kNone,
  kBadBoundary,     // empty, too long, or with characters a boundary cannot have
  kBadDelimiter,    // a delimiter followed by something other than "--" or padding and CRLF
  kHeaderTooLong,   // a part header line longer than kMaxHeaderLine
  kTooManyHeaders,  // more than kMaxHeaders header lines in one part
  kBadHeader,       // a malformed header line or Content-Disposition
  kTruncated,       // the body ended before the close delimiter
  kAborted,         // the sink returned false
};

// A static text for the log.
const char* MultipartErrorText(MultipartError error);

class MultipartParser {
 public:
  static constexpr size_t kMaxBoundary = 200;  // more than the 70 that senders may use
  static constexpr size_t kMaxHeaderLine = 1024;
  static constexpr size_t kMaxHeaders = 16;

  // A reader for bodies delimited by `boundary`. An unusable boundary puts the reader in the
  // error state (kBadBoundary) at once.
  explicit MultipartParser(std::string_view boundary);

  // Reads the next piece of the body, calling `sink` for what it completes. kDone once the
  // close delimiter was read (any further bytes are epilogue and ignored), kError from the
  // first error on (the sink is not called again), kNeedMore otherwise.
  MultipartStatus Feed(std::string_view piece, MultipartSink& sink);

  // The body ended: kDone when the close delimiter was read, else kError (kTruncated unless an
  // error came first). Held-back bytes are dropped.
  MultipartStatus Finish();

  MultipartError error() const { return error_; }
  // Bytes currently held back because they may begin a delimiter.
  size_t held_back() const { return state_ == State::kData ? matched_ : 0; }
  // Whether the reader is inside a part's data (so that a stop now cuts that part short).
  bool in_part_data() const { return state_ == State::kData; }

 private:
  enum class State {
    kPreamble,
    kAfterDelimiter,
    kCloseDash,
    kPadding,
    kPaddingCr,
    kHeaderLine,
    kHeaderCr,
    kData,
    kEpilogue,
    kError,
  };

  MultipartStatus Fail(MultipartError error);
  enum class Scan { kFound, kNotFound, kAborted };
  // Scans piece[*at..] for the delimiter. Data before it (or all of the piece when there is
  // none, minus a possible delimiter start at its end) is passed to `sink` when `sink` is not
  // null. kFound when the whole delimiter was read; *at then points after it.
  Scan ScanForDelimiter(std::string_view piece, size_t* at, MultipartSink* sink);
  // Handles one complete header line (line_); false on a bad line.
  bool HeaderLine();
  bool ContentDisposition(std::string_view value);

  std::string delimiter_;  // CRLF "--" boundary
  State state_ = State::kPreamble;
  MultipartError error_ = MultipartError::kNone;
  size_t matched_ = 2;  // bytes of delimiter_ matched at the end of the input so far
  size_t padding_ = 0;
  std::string line_;  // the header line being read
  size_t headers_ = 0;
  bool have_disposition_ = false;
  FormPart part_;
};

// The boundary parameter of a Content-Type header value ("multipart/form-data;
// boundary=xyz"), as a token or a quoted string; parameter names are matched without regard
// to case. "" when there is none.
std::string MultipartBoundary(std::string_view content_type);

}  // namespace zqfw

#endif  // ZQ_LIBZQFIRMWARE_INCLUDE_ZQFIRMWARE_PARSEFORMDATA_H_
