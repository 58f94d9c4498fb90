// Reads the structure of an MP4/QuickTime file: finds the `ftyp` and `moov` atoms at the top
// level, loads the whole `moov` into memory and parses it into the movie. Sample data is
// never loaded; samples are located through the movie's tables and read on demand.
//
// Top-level scan: the first atom must be `ftyp`, `moov`, `free`, `wide` or `mdat`; atoms are
// skipped by their sizes (64-bit sizes honoured) until `ftyp`, then again from the start
// until `moov`, so a `moov` before the `ftyp` is found too. A size-0 atom ends the scan. A
// `moov` that runs past the end of the file is refused before anything is allocated.
//
// Results: 0; kQTReaderUnsupported (1) when the structure is not supported (no `ftyp` or
// `moov`, a bad first atom); kQTReaderOpenFailed (9) when the file cannot be opened;
// otherwise 0x10000 | the reader, buffer or atom code.
//
// `Reader` is SyncFileReader (reads on the calling thread) or AsyncFileReader. One thread
// uses a reader at a time.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEREADER_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEREADER_H_

#include <cstdint>

#include "quicktime64/QuickTime64TimeCodeRecord.h"
#include "quicktime64/QuickTimeFile.h"
#include "zqfileio/AsyncFileReader.h"
#include "zqfileio/FileBuffer.h"
#include "zqfileio/SyncFileReader.h"

class FileIO;

template <class Reader>
class QuickTimeReader : public QuickTimeFile {
 public:
  QuickTimeReader() = default;
  ~QuickTimeReader() override;

  // Opens `path` and parses it.
  uint32_t Open(const char* path, bool onlyMetadataTracks);
  // Reads through `source` (borrowed; it stays open and the caller's) from now on.
  uint32_t Attach(FileIO* source);
  // Parses the file already opened or attached, loading the `moov` into `moovBuffer`.
  uint32_t Parse(FileBuffer& moovBuffer, bool onlyMetadataTracks);
  // As above into the reader's own buffer, which is released once the movie is parsed.
  uint32_t Parse(bool onlyMetadataTracks) { return Parse(moovBuffer_, onlyMetadataTracks); }
  uint32_t Close();

  // The header of the atom at `offset`: its size (64-bit when the 32-bit field is 1), its
  // type and the offset after it. Out-pointers may be null (each is zeroed first).
  // 0x10003 when the header is cut short by the end of the file, 0x10004 when its size is
  // smaller than its header or the next offset would overflow.
  uint32_t ReadAtomSizeAndType(int64_t offset, uint64_t* size, uint32_t* type, int64_t* nextOffset);

  // Whether the file was recorded by the maker's camera: its first video track's handler
  // name contains "Tavro", or the user data holds a firmware atom, or an encoder item of
  // the user data's metadata says "Tavro". 0x10001 for a null pointer or no video track,
  // 0x10002 when the video track has no handler reference, 0x1000a for an empty handler
  // name; otherwise 0 with the verdict.
  uint32_t IsSupportedTavroSourceFile(bool* supported);

  // The time code of the recording: the frame number in the first sample of the time code
  // track that the first video track references, split into hours, minutes, seconds and
  // frames at the track's frames per second. `swapBytes` takes the stored bytes as
  // big-endian (as files store them); without it they are taken little-endian. 4 for a null
  // record, 10 when the referenced track is not time code, 0x10003 when the sample holds
  // fewer than 4 bytes, 0x10004 for a zero frame rate.
  uint32_t GetVideoTimeCode(QuickTime64TimeCodeRecord* record, bool swapBytes);

  // Reads `size` bytes at `offset` of the file into `buffer` (see FileReader::Read).
  uint32_t ReadBytes(FileBuffer& buffer, int64_t offset, uint64_t size);

  Reader& GetFileReader() { return reader_; }
  int64_t MoovOffset() const { return moovOffset_; }
  uint64_t MoovSize() const { return moovSize_; }

 private:
  // Scans the top level from offset 0 for `wanted`; on success its offset and size.
  uint32_t ScanFor(uint32_t wanted, int64_t* offset, uint64_t* size);

  Reader reader_;
  FileBuffer headerBuffer_;
  FileBuffer moovBuffer_;
  int64_t fileSize_ = 0;
  int64_t moovOffset_ = 0;
  uint64_t moovSize_ = 0;
};

extern template class QuickTimeReader<SyncFileReader>;
extern template class QuickTimeReader<AsyncFileReader>;

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEREADER_H_
