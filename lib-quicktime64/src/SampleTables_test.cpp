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
  explicit Movie(const std::vector<TrackRecipe>& recipes, const std::string& udta = "",
                 bool onlyMetadata = false)
      : onlyMetadata_(onlyMetadata) {
    std::vector<std::string> traks;
    for (const TrackRecipe& recipe : recipes) traks.push_back(mp4test::Trak(recipe));
    bytes_ = mp4test::MovieFile(traks, udta, std::string(64, 'm'), false);
    Parse();
  }
  explicit Movie(std::string bytes, bool onlyMetadata = false)
      : bytes_(std::move(bytes)), onlyMetadata_(onlyMetadata) {
    Parse();
  }

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
    result_ = reader_.Parse(onlyMetadata_);
  }

  std::string bytes_;
  bool onlyMetadata_;
  std::unique_ptr<MemoryFileIO> io_;
  QuickTimeReader<SyncFileReader> reader_;
  uint32_t result_ = 0;
};

TEST(TimeToSampleAtom, MapsTimesAndIndices) {
  TimeToSampleAtom stts;
  uint32_t index = 99;
  int64_t time = -1;
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(0, &index), kQTLookupOutOfRange);  // empty
  uint32_t lo = 5, hi = 6;
  EXPECT_EQ(stts.GetMinimumAndMaximumSampleDuration(&lo, &hi), 0u);
  EXPECT_EQ(lo, 5u);  // untouched
  stts.SetEntries({Runs(10, 1001)});
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(0, &index), 0u);
  EXPECT_EQ(index, 0u);
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(10010, &index), 0u);
  EXPECT_EQ(index, 10u);  // the end of a run maps to the next sample
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(10011, &index), kQTLookupOutOfRange);
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(-1, &index), kQTLookupOutOfRange);
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(5, nullptr), kQTLookupOutOfRange);
  EXPECT_EQ(stts.MapSampleIndexToSampleTime(3, &time), 0u);
  EXPECT_EQ(time, 3003);
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
  uint32_t duration = 0;
  EXPECT_EQ(stts.MapSampleIndexToSampleDuration(3, &duration), 0u);
  EXPECT_EQ(duration, 0u);
  EXPECT_EQ(stts.MapSampleIndexToSampleDuration(9, &duration), 0u);
  EXPECT_EQ(duration, 7u);
  EXPECT_EQ(stts.MapSampleIndexToSampleDuration(10, &duration), kQTLookupOutOfRange);
  EXPECT_EQ(stts.GetMinimumAndMaximumSampleDuration(&lo, &hi), 0u);
  EXPECT_EQ(lo, 0u);
  EXPECT_EQ(hi, 20u);

  // Spans are 64-bit: two billion long samples do not wrap, and times past the range of the
  // result saturate rather than wrap.
  stts.SetEntries({Runs(0x80000000, 0xffffffff), Runs(0x7fffffff, 0xffffffff)});
  EXPECT_EQ(stts.MapSampleIndexToSampleTime(0x80000000, &time), 0u);
  EXPECT_EQ(time, static_cast<int64_t>(0x80000000ull * 0xffffffffull));
  EXPECT_EQ(stts.MapSampleIndexToSampleTime(0xfffffffe, &time), 0u);
  EXPECT_EQ(time, INT64_MAX);
  EXPECT_EQ(stts.MapSampleTimeToSampleIndex(static_cast<int64_t>(0x80000000ull * 0xffffffffull) + 1,
                                            &index),
            0u);
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
    EXPECT_EQ(c, chunk) << sample;
    EXPECT_EQ(w, within) << sample;
  }
  uint64_t count = 0;
  EXPECT_EQ(stsc.GetNumberOfSamples(4, &count), 0u);
  EXPECT_EQ(count, 12u);
  EXPECT_EQ(stsc.GetNumberOfSamples(2, &count), kQTLookupOutOfRange);  // last run starts later
  uint32_t per = 0;
  EXPECT_EQ(stsc.GetSamplesPerChunk(1, &per), 0u);
  EXPECT_EQ(per, 4u);
  EXPECT_EQ(stsc.GetSamplesPerChunk(2, &per), 0u);
  EXPECT_EQ(per, 2u);
  uint64_t first = 0;
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
  uint64_t chunkOffset = 0, chunkSize = 0, within = 0, fileOffset = 0;
  uint32_t size = 0;
  ASSERT_EQ(minf->GetVideoSampleRetrievalInformationFromSampleIndex(6, &chunkOffset, &chunkSize,
                                                                    &within, &size),
            0u);
  EXPECT_EQ(chunkOffset, 5000u);
  EXPECT_EQ(chunkSize, 2048u);
  EXPECT_EQ(within, 1024u);
  EXPECT_EQ(size, 512u);
  ASSERT_EQ(minf->GetVideoSampleRetrievalInformationFromSampleTime(2002, &fileOffset, &size), 0u);
  EXPECT_EQ(fileOffset, 2024u);
  EXPECT_EQ(minf->GetVideoSampleRetrievalInformationFromSampleIndex(8, &fileOffset, &size),
            kQTLookupOutOfRange);
  bool key = false;
  EXPECT_EQ(minf->IsKeyFrame(6, &key), 0u);
  EXPECT_TRUE(key);
  EXPECT_EQ(minf->IsKeyFrame(5, &key), 0u);
  EXPECT_FALSE(key);

  // Without a sync table every sample is a key frame.
  video.stss.clear();
  Movie all({video});
  ASSERT_EQ(all.result(), 0u);
  EXPECT_EQ(all.media(0)->IsKeyFrame(5, &key), 0u);
  EXPECT_TRUE(key);
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
  MediaInformationAtom* minf = m.media(0);
  uint64_t offset = 0;
  uint32_t size = 0;
  ASSERT_EQ(minf->GetVideoSampleRetrievalInformationFromSampleIndex(4, &offset, &size), 0u);
  EXPECT_EQ(offset, 0x200000000ull + 30 + 40);
  EXPECT_EQ(size, 50u);

  // The sample-to-chunk table names a third chunk that the offset table does not have.
  video.stsc = {{1, 1, 1}};
  Movie pastChunks({video});
  ASSERT_EQ(pastChunks.result(), 0u);
  EXPECT_EQ(
      pastChunks.media(0)->GetVideoSampleRetrievalInformationFromSampleIndex(1, &offset, &size),
      0u);
  EXPECT_EQ(
      pastChunks.media(0)->GetVideoSampleRetrievalInformationFromSampleIndex(2, &offset, &size),
      kQTLookupOutOfRange);
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
  testing::internal::CaptureStdout();
  ASSERT_EQ(movie.GetAudioFrameRetrievalInformationFromChunkIndex(0, 0, &chunkOffset, &bytes,
                                                                  &samples, &sizes),
            0u);
  // The same chunk again comes from the cache: the warning is printed once.
  ASSERT_EQ(movie.GetAudioFrameRetrievalInformationFromChunkIndex(0, 0, &chunkOffset, &bytes,
                                                                  &samples, &sizes),
            0u);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "warning - zero-length audio sample detected (sample 1 in chunk 0)\n");
  EXPECT_EQ(chunkOffset, 4000u);
  EXPECT_EQ(bytes, 220u);
  EXPECT_EQ(samples, 3u);
  EXPECT_EQ(sizes, (std::vector<uint32_t>{100, 0, 120}));
  const std::array<uint64_t, 3> located[] = {
      {0, 4000, 100}, {2, 4100, 120}, {3, 8000, 130}, {4, 8130, 140}, {5, 9000, 150}};
  for (const auto& [index, expectOffset, expectSize] : located) {
    uint64_t offset = 0;
    uint32_t size = 0;
    ASSERT_EQ(movie.GetAudioSampleRetrievalInformationFromSampleIndex(
                  0, static_cast<uint32_t>(index), &offset, &size),
              0u);
    EXPECT_EQ(offset, expectOffset);
    EXPECT_EQ(size, expectSize);
  }
  uint64_t offset = 0;
  uint32_t size = 0;
  EXPECT_EQ(movie.GetAudioSampleRetrievalInformationFromSampleIndex(1, 0, &offset, &size),
            kQTLookupOutOfRange);  // no second audio track
  EXPECT_EQ(movie.GetAudioFrameRetrievalInformationFromChunkIndex(0, 3, &chunkOffset, &bytes,
                                                                  &samples, &sizes),
            kQTLookupOutOfRange);
  EXPECT_EQ(movie.GetAudioFrameRetrievalInformationFromChunkIndex(0, UINT32_MAX, &chunkOffset,
                                                                  &bytes, &samples, &sizes),
            kQTLookupOutOfRange);
  uint32_t channels = 0;
  EXPECT_EQ(m.media(0)->GetNumAudioChannels(&channels), 0u);
  EXPECT_EQ(channels, 2u);
  EXPECT_EQ(m.media(0)->GetAudioFrameSize(&channels), kQTLookupAbsent);  // version 0
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
  uint64_t chunkOffset = 0, chunkSize = 0, within = 0, offset = 0;
  uint32_t frameSize = 0, size = 0;
  ASSERT_EQ(minf->GetAudioFrameRetrievalInformationFromFrameIndex(1500, &chunkOffset, &chunkSize,
                                                                  &within, &frameSize),
            0u);
  EXPECT_EQ(chunkOffset, 50000u);
  EXPECT_EQ(chunkSize, 4000u);
  EXPECT_EQ(within, 2000u);
  EXPECT_EQ(frameSize, 4u);
  EXPECT_EQ(minf->GetAudioSampleRetrievalInformationFromSampleIndex(0, &offset, &size),
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
  TrackRecipe meta;
  meta.handler = "meta";
  meta.handlerName = "Tavro MET";
  meta.trackID = 4;
  meta.timeScale = 1000;
  meta.stts = {{3, 1000}};
  meta.sizes = {5, 6, 7};
  meta.offsets = {200, 300, 400};
  TrackRecipe other = meta;
  other.handlerName = "Other MET";
  other.trackID = 5;
  other.edits = {{10, -1}, {20, -1}};

  std::vector<TrackRecipe> recipes = {video, audio, tc, meta, other};
  std::vector<std::string> traks;
  for (const TrackRecipe& recipe : recipes) traks.push_back(mp4test::Trak(recipe));
  std::string payload(64, '\0');
  payload.replace(0, 4, std::string("\x00\x01\xa3\xe4", 4));  // frame 107492
  Movie m(mp4test::MovieFile(traks, "", payload, false));
  ASSERT_EQ(m.result(), 0u);
  auto& movie = m.movie();

  uint32_t index = 0;
  EXPECT_EQ(movie.MapAudioTrackIndexToGlobalTrackIndex(0, &index), 0u);
  EXPECT_EQ(index, 1u);
  EXPECT_EQ(movie.MapAudioTrackIndexToGlobalTrackIndex(1, &index), kQTLookupOutOfRange);
  uint64_t offset = 0;
  uint32_t size = 0;
  EXPECT_EQ(movie.GetVideoSampleRetrievalInformationFromSampleIndex(1, 0, &offset, &size),
            kQTLookupOutOfRange);
  EXPECT_EQ(movie.GetTavroMetadataSampleRetrievalInformationFromSampleIndex(2, 0, &offset, &size),
            kQTLookupAbsent);
  ASSERT_EQ(movie.GetTavroMetadataSampleRetrievalInformationFromSampleIndex(1, 2, &offset, &size),
            0u);
  EXPECT_EQ(offset, 400u);
  std::vector<uint32_t> indices;
  movie.GetTavroMetadataTrackIndices("MET", &indices);
  EXPECT_EQ(indices, (std::vector<uint32_t>{0, 1}));
  movie.GetTavroMetadataTrackIndices("Tavro MET", &indices);
  EXPECT_EQ(indices, (std::vector<uint32_t>{0}));
  uint32_t duration = 0, timeScale = 0;
  EXPECT_EQ(movie.GetTavroMetadataFrameRate(0, &duration, &timeScale), 0u);
  EXPECT_EQ(duration, 1000u);
  int64_t start = -5;
  EXPECT_EQ(movie.GetTavroMetadataMediaStart(0, &start), 0u);  // no edits
  EXPECT_EQ(start, 0);
  EXPECT_EQ(movie.GetTavroMetadataMediaStart(1, &start), 0u);  // two empty edits
  EXPECT_EQ(start, 0);

  EXPECT_EQ(movie.GetVideoTimeCodeTrackIndex(&index), 0u);
  EXPECT_EQ(index, 2u);
  uint8_t fps = 0;
  EXPECT_EQ(movie.GetTimeCodeNumberOfRealFramesPerSecond(&fps), 0u);
  EXPECT_EQ(fps, 30);
  QuickTime64TimeCodeRecord record;
  EXPECT_EQ(m.reader().GetVideoTimeCode(nullptr, true), 4u);
  ASSERT_EQ(m.reader().GetVideoTimeCode(&record, true), 0u);
  EXPECT_EQ(record.frameCount, 107492u);
  EXPECT_EQ(record.hours, 0);
  EXPECT_EQ(record.minutes, 59);
  EXPECT_EQ(record.seconds, 43);
  EXPECT_EQ(record.frames, 2);
  EXPECT_TRUE(record.dropFrame);
  EXPECT_EQ(record.reelName, "REEL7");
  EXPECT_EQ(QuickTime64TimeCodeUtilities::GetTimeCode(1001, 30000, record.frameCount, true, 0, 0, 0,
                                                      0, ':'),
            "00:59:46:20");
}

TEST(QuickTime64TimeCodeUtilities, TimeCodeText) {
  using U = QuickTime64TimeCodeUtilities;
  EXPECT_EQ(U::GetTimeCode(1001, 30000, 107892, true, 0, 0, 0, 0, ':'), "01:00:00:00");
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
