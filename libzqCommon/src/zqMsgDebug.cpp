#include "zqcommon/zqMsgDebug.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>

#include "zqcommon/zqLog.h"

namespace {

struct Direction {
  const char* mark;  // three characters; nullptr for the blank label
  int lead;          // blanks before the mark
  uint32_t bit;      // in g_debug
};

// Directions pair up as request in, request out, reply in, reply out per peer; the DB marks
// share their bits with the BT ones.
constexpr Direction kDirections[kZqDumpDirections] = {
    {nullptr, 0, 0},       {">Hb", 0, 0x1},        {"Hb>", 1, 0x2},        {"Hb<", 1, 0x4},
    {"<Hb", 0, 0x8},       {">Hc", 0, 0x10},       {"Hc>", 1, 0x20},       {"Hc<", 1, 0x40},
    {"<Hc", 0, 0x80},      {">UD", 0, 0x100},      {"UD>", 1, 0x200},      {"UD<", 1, 0x400},
    {"<UD", 0, 0x800},     {">GN", 4, 0x10000},    {"GN>", 5, 0x20000},    {"GN<", 5, 0x40000},
    {"<GN", 4, 0x80000},   {">RT", 8, 0x100000},   {"RT>", 9, 0x200000},   {"RT<", 9, 0x400000},
    {"<RT", 8, 0x800000},  {">WI", 8, 0x1000000},  {"<WI", 8, 0x2000000},  {">BT", 8, 0x4000000},
    {"<BT", 8, 0x8000000}, {">XX", 8, 0x10000000}, {"<XX", 8, 0x20000000}, {"DB>", 0, 0x4000000},
    {"DB<", 0, 0x8000000},
};

constexpr size_t kLabelWidth = 12;
constexpr size_t kBytesPerLine = 16;
constexpr uint32_t kVerbosityMask = 0xFF;
constexpr uint32_t kAssertVerbosity = 7;

}  // namespace

void zq_assert_fail(const char* file, const char* function, int line, const char* expression) {
  if ((g_debug_level & kVerbosityMask) > kAssertVerbosity) {
    char stamp[32];
    zqDebugStamp(stamp, sizeof stamp);
    char text[512];
    snprintf(text, sizeof text, "%s \033[31mASSERT:%s/%s:%d:%s\n\033[0m", stamp, file, function,
             line, expression);
    zqDebugEmit(text);
  }
  raise(SIGABRT);
  exit(-1);
}

std::string zq_dump_label(int index) {
  if (index < 0 || index >= kZqDumpDirections) return std::string();
  std::string label(kLabelWidth, ' ');
  const Direction& d = kDirections[index];
  if (d.mark != nullptr) label.replace(static_cast<size_t>(d.lead), 3, d.mark);
  return label;
}

uint32_t zq_dump_bit(int index) {
  if (index < 0 || index >= kZqDumpDirections) return 0;
  return kDirections[index].bit;
}

std::string hexline(const char* label, size_t offset, const uint8_t* data, size_t n) {
  if (n > kBytesPerLine) n = kBytesPerLine;
  char head[64];
  snprintf(head, sizeof head, "%-11s%08zx  ", label, offset & ~static_cast<size_t>(15));
  std::string out = head;
  for (size_t i = 0; i < kBytesPerLine; ++i) {
    char byte[3] = {' ', ' ', '\0'};
    if (i < n) snprintf(byte, sizeof byte, "%02x", data[i]);
    out += byte;
    if (i == 3 || i == 7 || i == 11) out += ' ';
  }
  out += "  ";
  for (size_t i = 0; i < n; ++i) {
    out += (data[i] >= 32 && data[i] <= 126) ? static_cast<char>(data[i]) : '.';
  }
  return out;
}

std::string snhexdump_text(const char* label, const uint8_t* data, size_t len) {
  std::string out;
  for (size_t off = 0; off < len; off += kBytesPerLine) {
    const size_t n = len - off < kBytesPerLine ? len - off : kBytesPerLine;
    out += hexline(label, off, data + off, n);
    out += '\n';
  }
  return out;
}

void snhexdump(const char* label, const uint8_t* data, size_t len) {
  for (size_t off = 0; off < len; off += kBytesPerLine) {
    const size_t n = len - off < kBytesPerLine ? len - off : kBytesPerLine;
    zqDebugEmit(hexline(label, off, data + off, n).c_str());
  }
}

void hexprint(int index, const uint8_t* data, size_t len) {
  if ((g_debug_level & kZqDebugHexDump) == 0) return;
  const uint32_t bit = zq_dump_bit(index);
  if (bit == 0 || (g_debug & bit) == 0) return;
  snhexdump(zq_dump_label(index).c_str(), data, len);
}
