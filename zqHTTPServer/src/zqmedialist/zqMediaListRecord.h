// The media scan buffer: an 8-byte header and fixed 32-byte records, one per listed file.
// It is the daemon's own in-memory format (never sent anywhere), filled by the scans and read
// by the list writer.
#ifndef ZQ_ZQHTTPSERVER_SRC_ZQMEDIALIST_ZQMEDIALISTRECORD_H_
#define ZQ_ZQHTTPSERVER_SRC_ZQMEDIALIST_ZQMEDIALISTRECORD_H_

#include <cstdint>
#include <cstdlib>
#include <memory>

inline constexpr uint16_t kMediaListMagic = 0x1337;
inline constexpr uint16_t kMediaListVersion = 2;
inline constexpr uint32_t kMediaListMaxRecords = 99999;

struct MediaListHeader {
  uint16_t magic;    // kMediaListMagic
  uint16_t version;  // kMediaListVersion
  uint32_t count;    // records that follow
};

struct MediaListRecord {
  uint16_t folder;  // 100..999
  char type;        // 'T' NNNTAVRO, 'R' NNNQ3D_R, 'L' NNNQ3D_L, 'F' NNNQFRNT, 'B' NNNQBACK
  char name[13];    // 8.3 name and a zero byte
  uint64_t size;
  uint64_t time;  // creation time from the media database; 0 unknown
};
static_assert(sizeof(MediaListHeader) == 8 && sizeof(MediaListRecord) == 32);

struct FreeDeleter {
  void operator()(void* p) const { free(p); }
};

// A scan buffer: the header and room for kMediaListMaxRecords records (3,199,976 bytes, most
// of which the kernel never backs unless written).
class MediaScanBuffer {
 public:
  // False when the memory cannot be had.
  bool Allocate() {
    mem_.reset(static_cast<uint8_t*>(
        malloc(sizeof(MediaListHeader) + sizeof(MediaListRecord) * kMediaListMaxRecords)));
    return mem_ != nullptr;
  }
  void Reset() { mem_.reset(); }
  bool empty() const { return mem_ == nullptr; }
  MediaListHeader* header() { return reinterpret_cast<MediaListHeader*>(mem_.get()); }
  MediaListRecord* records() {
    return reinterpret_cast<MediaListRecord*>(mem_.get() + sizeof(MediaListHeader));
  }

 private:
  std::unique_ptr<uint8_t, FreeDeleter> mem_;
};

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQMEDIALIST_ZQMEDIALISTRECORD_H_
