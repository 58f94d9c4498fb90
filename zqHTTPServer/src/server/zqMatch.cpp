#include "server/zqMatch.h"

#include <cctype>
#include <cstring>

long zq_match_prefix(std::string_view pattern, const char* text) {
  size_t bar = pattern.find('|');
  if (bar != std::string_view::npos) {
    long first = zq_match_prefix(pattern.substr(0, bar), text);
    return first > 0 ? first : zq_match_prefix(pattern.substr(bar + 1), text);
  }

  size_t i = 0;
  long j = 0;
  for (; i < pattern.size(); ++i, ++j) {
    const char p = pattern[i];
    if (p == '?' && text[j] != '\0') continue;
    if (p == '$') return text[j] == '\0' ? j : -1;
    if (p == '*') {
      ++i;
      long len;
      if (i < pattern.size() && pattern[i] == '*') {
        ++i;
        len = static_cast<long>(strlen(text + j));
      } else {
        len = static_cast<long>(strcspn(text + j, "/"));
      }
      if (i == pattern.size()) return j + len;
      // Longest run first, as the library does.
      long res;
      do {
        res = zq_match_prefix(pattern.substr(i), text + j + len);
      } while (res == -1 && len-- > 0);
      return res == -1 ? -1 : j + res + len;
    }
    if (tolower(static_cast<unsigned char>(p)) != tolower(static_cast<unsigned char>(text[j]))) {
      return -1;
    }
  }
  return j;
}
