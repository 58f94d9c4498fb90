// The photo EXIF loader: JPEG bytes are fed in pieces of any size to a segment state machine
// that keeps the EXIF segment (APP1 starting "Exif\0\0") and, in screennail mode, the APP2
// segments where the screennail lives; other segments (APP0, XMP, APP13, tables, comments,
// fill bytes) are skipped, and the start of scan ends the feeding. The EXIF data model is
// libexif's: GetData hands out its ExifData, thumbnail included.
//
// Screennail mode keeps, from the first APP2 that is either a multi-picture index or the start
// of a JPEG (FF D8), that index, or the JPEG collected over consecutive APP2 payloads up to
// its FF D9 (at most kJpegMaxSplitScreennail bytes).
//
// A loader belongs to one request thread; it holds at most one EXIF segment and 1 MiB of
// screennail.
#ifndef ZQ_LIBZQMF_INCLUDE_ZQMF_ZQEXIFLOADER_H_
#define ZQ_LIBZQMF_INCLUDE_ZQMF_ZQEXIFLOADER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <libexif/exif-data.h>

#include "zqmf/ZQJpegMpf.h"

class ZqExifLoader {
 public:
  enum class Mode { kData, kScreennail };
  // Size of the pieces the file functions read and feed.
  static constexpr size_t kPiece = 8192;

  explicit ZqExifLoader(Mode mode = Mode::kData) : mode_(mode) {}
  ZqExifLoader(const ZqExifLoader&) = delete;
  ZqExifLoader& operator=(const ZqExifLoader&) = delete;

  // Feeds the next `length` bytes of the file. False once the loader wants no more bytes.
  bool Write(const uint8_t* bytes, size_t length);
  // Forgets everything fed (the mode stays).
  void Reset();

  // The EXIF data of the segment seen (a new reference the caller releases with
  // exif_data_unref), or null without one. Entries are kept as stored: missing mandatory tags
  // are not added.
  ExifData* GetData() const;
  // The EXIF segment's payload ("Exif\0\0" and the TIFF block), empty without one.
  const std::vector<uint8_t>& GetBuf() const { return exif_; }

  // Screennail mode: true when the kept APP2 is a multi-picture index; its bytes after
  // "MPF\0", and the file offset of its TIFF header.
  bool hasIndex() const { return index_; }
  const std::vector<uint8_t>& app2() const { return app2_; }
  uint64_t indexOffset() const { return app2At_ + 4; }
  // Screennail mode: the screennail collected over APP2 segments (complete only when it ends
  // with FF D9).
  bool hasSplitScreennail() const { return splitDone_; }

 private:
  enum class State { kSoi0, kSoi1, kMarker0, kMarker1, kLength0, kLength1, kPayload, kDone };
  void SegmentStart();
  void SegmentEnd();

  Mode mode_;
  State state_ = State::kSoi0;
  uint64_t pos_ = 0;  // bytes fed so far
  uint8_t marker_ = 0;
  uint32_t length_ = 0;
  uint32_t remaining_ = 0;
  bool keep_ = false;
  std::vector<uint8_t> segment_;
  std::vector<uint8_t> exif_;
  std::vector<uint8_t> app2_;
  uint64_t app2At_ = 0;
  uint64_t segmentPayloadAt_ = 0;
  bool index_ = false;
  bool splitting_ = false;
  bool splitDone_ = false;
};

// Where streamed screennail bytes go: first the length, then the bytes in pieces.
class ZqByteSink {
 public:
  virtual ~ZqByteSink() = default;
  virtual void Length(uint64_t n) = 0;
  // False when the bytes could not be delivered (the stream then stops).
  virtual bool Write(const void* bytes, size_t n) = 0;
};

// Feeds the file at `path` to `loader` (screennail mode) and sends the screennail: its
// length, then its bytes; a length of 0 when the file has none or its index points outside
// the file. Returns the bytes sent, or -1 when the file cannot be opened (nothing sent), or
// -2 when sending or reading failed midway.
int64_t zq_exif_stream_screennail(ZqExifLoader* loader, const char* path, ZqByteSink* sink);
// Feeds the file at `path` to `loader` until it has the EXIF segment. 0, or -1 when the file
// cannot be opened or read.
int zq_exif_load_file(ZqExifLoader* loader, const char* path);

// The EXIF tags as the metadata route answers them: {"exif":{"Name":"value",...}} and a
// line feed, every IFD in order; {"exif":{}} and a line feed without data.
std::string zq_exif_json(ExifData* data);

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQEXIFLOADER_H_
