// Track extraction, judged from outside: for every generated clip and every combination of
// track kinds, ffprobe reads the output, ffmpeg decodes it, every output stream's packets
// carry the same bytes in the same order as the source stream's, and our reader finds the
// structure the streaming writer promises (sequential writes only, every sample inside the
// media data, a real `free` pad, the media data to the end of the file). Then the inputs and
// destinations that must fail, and one output past 4 GiB streamed from a sparse source.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "mp4test/BoxBuilder.h"
#include "mp4test/Ffprobe.h"
#include "mp4test/MemorySink.h"
#include "mp4test/TestClips.h"
#include "quicktime64/QuickTime64FileUtilities.h"
#include "quicktime64/QuickTimeReader.h"
#include "zqfileio/MemoryFileIO.h"
#include "zqtest/TempDir.h"

using MavrelQuickTime64Atom::MediaInformationAtom;
using MavrelQuickTime64Atom::TrackAtom;
using Utilities = QuickTime64FileUtilities;

namespace {

constexpr uint32_t kVideo = Utilities::kExtractVideo;
constexpr uint32_t kAudio = Utilities::kExtractAudio;
constexpr uint32_t kMeta = Utilities::kExtractMetadata;

// The last progress report of the running extraction.
double g_lastDone = -1, g_lastTotal = -1;
int g_reports = 0;
void Progress(const std::string& name, double done, double total) {
  EXPECT_EQ(name, "outputFile");
  EXPECT_LE(done, total);
  g_lastDone = done;
  g_lastTotal = total;
  ++g_reports;
}

std::string FlagsName(uint32_t flags) {
  std::string name;
  if (flags & kVideo) name += "video";
  if (flags & kAudio) name += name.empty() ? "audio" : "_audio";
  if (flags & kMeta) name += name.empty() ? "telemetry" : "_telemetry";
  return name;
}

int Shell(const std::string& command, std::string* out) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out->append(buf, n);
  return pclose(pipe);
}

// The packet hashes of each stream, keyed by codec tag (the first stream of a tag).
std::map<std::string, std::vector<std::string>> HashesByTag(const mp4test::Probe& probe) {
  std::map<std::string, std::vector<std::string>> out;
  for (const auto& stream : probe.streams) {
    if (out.count(stream.codecTag) != 0) continue;
    auto& hashes = out[stream.codecTag];
    for (const auto& packet : probe.PacketsOf(stream.index)) hashes.push_back(packet.hash);
  }
  return out;
}

// Where sample `index` of a track lies, by the rules of its kind.
uint32_t Locate(MediaInformationAtom* minf, uint32_t index, uint64_t* offset, uint32_t* size) {
  switch (minf->GetActualType()) {
    case FourCC("soun"):
      return minf->GetAudioSampleRetrievalInformationFromSampleIndex(index, offset, size);
    case FourCC("meta"):
      return minf->GetTavroMetadataSampleRetrievalInformationFromSampleIndex(index, offset, size);
    case FourCC("tmcd"): {
      uint64_t chunk = 0, chunkSize = 0, inChunk = 0;
      uint32_t result = minf->GetTimeCodeRetrievalInformation(&chunk, &chunkSize, &inChunk, size);
      *offset = chunk + inChunk;
      return result;
    }
    default:
      return minf->GetVideoSampleRetrievalInformationFromSampleIndex(index, offset, size);
  }
}

struct Layout {
  std::vector<std::string> topLevel;
  uint64_t freeSize = 0;
  uint64_t mdatStart = 0;  // of the payload
  uint32_t majorBrand = 0;
};

// Checks the structure of an extracted file with our reader: ftyp, moov, free (>= 9 bytes),
// then mdat to the end of the file; every sample of every track inside the mdat payload,
// and no two samples overlapping.
void CheckStructure(const std::string& bytes, Layout* layout) {
  MemoryFileIO io(bytes.data(), bytes.size());
  QuickTimeReader<SyncFileReader> reader;
  ASSERT_EQ(reader.Attach(&io), 0u);
  ASSERT_EQ(reader.Parse(false), 0u);
  layout->majorBrand = reader.GetFtyp().MajorBrand();
  int64_t at = 0;
  uint64_t mdatEnd = 0;
  while (at < static_cast<int64_t>(bytes.size())) {
    uint64_t size = 0;
    uint32_t type = 0;
    int64_t next = 0;
    ASSERT_EQ(reader.ReadAtomSizeAndType(at, &size, &type, &next), 0u) << at;
    layout->topLevel.push_back(FourCCText(type));
    if (type == FourCC("free")) layout->freeSize = size;
    if (type == FourCC("mdat")) {
      // Our header has 8 or 16 bytes; the payload follows it.
      layout->mdatStart = static_cast<uint64_t>(at) + (mp4test::Get32(bytes, at) == 1 ? 16 : 8);
      mdatEnd = static_cast<uint64_t>(at) + size;
    }
    at = next;
  }
  ASSERT_EQ(layout->topLevel, (std::vector<std::string>{"ftyp", "moov", "free", "mdat"}));
  EXPECT_GE(layout->freeSize, 9u);
  EXPECT_EQ(mdatEnd, bytes.size());
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  for (const TrackAtom& track : reader.GetMovie().Tracks()) {
    MediaInformationAtom* minf = track.GetMediaInformation();
    ASSERT_NE(minf, nullptr);
    uint32_t count = 0;
    minf->GetNumberOfSamples(&count);
    for (uint32_t i = 0; i < count; ++i) {
      uint64_t offset = 0;
      uint32_t size = 0;
      ASSERT_EQ(Locate(minf, i, &offset, &size), 0u);
      EXPECT_GE(offset, layout->mdatStart);
      EXPECT_LE(offset + size, mdatEnd);
      spans.emplace_back(offset, offset + size);
    }
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i) EXPECT_LE(spans[i - 1].second, spans[i].first);
}

class ExtractClip : public testing::TestWithParam<std::tuple<int, uint32_t>> {};

TEST_P(ExtractClip, FfprobeReadsFfmpegDecodesAndPacketsMatchTheSource) {
  const auto& clips = mp4test::GeneratedClips();
  ASSERT_EQ(clips.size(), 4u);
  const mp4test::Clip& clip = clips[std::get<0>(GetParam())];
  uint32_t flags = std::get<1>(GetParam());

  FileIO source;
  ASSERT_EQ(source.openRead(clip.path.c_str()), 0u);
  mp4test::MemorySink sink;
  g_reports = 0;
  ASSERT_EQ(Utilities::ExtractTracks(&source, &sink, flags, Progress), 0u);
  EXPECT_EQ(sink.misuses(), 0);
  ASSERT_GT(g_reports, 0);
  EXPECT_EQ(g_lastDone, g_lastTotal);

  Layout layout;
  CheckStructure(sink.bytes(), &layout);
  if (HasFatalFailure()) return;
  // The brand follows the recording, whichever tracks are kept.
  EXPECT_EQ(layout.majorBrand, clip.hevc ? FourCC("mp41") : FourCC("avc1"));

  zqtest::TempDir dir;
  std::string out = dir.path() + "/out.mp4";
  ASSERT_TRUE(mp4test::WriteAll(out, sink.bytes()));
  mp4test::Probe source_probe = mp4test::RunFfprobe(clip.path, true);
  mp4test::Probe probe = mp4test::RunFfprobe(out, true);
  ASSERT_TRUE(source_probe.ok);
  ASSERT_TRUE(probe.ok) << "ffprobe cannot read the output";

  std::set<std::string> expected;
  if (flags & kVideo) expected.insert({clip.hevc ? "hvc1" : "avc1", "tmcd"});
  if (flags & kAudio) expected.insert("mp4a");
  if (flags & kMeta) expected.insert("zqmd");
  std::multiset<std::string> tags;
  for (const auto& stream : probe.streams) tags.insert(stream.codecTag);
  EXPECT_EQ(tags, std::multiset<std::string>(expected.begin(), expected.end()));

  auto want = HashesByTag(source_probe);
  auto got = HashesByTag(probe);
  for (const std::string& tag : expected) {
    SCOPED_TRACE(tag);
    ASSERT_FALSE(want[tag].empty());
    EXPECT_EQ(got[tag], want[tag]);
  }

  // Data streams alone are not decoded by default: copy them through instead.
  bool decodable = (flags & (kVideo | kAudio)) != 0;
  std::string log;
  int status = Shell("ffmpeg -nostdin -v error -i '" + out + "' " +
                         (decodable ? "" : "-map 0 -c copy ") + "-f null -",
                     &log);
  EXPECT_EQ(status, 0) << log;
  EXPECT_EQ(log, "");
}

std::string CaseName(const testing::TestParamInfo<std::tuple<int, uint32_t>>& param) {
  static const char* kClipNames[] = {"h264_bframes_moovlast", "h264_nobframes_moovfirst",
                                     "hevc_bframes_moovfirst", "hevc_nobframes_moovlast"};
  return std::string(kClipNames[std::get<0>(param.param)]) + "_" +
         FlagsName(std::get<1>(param.param));
}

INSTANTIATE_TEST_SUITE_P(EveryClipAndTrackSet, ExtractClip,
                         testing::Combine(testing::Range(0, 4), testing::Range(1u, 8u)), CaseName);

uint32_t ExtractBytes(const std::string& input, uint32_t flags, mp4test::MemorySink* sink) {
  MemoryFileIO source(input.data(), input.size());
  return Utilities::ExtractTracks(&source, sink, flags, nullptr);
}

TEST(ExtractTracks, ShapesOfTheOutput) {
  const auto& clips = mp4test::GeneratedClips();
  ASSERT_FALSE(clips.empty());
  std::string input = mp4test::ReadAll(clips[0].path);

  // Telemetry alone (its only track, as ffprobe shows above) is named "Tavro MET".
  mp4test::MemorySink meta;
  ASSERT_EQ(ExtractBytes(input, kMeta, &meta), 0u);
  auto hdlr = mp4test::Find(meta.bytes(), {"moov", "trak", "mdia", "hdlr"});
  ASSERT_TRUE(hdlr);
  EXPECT_NE(meta.bytes().substr(hdlr->offset, hdlr->size).find("Tavro MET"), std::string::npos);
  EXPECT_NE(meta.bytes().substr(hdlr->offset, hdlr->size).find("meta"), std::string::npos);

  // Video: the maker's user data travels along, the video handler carries the maker's name,
  // and the composition offsets and sync samples of a B-frame source are kept.
  mp4test::MemorySink video;
  ASSERT_EQ(ExtractBytes(input, kVideo, &video), 0u);
  EXPECT_TRUE(mp4test::Find(video.bytes(), {"moov", "udta", "FIRM"}));
  EXPECT_TRUE(mp4test::Find(video.bytes(), {"moov", "trak", "mdia", "minf", "stbl", "ctts"}));
  EXPECT_TRUE(mp4test::Find(video.bytes(), {"moov", "trak", "mdia", "minf", "stbl", "stss"}));
  EXPECT_TRUE(mp4test::Find(video.bytes(), {"moov", "trak", "tref", "tmcd"}));
  EXPECT_NE(video.bytes().find("Tavro AVC"), std::string::npos);
}

// A source built from raw tables: a video track with `videoSamples` samples, two audio
// tracks, and a telemetry track; moov last. Sample bytes count up so that each is known.
std::string SyntheticSource(uint32_t videoSamples, bool telemetry, uint64_t offsetBump = 0) {
  std::string payload;
  auto add = [&](uint32_t size, char fill) {
    uint64_t at = mp4test::MdatPayloadOffsetMoovLast() + payload.size();
    payload += std::string(size, fill);
    return at;
  };
  mp4test::TrackRecipe video;
  video.trackID = 1;
  video.stts = {{videoSamples, 1001}};
  video.sizes.assign(videoSamples, 300);
  for (uint32_t i = 0; i < videoSamples; ++i) video.offsets.push_back(add(300, 'v') + offsetBump);
  std::vector<std::string> traks = {mp4test::Trak(video)};
  for (uint32_t t = 0; t < 2; ++t) {
    mp4test::TrackRecipe audio;
    audio.handler = "soun";
    audio.handlerName = "Tavro AAC";
    audio.trackID = 2 + t;
    audio.timeScale = 48000;
    audio.sampleEntry = mp4test::SoundSampleEntry("mp4a", 0, 2, 48000, 0);
    audio.stts = {{20, 1024}};
    audio.sizes.assign(20, 100 + t);
    for (uint32_t i = 0; i < 20; ++i)
      audio.offsets.push_back(add(100 + t, static_cast<char>('a' + t)));
    traks.push_back(mp4test::Trak(audio));
  }
  if (telemetry) {
    mp4test::TrackRecipe meta = mp4test::TelemetryRecipe(4, 64, 500);
    for (int i = 0; i < 2; ++i) meta.offsets.push_back(add(64, 'm'));
    traks.push_back(mp4test::Trak(meta));
  }
  return mp4test::MovieFile(traks, mp4test::Box("udta", mp4test::MakerUserData()), payload, false);
}

TEST(ExtractTracks, SecondAudioTrackIsShapedLikeTheFirstAndLeftEmpty) {
  mp4test::MemorySink sink;
  ASSERT_EQ(ExtractBytes(SyntheticSource(10, true), kAudio, &sink), 0u);
  MemoryFileIO io(sink.bytes().data(), sink.bytes().size());
  QuickTimeReader<SyncFileReader> reader;
  ASSERT_EQ(reader.Attach(&io), 0u);
  ASSERT_EQ(reader.Parse(false), 0u);
  auto& movie = reader.GetMovie();
  ASSERT_EQ(movie.GetNumberOfTracks(), 2u);
  uint32_t first = 0, second = 0;
  movie.Tracks()[0].GetMediaInformation()->GetNumberOfSamples(&first);
  movie.Tracks()[1].GetMediaInformation()->GetNumberOfSamples(&second);
  EXPECT_EQ(first, 20u);
  EXPECT_EQ(second, 0u);
  // The samples are the first source track's (101-byte samples belong to the second).
  uint64_t offset = 0;
  uint32_t size = 0;
  ASSERT_EQ(movie.GetAudioSampleRetrievalInformationFromSampleIndex(0, 0, &offset, &size), 0u);
  EXPECT_EQ(size, 100u);
  EXPECT_EQ(sink.bytes()[offset], 'a');
}

TEST(ExtractTracks, RefusesBeforeWritingAnything) {
  // Each case fails with its code and the destination receives not one byte.
  struct Case {
    const char* name;
    std::string input;
    uint32_t flags;
    uint32_t code;
  };
  mp4test::TrackRecipe audioOnly;
  audioOnly.handler = "soun";
  audioOnly.timeScale = 48000;
  audioOnly.sampleEntry = mp4test::SoundSampleEntry("mp4a", 0, 2, 48000, 0);
  audioOnly.stts = {{1, 1024}};
  audioOnly.sizes = {10};
  audioOnly.offsets = {mp4test::MdatPayloadOffsetMoovLast()};
  std::string noVideo =
      mp4test::MovieFile({mp4test::Trak(audioOnly)}, "", std::string(10, 'x'), false);
  std::string garbage(4096, '\x17');
  std::vector<Case> cases = {
      {"no video track", noVideo, kVideo, Utilities::kExtractNoVideoTrack},
      {"no telemetry track", SyntheticSource(4, false), kVideo | kMeta,
       Utilities::kExtractMetadataUnavailable},
      {"samples beyond the end of the file", SyntheticSource(4, true, 1u << 20), kVideo,
       Utilities::kExtractSampleOutsideFile},
      {"not an MP4", garbage, kVideo, QTReaderResult(kQTReaderUnsupported)},
      {"nothing selected", SyntheticSource(4, true), 8, Utilities::kExtractWriterNotReady},
      {"empty file", "", kVideo, QTReaderResult(kQTReaderUnsupported)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mp4test::MemorySink sink;
    uint32_t result = ExtractBytes(c.input, c.flags, &sink);
    EXPECT_EQ(result, c.code);
    EXPECT_EQ(sink.received(), 0u);
  }
}

// `bytes` with the movie header's creation and modification times, found where `model` has
// them, set to zero: each extraction takes them from the clock, so two runs may differ there
// by a second.
std::string WithoutMovieTimes(std::string bytes, const std::string& model) {
  const size_t type = model.find("mvhd");
  if (type == std::string::npos) return bytes;
  for (size_t i = type + 8; i < type + 16 && i < bytes.size(); ++i) bytes[i] = 0;
  return bytes;
}

TEST(ExtractTracks, DestinationFailingMidwayReturnsItsFailure) {
  std::string input = SyntheticSource(40, true);
  mp4test::MemorySink whole;
  ASSERT_EQ(ExtractBytes(input, kVideo | kAudio | kMeta, &whole), 0u);
  const std::string expected = WithoutMovieTimes(whole.bytes(), whole.bytes());
  // Refused in the header region, and later among the samples.
  for (uint64_t limit : {uint64_t{100}, whole.received() / 2, whole.received() - 1}) {
    SCOPED_TRACE(limit);
    mp4test::MemorySink sink;
    sink.FailAfter(limit);
    EXPECT_EQ(ExtractBytes(input, kVideo | kAudio | kMeta, &sink),
              QTWriterResult(kFileWriterWriteError));
    EXPECT_LE(sink.received(), limit);
    EXPECT_EQ(expected.compare(0, sink.received(), WithoutMovieTimes(sink.bytes(), whole.bytes())),
              0);
  }
}

// Streams the whole output without keeping it: the first write (the header region, always
// one piece) is kept, every later byte is checked as it arrives. The source's samples are
// holes with a marker at their start, so the only non-zero bytes after the header region
// must be the markers, at the output's sample offsets.
class MarkerSink : public mp4test::MemorySink {
 public:
  MarkerSink() { KeepAtMost(0); }
  const std::string& header() const { return header_; }
  const std::map<uint64_t, uint8_t>& nonZero() const { return nonZero_; }

 protected:
  void Consume(const uint8_t* data, uint64_t length, uint64_t offset) override {
    if (offset == 0) {
      header_.assign(reinterpret_cast<const char*>(data), length);
      return;
    }
    static const std::string zeros(1 << 16, '\0');
    for (uint64_t at = 0; at < length; at += zeros.size()) {
      uint64_t n = std::min<uint64_t>(zeros.size(), length - at);
      if (memcmp(data + at, zeros.data(), n) == 0) continue;
      for (uint64_t i = 0; i < n; ++i) {
        if (data[at + i] != 0) nonZero_[offset + at + i] = data[at + i];
      }
    }
  }

 private:
  std::string header_;
  std::map<uint64_t, uint8_t> nonZero_;
};

std::string Marker(uint32_t kind, uint32_t index) {
  std::string m;
  mp4test::Put32(m, 0xa5000000u | kind);
  mp4test::Put32(m, index + 1);
  return m;
}

TEST(ExtractTracks, LargerThan4GiBFromASparseSource) {
#if defined(__SANITIZE_ADDRESS__)
  // Several seconds of copying holes: run once per test command, in the plain build.
  GTEST_SKIP() << "run in the build without sanitizers";
#endif
  constexpr uint32_t kSamples = 260;
  constexpr uint32_t kSampleSize = 16u << 20;  // 260 x 16 MiB = 4.06 GiB of video
  zqtest::TempDir dir;
  std::string path = dir.path() + "/sparse.mp4";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);

  std::string ftyp = mp4test::MovieFile({}, "", "", false);
  ftyp.resize(mp4test::MdatPayloadOffsetMoovLast() - 8);
  uint64_t payloadStart = ftyp.size() + 16;
  uint64_t payload = uint64_t{kSamples} * kSampleSize + 2 * 64;
  mp4test::TrackRecipe video;
  video.trackID = 1;
  video.stts = {{kSamples, 1001}};
  video.constantSize = kSampleSize;
  video.sizes.assign(kSamples, kSampleSize);
  video.co64 = true;
  std::vector<std::pair<uint64_t, std::string>> markers;
  for (uint32_t i = 0; i < kSamples; ++i) {
    video.offsets.push_back(payloadStart + uint64_t{i} * kSampleSize);
    markers.emplace_back(video.offsets.back(), Marker(1, i));
  }
  mp4test::TrackRecipe meta = mp4test::TelemetryRecipe(2, 64, 4339);
  meta.co64 = true;
  for (uint32_t i = 0; i < 2; ++i) {
    meta.offsets.push_back(payloadStart + uint64_t{kSamples} * kSampleSize + i * 64);
    markers.emplace_back(meta.offsets.back(), Marker(2, i));
  }
  std::string file = mp4test::MovieFile({mp4test::Trak(video), mp4test::Trak(meta)}, "", "", false);
  std::string moov = file.substr(ftyp.size() + 8);
  std::string mdatHeader;
  mp4test::Put32(mdatHeader, 1);
  mdatHeader += "mdat";
  mp4test::Put64(mdatHeader, payload + 16);
  auto put = [&](uint64_t at, const std::string& bytes) {
    return pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)) ==
           static_cast<ssize_t>(bytes.size());
  };
  ASSERT_TRUE(put(0, ftyp + mdatHeader));
  for (const auto& marker : markers) ASSERT_TRUE(put(marker.first, marker.second));
  ASSERT_TRUE(put(payloadStart + payload, moov));
  close(fd);

  FileIO source;
  ASSERT_EQ(source.openRead(path.c_str()), 0u);
  MarkerSink sink;
  ASSERT_EQ(Utilities::ExtractTracks(&source, &sink, kVideo | kMeta, nullptr), 0u);
  EXPECT_EQ(sink.misuses(), 0);

  // The header: 64-bit offsets, a 16-byte mdat header that covers the rest of the stream.
  const std::string& header = sink.header();
  ASSERT_GT(header.size(), 16u);
  size_t mdatAt = header.size() - 16;
  EXPECT_EQ(mp4test::Get32(header, mdatAt), 1u);
  EXPECT_EQ(header.substr(mdatAt + 4, 4), "mdat");
  EXPECT_EQ(mdatAt + mp4test::Get64(header, mdatAt + 8), sink.received());
  EXPECT_GT(sink.received(), uint64_t{1} << 32);
  // The video track's offsets pass 4 GiB; the telemetry placed early keeps 32-bit offsets.
  auto traks = mp4test::FindAll(header, {"moov", "trak"});
  ASSERT_EQ(traks.size(), 2u);
  EXPECT_TRUE(
      mp4test::Find(header, {"mdia", "minf", "stbl", "co64"}, traks[0].Payload(), traks[0].End()));
  EXPECT_TRUE(
      mp4test::Find(header, {"mdia", "minf", "stbl", "stco"}, traks[1].Payload(), traks[1].End()));

  // Every marker where the output's tables put its sample, and nothing else.
  MemoryFileIO io(header.data(), header.size());
  QuickTimeReader<SyncFileReader> reader;
  ASSERT_EQ(reader.Attach(&io), 0u);
  ASSERT_EQ(reader.Parse(false), 0u);
  std::map<uint64_t, uint8_t> expected;
  for (uint32_t kind = 1; kind <= 2; ++kind) {
    MediaInformationAtom* minf = reader.GetMovie().Tracks()[kind - 1].GetMediaInformation();
    uint32_t count = 0;
    minf->GetNumberOfSamples(&count);
    ASSERT_EQ(count, kind == 1 ? kSamples : 2u);
    for (uint32_t i = 0; i < count; ++i) {
      uint64_t offset = 0;
      uint32_t size = 0;
      ASSERT_EQ(Locate(minf, i, &offset, &size), 0u);
      std::string marker = Marker(kind, i);
      for (size_t b = 0; b < marker.size(); ++b) {
        if (marker[b] != 0) expected[offset + b] = static_cast<uint8_t>(marker[b]);
      }
    }
  }
  EXPECT_EQ(sink.nonZero(), expected);
}

}  // namespace
