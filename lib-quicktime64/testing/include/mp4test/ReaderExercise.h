// Runs every lookup the MP4 library offers over a parsed movie (the first samples of every
// track, time code, telemetry, the dump), ignoring the results: tests and the fuzzer use it
// to check that no lookup crashes on damaged input.
#ifndef ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_READEREXERCISE_H_
#define ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_READEREXERCISE_H_

#include <cstdint>

#include "quicktime64/QuickTimeReader.h"

namespace mp4test {

// Samples beyond `maxSamples` per track are not visited.
void ExerciseReader(QuickTimeReader<SyncFileReader>& reader, uint32_t maxSamples = 200);

}  // namespace mp4test

#endif  // ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_READEREXERCISE_H_
