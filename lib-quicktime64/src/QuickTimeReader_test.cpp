// The reader's top-level scan, the movie's structure rules, and outside input that is
// damaged: every damaged file gives a failure code (or a readable movie), never a crash, an
// endless loop or an allocation larger than the file.
#include "quicktime64/QuickTimeReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "mp4test/BoxBuilder.h"
#include "mp4test/ReaderExercise.h"
#include "mp4test/TestClips.h"
#include "zqfileio/MemoryFileIO.h"

// The largest single allocation while `g_trackAllocations` is set.
static std::atomic<bool> g_trackAllocations{false};
static std::atomic<size_t> g_largestAllocation{0};

void* operator new(size_t size) {
  if (g_trackAllocations.load(std::memory_order_relaxed)) {
    size_t seen = g_largestAllocation.load(std::memory_order_relaxed);
    while (size > seen && !g_largestAllocation.compare_exchange_weak(seen, size)) {
    }
  }
  void* p = malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
// This binary's operator new takes its memory from malloc, so free is the matching release;
// the compiler cannot see that pairing through the replacement.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
#pragma GCC diagnostic pop

namespace {

using mp4test::Box;
using mp4test::FullBox;
using mp4test::LargeBox;
using mp4test::TrackRecipe;

std::string Ftyp() { return Box("ftyp", std::string("isom\0\0\0\0isom", 12)); }

TrackRecipe Video() {
  TrackRecipe video;
  video.stts = {{30, 1001}};
  video.stss = {1, 16};
  video.ctts = {{30, 2002}};
  video.offsets = std::vector<uint64_t>(30, 64);
  video.trefTmcd = {3};
  return video;
}

TrackRecipe Audio() {
  TrackRecipe audio;
  audio.handler = "soun";
  audio.handlerName = "SoundHandler";
  audio.trackID = 2;
  audio.timeScale = 48000;
  audio.stts = {{10, 1024}};
  audio.sizes = {20, 21, 22, 23, 24, 25, 26, 27, 28, 29};
  audio.stsc = {{1, 3, 1}, {3, 2, 1}, {4, 2, 1}};
  audio.offsets = {64, 200, 300, 400};
  return audio;
}

TrackRecipe TimeCode() {
  TrackRecipe tc;
  tc.handler = "tmcd";
  tc.trackID = 3;
  tc.sampleEntry = mp4test::TimeCodeSampleEntry(0, 30000, 1001, 30, "A001");
  tc.stts = {{1, 30030}};
  tc.sizes = {4};
  tc.offsets = {64};
  return tc;
}

TrackRecipe Meta() {
  TrackRecipe meta;
  meta.handler = "meta";
  meta.handlerName = "Tavro MET";
  meta.pascalName = false;
  meta.trackID = 4;
  meta.timeScale = 1000;
  meta.stts = {{2, 1000}};
  meta.sizes = {8, 8};
  meta.offsets = {70, 78};
  meta.edits = {{2000, 0}};
  return meta;
}

// A movie with every kind of track and the maker's user data.
std::string FullMovie(bool moovFirst) {
  std::vector<std::string> traks = {mp4test::Trak(Video()), mp4test::Trak(Audio()),
                                    mp4test::Trak(TimeCode()), mp4test::Trak(Meta())};
  return mp4test::MovieFile(traks, mp4test::MakerUserData(), std::string(128, '\x42'), moovFirst);
}

// The lookups, then the dump (whose text grows with the movie: not an allocation the input
// controls, so it is left out of the allocation bound).
void ExerciseLookups(QuickTimeReader<SyncFileReader>& reader) {
  mp4test::ExerciseReader(reader);
  bool tracking = g_trackAllocations.exchange(false);
  std::string dump;
  reader.GetMovie().Cat(&dump, 0);
  g_trackAllocations = tracking;
}

// A reader over bytes in memory, which stay alive with it.
struct Parsed {
  uint32_t result = 0;
  std::unique_ptr<std::string> bytes;
  std::unique_ptr<MemoryFileIO> io;
  std::unique_ptr<QuickTimeReader<SyncFileReader>> reader;
};

// With `track`, the largest allocation of the parse is recorded in g_largestAllocation.
Parsed Parse(const std::string& bytes, bool onlyMetadata = false, bool track = false) {
  Parsed parsed;
  parsed.bytes = std::make_unique<std::string>(bytes);
  parsed.io = std::make_unique<MemoryFileIO>(parsed.bytes->data(), parsed.bytes->size());
  parsed.reader = std::make_unique<QuickTimeReader<SyncFileReader>>();
  parsed.reader->Attach(parsed.io.get());
  if (track) {
    g_largestAllocation = 0;
    g_trackAllocations = true;
  }
  parsed.result = parsed.reader->Parse(onlyMetadata);
  if (track) ExerciseLookups(*parsed.reader);
  g_trackAllocations = false;
  return parsed;
}

TEST(QuickTimeReader, TopLevelScan) {
  for (bool moovFirst : {true, false}) {
    Parsed p = Parse(FullMovie(moovFirst));
    ASSERT_EQ(p.result, 0u);
    EXPECT_EQ(p.reader->GetMovie().GetNumberOfTracks(), 4u);
    EXPECT_EQ(p.reader->GetFtyp().MajorBrand(), FourCC("qt  "));
  }
  std::string movie = FullMovie(true);
  auto moov = mp4test::Find(movie, {"moov"});
  ASSERT_TRUE(moov);
  std::string moovBytes = movie.substr(moov->offset, moov->size);

  // A first atom of another kind: refused even with ftyp and moov after it.
  EXPECT_EQ(Parse(Box("skip", "") + Ftyp() + moovBytes).result, kQTReaderUnsupported);
  // The movie before the file type, and 64-bit sizes, are fine.
  EXPECT_EQ(Parse(moovBytes + Ftyp()).result, 0u);
  std::string large = LargeBox("free", "xx") + Ftyp() + LargeBox("moov", moovBytes.substr(8));
  Parsed p = Parse(large);
  ASSERT_EQ(p.result, 0u);
  EXPECT_EQ(p.reader->MoovOffset(), static_cast<int64_t>(18 + Ftyp().size()));
  // A size-0 atom before the movie stops the scan; no movie or no file type: unsupported.
  EXPECT_EQ(Parse(Ftyp() + std::string("\0\0\0\0free", 8) + moovBytes).result,
            kQTReaderUnsupported);
  EXPECT_EQ(Parse(Ftyp()).result, kQTReaderUnsupported);
  EXPECT_EQ(Parse(moovBytes).result, kQTReaderUnsupported);
  EXPECT_EQ(Parse("").result, kQTReaderUnsupported);
  // A movie that claims more bytes than the file has is refused before it is allocated.
  std::string longer = Ftyp() + moovBytes;
  mp4test::Set32(longer, Ftyp().size(), 0x7fffff00);
  EXPECT_EQ(Parse(longer, false, true).result, QTReaderResult(kQTAtomMalformed));
  EXPECT_LT(g_largestAllocation.load(), longer.size());
  // A 64-bit size that wraps the offset.
  std::string wrap = Ftyp() + LargeBox("free", "") + moovBytes;
  mp4test::Set64(wrap, Ftyp().size() + 8, 0xfffffffffffffff0ull);
  EXPECT_EQ(Parse(wrap).result, kQTReaderUnsupported);

  QuickTimeReader<SyncFileReader> reader;
  EXPECT_EQ(reader.Open("/nonexistent/clip.mp4", false), kQTReaderOpenFailed);
  uint64_t size = 1;
  uint32_t type = 1;
  int64_t next = 1;
  EXPECT_NE(reader.ReadAtomSizeAndType(0, &size, &type, &next), 0u);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(type, 0u);
  EXPECT_EQ(next, 0);
}

TEST(QuickTimeReader, OnlyMetadataTracks) {
  Parsed p = Parse(FullMovie(true), true);
  ASSERT_EQ(p.result, 0u);
  ASSERT_EQ(p.reader->GetMovie().GetNumberOfTracks(), 1u);
  EXPECT_EQ(p.reader->GetMovie().Tracks()[0].HandlerSubtype(), FourCC("meta"));
  // The skipped first track is still told by its handler and first sample format, which is
  // what a copy's brand depends on (HEVC's brand: the extraction tests); a full read skips
  // nothing.
  struct {
    TrackRecipe first;
    uint32_t format;
    uint32_t handler;
  } const kFirst[] = {
      {Video(), FourCC("avc1"), FourCC("vide")},
      {Audio(), FourCC("mp4a"), FourCC("soun")},
  };
  for (const auto& c : kFirst) {
    SCOPED_TRACE(FourCCText(c.format));
    std::string bytes =
        mp4test::MovieFile({mp4test::Trak(c.first), mp4test::Trak(Meta())}, "", "x", true);
    Parsed metadata = Parse(bytes, true);
    ASSERT_EQ(metadata.result, 0u);
    EXPECT_EQ(metadata.reader->GetMovie().SkippedTrackHandler(), c.handler);
    EXPECT_EQ(metadata.reader->GetMovie().SkippedTrackFormat(), c.format);
    Parsed full = Parse(bytes, false);
    ASSERT_EQ(full.result, 0u);
    EXPECT_EQ(full.reader->GetMovie().SkippedTrackHandler(), 0u);
    EXPECT_EQ(full.reader->GetMovie().SkippedTrackFormat(), 0u);
  }
  std::string videoOnly = mp4test::MovieFile({mp4test::Trak(Video())}, "", "x", true);
  EXPECT_EQ(Parse(videoOnly, true).result, QTReaderResult(kQTAtomMalformed));
  EXPECT_EQ(Parse(videoOnly, false).result, 0u);
}

TEST(QuickTimeReader, UserDataRules) {
  std::string smmt;
  mp4test::Put32(smmt, 150);
  for (uint32_t i = 0; i < 150; ++i) mp4test::Put32(smmt, i * 10);
  std::string udta = Box("SMMT", smmt) + Box("XTRA", "one") + Box("XTRA", "two");
  Parsed p = Parse(mp4test::MovieFile({mp4test::Trak(Video())}, udta, "x", true));
  ASSERT_EQ(p.result, 0u);
  auto* data = p.reader->GetMovie().GetUserData();
  ASSERT_NE(data, nullptr);
  ASSERT_NE(data->GetSpotmarkTag(), nullptr);
  EXPECT_EQ(data->GetSpotmarkTag()->TagTimes().size(), 100u);
  EXPECT_EQ(data->GetSpotmarkTag()->TagTimes()[99], 990u);
  auto payload = data->FindUnparsed(FourCC("XTRA"))->Payload();
  EXPECT_EQ(std::string(payload.begin(), payload.end()), "one");

  // A maker atom whose payload is shorter than it says fails the movie.
  std::string shortTags;
  mp4test::Put32(shortTags, 5);
  mp4test::Put32(shortTags, 1);
  EXPECT_EQ(
      Parse(mp4test::MovieFile({mp4test::Trak(Video())}, Box("SMMT", shortTags), "x", true)).result,
      QTReaderResult(kQTAtomMalformed));
}

// The encoder item of the user data's metadata.
std::string EncoderMeta(const std::string& encoder, uint32_t dataType) {
  std::string hdlr = std::string(4, '\0') + "mdir" + "appl" + std::string(9, '\0');
  std::string data;
  mp4test::Put32(data, dataType);
  mp4test::Put32(data, 0);
  data += encoder;
  std::string item = Box(std::string("\xa9too", 4), Box("data", data));
  return FullBox("meta", 0, 0, FullBox("hdlr", 0, 0, hdlr) + Box("ilst", item));
}

TEST(QuickTimeReader, SupportedSourceFiles) {
  TrackRecipe named = Video();  // "Tavro AVC"
  TrackRecipe other = Video();
  other.handlerName = "VideoHandler";
  TrackRecipe unnamed = Video();
  unnamed.handlerName = "";
  const struct {
    const char* name;
    TrackRecipe track;
    std::string udta;
    uint32_t result;
    bool supported;
  } kCases[] = {
      {"maker's handler name", named, "", 0, true},
      {"other handler name", other, "", 0, false},
      {"firmware atom", other, Box("FIRM", "HD9"), 0, true},
      {"maker's encoder", other, EncoderMeta("Tavro", 1), 0, true},
      {"encoder not text", other, EncoderMeta("Tavro", 2), 0, false},
      {"other encoder", other, EncoderMeta("Lavf60", 1), 0, false},
      {"no handler name", unnamed, "", QTReaderResult(10), false},
      {"no video track", Audio(), "", QTReaderResult(1), false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Parsed p = Parse(mp4test::MovieFile({mp4test::Trak(c.track)}, c.udta, "x", true));
    ASSERT_EQ(p.result, 0u);
    bool supported = !c.supported;
    EXPECT_EQ(p.reader->IsSupportedTavroSourceFile(&supported), c.result);
    if (c.result == 0) {
      EXPECT_EQ(supported, c.supported);
    }
  }
  Parsed p = Parse(mp4test::MovieFile({mp4test::Trak(Video())}, "", "x", true));
  EXPECT_EQ(p.reader->IsSupportedTavroSourceFile(nullptr), QTReaderResult(1));
}

TEST(QuickTimeReader, WrittenMovieReadsBackAndSizeIsExact) {
  Parsed p = Parse(FullMovie(false));
  ASSERT_EQ(p.result, 0u);
  const auto& movie = p.reader->GetMovie();
  FileBuffer out;
  ASSERT_EQ(out.AllocData(movie.Size()), 0u);
  out.SetDataSize(movie.Size() - 1);
  EXPECT_EQ(movie.Write(out), kQTAtomBufferTooSmall);
  EXPECT_EQ(out.Cursor(), 0u);
  out.SetDataSize(movie.Size());
  ASSERT_EQ(movie.Write(out), 0u);
  EXPECT_EQ(out.Cursor(), movie.Size());
  std::string written(reinterpret_cast<const char*>(out.Data()), out.DataSize());
  Parsed again = Parse(Ftyp() + written);
  ASSERT_EQ(again.result, 0u);
  std::string a, b;
  movie.Cat(&a, 0);
  again.reader->GetMovie().Cat(&b, 0);
  EXPECT_EQ(a, b);
  // The handler name written as a C string comes back the same from its Pascal form.
  EXPECT_EQ(again.reader->GetMovie().Tracks()[3].HandlerName(), "Tavro MET");

  // A copy is deep: changing it leaves the original alone.
  MavrelQuickTime64Atom::MovieAtom copy = movie;
  copy.Tracks()[0].GetTrackHeader().SetTrackID(77);
  EXPECT_NE(movie.Tracks()[0].GetTrackHeader().TrackID(), 77u);
  std::string copied;
  copy.Cat(&copied, 0);
  EXPECT_NE(copied, a);
}

// Named damage to a well-formed movie: the 32-bit `value` written `at` bytes into the box at
// `path` (its 4CCs joined by '/'). Every case must fail the parse as malformed (code 4).
struct Damage {
  const char* name;
  const char* path;
  size_t at;
  uint32_t value;
};

constexpr const char* kStbl = "moov/trak/mdia/minf/stbl";
const Damage kDamage[] = {
    {"atom smaller than its header", "moov/trak/tkhd", 0, 4},
    {"moov child past the moov", "moov/mvhd", 0, 0x00ffffff},
    {"stts count past the atom", "/stts", 12, 0x40000000},
    {"stsz count past the atom", "/stsz", 16, 0xffffffff},
    {"stco count past the atom", "/stco", 12, 0x20000000},
    {"stsc count past the atom", "/stsc", 12, 0x15555556},
    {"stss repeats a number", "/stss", 20, 1},
    {"elst count past the atom", "moov/trak/edts/elst", 12, 0x10000000},
    {"stsd count past the atom", "/stsd", 12, 0x10000000},
    {"dref count past the atom", "moov/trak/mdia/minf/dinf/dref", 12, 0x10000000},
    {"sample entry longer than the table", "/stsd/avc1", 0, 0x7fffffff},
    {"compressor name longer than its field", "/stsd/avc1", 50, 0x40000000},
    {"required stsz missing", "/stsz", 4, FourCC("xxxx")},
    {"required mdhd missing", "moov/trak/mdia/mdhd", 4, FourCC("xxxx")},
    {"zero-size child ends the movie early", "moov/trak", 0, 0},
};

// "a/b/c" as a box path; a leading '/' starts below the first track's sample table.
std::vector<std::string> BoxPath(const std::string& text) {
  std::string full = text[0] == '/' ? kStbl + text : text;
  std::vector<std::string> path;
  for (size_t at = 0; at <= full.size();) {
    size_t slash = std::min(full.find('/', at), full.size());
    path.push_back(full.substr(at, slash - at));
    at = slash + 1;
  }
  return path;
}

TEST(QuickTimeReader, DamagedMoviesGiveFailureCodes) {
  std::string base = FullMovie(true);
  ASSERT_EQ(Parse(base).result, 0u);
  for (const Damage& d : kDamage) {
    SCOPED_TRACE(d.name);
    auto box = mp4test::Find(base, BoxPath(d.path));
    ASSERT_TRUE(box);
    std::string bytes = base;
    mp4test::Set32(bytes, box->offset + d.at, d.value);
    Parsed p = Parse(bytes, false, true);
    EXPECT_EQ(p.result, QTReaderResult(kQTAtomMalformed));
    EXPECT_LT(g_largestAllocation.load(), bytes.size());
  }
}

TEST(QuickTimeReader, InconsistentTablesFailTheirLookups) {
  TrackRecipe video = Video();
  video.stsc = {{1, 0, 1}};  // an empty run
  Parsed p = Parse(mp4test::MovieFile({mp4test::Trak(video)}, "", "x", true));
  ASSERT_EQ(p.result, 0u);
  uint64_t offset = 0;
  uint32_t size = 0;
  auto* minf = p.reader->GetMovie().Tracks()[0].GetMediaInformation();
  EXPECT_EQ(minf->GetVideoSampleRetrievalInformationFromSampleIndex(0, &offset, &size),
            kQTLookupOutOfRange);
  video.stsc = {{2, 1, 1}, {2, 3, 1}};  // runs that do not increase
  p = Parse(mp4test::MovieFile({mp4test::Trak(video)}, "", "x", true));
  ASSERT_EQ(p.result, 0u);
  minf = p.reader->GetMovie().Tracks()[0].GetMediaInformation();
  EXPECT_EQ(minf->GetVideoSampleRetrievalInformationFromSampleIndex(3, &offset, &size),
            kQTLookupOutOfRange);
  // A time code track of zero frames per second.
  TrackRecipe tc = TimeCode();
  tc.sampleEntry = mp4test::TimeCodeSampleEntry(0, 0, 0, 0, "");
  p = Parse(mp4test::MovieFile({mp4test::Trak(Video()), mp4test::Trak(Audio()), mp4test::Trak(tc)},
                               "", std::string(80, '\0'), false));
  ASSERT_EQ(p.result, 0u);
  QuickTime64TimeCodeRecord record;
  EXPECT_EQ(p.reader->GetVideoTimeCode(&record, true), QTReaderResult(kQTAtomMalformed));
  // Zero time scale and durations: lookups answer, nothing divides by zero.
  TrackRecipe meta = Meta();
  meta.timeScale = 0;
  meta.stts = {{2, 0}};
  p = Parse(mp4test::MovieFile({mp4test::Trak(meta)}, "", "x", true));
  ASSERT_EQ(p.result, 0u);
  uint32_t duration = 9, timeScale = 9;
  EXPECT_EQ(p.reader->GetMovie().GetTavroMetadataFrameRate(0, &duration, &timeScale), 0u);
  EXPECT_EQ(duration, 0u);
  minf = p.reader->GetMovie().Tracks()[0].GetMediaInformation();
  EXPECT_EQ(minf->GetVideoSampleRetrievalInformationFromSampleTime(0, &offset, &size), 0u);
  EXPECT_EQ(offset, 70u);
}

// Every byte of the movie atom set to a few values: each result is a code, never a crash,
// and no allocation exceeds twice the file (64-bit offsets kept for 32-bit ones). The fuzz
// target covers real clips.
TEST(QuickTimeReader, EveryDamagedByteOfASyntheticMovie) {
  std::string base = FullMovie(true);
  auto moov = mp4test::Find(base, {"moov"});
  ASSERT_TRUE(moov);
  size_t largest = 0;
  // Damaged audio tables print their zero-size warnings; keep them out of the test log.
  testing::internal::CaptureStdout();
  for (size_t at = moov->offset; at < moov->End(); ++at) {
    for (uint8_t value : {uint8_t{0x00}, uint8_t{0xff}, uint8_t{0x7f}}) {
      std::string bytes = base;
      bytes[at] = static_cast<char>(value);
      Parse(bytes, false, true);
      largest = std::max(largest, g_largestAllocation.load());
    }
  }
  testing::internal::GetCapturedStdout();
  EXPECT_LT(largest, 2 * base.size());
}

}  // namespace
