// The server library's URI pattern language, for the places where the daemon must decide what
// the library would: which route a URI reaches, which files are hidden.
//
// A pattern matches a prefix of the text. "?" is any one character, "*" any run of characters
// without "/", "**" any run at all, "$" the end of the text, "|" separates alternatives; other
// characters compare case-insensitively.
#ifndef ZQ_ZQHTTPSERVER_SRC_SERVER_ZQMATCH_H_
#define ZQ_ZQHTTPSERVER_SRC_SERVER_ZQMATCH_H_

#include <cstddef>
#include <string_view>

// Length of the matched prefix of `text`, or -1 when `pattern` does not match.
long zq_match_prefix(std::string_view pattern, const char* text);

#endif  // ZQ_ZQHTTPSERVER_SRC_SERVER_ZQMATCH_H_
