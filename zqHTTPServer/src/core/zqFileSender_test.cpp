// The file sender's transfer loop: the chunks it reads and sends, how it ends, and that reading
// the next chunk overlaps sending this one. Its answers (heads, ranges, validators, listings,
// refusals) are pinned byte for byte end to end, over the daemon's own configuration.
#include "core/zqFileSender.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int64_t kChunk = static_cast<int64_t>(kZqFileChunk);

// A file in memory read as the sender reads the card, and a client that keeps what it gets.
// Hooks let a case fail a read or a write, or make the camera busy, at a chosen chunk.
class FakeTransfer {
 public:
  explicit FakeTransfer(int64_t size) : file_(static_cast<size_t>(size), '\0') {
    for (size_t i = 0; i < file_.size(); ++i) file_[i] = static_cast<char>(i * 131 + i / 4096);
    io_.read = [this](char* buf, size_t n, int64_t offset) { return Read(buf, n, offset); };
    io_.write = [this](const char* bytes, size_t n) { return Write(bytes, n); };
    io_.busy = [this] { return busy_.load(); };
    io_.sent = [this](int64_t pos) { positions.push_back(pos); };
  }

  ZqTransfer Run(int64_t first, int64_t last) { return zqfs_transfer(io_, first, last); }

  std::string Slice(int64_t first, int64_t last) const {
    return file_.substr(static_cast<size_t>(first), static_cast<size_t>(last - first + 1));
  }

  int fail_read_at = -1;   // this read (counted from 0) fails
  int fail_write_at = -1;  // this write fails
  int busy_after = -1;     // the camera becomes busy once this write is done
  // Called at the start of every write with its index (before the bytes are taken).
  std::function<void(int)> on_write;
  // Called at the start of every read with its index.
  std::function<void(int)> on_read;

  std::string received;
  std::vector<int64_t> positions;  // reported after each chunk
  int reads = 0;
  int writes = 0;
  int most_ahead = 0;  // the largest count of reads started beyond the writes done
  bool misaligned = false;

 private:
  long Read(char* buf, size_t n, int64_t offset) {
    int index;
    {
      std::lock_guard<std::mutex> lock(mu_);
      index = reads++;
      most_ahead = std::max(most_ahead, reads - writes_done_);
    }
    if (on_read) on_read(index);
    if (offset % 4096 != 0 || n % 4096 != 0 || reinterpret_cast<uintptr_t>(buf) % 4096 != 0 ||
        n > kZqFileChunk) {
      misaligned = true;
    }
    if (index == fail_read_at) return -1;
    if (offset >= static_cast<int64_t>(file_.size())) return 0;
    const size_t got = std::min(n, file_.size() - static_cast<size_t>(offset));
    memcpy(buf, file_.data() + offset, got);
    return static_cast<long>(got);
  }

  bool Write(const char* bytes, size_t n) {
    const int index = writes++;
    if (on_write) on_write(index);
    if (index == fail_write_at) return false;
    received.append(bytes, n);
    if (index == busy_after) busy_ = true;
    std::lock_guard<std::mutex> lock(mu_);
    ++writes_done_;
    return true;
  }

  std::string file_;
  ZqChunkIo io_;
  std::atomic<bool> busy_{false};
  std::mutex mu_;
  int writes_done_ = 0;  // guarded by mu_
};

struct RangeCase {
  const char* name;
  int64_t size;
  int64_t first;
  int64_t last;
};

TEST(FileSender, SendsEveryRangeWholeAndInOrderFromAlignedReads) {
  const int64_t big = 3 * kChunk + 1234;
  const RangeCase cases[] = {
      {"whole file of several chunks", big, 0, big - 1},
      {"whole file of exactly two chunks", 2 * kChunk, 0, 2 * kChunk - 1},
      {"unaligned both ends, across chunks", big, kChunk - 5, 2 * kChunk + 7},
      {"unaligned range that fits one chunk's span but not one read", big, 4095, kChunk + 10},
      {"one byte", big, 5000, 5000},
      {"the last byte", big, big - 1, big - 1},
      {"small file", 100, 0, 99},
      {"the short last chunk alone", big, 3 * kChunk, big - 1},
  };
  for (const RangeCase& c : cases) {
    FakeTransfer t(c.size);
    EXPECT_EQ(t.Run(c.first, c.last), ZqTransfer::kDone) << c.name;
    EXPECT_EQ(t.received, t.Slice(c.first, c.last)) << c.name;
    EXPECT_FALSE(t.misaligned) << c.name;
    ASSERT_FALSE(t.positions.empty()) << c.name;
    EXPECT_EQ(t.positions.back(), c.last + 1) << c.name;
    for (size_t i = 1; i < t.positions.size(); ++i) {
      EXPECT_GT(t.positions[i], t.positions[i - 1]) << c.name;
    }
    // One read per chunk: nothing read twice, nothing read past what the range needs.
    const int64_t span = c.last + 1 - (c.first - c.first % 4096);
    EXPECT_EQ(t.reads, (span + kChunk - 1) / kChunk) << c.name;
  }
}

TEST(FileSender, FileShorterThanTheRangeSendsWhatItHasAndFails) {
  const int64_t size = 2 * kChunk + 300;
  const RangeCase cases[] = {
      {"ends inside the last chunk", size, 0, 3 * kChunk - 1},
      {"ends on a chunk boundary", 2 * kChunk, 10, 3 * kChunk - 1},
      {"ends before the range starts", 1000, 2000, 5000},
  };
  for (const RangeCase& c : cases) {
    FakeTransfer t(c.size);
    EXPECT_EQ(t.Run(c.first, c.last), ZqTransfer::kReadFailed) << c.name;
    const int64_t have = std::max<int64_t>(0, c.size - c.first);
    EXPECT_EQ(t.received, have > 0 ? t.Slice(c.first, c.size - 1) : "") << c.name;
  }
}

// A transfer cut midway: by a failed read, a client that takes no more, or the camera
// becoming busy. The chunks before the cut arrive whole, nothing after it, and the reader stops
// within one chunk of the cut (at once after a failed read).
TEST(FileSender, CutMidwaySendsTheChunksBeforeItAndStopsTheReader) {
  struct Case {
    const char* name;
    int read_fails;   // this read fails
    int write_fails;  // this write fails
    int busy_after;   // the camera becomes busy once this chunk is sent
    ZqTransfer end;
    int chunks_sent;
    int most_reads;
  };
  const Case cases[] = {
      {"first read fails", 0, -1, -1, ZqTransfer::kReadFailed, 0, 1},
      {"second read fails", 1, -1, -1, ZqTransfer::kReadFailed, 1, 2},
      {"client gone at once", -1, 0, -1, ZqTransfer::kWriteFailed, 0, 2},
      {"client gone at the second chunk", -1, 1, -1, ZqTransfer::kWriteFailed, 1, 3},
      {"busy after the first chunk", -1, -1, 0, ZqTransfer::kBusy, 1, 2},
  };
  for (const Case& c : cases) {
    FakeTransfer t(8 * kChunk);
    t.fail_read_at = c.read_fails;
    t.fail_write_at = c.write_fails;
    t.busy_after = c.busy_after;
    EXPECT_EQ(t.Run(0, 8 * kChunk - 1), c.end) << c.name;
    EXPECT_EQ(t.received, c.chunks_sent > 0 ? t.Slice(0, c.chunks_sent * kChunk - 1) : "")
        << c.name;
    EXPECT_LE(t.reads, c.most_reads) << c.name;
  }
}

TEST(FileSender, BusyCameraFromTheStartIsNotRead) {
  // For a range of several chunks and for one that fits one read.
  ZqChunkIo io;
  int reads = 0;
  io.read = [&reads](char*, size_t n, int64_t) {
    ++reads;
    return static_cast<long>(n);
  };
  io.write = [](const char*, size_t) { return true; };
  io.busy = [] { return true; };
  io.sent = [](int64_t) {};
  EXPECT_EQ(zqfs_transfer(io, 0, 8 * kChunk - 1), ZqTransfer::kBusy);
  EXPECT_EQ(zqfs_transfer(io, 0, 10), ZqTransfer::kBusy);
  EXPECT_EQ(reads, 0) << "a busy camera's card is not read";
}

// The read of chunk N+1 runs while chunk N is being sent, and never more than one chunk
// ahead: a write that waits for the next read to start would wait forever if reads and
// writes took turns.
TEST(FileSender, NextReadOverlapsTheSendAndRunsOneChunkAheadAtMost) {
  constexpr int kChunks = 6;
  FakeTransfer t(kChunks * kChunk);
  std::mutex mu;
  std::condition_variable cv;
  int reads_started = 0;
  bool overlapped = true;
  t.on_read = [&](int index) {
    std::lock_guard<std::mutex> lock(mu);
    reads_started = index + 1;
    cv.notify_all();
  };
  t.on_write = [&](int index) {
    std::unique_lock<std::mutex> lock(mu);
    if (!overlapped) return;  // failed already: no need to wait again
    const bool next_read = cv.wait_for(lock, std::chrono::seconds(10), [&] {
      return reads_started >= std::min(index + 2, kChunks);
    });
    overlapped = overlapped && next_read;
  };
  EXPECT_EQ(t.Run(0, kChunks * kChunk - 1), ZqTransfer::kDone);
  EXPECT_TRUE(overlapped) << "a chunk was sent before the next one's read had started";
  EXPECT_EQ(t.received, t.Slice(0, kChunks * kChunk - 1));
  EXPECT_LE(t.most_ahead, 2) << "the reader ran more than one chunk ahead of the writer";
}

}  // namespace
