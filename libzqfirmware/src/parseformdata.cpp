#include "zqfirmware/parseformdata.h"

#include <algorithm>
#include <cstring>

namespace zqfw {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Bytes allowed in header lines: anything but control characters (tab excepted). Non-ASCII
// bytes pass, since browsers send file names as raw UTF-8.
bool IsHeaderByte(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return c == '\t' || (u >= 0x20 && u != 0x7F);
}

// RFC 7230 token characters (header names, parameter names, unquoted parameter values).
bool IsTokenChar(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u <= 0x20 || u >= 0x7F) return false;
  return strchr("\"(),/:;<=>?@[\\]{}", c) == nullptr;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

void SkipBlanks(std::string_view v, size_t* i) {
  while (*i < v.size() && IsBlank(v[*i])) ++*i;
}

std::string_view Token(std::string_view v, size_t* i) {
  const size_t start = *i;
  while (*i < v.size() && IsTokenChar(v[*i])) ++*i;
  return v.substr(start, *i - start);
}

// An unquoted parameter value: up to the next ';' or blank. Wider than a token, since senders
// put unquoted boundaries such as "----=_Part_1" (characters a token cannot hold).
std::string_view UnquotedValue(std::string_view v, size_t* i) {
  const size_t start = *i;
  while (*i < v.size() && v[*i] != ';' && v[*i] != '"' && !IsBlank(v[*i]) && IsHeaderByte(v[*i]))
    ++*i;
  return v.substr(start, *i - start);
}

// Reads a header value's leading token (returned in *first) and its parameters
// (`; name=value`, values as tokens or quoted strings with backslash escapes), calling
// on_param(name, value) for each. False when the value is malformed.
template <typename F>
bool ParseValue(std::string_view v, std::string_view* first, F on_param) {
  size_t i = 0;
  SkipBlanks(v, &i);
  // The leading value may hold '/' (a media type).
  const size_t start = i;
  while (i < v.size() && (IsTokenChar(v[i]) || v[i] == '/')) ++i;
  *first = v.substr(start, i - start);
  if (first->empty()) return false;
  while (true) {
    SkipBlanks(v, &i);
    if (i == v.size()) return true;
    if (v[i] != ';') return false;
    ++i;
    SkipBlanks(v, &i);
    if (i == v.size()) return true;  // a trailing ';'
    const std::string_view name = Token(v, &i);
    if (name.empty()) return false;
    SkipBlanks(v, &i);
    if (i == v.size() || v[i] != '=') return false;
    ++i;
    SkipBlanks(v, &i);
    std::string value;
    if (i < v.size() && v[i] == '"') {
      ++i;
      while (i < v.size() && v[i] != '"') {
        if (v[i] == '\\' && i + 1 < v.size()) ++i;
        value += v[i++];
      }
      if (i == v.size()) return false;  // no closing quote
      ++i;
    } else {
      value = UnquotedValue(v, &i);
      if (value.empty()) return false;
    }
    on_param(name, value);
  }
}

bool ValidBoundary(std::string_view b) {
  if (b.empty() || b.size() > MultipartParser::kMaxBoundary || b.back() == ' ') return false;
  return std::all_of(b.begin(), b.end(), [](char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x20 && u < 0x7F;
  });
}

}  // namespace

const char* MultipartErrorText(MultipartError error) {
  switch (error) {
    case MultipartError::kNone:
      return "no error";
    case MultipartError::kBadBoundary:
      return "unusable boundary";
    case MultipartError::kBadDelimiter:
      return "delimiter not followed by a line end or the close mark";
    case MultipartError::kHeaderTooLong:
      return "part header line too long";
    case MultipartError::kTooManyHeaders:
      return "too many part header lines";
    case MultipartError::kBadHeader:
      return "malformed part header";
    case MultipartError::kTruncated:
      return "body ended before the close delimiter";
    case MultipartError::kAborted:
      return "part data refused";
  }
  return "unknown error";
}

MultipartParser::MultipartParser(std::string_view boundary) {
  if (!ValidBoundary(boundary)) {
    Fail(MultipartError::kBadBoundary);
    return;
  }
  delimiter_ = "\r\n--";
  delimiter_.append(boundary);
  // The first delimiter may open the body without a line end: read the body as if it began
  // with one (matched_ starts at 2).
  line_.reserve(kMaxHeaderLine);
}

MultipartStatus MultipartParser::Fail(MultipartError error) {
  if (state_ != State::kError) {
    state_ = State::kError;
    error_ = error;
  }
  matched_ = 0;
  return MultipartStatus::kError;
}

// The delimiter's first byte is its only CR (a boundary holds none), so after a mismatch the
// next possible delimiter start is the next CR of the input: held-back bytes never need to be
// matched again, and a run of data between two CRs passes to the sink in one call.
MultipartParser::Scan MultipartParser::ScanForDelimiter(std::string_view piece, size_t* at,
                                                        MultipartSink* sink) {
  const char* p = piece.data();
  const size_t n = piece.size();
  const size_t dlen = delimiter_.size();
  size_t i = *at;
  if (matched_ > 0) {
    const size_t k = std::min(dlen - matched_, n - i);
    if (memcmp(p + i, delimiter_.data() + matched_, k) == 0) {
      matched_ += k;
      *at = i + k;
      if (matched_ < dlen) return Scan::kNotFound;
      matched_ = 0;
      return Scan::kFound;
    }
    // What was held back was data after all. (Before the first delimiter it is preamble, or
    // the pretended line end, and goes nowhere.)
    if (sink != nullptr && !sink->OnPartData(std::string_view(delimiter_.data(), matched_))) {
      return Scan::kAborted;
    }
    matched_ = 0;
  }
  const size_t run = i;
  auto emit = [&](size_t end) {
    return sink == nullptr || end == run || sink->OnPartData(std::string_view(p + run, end - run));
  };
  while (i < n) {
    const void* cr = memchr(p + i, '\r', n - i);
    if (cr == nullptr) break;
    const size_t j = static_cast<size_t>(static_cast<const char*>(cr) - p);
    const size_t k = std::min(dlen, n - j);
    if (memcmp(p + j, delimiter_.data(), k) == 0) {
      if (!emit(j)) return Scan::kAborted;
      *at = j + k;
      if (k < dlen) {
        matched_ = k;  // held back until the next piece shows what it is
        return Scan::kNotFound;
      }
      return Scan::kFound;
    }
    i = j + 1;
  }
  if (!emit(n)) return Scan::kAborted;
  *at = n;
  return Scan::kNotFound;
}

MultipartStatus MultipartParser::Feed(std::string_view piece, MultipartSink& sink) {
  size_t at = 0;
  while (at < piece.size()) {
    if (state_ == State::kError) return MultipartStatus::kError;
    if (state_ == State::kEpilogue) return MultipartStatus::kDone;
    if (state_ == State::kPreamble || state_ == State::kData) {
      const bool data = state_ == State::kData;
      const Scan r = ScanForDelimiter(piece, &at, data ? &sink : nullptr);
      if (r == Scan::kAborted) return Fail(MultipartError::kAborted);
      if (r == Scan::kFound) {
        if (data && !sink.OnPartEnd()) return Fail(MultipartError::kAborted);
        state_ = State::kAfterDelimiter;
      }
      continue;
    }
    if (state_ == State::kHeaderLine) {
      // Copy up to the line end in one go.
      const char* p = piece.data() + at;
      const size_t left = piece.size() - at;
      size_t len = 0;
      while (len < left && p[len] != '\r' && p[len] != '\n') ++len;
      if (line_.size() + len > kMaxHeaderLine) return Fail(MultipartError::kHeaderTooLong);
      line_.append(p, len);
      at += len;
      if (len == left) continue;
      if (p[len] == '\n') return Fail(MultipartError::kBadHeader);
      ++at;
      state_ = State::kHeaderCr;
      continue;
    }
    const char c = piece[at++];
    switch (state_) {
      case State::kAfterDelimiter:
        if (c == '-') {
          state_ = State::kCloseDash;
        } else if (IsBlank(c)) {
          padding_ = 1;
          state_ = State::kPadding;
        } else if (c == '\r') {
          state_ = State::kPaddingCr;
        } else {
          return Fail(MultipartError::kBadDelimiter);
        }
        break;
      case State::kCloseDash:
        if (c != '-') return Fail(MultipartError::kBadDelimiter);
        state_ = State::kEpilogue;
        return MultipartStatus::kDone;
      case State::kPadding:
        if (c == '\r') {
          state_ = State::kPaddingCr;
        } else if (!IsBlank(c) || ++padding_ > kMaxHeaderLine) {
          return Fail(MultipartError::kBadDelimiter);
        }
        break;
      case State::kPaddingCr:
        if (c != '\n') return Fail(MultipartError::kBadDelimiter);
        line_.clear();
        headers_ = 0;
        have_disposition_ = false;
        part_ = FormPart();
        state_ = State::kHeaderLine;
        break;
      case State::kHeaderCr:
        if (c != '\n') return Fail(MultipartError::kBadHeader);
        if (line_.empty()) {
          if (!have_disposition_) return Fail(MultipartError::kBadHeader);
          if (!sink.OnPartBegin(part_)) return Fail(MultipartError::kAborted);
          matched_ = 0;
          state_ = State::kData;
          break;
        }
        if (++headers_ > kMaxHeaders) return Fail(MultipartError::kTooManyHeaders);
        if (!HeaderLine()) return Fail(MultipartError::kBadHeader);
        line_.clear();
        state_ = State::kHeaderLine;
        break;
      default:
        return Fail(MultipartError::kBadHeader);  // not reached: every state is handled
    }
  }
  if (state_ == State::kError) return MultipartStatus::kError;
  return state_ == State::kEpilogue ? MultipartStatus::kDone : MultipartStatus::kNeedMore;
}

MultipartStatus MultipartParser::Finish() {
  if (state_ == State::kEpilogue) return MultipartStatus::kDone;
  return Fail(MultipartError::kTruncated);
}

bool MultipartParser::HeaderLine() {
  const std::string_view line = line_;
  if (IsBlank(line.front())) return false;  // folded lines are not allowed
  if (!std::all_of(line.begin(), line.end(), IsHeaderByte)) return false;
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;
  const std::string_view name = line.substr(0, colon);
  if (name.empty() || !std::all_of(name.begin(), name.end(), IsTokenChar)) return false;
  std::string_view value = line.substr(colon + 1);
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
  if (EqualsNoCase(name, "content-disposition")) {
    // Two dispositions would leave the part's name ambiguous.
    if (have_disposition_) return false;
    have_disposition_ = true;
    return ContentDisposition(value);
  }
  if (EqualsNoCase(name, "content-type")) part_.content_type.assign(value);
  return true;
}

bool MultipartParser::ContentDisposition(std::string_view value) {
  bool have_name = false;
  std::string_view type;
  const bool ok = ParseValue(value, &type, [&](std::string_view param, const std::string& v) {
    if (EqualsNoCase(param, "name") && !have_name) {
      part_.name = v;
      have_name = true;
    } else if (EqualsNoCase(param, "filename") && !part_.filename) {
      part_.filename = v;
    }
  });
  return ok && have_name && EqualsNoCase(type, "form-data");
}

std::string MultipartBoundary(std::string_view content_type) {
  std::string boundary;
  bool found = false;
  std::string_view type;
  ParseValue(content_type, &type, [&](std::string_view param, const std::string& v) {
    if (!found && EqualsNoCase(param, "boundary")) {
      boundary = v;
      found = true;
    }
  });
  return boundary;
}

}  // namespace zqfw
