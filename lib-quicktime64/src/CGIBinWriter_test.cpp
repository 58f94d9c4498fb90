// The streaming writer's numbers: header region layout and its limits, 64-bit offsets and
// media data sizes, time code frame numbers, finalised durations and edits, and the order
// of calls it insists on.
#include "quicktime64/CGIBinWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mp4test/BoxBuilder.h"
#include "mp4test/MemorySink.h"
#include "quicktime64/QuickTimeReader.h"
#include "zqfileio/MemoryFileIO.h"

using MavrelQuickTime64Atom::TrackAtom;
using Writer = CGIBinWriter<StdOutFileWriter>;

namespace {

constexpr uint32_t kNotReady = 0x20000;

// Model tracks to create the writer's tracks from: a 900-frame video at 30000/1001, its
// time code track (30 frames per second), a telemetry track.
class Models {
 public:
  Models() {
    mp4test::TrackRecipe video;
    video.trackID = 1;
    video.stts = {{900, 1001}};
    video.sizes.assign(900, 10);
    video.offsets.assign(900, 0);
    video.trefTmcd = {2};
    mp4test::TrackRecipe tc;
    tc.handler = "tmcd";
    tc.handlerName = "Time Code";
    tc.trackID = 2;
    tc.sampleEntry = mp4test::TimeCodeSampleEntry(0, 30000, 1001, 30, "");
    tc.stts = {{1, 900900}};
    tc.sizes = {4};
    tc.offsets = {0};
    mp4test::TrackRecipe meta = mp4test::TelemetryRecipe(3, 8, 500);
    meta.offsets = {0, 0};
    bytes_ = mp4test::MovieFile({mp4test::Trak(video), mp4test::Trak(tc), mp4test::Trak(meta)}, "",
                                std::string(64, 'x'), false);
    io_ = std::make_unique<MemoryFileIO>(bytes_.data(), bytes_.size());
    ok_ = reader_.Attach(io_.get()) == 0 && reader_.Parse(false) == 0;
  }
  bool ok() const { return ok_; }
  const TrackAtom& video() { return reader_.GetMovie().Tracks()[0]; }
  const TrackAtom& timeCode() { return reader_.GetMovie().Tracks()[1]; }
  const TrackAtom& metadata() { return reader_.GetMovie().Tracks()[2]; }

 private:
  std::string bytes_;
  std::unique_ptr<MemoryFileIO> io_;
  QuickTimeReader<SyncFileReader> reader_;
  bool ok_ = false;
};

// A writer with a finalised video track of `samples` declared samples.
void VideoWriter(Models& models, Writer& writer, uint32_t samples, uint64_t firstOffset = 0) {
  ASSERT_EQ(writer.CreateVideoTrack(models.video(), "", "", nullptr), 0u);
  writer.SetVideoFrameDuration(1001);
  writer.SetVideoTimeScale(30000);
  for (uint32_t i = 0; i < samples; ++i) {
    ASSERT_EQ(writer.SetVideoSampleRetrievalInformation(firstOffset + i * 10, 10, 1001), 0u);
  }
}

TEST(CGIBinWriter, HeaderRegionLayoutAndItsLimits) {
  Models models;
  ASSERT_TRUE(models.ok());
  mp4test::MemorySink tooSmall, exact, wide;
  Writer a(nullptr, &tooSmall), b(nullptr, &exact), c(nullptr, &wide);
  for (Writer* w : {&a, &b, &c}) {
    VideoWriter(models, *w, 3);
    ASSERT_EQ(w->FinalizeMoovAtom(0, 0, 0, 0), 0u);
  }
  uint64_t moov = a.GetMovie().Size();
  uint64_t total = 0;
  ASSERT_EQ(a.GetTotalAtomStructureSize(&total), 0u);
  EXPECT_EQ(total, moov + 36);
  uint64_t used = 20 + moov + 8;  // ftyp with one brand, moov, mdat header

  // 8 spare bytes cannot hold a `free` atom worth writing: nothing goes out.
  EXPECT_EQ(a.WriteFtypToMdatPrefix(30, used + 8, FourCC("avc1")), 0x20001u);
  EXPECT_EQ(tooSmall.received(), 0u);

  // 9 spare bytes: a 9-byte `free`, then the 8-byte mdat header sized payload + 8.
  ASSERT_EQ(b.WriteFtypToMdatPrefix(30, used + 9, FourCC("avc1")), 0u);
  const std::string& out = exact.bytes();
  ASSERT_EQ(out.size(), used + 9);
  EXPECT_EQ(out.substr(8, 8), std::string("avc1\0\0\0\0", 8));
  EXPECT_EQ(mp4test::Get32(out, 0), 20u);
  EXPECT_EQ(out.substr(16, 4), "avc1");
  size_t freeAt = 20 + moov;
  EXPECT_EQ(mp4test::Get32(out, freeAt), 9u);
  EXPECT_EQ(out.substr(freeAt + 4, 4), "free");
  EXPECT_EQ(mp4test::Get32(out, freeAt + 9), 38u);
  EXPECT_EQ(out.substr(freeAt + 13, 4), "mdat");

  // A payload past 4 GiB - 8: a 16-byte mdat header, and the free atom 8 bytes smaller.
  uint64_t big = 0xffffffffull - 7;
  ASSERT_EQ(c.WriteFtypToMdatPrefix(big, used + 100, FourCC("avc1")), 0u);
  const std::string& wideOut = wide.bytes();
  EXPECT_EQ(mp4test::Get32(wideOut, freeAt), 92u);
  EXPECT_EQ(mp4test::Get32(wideOut, freeAt + 92), 1u);
  EXPECT_EQ(wideOut.substr(freeAt + 96, 4), "mdat");
  EXPECT_EQ(mp4test::Get64(wideOut, freeAt + 100), big + 16);
  EXPECT_EQ(wideOut.size(), used + 100);
}

TEST(CGIBinWriter, PlacingTheMediaDataSizesTheRegionFromTheFinishedTables) {
  Models models;
  ASSERT_TRUE(models.ok());
  struct Case {
    uint64_t firstOffset;  // relative to the payload
    bool wide;
  };
  // The second case only passes 4 GiB once the header region is added in front: the table
  // widens to 64-bit offsets.
  for (Case c : {Case{0, false}, Case{0xffffffffull - 200, true}}) {
    SCOPED_TRACE(c.firstOffset);
    mp4test::MemorySink sink;
    Writer writer(nullptr, &sink);
    VideoWriter(models, writer, 3, c.firstOffset);
    ASSERT_EQ(writer.FinalizeMoovAtom(0, 0, 0, 0), 0u);
    uint64_t payload = c.firstOffset + 30, region = 0;
    ASSERT_EQ(writer.PlaceMediaData(payload, FourCC("avc1"), 1024, &region), 0u);
    EXPECT_EQ(writer.PlaceMediaData(payload, FourCC("avc1"), 1024, &region), kNotReady);
    ASSERT_EQ(writer.WriteFtypToMdatPrefix(payload, region, FourCC("avc1")), 0u);
    const std::string& out = sink.bytes();
    ASSERT_EQ(out.size(), region);
    auto pad = mp4test::Find(out, {"free"});
    ASSERT_TRUE(pad);
    EXPECT_EQ(pad->size, 8u + 1024u);
    uint64_t payloadStart = region;
    auto table =
        mp4test::Find(out, {"moov", "trak", "mdia", "minf", "stbl", c.wide ? "co64" : "stco"});
    ASSERT_TRUE(table);
    uint64_t first = c.wide ? mp4test::Get64(out, table->Payload() + 8)
                            : mp4test::Get32(out, table->Payload() + 8);
    EXPECT_EQ(first, payloadStart + c.firstOffset);
  }
}

TEST(CGIBinWriter, TimeCodeFrameNumbers) {
  QuickTime64TimeCodeRecord hour;
  hour.hours = 1;
  EXPECT_EQ(Writer::TimeCodeFrameNumber(hour, 30), 108000u);
  hour.dropFrame = true;
  EXPECT_EQ(Writer::TimeCodeFrameNumber(hour, 30), 107892u);
  QuickTime64TimeCodeRecord t;
  t.minutes = 1;
  t.seconds = 2;
  t.frames = 3;
  EXPECT_EQ(Writer::TimeCodeFrameNumber(t, 25), 3u + 62u * 25u);
  t.dropFrame = true;
  t.minutes = 10;  // minutes divisible by ten drop nothing
  EXPECT_EQ(Writer::TimeCodeFrameNumber(t, 30), 3u + 602u * 30u - 18u);

  // The sample on the wire: 4 bytes, big-endian, right after the header region.
  Models models;
  ASSERT_TRUE(models.ok());
  mp4test::MemorySink sink;
  Writer writer(nullptr, &sink);
  VideoWriter(models, writer, 1, 4);
  ASSERT_EQ(writer.PrepareWriterForVideoTimeCode(models.timeCode()), 0u);
  QuickTime64TimeCodeRecord record;
  record.hours = 1;
  record.reelName = "REEL7";
  ASSERT_EQ(writer.SetVideoTimeCode(0, &record), 0u);
  EXPECT_EQ(writer.SetVideoTimeCode(0, &record), kNotReady);
  ASSERT_EQ(writer.FinalizeMoovAtom(0, 0, 0, 0), 0u);
  uint64_t region = 0;
  ASSERT_EQ(writer.PlaceMediaData(14, FourCC("avc1"), 1, &region), 0u);
  ASSERT_EQ(writer.WriteFtypToMdatPrefix(14, region, FourCC("avc1")), 0u);
  ASSERT_EQ(writer.WriteVideoTimeCode(record), 0u);
  ASSERT_EQ(sink.bytes().size(), region + 4);
  EXPECT_EQ(mp4test::Get32(sink.bytes(), region), 108000u);
  EXPECT_NE(sink.bytes().find("REEL7"), std::string::npos);
  EXPECT_TRUE(mp4test::Find(sink.bytes(), {"moov", "trak", "tref", "tmcd"}));
}

TEST(CGIBinWriter, FinalisedDurationsAndEdits) {
  Models models;
  ASSERT_TRUE(models.ok());
  struct Case {
    double start, maximum;
    uint64_t trackDuration;
    int64_t mediaTime;
  };
  for (Case c : {Case{0, 10, 300000, 0}, Case{1, 0, 870900, 30000}, Case{0, 0, 900900, 0}}) {
    SCOPED_TRACE(c.start);
    mp4test::MemorySink sink;
    Writer writer(nullptr, &sink);
    VideoWriter(models, writer, 900);
    ASSERT_EQ(writer.FinalizeMoovAtom(c.start, 0, 0, c.maximum), 0u);
    const TrackAtom& track = writer.GetMovie().Tracks()[0];
    EXPECT_EQ(track.GetTrackHeader().Duration(), c.trackDuration);
    EXPECT_EQ(track.GetMedia().GetMediaHeader().Duration(), 900900u);
    EXPECT_EQ(track.GetMedia().GetMediaHeader().TimeScale(), 30000u);
    ASSERT_NE(track.GetEdit(), nullptr);
    ASSERT_EQ(track.GetEdit()->GetEditList()->GetNumberOfEntries(), 1u);
    const auto& edit = track.GetEdit()->GetEditList()->Entries()[0];
    EXPECT_EQ(edit.TrackDuration(), c.trackDuration);
    EXPECT_EQ(edit.MediaTime(), c.mediaTime);
    EXPECT_EQ(writer.GetMovie().GetMovieHeader().TimeScale(), 30000u);

    // Finalising twice is refused and changes nothing.
    EXPECT_EQ(writer.FinalizeMoovAtom(0, 0, 0, 0), 3u);
    EXPECT_EQ(track.GetTrackHeader().Duration(), c.trackDuration);
    EXPECT_EQ(writer.SetVideoSampleRetrievalInformation(0, 10, 1001), kNotReady);
  }

  // Telemetry alone sets the movie's time scale; its edit starts at the given time.
  mp4test::MemorySink sink;
  Writer writer(nullptr, &sink);
  ASSERT_EQ(writer.CreateTavroMetadataTrack(models.metadata(), "Tavro MET"), 0u);
  writer.SetMetadataSampleDuration(500);
  writer.SetMetadataTimeScale(1000);
  ASSERT_EQ(writer.SetTavroMetadataTelemetrySampleRetrievalInformation(0, 8, 500), 0u);
  ASSERT_EQ(writer.SetTavroMetadataTelemetrySampleRetrievalInformation(8, 8, 500), 0u);
  ASSERT_EQ(writer.FinalizeMoovAtom(0, 0, 0.25, 0), 0u);
  const TrackAtom& meta = writer.GetMovie().Tracks()[0];
  EXPECT_EQ(writer.GetMovie().GetMovieHeader().TimeScale(), 1000u);
  EXPECT_EQ(meta.GetTrackHeader().Duration(), 1000u);
  EXPECT_EQ(meta.GetEdit()->GetEditList()->Entries()[0].MediaTime(), 250);
}

TEST(CGIBinWriter, CallsOutOfOrderAreRefused) {
  Models models;
  ASSERT_TRUE(models.ok());
  mp4test::MemorySink sink;
  Writer writer(nullptr, &sink);
  FileBuffer sample;
  ASSERT_EQ(sample.AllocData(10), 0u);
  QuickTime64TimeCodeRecord record;

  // Nothing created yet.
  EXPECT_EQ(writer.SetVideoSampleRetrievalInformation(0, 10, 1001), kNotReady);
  EXPECT_EQ(writer.SetCompressedAudioChunkRetrievalInformation(0, 0, 10, 1024), kNotReady);
  EXPECT_EQ(writer.SetTavroMetadataTelemetrySampleRetrievalInformation(0, 10, 1), kNotReady);
  EXPECT_EQ(writer.PrepareWriterForVideoTimeCode(models.timeCode()), kNotReady);
  EXPECT_EQ(writer.SetVideoTimeCode(0, nullptr), 4u);
  EXPECT_EQ(writer.SetVideoTimeCode(0, &record), kNotReady);
  // Models of the wrong kind.
  EXPECT_EQ(writer.CreateVideoTrack(models.metadata(), "", "", nullptr), kNotReady);
  EXPECT_EQ(writer.CreateAudioTrack(models.video(), nullptr), kNotReady);

  ASSERT_EQ(writer.CreateVideoTrack(models.video(), "c", "h", nullptr), 0u);
  EXPECT_EQ(writer.CreateVideoTrack(models.video(), "", "", nullptr), kNotReady);
  // No duration anywhere, then a zero size.
  EXPECT_EQ(writer.SetVideoSampleRetrievalInformation(0, 10, 0), kNotReady);
  EXPECT_EQ(writer.SetVideoSampleRetrievalInformation(0, 0, 1001), 0x2000au);
  writer.SetDefaultVideoSampleDuration(1001);
  EXPECT_EQ(writer.SetVideoSampleRetrievalInformation(0, 10, 0), 0u);

  // Writing before the header region, the header region before finalising.
  EXPECT_EQ(writer.WriteVideoSample(sample), kNotReady);
  EXPECT_EQ(writer.WriteFtypToMdatPrefix(10, 4096, 0), 3u);
  uint64_t region = 0;
  EXPECT_EQ(writer.PlaceMediaData(10, 0, 1, &region), 3u);
  ASSERT_EQ(writer.FinalizeMoovAtom(0, 0, 0, 0), 0u);
  EXPECT_EQ(writer.PlaceMediaData(10, 0, 0, &region), 4u);
  ASSERT_EQ(writer.PlaceMediaData(10, 0, 1, &region), 0u);
  ASSERT_EQ(writer.WriteFtypToMdatPrefix(10, region, 0), 0u);
  EXPECT_EQ(sink.bytes().substr(8, 4), "qt  ");  // without a brand the file is QuickTime
  EXPECT_EQ(writer.WriteFtypToMdatPrefix(10, region, 0), kNotReady);
  EXPECT_EQ(writer.WriteTavroMetadataTelemetrySample(sample), kNotReady);
  EXPECT_EQ(writer.WriteVideoSample(sample), 0u);
  EXPECT_EQ(sink.received(), region + 10);
  EXPECT_EQ(writer.Close(), 0u);
  EXPECT_EQ(writer.WriteVideoSample(sample), kNotReady);
  EXPECT_EQ(sink.misuses(), 0);
}

}  // namespace
