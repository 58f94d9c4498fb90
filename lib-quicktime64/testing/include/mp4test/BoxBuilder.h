// The box builder under the name the MP4 tests use; it lives in mp4boxes so that the
// simulated camera can link it too.
#ifndef ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_BOXBUILDER_H_
#define ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_BOXBUILDER_H_

#include "mp4boxes/BoxBuilder.h"

namespace mp4test {

using mp4boxes::Box;
using mp4boxes::BoxRef;
using mp4boxes::ChunkOffsets;
using mp4boxes::Find;
using mp4boxes::FindAll;
using mp4boxes::FullBox;
using mp4boxes::Get32;
using mp4boxes::Get64;
using mp4boxes::LargeBox;
using mp4boxes::ListBoxes;
using mp4boxes::MakerUserData;
using mp4boxes::MapChunkOffsets;
using mp4boxes::MdatPayloadOffsetMoovLast;
using mp4boxes::MetadataSampleEntry;
using mp4boxes::MovieFile;
using mp4boxes::MovieFileWithRelativeChunks;
using mp4boxes::Pascal;
using mp4boxes::Put16;
using mp4boxes::Put32;
using mp4boxes::Put64;
using mp4boxes::Put8;
using mp4boxes::Set32;
using mp4boxes::Set64;
using mp4boxes::ShiftChunkOffsets;
using mp4boxes::SoundSampleEntry;
using mp4boxes::TelemetryRecipe;
using mp4boxes::TimeCodeSampleEntry;
using mp4boxes::TrackRecipe;
using mp4boxes::Trak;
using mp4boxes::VideoSampleEntry;

}  // namespace mp4test

#endif  // ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_BOXBUILDER_H_
