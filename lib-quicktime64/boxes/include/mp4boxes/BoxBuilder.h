// A small MP4 box builder and box walker, written without the MP4 library so that it can check
// it: the tests build their movies with it, and the simulated camera adds its telemetry track
// to the clips ffmpeg makes. Boxes are byte strings; numbers are written big-endian.
#ifndef ZQ_LIB_QUICKTIME64_BOXES_INCLUDE_MP4BOXES_BOXBUILDER_H_
#define ZQ_LIB_QUICKTIME64_BOXES_INCLUDE_MP4BOXES_BOXBUILDER_H_

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace mp4boxes {

void Put8(std::string& out, uint8_t v);
void Put16(std::string& out, uint16_t v);
void Put32(std::string& out, uint32_t v);
void Put64(std::string& out, uint64_t v);
uint32_t Get32(const std::string& bytes, size_t at);
uint64_t Get64(const std::string& bytes, size_t at);
void Set32(std::string& bytes, size_t at, uint32_t v);
void Set64(std::string& bytes, size_t at, uint64_t v);

// A box with an 8-byte header; `type` is four characters.
std::string Box(const std::string& type, const std::string& payload);
// A box with the 16-byte header (32-bit size 1, then the 64-bit size).
std::string LargeBox(const std::string& type, const std::string& payload);
// A full box: version and 24-bit flags before the payload.
std::string FullBox(const std::string& type, uint8_t version, uint32_t flags,
                    const std::string& payload);
// A Pascal string (length byte, then the text).
std::string Pascal(const std::string& text);

// A box found in a byte string.
struct BoxRef {
  size_t offset = 0;  // of the header
  size_t header = 0;  // 8 or 16
  uint64_t size = 0;
  std::string type;
  size_t Payload() const { return offset + header; }
  size_t End() const { return offset + static_cast<size_t>(size); }
};

// The boxes in [begin, end), stopping at the first one that does not fit.
std::vector<BoxRef> ListBoxes(const std::string& bytes, size_t begin, size_t end);
// Every box reached by `path` (types, outermost first) below [begin, end). Only plain
// containers can be walked through, plus `stsd` (whose entries follow 8 bytes of count) and
// `meta` (4 bytes of version and flags).
std::vector<BoxRef> FindAll(const std::string& bytes, const std::vector<std::string>& path,
                            size_t begin = 0, size_t end = std::string::npos);
std::optional<BoxRef> Find(const std::string& bytes, const std::vector<std::string>& path,
                           size_t begin = 0, size_t end = std::string::npos);

// Adds `delta` to every chunk offset (`stco` and `co64`) of the tracks inside `moov` bytes.
void ShiftChunkOffsets(std::string& moov, int64_t delta);
// Replaces every chunk offset of the tracks inside `moov` bytes by what `map` makes of it.
// `map` returns false to refuse an offset; so does an `stco` entry that would not fit in 32
// bits. False when any offset was refused (the table is then partly rewritten).
bool MapChunkOffsets(std::string& moov, const std::function<bool(uint64_t, uint64_t*)>& map);
// Every chunk offset of the tracks inside `moov` bytes, in table order.
std::vector<uint64_t> ChunkOffsets(const std::string& moov);

// A track built from raw tables, so that tests can make consistent and inconsistent ones.
struct TrackRecipe {
  std::string handler = "vide";  // handler subtype
  std::string handlerName = "Tavro AVC";
  bool pascalName = true;  // the name as a Pascal string or a C string
  uint32_t trackID = 1;
  uint32_t timeScale = 30000;
  uint64_t duration = 0;    // media duration; 0: the sum of the stts entries
  std::string sampleEntry;  // a whole stsd entry; empty: a default for the handler
  std::vector<std::pair<uint32_t, uint32_t>> stts = {{30, 1001}};
  std::vector<std::pair<uint32_t, uint32_t>> ctts;
  std::vector<uint32_t> stss;  // empty: no stss box
  std::vector<uint32_t> sizes = std::vector<uint32_t>(30, 1000);
  uint32_t constantSize = 0;  // non-zero: stsz in its constant form for sizes.size() samples
  std::vector<std::array<uint32_t, 3>> stsc = {{1, 1, 1}};
  std::vector<uint64_t> offsets;  // one per chunk
  bool co64 = false;
  std::vector<uint32_t> trefTmcd;                   // track IDs named by a tmcd reference
  std::vector<std::pair<uint64_t, int64_t>> edits;  // (duration, media time)
};

// A telemetry track: handler "Tavro MET", time scale 1000, two samples of `sampleSize`
// bytes lasting `sampleDuration` each (offsets to be filled in by the caller).
TrackRecipe TelemetryRecipe(uint32_t trackID, uint32_t sampleSize, uint32_t sampleDuration);

std::string VideoSampleEntry(const std::string& format, uint16_t width, uint16_t height,
                             const std::string& compressorName);
std::string SoundSampleEntry(const std::string& format, uint16_t version, uint16_t channels,
                             uint32_t sampleRate, uint32_t bytesPerFrame);
std::string TimeCodeSampleEntry(uint32_t flags, uint32_t timeScale, uint32_t frameDuration,
                                uint8_t framesPerSecond, const std::string& reelName);
std::string MetadataSampleEntry();

std::string Trak(const TrackRecipe& recipe);
// ftyp, then (moovFirst) moov and mdat, or mdat and moov. The mdat payload is `mdatPayload`;
// the caller places chunk offsets with MdatPayloadOffset in mind.
std::string MovieFile(const std::vector<std::string>& traks, const std::string& udta,
                      const std::string& mdatPayload, bool moovFirst);
// Where the mdat payload of a moov-last MovieFile starts.
size_t MdatPayloadOffsetMoovLast();
// As MovieFile, but the tracks' chunk offsets are given relative to the start of the mdat
// payload and moved to where that payload lands in the file.
std::string MovieFileWithRelativeChunks(const std::vector<std::string>& traks,
                                        const std::string& udta, const std::string& mdatPayload,
                                        bool moovFirst);

// The maker's user data children used by the generated clips.
std::string MakerUserData();

}  // namespace mp4boxes

#endif  // ZQ_LIB_QUICKTIME64_BOXES_INCLUDE_MP4BOXES_BOXBUILDER_H_
