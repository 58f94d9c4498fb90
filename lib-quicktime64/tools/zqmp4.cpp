// zqmp4: looks inside MP4/QuickTime recordings with the MP4 library.
//
//   zqmp4 dump FILE             the top-level atoms and the parsed atom tree
//   zqmp4 samples FILE TRACK    one line per sample of track TRACK (0-based, file order):
//                               index, file offset, size, decoding time, duration, key flag
//   zqmp4 bench FILE TRACK      parse time, heap held by the parsed movie, and sample lookup
//                               rates by index and by time over the track (key=value lines)
//   zqmp4 extract --tracks LIST FILE
//                               a new MP4 holding only the listed kinds of track (a comma
//                               separated list of video, audio, telemetry) on standard output,
//                               written strictly in sequence as the HTTP route writes it
//
// Exit status 0 on success, 1 on bad usage, 2 when the file cannot be read.
#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "quicktime64/QuickTime64FileUtilities.h"
#include "quicktime64/QuickTimeReader.h"
#include "zqcommon/zqUint128.h"
#include "zqfileio/StreamFileIO.h"

using MavrelQuickTime64Atom::MediaInformationAtom;
using MavrelQuickTime64Atom::SampleTableAtom;
using MavrelQuickTime64Atom::TrackAtom;

namespace {

int Usage() {
  fprintf(stderr,
          "usage: zqmp4 dump FILE\n"
          "       zqmp4 samples FILE TRACK\n"
          "       zqmp4 bench FILE TRACK\n"
          "       zqmp4 extract --tracks video,audio,telemetry FILE\n");
  return 1;
}

bool ParseIndex(const char* text, uint32_t* out) {
  char* end = nullptr;
  errno = 0;
  unsigned long value = strtoul(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value > UINT32_MAX || text[0] == '-') {
    return false;
  }
  *out = static_cast<uint32_t>(value);
  return true;
}

std::unique_ptr<QuickTimeReader<SyncFileReader>> OpenOrReport(const char* path) {
  auto reader = std::make_unique<QuickTimeReader<SyncFileReader>>();
  uint32_t result = reader->Open(path, false);
  if (result != 0) {
    fprintf(stderr, "zqmp4: %s: cannot read the movie (result 0x%x)\n", path, result);
    return nullptr;
  }
  return reader;
}

int Dump(const char* path) {
  auto reader = OpenOrReport(path);
  if (!reader) return 2;
  printf("Top-level atoms:\n");
  int64_t at = 0;
  for (int i = 0; i < 10000; ++i) {
    uint64_t size = 0;
    uint32_t type = 0;
    int64_t next = 0;
    if (reader->ReadAtomSizeAndType(at, &size, &type, &next) != 0 || next <= at) break;
    printf("  %s at %" PRId64 " size %" PRIu64 "\n", FourCCText(type).c_str(), at, size);
    at = next;
  }
  reader->GetFtyp().Print(0);
  reader->GetMovie().Print(0);
  return 0;
}

// The media information of track `index`, or null with a message.
MediaInformationAtom* TrackMedia(QuickTimeReader<SyncFileReader>& reader, uint32_t index,
                                 const char* path) {
  TrackAtom* track = reader.GetMovie().GetTrack(index);
  if (track == nullptr) {
    fprintf(stderr, "zqmp4: %s: no track %u (the movie has %u)\n", path, index,
            reader.GetMovie().GetNumberOfTracks());
    return nullptr;
  }
  MediaInformationAtom* minf = track->GetMediaInformation();
  if (minf == nullptr || !minf->HasSampleTableAtom()) {
    fprintf(stderr, "zqmp4: %s: track %u (%s) has no sample table\n", path, index,
            FourCCText(track->HandlerSubtype()).c_str());
    return nullptr;
  }
  return minf;
}

bool IsPCM(MediaInformationAtom* minf) {
  uint32_t format = 0;
  return minf->GetActualType() == FourCC("soun") && minf->GetDataFormat(&format) == 0 &&
         (format == FourCC("sowt") || format == FourCC("twos"));
}

// Where sample `index` lies, by the rules of the track's kind of media.
uint32_t Locate(MediaInformationAtom* minf, bool pcm, uint32_t index, uint64_t* offset,
                uint32_t* size) {
  if (minf->GetActualType() == FourCC("soun")) {
    return pcm ? minf->GetAudioFrameRetrievalInformationFromFrameIndex(index, offset, size)
               : minf->GetAudioSampleRetrievalInformationFromSampleIndex(index, offset, size);
  }
  return minf->GetVideoSampleRetrievalInformationFromSampleIndex(index, offset, size);
}

int Samples(const char* path, const char* trackText) {
  uint32_t trackIndex = 0;
  if (!ParseIndex(trackText, &trackIndex)) return Usage();
  auto reader = OpenOrReport(path);
  if (!reader) return 2;
  MediaInformationAtom* minf = TrackMedia(*reader, trackIndex, path);
  if (minf == nullptr) return 2;
  bool pcm = IsPCM(minf);
  uint32_t count = 0;
  minf->GetNumberOfSamples(&count);
  printf("# track %u %s samples %u: index offset size time duration key\n", trackIndex,
         FourCCText(minf->GetActualType()).c_str(), count);
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t offset = 0;
    uint32_t size = 0;
    uint32_t result = Locate(minf, pcm, i, &offset, &size);
    if (result != 0) {
      fprintf(stderr, "zqmp4: %s: sample %u of track %u cannot be located (result %u)\n", path, i,
              trackIndex, result);
      return 2;
    }
    int64_t time = -1;
    uint32_t duration = 0;
    bool key = true;
    minf->SampleTime(i, &time);
    minf->SampleDuration(i, &duration);
    minf->IsKeyFrame(i, &key);
    printf("%u %" PRIu64 " %u %" PRId64 " %u %c\n", i, offset, size, time, duration,
           key ? 'K' : '-');
  }
  return 0;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int Bench(const char* path, const char* trackText) {
  uint32_t trackIndex = 0;
  if (!ParseIndex(trackText, &trackIndex)) return Usage();

  // Parse repeatedly for a stable figure.
  int parses = 0;
  auto start = std::chrono::steady_clock::now();
  do {
    auto reader = OpenOrReport(path);
    if (!reader) return 2;
    ++parses;
  } while (Seconds(start) < 0.5 && parses < 1000);
  double parseSeconds = Seconds(start) / parses;

  size_t before = mallinfo2().uordblks;
  auto reader = OpenOrReport(path);
  if (!reader) return 2;
  size_t heap = mallinfo2().uordblks - before;
  MediaInformationAtom* minf = TrackMedia(*reader, trackIndex, path);
  if (minf == nullptr) return 2;
  uint32_t count = 0;
  minf->GetNumberOfSamples(&count);
  if (count == 0) {
    fprintf(stderr, "zqmp4: %s: track %u has no samples\n", path, trackIndex);
    return 2;
  }
  bool pcm = IsPCM(minf);
  uint64_t checksum = 0;

  // Whole passes over the track until a fifth of a second has gone by.
  uint64_t lookups = 0;
  start = std::chrono::steady_clock::now();
  do {
    for (uint32_t i = 0; i < count; ++i) {
      uint64_t offset = 0;
      uint32_t size = 0;
      if (Locate(minf, pcm, i, &offset, &size) != 0) return 2;
      checksum += offset + size;
    }
    lookups += count;
  } while (Seconds(start) < 0.2);
  double byIndex = static_cast<double>(lookups) / Seconds(start);

  int64_t end = 0;
  uint32_t last = 0;
  minf->SampleTime(count - 1, &end);
  minf->SampleDuration(count - 1, &last);
  int64_t span = end + last;
  lookups = 0;
  uint32_t done = 0;
  start = std::chrono::steady_clock::now();
  do {
    done = 0;
    for (uint32_t i = 0; i < count; ++i) {
      int64_t t = static_cast<int64_t>(MulDiv64(static_cast<uint64_t>(span), i, count));
      uint64_t offset = 0;
      uint32_t size = 0;
      if (minf->GetVideoSampleRetrievalInformationFromSampleTime(t, &offset, &size) == 0) ++done;
      checksum += offset;
    }
    lookups += count;
  } while (Seconds(start) < 0.2);
  double byTime = static_cast<double>(lookups) / Seconds(start);

  printf("moov_bytes=%" PRIu64 "\n", reader->MoovSize());
  printf("samples=%u\n", count);
  printf("parse_us=%.1f\n", parseSeconds * 1e6);
  printf("heap_bytes=%zu\n", heap);
  printf("lookups_by_index_per_s=%.0f\n", byIndex);
  printf("lookups_by_time_per_s=%.0f\n", byTime);
  printf("time_lookups_found=%u\n", done);
  printf("checksum=%" PRIu64 "\n", checksum);
  return 0;
}

// The track flags of a list such as "video,audio,telemetry"; false for an unknown or
// empty item.
bool ParseTracks(const char* list, uint32_t* flags) {
  *flags = 0;
  std::string text(list);
  size_t at = 0;
  while (true) {
    size_t comma = text.find(',', at);
    std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    if (item == "video") {
      *flags |= QuickTime64FileUtilities::kExtractVideo;
    } else if (item == "audio") {
      *flags |= QuickTime64FileUtilities::kExtractAudio;
    } else if (item == "telemetry") {
      *flags |= QuickTime64FileUtilities::kExtractMetadata;
    } else {
      return false;
    }
    if (comma == std::string::npos) return true;
    at = comma + 1;
  }
}

int Extract(const char* list, const char* path) {
  uint32_t flags = 0;
  if (!ParseTracks(list, &flags)) return Usage();
  FileIO source;
  if (source.openRead(path) != 0) {
    fprintf(stderr, "zqmp4: %s: cannot open: %s\n", path, strerror(errno));
    return 2;
  }
  StreamFileIO out(STDOUT_FILENO);
  uint32_t result = QuickTime64FileUtilities::ExtractTracks(&source, &out, flags, nullptr);
  if (result != 0) {
    fprintf(stderr, "zqmp4: %s: extraction failed (result 0x%x) after %" PRIu64 " bytes\n", path,
            result, out.bytesWritten());
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "dump") == 0) return Dump(argv[2]);
  if (argc == 4 && strcmp(argv[1], "samples") == 0) return Samples(argv[2], argv[3]);
  if (argc == 4 && strcmp(argv[1], "bench") == 0) return Bench(argv[2], argv[3]);
  if (argc == 5 && strcmp(argv[1], "extract") == 0 && strcmp(argv[2], "--tracks") == 0) {
    return Extract(argv[3], argv[4]);
  }
  return Usage();
}
