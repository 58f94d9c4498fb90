// Track extraction over arbitrary bytes as the source, for every selection of track kinds
// (taken from the input's length, so that the reader's seeds serve unchanged):
// it must end with a result code, never read past the source or write anywhere but the end
// of the destination, and whatever it completes must parse again with every sample of the
// output inside the file.
#include <cstdint>
#include <cstdlib>

#include "mp4test/MemorySink.h"
#include "quicktime64/QuickTime64FileUtilities.h"
#include "quicktime64/QuickTimeReader.h"
#include "zqfileio/MemoryFileIO.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t flags = 1 + static_cast<uint32_t>(size % 7);
  MemoryFileIO source(data, size);
  mp4test::MemorySink sink;
  sink.KeepAtMost(64u << 20);
  uint32_t result = QuickTime64FileUtilities::ExtractTracks(&source, &sink, flags, nullptr);
  if (sink.misuses() != 0) abort();
  if (result != 0) return 0;
  const std::string& out = sink.bytes();
  MemoryFileIO written(out.data(), out.size());
  QuickTimeReader<SyncFileReader> reader;
  reader.Attach(&written);
  if (reader.Parse(false) != 0) abort();
  for (auto& track : reader.GetMovie().Tracks()) {
    auto* minf = track.GetMediaInformation();
    if (minf == nullptr || track.HandlerSubtype() != FourCC("vide")) continue;
    uint32_t count = 0;
    minf->GetNumberOfSamples(&count);
    for (uint32_t i = 0; i < count; ++i) {
      uint64_t offset = 0;
      uint32_t sampleSize = 0;
      if (minf->GetVideoSampleRetrievalInformationFromSampleIndex(i, &offset, &sampleSize) != 0 ||
          offset + sampleSize > out.size()) {
        abort();
      }
    }
  }
  return 0;
}
