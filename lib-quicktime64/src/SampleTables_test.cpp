// The sample tables and their lookups: time <-> sample, sample -> chunk -> file offset and
// size, key frames, compressed and PCM audio, time code, and the movie's track selection.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mp4test/BoxBuilder.h"
#include "quicktime64/ByteStream.h"
#include "quicktime64/QuickTime64TimeCodeUtilities.h"
#include "quicktime64/QuickTimeReader.h"
#include "quicktime64/SampleDependenciesAtom.h"
#include "quicktime64/SampleToChunkAtom.h"
#include "quicktime64/TimeToSampleAtom.h"
#include "zqfileio/MemoryFileIO.h"

namespace {

using MavrelQuickTime64Atom::MediaInformationAtom;
using MavrelQuickTime64Atom::MovieAtom;
using MavrelQuickTime64Atom::SampleDependenciesAtom;
using MavrelQuickTime64Atom::SampleToChunkAtom;
using MavrelQuickTime64Atom::TimeToSampleAtom;
using mp4test::TrackRecipe;
using Runs = TimeToSampleAtom::TimeToSampleTableEntry;
using Chunks = SampleToChunkAtom::SampleToChunkTableEntry;

// A movie parsed from bytes built by the box builder.
class Movie {
 public:
  explicit Movie(const std::vector<TrackRecipe>& recipes) {
    std::vector<std::string> traks;
    for (const TrackRecipe& recipe : recipes) traks.push_back(mp4test::Trak(recipe));
    bytes_ = mp4test::MovieFile(traks, "", std::string(64, 'm'), false);
    Parse();
  }
  explicit Movie(std::string bytes) : bytes_(std::move(bytes)) { Parse(); }

  uint32_t result() const { return result_; }
  MovieAtom& movie() { return reader_.GetMovie(); }
  QuickTimeReader<SyncFileReader>& reader() { return reader_; }
  MediaInformationAtom* media(uint32_t track) {
    return movie().GetTrack(track)->GetMediaInformation();
  }

 private:
  void Parse() {
    io_ = std::make_unique<MemoryFileIO>(bytes_.data(), bytes_.size());
    reader_.Attach(io_.get());
    result_ = reader_.Parse(false);
  }

  std::string bytes_;
  std::unique_ptr<MemoryFileIO> io_;
  QuickTimeReader<SyncFileReader> reader_;
  uint32_t result_ = 0;
};

// A lookup's result with the file offset and size it found (zero when it failed).
struct Where {
  uint32_t result;
  uint64_t offset;
  uint32_t size;
  bool operator==(const Where&) const = default;
};
void PrintTo(const Where& w, std::ostream* os) {
  *os << "{result " << w.result << ", offset " << w.offset << ", size " << w.size << "}";
}
template <class Lookup>
Where Find(Lookup lookup) {
  Where w{0, 0, 0};
  w.result = lookup(&w.offset, &w.size);
  if (w.result != 0) w.offset = w.size = 0;
  return w;
}
Where Video(MediaInformationAtom* minf, uint32_t index) {
  return Find([&](uint64_t* o, uint32_t* s) {
    return minf->GetVideoSampleRetrievalInformationFromSampleIndex(index, o, s);
  });
}

TEST(TimeToSampleAtom, MapsTimesAndIndices) {
  TimeToSampleAtom stts;
  uint32_t index = 99;
  int64_t time = -1;
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(0, &index), kQTLookupOutOfRange);  // empty
  uint32_t lo = 5, hi = 6;
  EXPECT_EQ(stts.GetMinimumAndMaximumSampleDuration(&lo, &hi), 0u);
  EXPECT_EQ(lo, 5u);  // untouched
  stts.SetEntries({Runs(10, 1001)});
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(10010, &index), 0u);
  EXPECT_EQ(index, 10u);  // the end of a run maps to the next sample
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(10011, &index), kQTLookupOutOfRange);
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(-1, &index), kQTLookupOutOfRange);
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(5, nullptr), kQTLookupOutOfRange);
  EXPECT_EQ(stts.MapSampleIndexToSampleTime(10, &time), kQTLookupOutOfRange);

  // Several runs, one of them of zero-length samples.
  stts.SetEntries({Runs(2, 10), Runs(3, 0), Runs(4, 20), Runs(1, 7)});
  const std::pair<int64_t, uint32_t> times[] = {{0, 0},  {9, 0},  {10, 1},  {19, 1},  {20, 2},
                                                {21, 5}, {40, 6}, {100, 9}, {107, 10}};
  for (const auto& [t, expected] : times) {
    ASSERT_EQ(stts.MapSampleTimeToSampleIndex(t, &index), 0u) << t;
    EXPECT_EQ(index, expected) << t;
  }
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(108, &index), kQTLookupOutOfRange);
  const std::pair<uint32_t, int64_t> starts[] = {{0, 0},  {2, 20}, {4, 20},
                                                 {5, 20}, {8, 80}, {9, 100}};
  for (const auto& [i, expected] : starts) {
    ASSERT_EQ(stts.MapSampleIndexToSampleTime(i, &time), 0u) << i;
    EXPECT_EQ(time, expected) << i;
  }
  uint32_t duration = 9;
  EXPECT_EQ(stts.MapSampleIndexToSampleDuration(3, &duration), 0u);
  EXPECT_EQ(duration, 0u);
  EXPECT_EQ(stts.MapSampleIndexToSampleDuration(9, &duration), 0u);
  EXPECT_EQ(duration, 7u);
  EXPECT_EQ(stts.MapSampleIndexToSampleDuration(10, &duration), kQTLookupOutOfRange);
  EXPECT_EQ(stts.GetMinimumAndMaximumSampleDuration(&lo, &hi), 0u);
  EXPECT_EQ(std::make_pair(lo, hi), std::make_pair(0u, 20u));

  // Spans are 64-bit: two billion long samples do not wrap, and times past the range of the
  // result saturate rather than wrap.
  const int64_t firstRun = static_cast<int64_t>(0x80000000ull * 0xffffffffull);
  stts.SetEntries({Runs(0x80000000, 0xffffffff), Runs(0x7fffffff, 0xffffffff)});
  EXPECT_EQ(stts.MapSampleIndexToSampleTime(0x80000000, &time), 0u);
  EXPECT_EQ(time, firstRun);
  EXPECT_EQ(stts.MapSampleIndexToSampleTime(0xfffffffe, &time), 0u);
  EXPECT_EQ(time, INT64_MAX);
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(firstRun + 1, &index), 0u);
  EXPECT_EQ(index, 0x80000000u);  // inside the first sample of the second run

  // Appending extends the last run of the same duration.
  TimeToSampleAtom built;
  built.SetSampleCountAndDuration(1, 1001);
  built.SetSampleCountAndDuration(2, 1001);
  built.SetSampleCountAndDuration(1, 500);
  EXPECT_EQ(built.Entries(), (std::vector<Runs>{Runs(3, 1001), Runs(1, 500)}));
  EXPECT_EQ(built.MapSampleIndexToSampleTime(3, &time), 0u);  // the index follows the change
  EXPECT_EQ(time, 3003);
}

TEST(SampleToChunkAtom, MapsSamplesToChunks) {
  SampleToChunkAtom stsc;
  EXPECT_EQ(stsc.MapSampleToChunk(0, nullptr, nullptr, nullptr), kQTLookupOutOfRange);
  stsc.SetSampleToChunkTable({Chunks(1, 4, 1), Chunks(3, 2, 1)});
  const std::array<uint32_t, 3> cases[] = {{7, 2, 3}, {8, 3, 0}, {11, 4, 1}, {0, 1, 0}};
  for (const auto& [sample, chunk, within] : cases) {
    uint32_t c = 0, w = 0, per = 0;
    ASSERT_EQ(stsc.MapSampleToChunk(sample, &c, &w, &per), 0u);
    EXPECT_EQ(std::make_pair(c, w), std::make_pair(chunk, within)) << sample;
  }
  uint64_t count = 0, first = 0;
  EXPECT_EQ(stsc.GetNumberOfSamples(4, &count), 0u);
  EXPECT_EQ(count, 12u);
  EXPECT_EQ(stsc.GetNumberOfSamples(2, &count), kQTLookupOutOfRange);  // last run starts later
  uint32_t per = 0;
  EXPECT_EQ(stsc.GetSamplesPerChunk(2, &per), 0u);
  EXPECT_EQ(per, 2u);
  EXPECT_EQ(stsc.GetFirstSampleOfChunk(3, &first), 0u);
  EXPECT_EQ(first, 10u);

  // Inconsistent tables: empty runs, runs that do not increase, chunk 0.
  for (auto table :
       {std::vector<Chunks>{Chunks(1, 0, 1)}, std::vector<Chunks>{Chunks(1, 2, 1), Chunks(1, 3, 1)},
        std::vector<Chunks>{Chunks(3, 2, 1), Chunks(2, 3, 1)},
        std::vector<Chunks>{Chunks(0, 2, 1)}}) {
    stsc.SetSampleToChunkTable(table);
    uint32_t c = 0;
    EXPECT_EQ(stsc.MapSampleToChunk(1, &c, nullptr, nullptr), kQTLookupOutOfRange);
    EXPECT_EQ(stsc.GetSamplesPerChunk(0, &per), kQTLookupOutOfRange);
  }

  SampleToChunkAtom built;
  for (uint32_t n : {3u, 3u, 1u, 1u, 3u}) built.SetNumberOfSamples(n);
  EXPECT_EQ(built.Entries(),
            (std::vector<Chunks>{Chunks(1, 3, 1), Chunks(3, 1, 1), Chunks(5, 3, 1)}));
}

TEST(SampleTableAtom, ConstantSizesChunksAndKeyFrames) {
  TrackRecipe video;
  video.stts = {{8, 1001}};
  video.sizes = std::vector<uint32_t>(8, 0);
  video.constantSize = 512;
  video.stsc = {{1, 4, 1}};
  video.offsets = {1000, 5000};
  video.stss = {1, 7};
  Movie m({video});
  ASSERT_EQ(m.result(), 0u);
  MediaInformationAtom* minf = m.media(0);
  uint64_t chunkOffset = 0, chunkSize = 0, within = 0;
  uint32_t size = 0;
  ASSERT_EQ(minf->GetVideoSampleRetrievalInformationFromSampleIndex(6, &chunkOffset, &chunkSize,
                                                                    &within, &size),
            0u);
  EXPECT_EQ((std::vector<uint64_t>{chunkOffset, chunkSize, within, size}),
            (std::vector<uint64_t>{5000, 2048, 1024, 512}));
  EXPECT_EQ(Find([&](uint64_t* o, uint32_t* s) {
              return minf->GetVideoSampleRetrievalInformationFromSampleTime(2002, o, s);
            }),
            (Where{0, 2024, 512}));
  EXPECT_EQ(Video(minf, 8).result, kQTLookupOutOfRange);
  bool key6 = false, key5 = true;
  EXPECT_EQ(minf->IsKeyFrame(6, &key6), 0u);
  EXPECT_EQ(minf->IsKeyFrame(5, &key5), 0u);
  EXPECT_TRUE(key6);
  EXPECT_FALSE(key5);

  // Without a sync table every sample is a key frame.
  video.stss.clear();
  Movie all({video});
  ASSERT_EQ(all.result(), 0u);
  EXPECT_EQ(all.media(0)->IsKeyFrame(5, &key5), 0u);
  EXPECT_TRUE(key5);
}

TEST(SampleTableAtom, PerSampleSizesChunksPastTheTableAndWideOffsets) {
  TrackRecipe video;
  video.stts = {{5, 100}};
  video.sizes = {10, 20, 30, 40, 50};
  video.stsc = {{1, 2, 1}, {2, 3, 1}};
  video.offsets = {0x100000000ull, 0x200000000ull};
  video.co64 = true;
  Movie m({video});
  ASSERT_EQ(m.result(), 0u);
  EXPECT_EQ(Video(m.media(0), 4), (Where{0, 0x200000000ull + 30 + 40, 50}));

  // The sample-to-chunk table names a third chunk that the offset table does not have.
  video.stsc = {{1, 1, 1}};
  Movie pastChunks({video});
  ASSERT_EQ(pastChunks.result(), 0u);
  EXPECT_EQ(Video(pastChunks.media(0), 1).result, 0u);
  EXPECT_EQ(Video(pastChunks.media(0), 2).result, kQTLookupOutOfRange);
}

TEST(SampleTableAtom, CompressedAudioChunksAndZeroSizedSamples) {
  TrackRecipe audio;
  audio.handler = "soun";
  audio.timeScale = 48000;
  audio.stts = {{6, 1024}};
  audio.sizes = {100, 0, 120, 130, 140, 150};
  audio.stsc = {{1, 3, 1}, {2, 2, 1}, {3, 1, 1}};
  audio.offsets = {4000, 8000, 9000};
  Movie m({audio});
  ASSERT_EQ(m.result(), 0u);
  auto& movie = m.movie();
  uint64_t chunkOffset = 0, bytes = 0;
  uint32_t samples = 0;
  std::vector<uint32_t> sizes;
  auto chunk = [&](uint32_t index) {
    return movie.GetAudioFrameRetrievalInformationFromChunkIndex(0, index, &chunkOffset, &bytes,
                                                                 &samples, &sizes);
  };
  testing::internal::CaptureStdout();
  ASSERT_EQ(chunk(0), 0u);
  // The same chunk again comes from the cache: the warning is printed once.
  ASSERT_EQ(chunk(0), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "warning - zero-length audio sample detected (sample 1 in chunk 0)\n");
  EXPECT_EQ((std::vector<uint64_t>{chunkOffset, bytes, samples}),
            (std::vector<uint64_t>{4000, 220, 3}));
  EXPECT_EQ(sizes, (std::vector<uint32_t>{100, 0, 120}));
  EXPECT_EQ(chunk(3), kQTLookupOutOfRange);
  EXPECT_EQ(chunk(UINT32_MAX), kQTLookupOutOfRange);
  auto sample = [&](uint32_t track, uint32_t index) {
    return Find([&](uint64_t* o, uint32_t* s) {
      return movie.GetAudioSampleRetrievalInformationFromSampleIndex(track, index, o, s);
    });
  };
  const Where located[] = {
      {0, 4000, 100}, {0, 4100, 120}, {0, 8000, 130}, {0, 8130, 140}, {0, 9000, 150}};
  const uint32_t indices[] = {0, 2, 3, 4, 5};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(sample(0, indices[i]), located[i]) << indices[i];
  EXPECT_EQ(sample(1, 0).result, kQTLookupOutOfRange);  // no second audio track
  uint32_t channels = 0;
  EXPECT_EQ(m.media(0)->GetNumAudioChannels(&channels), 0u);
  EXPECT_EQ(channels, 2u);
  EXPECT_EQ(m.media(0)->GetAudioFrameSize(&channels), kQTLookupAbsent);  // version 0
}

// A constant-size table claims its samples without holding them, so only the chunk's own count
// bounds the per-sample lists of a compressed-audio chunk: a damaged count is refused, not
// allocated.
TEST(SampleTableAtom, CompressedAudioChunkCountIsBounded) {
  TrackRecipe audio;
  audio.handler = "soun";
  audio.stts = {{70000, 1024}};
  audio.sizes = std::vector<uint32_t>(70000, 0);
  audio.constantSize = 300;
  audio.stsc = {{1, 4, 1}, {2, 69996, 1}};
  audio.offsets = {1000, 5000};
  Movie m({audio});
  ASSERT_EQ(m.result(), 0u);
  uint64_t chunkOffset = 0, bytes = 0;
  uint32_t samples = 0;
  std::vector<uint32_t> sizes;
  MediaInformationAtom* minf = m.media(0);
  ASSERT_EQ(minf->GetAudioFrameRetrievalInformationFromChunkIndex(0, &chunkOffset, &bytes, &samples,
                                                                  &sizes),
            0u);
  EXPECT_EQ(bytes, 1200u);
  EXPECT_EQ(sizes, std::vector<uint32_t>(4, 300));
  EXPECT_EQ(Find([&](uint64_t* o, uint32_t* s) {
              return minf->GetAudioSampleRetrievalInformationFromSampleIndex(3, o, s);
            }),
            (Where{0, 1900, 300}));
  EXPECT_EQ(minf->GetAudioFrameRetrievalInformationFromChunkIndex(1, &chunkOffset, &bytes, &samples,
                                                                  &sizes),
            kQTLookupOutOfRange);
  EXPECT_EQ(Find([&](uint64_t* o, uint32_t* s) {
              return minf->GetAudioSampleRetrievalInformationFromSampleIndex(4, o, s);
            }).result,
            kQTLookupInconsistentChunk);
}

TEST(SampleTableAtom, UncompressedAudioFrames) {
  TrackRecipe pcm;
  pcm.handler = "soun";
  pcm.timeScale = 48000;
  pcm.sampleEntry = mp4test::SoundSampleEntry("sowt", 1, 2, 48000, 4);
  pcm.stts = {{2000, 1}};
  pcm.sizes = std::vector<uint32_t>(2000, 0);
  pcm.constantSize = 1;
  pcm.stsc = {{1, 1000, 1}};
  pcm.offsets = {100, 50000};
  Movie m({pcm});
  ASSERT_EQ(m.result(), 0u);
  MediaInformationAtom* minf = m.media(0);
  uint64_t chunkOffset = 0, chunkSize = 0, within = 0;
  uint32_t frameSize = 0;
  ASSERT_EQ(minf->GetAudioFrameRetrievalInformationFromFrameIndex(1500, &chunkOffset, &chunkSize,
                                                                  &within, &frameSize),
            0u);
  EXPECT_EQ((std::vector<uint64_t>{chunkOffset, chunkSize, within, frameSize}),
            (std::vector<uint64_t>{50000, 4000, 2000, 4}));
  EXPECT_EQ(Find([&](uint64_t* o, uint32_t* s) {
              return minf->GetAudioSampleRetrievalInformationFromSampleIndex(0, o, s);
            }).result,
            kQTLookupNotApplicable);
  uint64_t bytes = 0;
  uint32_t samples = 0;
  ASSERT_EQ(minf->GetAudioFrameRetrievalInformationFromChunkIndex(1, &chunkOffset, &bytes, &samples,
                                                                  nullptr),
            0u);
  EXPECT_EQ(bytes, 4000u);  // bytes per frame x samples per chunk x sample size
  uint32_t endian = 9;
  EXPECT_EQ(minf->GetAudioEndian(&endian), 0u);
  EXPECT_EQ(endian, 1u);
}

TEST(SampleDependenciesAtom, EntryCountFollowsTheHeaderSize) {
  std::string payload(4, '\0');
  payload += std::string(7, '\x10');
  for (bool large : {false, true}) {
    std::string bytes = large ? mp4test::LargeBox("sdtp", payload) : mp4test::Box("sdtp", payload);
    FileBuffer buffer;
    ASSERT_EQ(buffer.AdoptData(bytes.data(), bytes.size()), 0u);
    SampleDependenciesAtom sdtp;
    ASSERT_EQ(sdtp.Read(buffer, false), 0u);
    EXPECT_EQ(sdtp.Dependencies().size(), 7u);
    EXPECT_EQ(buffer.Cursor(), bytes.size());
  }
}

TEST(MovieAtom, TrackSelectionMetadataAndTimeCode) {
  TrackRecipe video;
  video.offsets = std::vector<uint64_t>(30, 100);
  video.trefTmcd = {3};
  TrackRecipe audio;
  audio.handler = "soun";
  audio.trackID = 2;
  audio.offsets = std::vector<uint64_t>(30, 100);
  TrackRecipe tc;
  tc.handler = "tmcd";
  tc.trackID = 3;
  tc.sampleEntry = mp4test::TimeCodeSampleEntry(1, 30000, 1001, 30, "REEL7");
  tc.stts = {{1, 30030}};
  tc.sizes = {4};
  tc.offsets = {mp4test::MdatPayloadOffsetMoovLast()};
  TrackRecipe meta = mp4test::TelemetryRecipe(4, 0, 1000);
  meta.stts = {{3, 1000}};
  meta.sizes = {5, 6, 7};
  meta.offsets = {200, 300, 400};
  TrackRecipe other = meta;
  other.handlerName = "Other MET";
  other.trackID = 5;
  other.edits = {{10, -1}, {20, -1}};

  std::vector<std::string> traks;
  for (const TrackRecipe& recipe : {video, audio, tc, meta, other}) {
    traks.push_back(mp4test::Trak(recipe));
  }
  std::string payload(64, '\0');
  payload.replace(0, 4, std::string("\x00\x01\xa3\xe4", 4));  // frame 107492
  Movie m(mp4test::MovieFile(traks, "", payload, false));
  ASSERT_EQ(m.result(), 0u);
  auto& movie = m.movie();

  uint32_t index = 0;
  EXPECT_EQ(movie.MapAudioTrackIndexToGlobalTrackIndex(0, &index), 0u);
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(movie.MapAudioTrackIndexToGlobalTrackIndex(1, &index), kQTLookupOutOfRange);
  auto metadata = [&](uint32_t track, uint32_t sample) {
    return Find([&](uint64_t* o, uint32_t* s) {
      return movie.GetTavroMetadataSampleRetrievalInformationFromSampleIndex(track, sample, o, s);
    });
  };
  EXPECT_EQ(Find([&](uint64_t* o, uint32_t* s) {
              return movie.GetVideoSampleRetrievalInformationFromSampleIndex(1, 0, o, s);
            }).result,
            kQTLookupOutOfRange);
  EXPECT_EQ(metadata(2, 0).result, kQTLookupAbsent);
  EXPECT_EQ(metadata(1, 2), (Where{0, 400, 7}));
  std::vector<uint32_t> indices;
  movie.GetTavroMetadataTrackIndices("MET", &indices);
  EXPECT_EQ(indices, (std::vector<uint32_t>{0, 1}));
  movie.GetTavroMetadataTrackIndices("Tavro MET", &indices);
  EXPECT_EQ(indices, (std::vector<uint32_t>{0}));
  int64_t start = -5, edited = -5;
  EXPECT_EQ(movie.GetTavroMetadataMediaStart(0, &start), 0u);   // no edits
  EXPECT_EQ(movie.GetTavroMetadataMediaStart(1, &edited), 0u);  // two empty edits
  EXPECT_EQ(std::make_pair(start, edited), std::make_pair(int64_t{0}, int64_t{0}));

  EXPECT_EQ(movie.GetVideoTimeCodeTrackIndex(&index), 0u);
  EXPECT_EQ(index, 2u);
  uint8_t fps = 0;
  EXPECT_EQ(movie.GetTimeCodeNumberOfRealFramesPerSecond(&fps), 0u);
  EXPECT_EQ(fps, 30);
  QuickTime64TimeCodeRecord record;
  EXPECT_EQ(m.reader().GetVideoTimeCode(nullptr, true), 4u);
  ASSERT_EQ(m.reader().GetVideoTimeCode(&record, true), 0u);
  EXPECT_EQ(record.frameCount, 107492u);
  EXPECT_EQ((std::vector<int>{record.hours, record.minutes, record.seconds, record.frames}),
            (std::vector<int>{0, 59, 43, 2}));
  EXPECT_TRUE(record.dropFrame);
  EXPECT_EQ(record.reelName, "REEL7");
}

TEST(QuickTime64TimeCodeUtilities, TimeCodeText) {
  using U = QuickTime64TimeCodeUtilities;
  EXPECT_EQ(U::GetTimeCode(1001, 30000, 107892, true, 0, 0, 0, 0, ':'), "01:00:00:00");
  EXPECT_EQ(U::GetTimeCode(1001, 30000, 107492, true, 0, 0, 0, 0, ':'), "00:59:46:20");
  EXPECT_EQ(U::GetTimeCode(1000, 30000, 108000, false, 0, 0, 0, 0, ':'), "01:00:00:00");
  EXPECT_EQ(U::GetTimeCode(1001, 30000, 1800, true, 0, 0, 0, 0, ';'), "00;01;00;02");
  EXPECT_EQ(U::GetTimeCode(1001, 30000, 17982, true, 0, 0, 0, 0, ':'), "00:10:00:00");
  EXPECT_EQ(U::GetTimeCode(1, 25, 49, false, 23, 59, 59, 24, ':'), "00:00:01:23");  // wraps the day
  EXPECT_EQ(U::GetTimeCode(1, 120, 120, false, 0, 0, 0, 0, ':'), "00:00:01:00");    // 60-based
  EXPECT_EQ(U::GetTimeCode(1, 1000, 1000, false, 0, 0, 0, 0, ':'), "00:00:01:00");
  EXPECT_EQ(U::GetTimeCode(0, 30000, 1, false, 0, 0, 0, 0, ':'), "");
  EXPECT_EQ(U::GetTimeCode(1001, 0, 1, false, 0, 0, 0, 0, ':'), "");
}

}  // namespace
