// The query reading that the metadata query and the paged list share (library-internal).
#ifndef ZQ_LIBZQMEDIARTOSDB_SRC_ZQMEDIADBQUERY_H_
#define ZQ_LIBZQMEDIARTOSDB_SRC_ZQMEDIADBQUERY_H_

#include <cstddef>
#include <string>

// Longest value read from a query.
inline constexpr size_t kDbQueryValueMax = 255;

// Reads `key` of `query` (decoded): 1 found (value in `*out`), 0 absent, -1 empty, -2 longer
// than kDbQueryValueMax, -3 given more than once.
int db_query_value(const char* query, const char* key, std::string* out);

#endif  // ZQ_LIBZQMEDIARTOSDB_SRC_ZQMEDIADBQUERY_H_
