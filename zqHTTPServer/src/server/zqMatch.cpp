#include "server/zqMatch.h"

#include <cctype>
#include <cstring>
#include <map>
#include <tuple>

namespace {

// Results already known for (pattern start, pattern length, text offset). The longest-first
// retry after a "*" otherwise tries the same tails again and again: a pattern with k stars
// would cost text length to the power k.
using Memo = std::map<std::tuple<size_t, size_t, long>, long>;

long Match(std::string_view whole, std::string_view pattern, const char* text, long offset,
           Memo* memo);

long MatchMemo(std::string_view whole, std::string_view pattern, const char* text, long offset,
               Memo* memo) {
  const auto key =
      std::make_tuple(static_cast<size_t>(pattern.data() - whole.data()), pattern.size(), offset);
  if (auto it = memo->find(key); it != memo->end()) return it->second;
  const long result = Match(whole, pattern, text, offset, memo);
  memo->emplace(key, result);
  return result;
}

// Length matched from `text + offset`, or -1.
long Match(std::string_view whole, std::string_view pattern, const char* text, long offset,
           Memo* memo) {
  size_t bar = pattern.find('|');
  if (bar != std::string_view::npos) {
    long first = Match(whole, pattern.substr(0, bar), text, offset, memo);
    return first > 0 ? first : Match(whole, pattern.substr(bar + 1), text, offset, memo);
  }

  const char* s = text + offset;
  size_t i = 0;
  long j = 0;
  for (; i < pattern.size(); ++i, ++j) {
    const char p = pattern[i];
    if (p == '?' && s[j] != '\0') continue;
    if (p == '$') return s[j] == '\0' ? j : -1;
    if (p == '*') {
      ++i;
      long len;
      if (i < pattern.size() && pattern[i] == '*') {
        ++i;
        len = static_cast<long>(strlen(s + j));
      } else {
        len = static_cast<long>(strcspn(s + j, "/"));
      }
      if (i == pattern.size()) return j + len;
      // Longest run first, as the library does.
      long res;
      do {
        res = MatchMemo(whole, pattern.substr(i), text, offset + j + len, memo);
      } while (res == -1 && len-- > 0);
      return res == -1 ? -1 : j + res + len;
    }
    if (tolower(static_cast<unsigned char>(p)) != tolower(static_cast<unsigned char>(s[j]))) {
      return -1;
    }
  }
  return j;
}

}  // namespace

long zq_match_prefix(std::string_view pattern, const char* text) {
  Memo memo;
  return Match(pattern, pattern, text, 0, &memo);
}
