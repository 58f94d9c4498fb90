// The MP4 reader over arbitrary bytes: parse (all tracks, and metadata tracks only), run every
// lookup over the tracks, and check that a parsed movie writes itself out in a form that
// reads back and writes again to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "quicktime64/MemoryFileIO.h"
#include "quicktime64/QuickTimeReader.h"

namespace {

void Lookups(QuickTimeReader<SyncFileReader>& reader) {
  auto& movie = reader.GetMovie();
  for (auto& track : movie.Tracks()) {
    auto* minf = track.GetMediaInformation();
    if (minf == nullptr) continue;
    uint32_t count = 0;
    minf->GetNumberOfSamples(&count);
    for (uint32_t i = 0; i < count && i < 64; ++i) {
      uint64_t offset = 0, a = 0, b = 0;
      uint32_t size = 0, n = 0;
      int64_t time = 0;
      bool key = false;
      std::vector<uint32_t> sizes;
      minf->GetVideoSampleRetrievalInformationFromSampleIndex(i, &offset, &a, &b, &size);
      minf->GetAudioSampleRetrievalInformationFromSampleIndex(i, &offset, &size);
      minf->GetAudioFrameRetrievalInformationFromFrameIndex(i, &offset, &size);
      minf->GetAudioFrameRetrievalInformationFromChunkIndex(i, &offset, &a, &n, &sizes);
      minf->SampleTime(i, &time);
      minf->GetVideoSampleRetrievalInformationFromSampleTime(time + 1, &offset, &size);
      minf->SampleDuration(i, &size);
      minf->IsKeyFrame(i, &key);
    }
    uint32_t lo = 0, hi = 0;
    minf->GetMinimumAndMaximumDuration(&lo, &hi);
    minf->GetSampleDuration(&lo);
  }
  QuickTime64TimeCodeRecord record;
  reader.GetVideoTimeCode(&record, true);
  bool supported = false;
  reader.IsSupportedTavroSourceFile(&supported);
  int64_t start = 0;
  uint32_t d = 0, ts = 0;
  movie.GetTavroMetadataMediaStart(0, &start);
  movie.GetTavroMetadataFrameRate(0, &d, &ts);
  std::string dump;
  movie.Cat(&dump, 0);
}

std::string Written(const MavrelQuickTime64Atom::MovieAtom& movie) {
  FileBuffer out;
  if (out.AllocData(movie.Size()) != 0 || movie.Write(out) != 0) abort();
  if (out.Cursor() != movie.Size()) abort();
  return std::string(reinterpret_cast<const char*>(out.Data()), out.DataSize());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (bool onlyMetadata : {false, true}) {
    MemoryFileIO io(data, size);
    QuickTimeReader<SyncFileReader> reader;
    reader.Attach(&io);
    if (reader.Parse(onlyMetadata) != 0) continue;
    Lookups(reader);
    // What we write, we read; and writing it again gives the same bytes.
    std::string first = Written(reader.GetMovie());
    FileBuffer in;
    in.AdoptData(first.data(), first.size());
    MavrelQuickTime64Atom::MovieAtom again;
    if (again.Read(in, false) != 0) abort();
    if (Written(again) != first) abort();
  }
  return 0;
}
