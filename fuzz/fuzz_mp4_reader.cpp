// The MP4 reader over arbitrary bytes: parse (all tracks, and metadata tracks only), run every
// lookup over the tracks, and check that a parsed movie writes itself out in a form that
// reads back and writes again to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "mp4test/ReaderExercise.h"
#include "quicktime64/QuickTimeReader.h"
#include "zqfileio/MemoryFileIO.h"

namespace {

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
    mp4test::ExerciseReader(reader, 64);
    std::string dump;
    reader.GetMovie().Cat(&dump, 0);
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
