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
// The records follow the header in one malloc'd block (aligned for any type), so every record
// is aligned as long as the header's size is a multiple of a record's alignment (8 on the
// camera's ARM as on x86-64).
static_assert(sizeof(MediaListHeader) % alignof(MediaListRecord) == 0);

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
  MediaListHeader* header() {
    return static_cast<MediaListHeader*>(static_cast<void*>(mem_.get()));
  }
  MediaListRecord* records() {
    return static_cast<MediaListRecord*>(static_cast<void*>(mem_.get() + sizeof(MediaListHeader)));
  }

 private:
  std::unique_ptr<uint8_t, FreeDeleter> mem_;
};

#endif  // ZQ_ZQHTTPSERVER_SRC_ZQMEDIALIST_ZQMEDIALISTRECORD_H_
