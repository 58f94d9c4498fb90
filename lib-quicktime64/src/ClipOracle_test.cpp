// The reader against ffprobe on real encoder output: every sample of every track of every
// generated clip must lie where ffprobe finds its packet, with the same size and key flag,
// and the tracks must agree in kind, time base and duration.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "mp4test/Ffprobe.h"
#include "mp4test/TestClips.h"
#include "quicktime64/QuickTime64TimeCodeUtilities.h"
#include "quicktime64/QuickTimeReader.h"

namespace {

using MavrelQuickTime64Atom::MediaInformationAtom;
using MavrelQuickTime64Atom::TrackAtom;
using mp4test::Clip;

class ClipOracle : public testing::TestWithParam<size_t> {
 protected:
  static void SetUpTestSuite() { ASSERT_FALSE(mp4test::GeneratedClips().empty()); }
  const Clip& clip() const { return mp4test::GeneratedClips().at(GetParam()); }
};

std::string KindOf(uint32_t subtype) {
  switch (subtype) {
    case FourCC("vide"):
      return "video";
    case FourCC("soun"):
      return "audio";
    default:
      return "data";
  }
}

TEST_P(ClipOracle, EverySampleIsWhereFfprobeFindsIt) {
  QuickTimeReader<SyncFileReader> reader;
  ASSERT_EQ(reader.Open(clip().path.c_str(), false), 0u) << clip().name;
  mp4test::Probe probe = mp4test::RunFfprobe(clip().path);
  ASSERT_TRUE(probe.ok) << clip().name;

  auto& movie = reader.GetMovie();
  ASSERT_EQ(probe.streams.size(), movie.GetNumberOfTracks());
  size_t totalSamples = 0;
  for (uint32_t t = 0; t < movie.GetNumberOfTracks(); ++t) {
    SCOPED_TRACE(clip().name + " track " + std::to_string(t));
    TrackAtom& track = *movie.GetTrack(t);
    const mp4test::ProbeStream& stream = probe.streams[t];
    EXPECT_EQ(KindOf(track.HandlerSubtype()), stream.codecType);
    EXPECT_EQ(stream.timeBase,
              "1/" + std::to_string(track.GetMedia().GetMediaHeader().TimeScale()));
    // ffprobe's duration is the media's, or the span its edit list plays (to a movie tick).
    const auto& mdhd = track.GetMedia().GetMediaHeader();
    uint64_t movieScale = movie.GetMovieHeader().TimeScale();
    ASSERT_GT(movieScale, 0u);
    uint64_t edited = 0;
    if (track.GetEdit() != nullptr && track.GetEdit()->GetEditList() != nullptr) {
      for (const auto& edit : track.GetEdit()->GetEditList()->Entries()) {
        edited += edit.TrackDuration();
      }
    }
    int64_t editedTs = static_cast<int64_t>(edited * mdhd.TimeScale() / movieScale);
    int64_t tick = static_cast<int64_t>(mdhd.TimeScale() / movieScale) + 1;
    EXPECT_TRUE(stream.durationTs == static_cast<int64_t>(mdhd.Duration()) ||
                std::llabs(stream.durationTs - editedTs) <= tick)
        << stream.durationTs << " vs media " << mdhd.Duration() << " or edited " << editedTs;
    MediaInformationAtom* minf = track.GetMediaInformation();
    ASSERT_NE(minf, nullptr);
    uint32_t format = 0;
    ASSERT_EQ(minf->GetDataFormat(&format), 0u);
    EXPECT_EQ(FourCCText(format), stream.codecTag);

    std::vector<mp4test::ProbePacket> packets = probe.PacketsOf(static_cast<int>(t));
    uint32_t count = 0;
    ASSERT_EQ(minf->GetNumberOfSamples(&count), 0u);
    ASSERT_EQ(count, packets.size());
    bool audio = track.HandlerSubtype() == FourCC("soun");
    for (uint32_t i = 0; i < count; ++i) {
      uint64_t offset = 0;
      uint32_t size = 0;
      uint32_t result =
          audio ? minf->GetAudioSampleRetrievalInformationFromSampleIndex(i, &offset, &size)
                : minf->GetVideoSampleRetrievalInformationFromSampleIndex(i, &offset, &size);
      ASSERT_EQ(result, 0u) << "sample " << i;
      ASSERT_EQ(static_cast<int64_t>(offset), packets[i].pos) << "sample " << i;
      ASSERT_EQ(static_cast<int64_t>(size), packets[i].size) << "sample " << i;
      if (track.HandlerSubtype() == FourCC("vide")) {
        bool key = false;
        ASSERT_EQ(minf->IsKeyFrame(i, &key), 0u);
        EXPECT_EQ(key, packets[i].key) << "sample " << i;
      }
    }
    totalSamples += count;
  }
  EXPECT_GT(totalSamples, 60u);
}

TEST_P(ClipOracle, TelemetryTrackAndCameraUserData) {
  QuickTimeReader<SyncFileReader> reader;
  ASSERT_EQ(reader.Open(clip().path.c_str(), false), 0u);
  auto& movie = reader.GetMovie();
  std::vector<uint32_t> indices;
  ASSERT_EQ(movie.GetTavroMetadataTrackIndices("Tavro MET", &indices), 0u);
  ASSERT_EQ(indices, std::vector<uint32_t>{0});
  uint32_t count = 0;
  ASSERT_EQ(movie.GetTavroMetadataNumberOfSamples(0, &count), 0u);
  ASSERT_EQ(count, clip().telemetrySizes.size());
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t offset = 0;
    uint32_t size = 0;
    ASSERT_EQ(movie.GetTavroMetadataSampleRetrievalInformationFromSampleIndex(0, i, &offset, &size),
              0u);
    EXPECT_EQ(offset, clip().telemetryOffsets[i]);
    EXPECT_EQ(size, clip().telemetrySizes[i]);
  }
  uint32_t duration = 0, timeScale = 0;
  ASSERT_EQ(movie.GetTavroMetadataFrameRate(0, &duration, &timeScale), 0u);
  EXPECT_EQ(duration, 500u);
  EXPECT_EQ(timeScale, 1000u);
  int64_t start = -1;
  EXPECT_EQ(movie.GetTavroMetadataMediaStart(0, &start), 0u);
  EXPECT_EQ(start, clip().telemetryMediaStart);

  // The firmware and Spotmark atoms show in zqmp4's dump of the same clips.
  auto* udta = movie.GetUserData();
  ASSERT_NE(udta, nullptr);
  ASSERT_NE(udta->GetCameraSettings(), nullptr);
  EXPECT_EQ(udta->GetCameraSettings()->Words(), (std::vector<uint32_t>{1, 0x12345678, 0xabcd0000}));
  ASSERT_NE(udta->GetCameraFOV(), nullptr);
  ASSERT_NE(udta->FindUnparsed(FourCC("XTRA")), nullptr);
  auto payload = udta->FindUnparsed(FourCC("XTRA"))->Payload();
  EXPECT_EQ(std::string(payload.begin(), payload.end()), "first");
}

TEST_P(ClipOracle, TimeCodeOfTheRecording) {
  QuickTimeReader<SyncFileReader> reader;
  ASSERT_EQ(reader.Open(clip().path.c_str(), false), 0u);
  QuickTime64TimeCodeRecord record;
  ASSERT_EQ(reader.GetVideoTimeCode(&record, true), 0u);
  EXPECT_EQ(record.dropFrame, clip().dropFrame);
  uint32_t timeScale = 0, frameDuration = 0;
  auto& movie = reader.GetMovie();
  ASSERT_EQ(movie.GetTimeCodeTimeScale(&timeScale), 0u);
  ASSERT_EQ(movie.GetTimeCodeFrameDuration(&frameDuration), 0u);
  std::string text = QuickTime64TimeCodeUtilities::GetTimeCode(
      frameDuration, timeScale, record.frameCount, record.dropFrame, 0, 0, 0, 0,
      record.dropFrame ? ';' : ':');
  // ffmpeg was given the start time code; drop-frame text uses ';' throughout here.
  std::string expected = clip().timeCode;
  if (record.dropFrame) {
    for (char& c : expected) c = c == ':' ? ';' : c;
  }
  EXPECT_EQ(text, expected);
}

std::string ClipName(const testing::TestParamInfo<size_t>& info) {
  static const char* kNames[] = {"H264BFramesMoovLast", "H264MoovFirstQuickTime",
                                 "HevcBFramesMoovFirst", "HevcMoovLastQuickTime"};
  return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(GeneratedClips, ClipOracle, testing::Values(0, 1, 2, 3), ClipName);

}  // namespace
