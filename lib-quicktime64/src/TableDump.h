// Dumps of long tables: the first entries, then how many more there are, so that the dump of
// an hour-long recording stays readable (every sample is listed by `zqmp4 samples`).
#ifndef ZQ_LIB_QUICKTIME64_SRC_TABLEDUMP_H_
#define ZQ_LIB_QUICKTIME64_SRC_TABLEDUMP_H_

#include <cstddef>
#include <string>

namespace MavrelQuickTime64Atom {

inline constexpr size_t kDumpedEntries = 20;

inline void DumpMore(std::string& out, int depth, size_t total) {
  if (total <= kDumpedEntries) return;
  for (int i = 0; i < depth; ++i) out += "|\t";
  out += "... " + std::to_string(total - kDumpedEntries) + " more entries\n";
}

// Entries with their own Cat.
template <class Entries>
void DumpTable(std::string& out, int depth, const Entries& entries) {
  size_t n = 0;
  for (const auto& e : entries) {
    if (n++ == kDumpedEntries) break;
    e.Cat(&out, depth);
  }
  DumpMore(out, depth, entries.size());
}

// Plain numbers, "<name>: <value>" per line.
template <class Numbers>
void DumpNumbers(std::string& out, int depth, const char* name, const Numbers& numbers) {
  size_t n = 0;
  for (const auto& v : numbers) {
    if (n++ == kDumpedEntries) break;
    for (int i = 0; i < depth; ++i) out += "|\t";
    out += std::string(name) + ": " + std::to_string(v) + "\n";
  }
  DumpMore(out, depth, numbers.size());
}

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_SRC_TABLEDUMP_H_
