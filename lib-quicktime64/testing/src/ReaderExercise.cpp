#include "mp4test/ReaderExercise.h"

#include <string>
#include <vector>

namespace mp4test {

void ExerciseReader(QuickTimeReader<SyncFileReader>& reader, uint32_t maxSamples) {
  auto& movie = reader.GetMovie();
  for (auto& track : movie.Tracks()) {
    auto* minf = track.GetMediaInformation();
    if (minf == nullptr) continue;
    uint32_t count = 0;
    minf->GetNumberOfSamples(&count);
    for (uint32_t i = 0; i < count && i < maxSamples; ++i) {
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
    minf->GetSamplesPerChunk(&lo);
  }
  QuickTime64TimeCodeRecord record;
  reader.GetVideoTimeCode(&record, true);
  bool supported = false;
  reader.IsSupportedTavroSourceFile(&supported);
  std::vector<uint32_t> indices;
  movie.GetTavroMetadataTrackIndices("Tavro MET", &indices);
  int64_t start = 0;
  uint32_t duration = 0, timeScale = 0;
  movie.GetTavroMetadataMediaStart(0, &start);
  movie.GetTavroMetadataFrameRate(0, &duration, &timeScale);
}

}  // namespace mp4test
