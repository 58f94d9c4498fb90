#include "zqfileio/ZQSinkFileIO.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Keeps every piece; refuses once `room` bytes are taken.
class Pieces final : public ZqSink {
 public:
  bool Write(const void* bytes, size_t n) override {
    if (taken + n > room) return false;
    taken += n;
    pieces.emplace_back(static_cast<const char*>(bytes), n);
    return true;
  }
  std::vector<std::string> pieces;
  size_t taken = 0;
  size_t room = 1 << 20;
};

TEST(ZQSinkFileIO, SequentialWritesArePiecesAndEverythingElseIsRefused) {
  Pieces sink;
  ZQSinkFileIO out(&sink);
  std::vector<uint32_t> results;
  results.push_back(out.write("hello", 5));
  results.push_back(out.write(" world", 6, 5));  // at the current offset
  results.push_back(out.write("x", 1, 3));       // elsewhere: refused
  results.push_back(out.write("", 0, 100));      // nothing elsewhere: a no-op
  results.push_back(out.write("", 0));           // no empty piece mid-stream
  results.push_back(out.setFilePointerOffset(11, kFIOFromStart));
  results.push_back(out.setFilePointerOffset(0, kFIOFromStart));
  results.push_back(out.setFilePointerOffset(0, kFIOFromCurrent));
  results.push_back(out.setFilePointerOffset(0, kFIOFromEnd));
  results.push_back(out.setFilePointerOffset(0, 9));
  char buf[4];
  uint64_t got = 7;
  results.push_back(out.read(buf, 4, &got));
  EXPECT_EQ(got, 0u);
  results.push_back(out.read(buf, 4, &got, 0));
  int64_t size = 0;
  results.push_back(out.getFileSize(&size));
  results.push_back(out.openRead("/x"));
  results.push_back(out.openReadWrite("/x", 1));
  results.push_back(out.openWrite("/x", 1));
  EXPECT_EQ(results, (std::vector<uint32_t>{0, 0, 3, 0, 0, 0, 3, 3, 3, 3, 3, 3, 3, 3, 3, 0}));
  EXPECT_EQ(sink.pieces, (std::vector<std::string>{"hello", " world"}));
  EXPECT_EQ(out.getFilePointerOffset(), 11);
  EXPECT_FALSE(out.failed());
}

TEST(ZQSinkFileIO, ARefusedWriteFailsTheRestOfTheStream) {
  Pieces sink;
  sink.room = 6;
  ZQSinkFileIO out(&sink);
  EXPECT_EQ(out.write("part", 4), 0u);
  EXPECT_EQ(out.write("more", 4), kFIOFailure);
  EXPECT_TRUE(out.failed());
  // Even a piece that would fit now: the stream already has a hole.
  EXPECT_EQ(out.write("x", 1), kFIOFailure);
  EXPECT_EQ(sink.pieces, (std::vector<std::string>{"part"}));
  EXPECT_EQ(out.bytesWritten(), 4u);
}

TEST(ZQSinkFileIO, AClosedStreamTakesNoMore) {
  Pieces sink;
  ZQSinkFileIO out(&sink);
  out.close();
  EXPECT_EQ(out.write("more", 4), kFIOFailure);
  EXPECT_TRUE(sink.pieces.empty());
}

}  // namespace
