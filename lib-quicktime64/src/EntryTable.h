// Tables of fixed-size entries, as the sample-table and edit-list atoms store them: a uint32
// entry count, then the entries. Helpers shared by those atoms and their entry classes.
#ifndef ZQ_LIB_QUICKTIME64_SRC_ENTRYTABLE_H_
#define ZQ_LIB_QUICKTIME64_SRC_ENTRYTABLE_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "quicktime64/ByteStream.h"
#include "quicktime64/QuickTime64Results.h"

namespace MavrelQuickTime64Atom {

// Reads the count and the entries (each `entrySize` bytes, read by `readOne`). A count whose
// entries would not fit in the bytes left is malformed, and nothing is allocated for it.
template <class Entry, class ReadOne>
uint32_t ReadCountedEntries(ByteReader& in, uint64_t entrySize, std::vector<Entry>* entries,
                            ReadOne readOne) {
  uint32_t count = in.U32();
  entries->clear();
  if (!in.ok() || in.Remaining() / entrySize < count) return kQTAtomMalformed;
  entries->resize(count);
  for (Entry& e : *entries) readOne(e);
  return in.ok() ? 0 : kQTAtomMalformed;
}

template <class Entry>
uint32_t ReadCountedEntries(ByteReader& in, std::vector<Entry>* entries) {
  return ReadCountedEntries(in, Entry::Size(), entries, [&in](Entry& e) { e.Read(in); });
}

template <class Entry>
void WriteCountedEntries(ByteWriter& out, const std::vector<Entry>& entries) {
  out.U32(static_cast<uint32_t>(entries.size()));
  for (const Entry& e : entries) e.Write(out);
}

// One line of an entry's dump at `depth`.
inline void AppendEntryLine(std::string* out, int depth, const std::string& text) {
  for (int i = 0; i < depth; ++i) *out += "|\t";
  *out += text;
  *out += '\n';
}

// Print of an entry: its Cat, to standard output.
template <class Entry>
void PrintEntry(const Entry& entry, int depth) {
  std::string text;
  entry.Cat(&text, depth);
  fputs(text.c_str(), stdout);
}

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_SRC_ENTRYTABLE_H_
