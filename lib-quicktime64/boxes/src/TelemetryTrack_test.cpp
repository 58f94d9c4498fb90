#include "mp4boxes/TelemetryTrack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mp4boxes/BoxBuilder.h"
#include "quicktime64/QuickTimeReader.h"
#include "zqfileio/MemoryFileIO.h"

namespace {

constexpr int kChunks = 12;

// Chunk c of the video: 100 bytes that say which chunk they are.
std::string ChunkBytes(int c) { return std::string(100, static_cast<char>('A' + c)); }

// A movie with one video track of kChunks one-frame chunks, and `udta` user data.
std::string Movie(bool moovFirst, const std::string& udta = "") {
  mp4boxes::TrackRecipe video;
  video.trackID = 1;
  video.stts = {{kChunks, 1000}};
  video.sizes.assign(kChunks, 100);
  std::string mdat;
  for (int c = 0; c < kChunks; c++) {
    video.offsets.push_back(mdat.size());
    mdat += ChunkBytes(c);
  }
  return mp4boxes::MovieFileWithRelativeChunks({mp4boxes::Trak(video)}, udta, mdat, moovFirst);
}

mp4boxes::TelemetryTrack Telemetry(int samples) {
  mp4boxes::TelemetryTrack t;
  for (int k = 0; k < samples; k++) t.samples.push_back("DEVC" + std::string(8 + 4 * k, 'a' + k));
  t.userData = mp4boxes::Box("ZQMF", std::string("DEVC\0\0\0\0", 8));
  return t;
}

class AddTelemetry : public ::testing::TestWithParam<bool> {};

TEST_P(AddTelemetry, InterleavesSamplesAndMovesEveryChunk) {
  const bool moovFirst = GetParam();
  const std::string before = Movie(moovFirst, mp4boxes::Box("FIRM", "HD1"));
  const mp4boxes::TelemetryTrack track = Telemetry(3);
  mp4boxes::TelemetryLayout layout;
  std::string error;
  const std::string after = mp4boxes::AddTelemetryTrack(before, track, &layout, &error);
  ASSERT_FALSE(after.empty()) << error;
  EXPECT_EQ(layout.trackID, 2u);

  MemoryFileIO io(after.data(), after.size());
  QuickTimeReader<SyncFileReader> reader;
  ASSERT_EQ(reader.Attach(&io), 0u);
  ASSERT_EQ(reader.Parse(false), 0u);
  MavrelQuickTime64Atom::MovieAtom& movie = reader.GetMovie();
  ASSERT_EQ(movie.GetNumberOfTracks(), 2u);
  EXPECT_EQ(movie.GetMovieHeader().NextTrackID(), 3u);

  // Every video frame still holds its bytes.
  std::vector<uint64_t> video;
  for (uint32_t i = 0; i < kChunks; i++) {
    uint64_t offset = 0;
    uint32_t size = 0;
    ASSERT_EQ(movie.GetVideoSampleRetrievalInformationFromSampleIndex(0, i, &offset, &size), 0u);
    ASSERT_EQ(size, 100u);
    EXPECT_EQ(after.substr(offset, size), ChunkBytes(static_cast<int>(i))) << i;
    video.push_back(offset);
  }
  // The telemetry: its handler and description, its samples where the layout says, spread
  // among the video chunks rather than after them.
  std::vector<uint32_t> indices;
  ASSERT_EQ(movie.GetTavroMetadataTrackIndices("Tavro MET", &indices), 0u);
  ASSERT_EQ(indices, std::vector<uint32_t>{0});
  uint32_t format = 0;
  ASSERT_EQ(movie.Tracks()[1].GetMediaInformation()->GetDataFormat(&format), 0u);
  EXPECT_EQ(format, FourCC("zqmd"));
  for (uint32_t k = 0; k < 3; k++) {
    uint64_t offset = 0;
    uint32_t size = 0;
    ASSERT_EQ(movie.GetTavroMetadataSampleRetrievalInformationFromSampleIndex(0, k, &offset, &size),
              0u);
    EXPECT_EQ(offset, layout.offsets[k]);
    EXPECT_EQ(after.substr(offset, size), track.samples[k]) << k;
  }
  EXPECT_LT(layout.offsets[0], video.front());
  EXPECT_GT(layout.offsets[1], video.front());
  EXPECT_LT(layout.offsets[2], video.back());
  uint32_t duration = 0, scale = 0;
  ASSERT_EQ(movie.GetTavroMetadataFrameRate(0, &duration, &scale), 0u);
  EXPECT_EQ(duration, 1000u);
  EXPECT_EQ(scale, 1000u);

  // The user data kept what it had and gained the new atom.
  ASSERT_NE(movie.GetUserData(), nullptr);
  ASSERT_NE(movie.GetUserData()->GetFirmware(), nullptr);
  ASSERT_NE(movie.GetUserData()->GetZQMF(), nullptr);
  EXPECT_EQ(movie.GetUserData()->GetZQMF()->PayloadLength(), 8u);
}

INSTANTIATE_TEST_SUITE_P(MovieFirstAndLast, AddTelemetry, ::testing::Bool());

}  // namespace
