// The file access layer: plain, block-aware, O_DIRECT cached and in-memory FileIOs, buffers,
// the synchronous and asynchronous readers, and the writers.
#include "zqfileio/FileIO.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "zqfileio/AsyncFileReader.h"
#include "zqfileio/BlockFileIO.h"
#include "zqfileio/CachedAlignedOdirectFileIO.h"
#include "zqfileio/FileBuffer.h"
#include "zqfileio/FileIOAllocator.h"
#include "zqfileio/FopenODIR.h"
#include "zqfileio/MemoryFileIO.h"
#include "zqfileio/StdOutFileWriter.h"
#include "zqfileio/SyncBlockIOFileWriter.h"
#include "zqfileio/SyncFileReader.h"
#include "zqfileio/SyncFileWriter.h"
#include "zqtest/TempDir.h"

namespace {

std::string Pattern(size_t n, uint32_t seed = 7) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

class FileIOTest : public testing::Test {
 protected:
  std::string Make(const std::string& name, const std::string& bytes) {
    std::string path = dir_.path() + "/" + name;
    zqtest::WriteFile(path, bytes);
    return path;
  }
  zqtest::TempDir dir_;
};

TEST_F(FileIOTest, PlainReadsAreOneCallAndShortReadsAreIncomplete) {
  std::string content = Pattern(1000);
  std::string path = Make("a.bin", content);
  FileIO file;
  ASSERT_EQ(file.openRead(path.c_str()), 0u);
  char buf[100];
  uint64_t got = 0;
  EXPECT_EQ(file.read(buf, 100, &got, 960), kFIOIncomplete);
  EXPECT_EQ(got, 40u);
  EXPECT_EQ(memcmp(buf, content.data() + 960, 40), 0);
  EXPECT_EQ(file.read(buf, 100, &got, 0), 0u);
  EXPECT_EQ(file.getFilePointerOffset(), 100);

  BlockFileIO block;
  ASSERT_EQ(block.openRead(path.c_str()), 0u);
  EXPECT_GE(block.blockSize(), 512u);
  EXPECT_EQ(block.read(buf, 100, &got, 960), 0u);  // short by less than a block
  EXPECT_EQ(got, 40u);
  EXPECT_EQ(block.read(buf, 100, &got, 1000), kFIOIncomplete);  // nothing at all
  EXPECT_EQ(got, 0u);
}

TEST_F(FileIOTest, DirectionSeekAndSizeRules) {
  std::string path = Make("b.bin", Pattern(300));
  FileIO file;
  char buf[8];
  uint64_t got = 0;
  EXPECT_EQ(file.read(buf, 8, &got), kFIOFailure);  // not open
  EXPECT_EQ(file.openReadWrite(path.c_str(), 1), kFIOFailure);
  ASSERT_EQ(file.openRead(path.c_str()), 0u);
  EXPECT_TRUE(file.canRead());
  EXPECT_FALSE(file.canWrite());
  EXPECT_EQ(file.write("x", 1), kFIOFailure);
  EXPECT_EQ(file.setFilePointerOffset(10, 7), kFIOFailure);
  EXPECT_EQ(file.setFilePointerOffset(-5, kFIOFromStart), kFIOFailure);
  ASSERT_EQ(file.setFilePointerOffset(-100, kFIOFromEnd), 0u);
  int64_t size = 0;
  EXPECT_EQ(file.getFileSize(&size), 0u);
  EXPECT_EQ(size, 300);
  EXPECT_EQ(file.getFilePointerOffset(), 200);  // kept across the size query
  EXPECT_EQ(file.close(), 0u);
  EXPECT_EQ(file.descriptor(), 0);
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(file.openRead((dir_.path() + "/missing").c_str()), kFIOFailure);
}

TEST_F(FileIOTest, WriteStyles) {
  std::string path = dir_.path() + "/w.bin";
  FileIO file;
  ASSERT_EQ(file.openWrite(path.c_str(), kFIOWriteTruncate), 0u);
  ASSERT_EQ(file.write("abcdef", 6), 0u);
  ASSERT_EQ(file.write("Z", 1, 2), 0u);
  file.close();
  EXPECT_EQ(zqtest::ReadFile(path), "abZdef");
  ASSERT_EQ(file.openWrite(path.c_str(), kFIOWriteAppend), 0u);
  ASSERT_EQ(file.write("gh", 2), 0u);
  file.close();
  EXPECT_EQ(zqtest::ReadFile(path), "abZdefgh");
  ASSERT_EQ(file.openWrite(path.c_str(), kFIOWriteKeep), 0u);
  ASSERT_EQ(file.write("12", 2), 0u);
  file.close();
  EXPECT_EQ(zqtest::ReadFile(path), "12Zdefgh");
  ASSERT_EQ(file.openWrite(path.c_str(), kFIOWriteTruncate), 0u);
  file.close();
  EXPECT_EQ(zqtest::ReadFile(path), "");

  BlockFileIO block;
  ASSERT_EQ(block.openWrite((dir_.path() + "/new.bin").c_str(), kFIOWriteTruncate), 0u);
  EXPECT_EQ(block.blockSize(), 512u);  // probed before the file existed
  uint32_t probed = 1;
  EXPECT_EQ(BlockFileIO::getFileSystemBlockSize(nullptr, &probed), kFIOFailure);
  EXPECT_EQ(BlockFileIO::getFileSystemBlockSize("/nonexistent/x", &probed), 0u);
  EXPECT_EQ(probed, 512u);
}

// Reads through a cached aligned FileIO agree with the file for every access pattern.
void CheckCachedReads(CachedAlignedOdirectFileIO& file, const std::string& content) {
  std::mt19937 rng(3);
  std::string buf(70000, '\0');
  for (int i = 0; i < 300; ++i) {
    uint64_t offset = rng() % content.size();
    uint64_t length = 1 + rng() % (i % 3 == 0 ? 65536 : 700);
    uint64_t got = 0;
    uint32_t result = file.read(buf.data(), length, &got, static_cast<int64_t>(offset));
    uint64_t expect = std::min<uint64_t>(length, content.size() - offset);
    ASSERT_EQ(got, expect) << offset << "+" << length;
    ASSERT_EQ(result, expect < length ? kFIOIncomplete : 0u);
    ASSERT_EQ(memcmp(buf.data(), content.data() + offset, got), 0) << offset << "+" << length;
    ASSERT_EQ(file.getFilePointerOffset(), static_cast<int64_t>(offset + got));
  }
}

TEST_F(FileIOTest, CachedAlignedReadsMatchTheFileWithAndWithoutCache) {
  std::string content = Pattern(200001);
  // /dev/shm refuses O_DIRECT: the reader falls back to plain reads there.
  for (std::string base : {dir_.path(), std::string("/dev/shm")}) {
    SCOPED_TRACE(base);
    std::string path = base + "/cached." + std::to_string(getpid()) + ".bin";
    zqtest::WriteFile(path, content);
    for (uint64_t cacheSize : {uint64_t{0}, uint64_t{4096}, uint64_t{65536}}) {
      CachedAlignedOdirectFileIO file(0, 0);
      ASSERT_EQ(file.initCache(cacheSize, 512, nullptr), 0u);
      ASSERT_EQ(file.openRead(path.c_str()), 0u);
      int64_t size = 0;
      EXPECT_EQ(file.getFileSize(&size), 0u);
      EXPECT_EQ(size, static_cast<int64_t>(content.size()));
      CheckCachedReads(file, content);
      char b[4];
      uint64_t got = 9;
      EXPECT_EQ(file.read(b, 4, &got, static_cast<int64_t>(content.size())), kFIOFailure);
      EXPECT_EQ(got, 0u);
      EXPECT_EQ(file.read(nullptr, 4, &got, 0), kFIOFailure);
      EXPECT_EQ(file.write("x", 1), kFIOFailure);
      EXPECT_FALSE(file.canWrite());
    }
    unlink(path.c_str());
  }
}

TEST_F(FileIOTest, CacheSetUpAndReadAhead) {
  CachedAlignedOdirectFileIO file(0, 0);
  EXPECT_EQ(file.initCache(4096, 0, nullptr), kFIOFailure);
  EXPECT_EQ(file.initCache(4096, 1, nullptr), kFIOFailure);
  EXPECT_EQ(file.initCache(4096, 3, nullptr), kFIOFailure);
  EXPECT_EQ(file.prepareRead(0, 100), kFIOFailure);  // no window
  std::string content = Pattern(10000);
  std::string path = Make("ra.bin", content);
  ASSERT_EQ(file.initCache(4096, 512, nullptr), 0u);
  ASSERT_EQ(file.openRead(path.c_str()), 0u);
  EXPECT_EQ(file.getCacheSize(), 4096u);
  EXPECT_EQ(file.prepareRead(1000, 3000), 0u);
  EXPECT_EQ(file.prepareRead(9000, 20000), kFIOIncomplete);  // past the end: loaded up to it
  EXPECT_EQ(file.prepareRead(10240, 20000), kFIOFailure);
  CheckCachedReads(file, content);

  // The pointer is the object's own: seeks are bookkeeping only.
  EXPECT_EQ(file.setFilePointerOffset(100, kFIOFromStart), 0u);
  EXPECT_EQ(file.setFilePointerOffset(-50, kFIOFromCurrent), 0u);
  EXPECT_EQ(file.getFilePointerOffset(), 50);
  char b[10];
  uint64_t got = 0;
  EXPECT_EQ(file.read(b, 10, &got), 0u);
  EXPECT_EQ(memcmp(b, content.data() + 50, 10), 0);
  EXPECT_EQ(file.setFilePointerOffset(-10, kFIOFromEnd), 0u);
  EXPECT_EQ(file.getFilePointerOffset(), 9990);

  // Closing forgets the file size: initCache comes before the next openRead.
  file.close();
  EXPECT_EQ(file.getCacheSize(), 0u);
  CachedAlignedOdirectFileIO missing(4096, 512);
  EXPECT_EQ(missing.openRead((dir_.path() + "/none").c_str()), kFIOFailure);
}

TEST_F(FileIOTest, FopenWithDirectIO) {
  std::string path = dir_.path() + "/odir.bin";
  errno = 0;
  EXPECT_EQ(fopen_ODIR(path.c_str(), "x"), nullptr);
  EXPECT_EQ(errno, EINVAL);
  FILE* f = fopen_ODIR(path.c_str(), "w");
  if (f == nullptr && errno == EINVAL) GTEST_SKIP() << "no O_DIRECT on " << dir_.path();
  ASSERT_NE(f, nullptr);
  int flags = fcntl(fileno(f), F_GETFL);
  EXPECT_NE(flags & O_DIRECT, 0);
  EXPECT_EQ(flags & O_ACCMODE, O_WRONLY);
  fclose(f);
  f = fopen_ODIR(path.c_str(), "rb+");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(fcntl(fileno(f), F_GETFL) & O_ACCMODE, O_RDWR);
  fclose(f);
  struct stat st = {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0111, 0u);
}

TEST(MemoryFileIO, ReadsSeeksAndRefusesWrites) {
  std::string content = "0123456789";
  MemoryFileIO file(content.data(), content.size());
  char b[8] = {};
  uint64_t got = 0;
  EXPECT_EQ(file.read(b, 4, &got, 8), kFIOIncomplete);
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(std::string(b, 2), "89");
  EXPECT_EQ(file.setFilePointerOffset(-3, kFIOFromEnd), 0u);
  EXPECT_EQ(file.read(b, 3, &got), 0u);
  EXPECT_EQ(std::string(b, 3), "789");
  EXPECT_EQ(file.setFilePointerOffset(-11, kFIOFromCurrent), kFIOFailure);  // one before 0
  EXPECT_EQ(file.write("x", 1), kFIOFailure);
  EXPECT_EQ(file.openRead("x"), kFIOFailure);
}

// Counts its calls and hands out aligned memory.
class CountingAllocator : public FileIOAllocator {
 public:
  void* Alloc(size_t size) override {
    ++allocs;
    return malloc(size);
  }
  void Free(void* p) override {
    ++frees;
    free(p);
  }
  void* AllocAligned(size_t size, size_t alignment) override {
    ++alignedAllocs;
    void* p = nullptr;
    return posix_memalign(&p, alignment, size) == 0 ? p : nullptr;
  }
  void FreeAligned(void* p) override {
    ++alignedFrees;
    free(p);
  }
  int allocs = 0, frees = 0, alignedAllocs = 0, alignedFrees = 0;
};

TEST(GenericBuffer, AllocationReuseAndBorrowedMemory) {
  CountingAllocator allocator;
  {
    GenericBuffer buffer(&allocator);
    EXPECT_EQ(buffer.Alloc(0), 0u);  // nothing held: fine
    ASSERT_EQ(buffer.Alloc(1000, 512), 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.Memory()) % 512, 0u);
    uint8_t* first = buffer.Memory();
    ASSERT_EQ(buffer.Alloc(600, 256), 0u);  // fits and aligned enough: reused
    EXPECT_EQ(buffer.Memory(), first);
    EXPECT_EQ(buffer.Alloc(0), 1u);     // memory held: size 0 is an error
    ASSERT_EQ(buffer.Alloc(5000), 0u);  // larger: released, then plain allocation
    EXPECT_EQ(allocator.alignedAllocs, 1);
    EXPECT_EQ(allocator.alignedFrees, 1);
    EXPECT_EQ(allocator.allocs, 1);
    char external[64];
    ASSERT_EQ(buffer.Alloc(64, 0, external), 0u);
    EXPECT_TRUE(buffer.IsExternal());
    EXPECT_EQ(allocator.frees, 1);
  }
  EXPECT_EQ(allocator.frees, 1);  // the borrowed memory was never freed here
}

// A FileIO whose reads record where they were asked and, when told, block until released.
class ScriptedFileIO : public FileIO {
 public:
  explicit ScriptedFileIO(std::string content) : content_(std::move(content)) {
    isOpen_ = true;
    canRead_ = true;
  }
  uint32_t read(void* buffer, uint64_t length, uint64_t* bytesRead, int64_t offset) override {
    std::unique_lock<std::mutex> lock(mutex);
    lastOffset = offset;
    lastLength = length;
    readerThread = std::this_thread::get_id();
    ++reads;
    changed.notify_all();
    changed.wait(lock, [&] { return !hold; });
    uint64_t n = static_cast<uint64_t>(offset) < content_.size() ? content_.size() - offset : 0;
    if (n > length) n = length;
    memcpy(buffer, content_.data() + offset, n);
    *bytesRead = n;
    return n == length ? 0 : kFIOIncomplete;
  }
  uint32_t getFileSize(int64_t* size) override {
    *size = static_cast<int64_t>(content_.size());
    return 0;
  }

  std::mutex mutex;
  std::condition_variable changed;
  bool hold = false;
  int reads = 0;
  int64_t lastOffset = -1;
  uint64_t lastLength = 0;
  std::thread::id readerThread;

 private:
  std::string content_;
};

TEST(SyncFileReader, ReadsWholeBlocksAroundTheRequest) {
  std::string content = Pattern(3000);
  ScriptedFileIO file(content);
  SyncFileReader reader(&file);
  EXPECT_EQ(reader.blockSize(), 512u);
  FileBuffer buffer;
  ASSERT_EQ(reader.Read(buffer, 1000, 100), 0u);
  EXPECT_EQ(file.lastOffset, 512);
  EXPECT_EQ(file.lastLength, 1024u);
  EXPECT_EQ(buffer.DataOffset(), 488u);
  EXPECT_EQ(buffer.DataSize(), 100u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.Memory()) % 512, 0u);
  EXPECT_EQ(memcmp(buffer.Data(), content.data() + 1000, 100), 0);

  // Past the end: what arrived is kept, the result says it was short.
  ASSERT_EQ(reader.Read(buffer, 2950, 100), kFileReaderShortRead);
  EXPECT_EQ(buffer.DataSize(), 50u);
  EXPECT_EQ(reader.Wait(buffer), 0u);

  SyncFileReader none;
  EXPECT_EQ(none.Read(buffer, 0, 1), kFileReaderNoFile);
  EXPECT_EQ(none.Open(static_cast<FileIO*>(nullptr)), kFileReaderNoFile);
  EXPECT_EQ(none.Open("/nonexistent/file"), kFileReaderNoFile);
}

TEST(AsyncFileReader, ReadsOnItsWorkerAndTracksPendingBuffers) {
  std::string content = Pattern(5000);
  ScriptedFileIO file(content);
  AsyncFileReader reader(&file);
  FileBuffer a, b;
  EXPECT_EQ(reader.Wait(a), kFileReaderNoPendingRead);
  {
    std::lock_guard<std::mutex> lock(file.mutex);
    file.hold = true;
  }
  ASSERT_EQ(reader.Read(a, 700, 300), 0u);
  {
    // The worker has taken the read and is blocked inside it: the caller was not.
    std::unique_lock<std::mutex> lock(file.mutex);
    file.changed.wait(lock, [&] { return file.reads == 1; });
  }
  EXPECT_EQ(reader.Read(a, 0, 10), kFileReaderReadPending);
  ASSERT_EQ(reader.Read(b, 4990, 100), 0u);  // queued behind the first
  {
    std::lock_guard<std::mutex> lock(file.mutex);
    file.hold = false;
    file.changed.notify_all();
  }
  ASSERT_EQ(reader.Wait(a), 0u);
  EXPECT_EQ(memcmp(a.Data(), content.data() + 700, 300), 0);
  EXPECT_EQ(reader.Wait(b), kFileReaderShortRead);
  EXPECT_NE(file.readerThread, std::this_thread::get_id());  // b's read is over: no one writes it
  EXPECT_EQ(b.DataSize(), 0u);
  EXPECT_EQ(reader.Wait(a), kFileReaderNoPendingRead);
}

TEST_F(FileIOTest, WritersProduceTheBytesGiven) {
  std::string content = Pattern(5000);
  FileBuffer data;
  ASSERT_EQ(data.AdoptData(content.data(), content.size()), 0u);

  std::string plain = dir_.path() + "/plain.bin";
  SyncFileWriter writer;
  EXPECT_EQ(writer.Write(data, 10), kFileWriterNotWritable);
  ASSERT_EQ(writer.Create(plain.c_str()), 0u);
  EXPECT_EQ(writer.Write(data, 6000), kFileWriterWriteError);
  ASSERT_EQ(writer.Write(data, 5000), 0u);
  ASSERT_EQ(writer.Write(data, 100, 10), 0u);  // positioned: overwrites at 100
  EXPECT_EQ(writer.GetFilePos(), 110);
  writer.Close();
  std::string expect = content;
  expect.replace(100, 10, content.substr(0, 10));
  EXPECT_EQ(zqtest::ReadFile(plain), expect);
  EXPECT_EQ(writer.Create((dir_.path() + "/no/such/dir").c_str()), kFileWriterCreateFailed);

  // Block writer: odd pieces come out as the same bytes.
  std::string blocky = dir_.path() + "/block.bin";
  SyncBlockIOFileWriter block(blocky.c_str(), nullptr);
  ASSERT_EQ(block.Create(blocky.c_str()), 0u);
  std::string written;
  size_t at = 0;
  for (size_t piece : {size_t{100}, size_t{4000}, size_t{1}, size_t{899}}) {
    FileBuffer part;
    ASSERT_EQ(part.AdoptData(content.data() + at, piece), 0u);
    ASSERT_EQ(block.Write(part, piece), 0u);
    written += content.substr(at, piece);
    at += piece;
  }
  ASSERT_EQ(block.Close(), 0u);
  EXPECT_EQ(zqtest::ReadFile(blocky), written);

  // The streaming writer counts what it hands its target.
  std::string streamed = dir_.path() + "/stream.bin";
  FileIO target;
  ASSERT_EQ(target.openWrite(streamed.c_str(), kFIOWriteTruncate), 0u);
  StdOutFileWriter out;
  out.SetExplicitFilePointer(&target);
  EXPECT_EQ(out.Write(data, 5001), kFileWriterWriteError);
  ASSERT_EQ(out.Write(data, 5000), 0u);
  ASSERT_EQ(out.Write(data, 7), 0u);
  EXPECT_EQ(out.GetFilePos(), 5007);
  target.close();
  EXPECT_EQ(zqtest::ReadFile(streamed), content + content.substr(0, 7));
  FileIO readOnly;
  ASSERT_EQ(readOnly.openRead(streamed.c_str()), 0u);
  out.SetExplicitFilePointer(&readOnly);
  EXPECT_EQ(out.Write(data, 1), kFileWriterWriteError);
  EXPECT_EQ(out.GetFilePos(), 5007);
}

}  // namespace
