// Utilities over whole MP4 files: track extraction (a recording reduced to chosen kinds of
// track, streamed to a sequential destination as it is built), the trimming helpers, and
// the process-wide file access lock.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64FILEUTILITIES_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64FILEUTILITIES_H_

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "quicktime64/TimeToSampleAtom.h"
#include "threadpool/ThreadPoolLibThreadPool.h"

class FileIO;

class QuickTime64FileUtilities {
 public:
  // Track selection flags of ExtractTracks.
  static constexpr uint32_t kExtractVideo = 1;     // the first video track and its time code
  static constexpr uint32_t kExtractAudio = 2;     // the audio tracks
  static constexpr uint32_t kExtractMetadata = 4;  // the "Tavro MET" telemetry track

  // Called with the name "outputFile" and the samples written of those planned.
  using ProgressCallback = void (*)(const std::string& name, double done, double total);

  // One sample to copy: its index in its source track, and where it lies in the source.
  struct WriteSessionValue {
    uint32_t sampleIndex = 0;
    uint32_t size = 0;
    uint64_t sourceOffset = 0;
  };
  // One interleave group (about half a second of video): the samples of each kind, in the
  // order they follow each other in the output (video, then audio, then metadata).
  struct WriteSessionValues {
    std::vector<WriteSessionValue> video;
    std::vector<WriteSessionValue> audio;
    std::vector<WriteSessionValue> metadata;
  };

  // Result codes of ExtractTracks besides the wrapped reader (0x10000 | code) and writer
  // (0x20000 | code) codes.
  static constexpr uint32_t kExtractNoVideoTrack = 0x10001;
  static constexpr uint32_t kExtractNoMediaInformation = 0x10002;
  static constexpr uint32_t kExtractUnsupportedAudio = 0x10008;   // audio other than `mp4a`
  static constexpr uint32_t kExtractSampleOutsideFile = 0x1000c;  // a sample beyond the end
  static constexpr uint32_t kExtractNothingToWrite = 0x10003;     // no selected track exists
  static constexpr uint32_t kExtractWriterNotReady = 0x20000;     // also: bad flags or FileIO
  static constexpr uint32_t kExtractMetadataUnavailable = 0x60004;

  // Reads the recording through `source` and streams to `destination` a new MP4 holding
  // the selected kinds of track (flags above; other bits are ignored, none selected is
  // refused). Sample bytes are copied unchanged. The destination is written strictly
  // sequentially, never positioned: first the whole header region, sized from the tables
  // really written, then the samples in interleave order. Everything that can be checked
  // (parse, tracks, every sample inside the source) is checked before the first byte is
  // written. Both FileIOs stay open and the caller's. Returns 0 or a result code; after a
  // failure midway (0x20004: the destination refused bytes; 0x1000x: the source failed) the
  // output is truncated and must be abandoned. Memory: the two movies, the plan (16 bytes a
  // sample), a read buffer (1 MiB, or the largest sample when that is larger) and a 1 MiB
  // buffer that gathers the output into larger writes.
  static uint32_t ExtractTracks(FileIO* source, FileIO* destination, uint32_t trackFlags,
                                ProgressCallback progress);
  // The same between files: the source opened for reading (failure: "WHOA" on standard
  // error and 0x10000), the destination created or truncated (failure 0x20000).
  static uint32_t ExtractTracks(const std::string& sourcePath, const std::string& destinationPath,
                                uint32_t trackFlags, ProgressCallback progress);

  // Trimming helpers. Time-to-sample tables as entries, sync tables as 1-based sample
  // numbers, times in seconds, sample indices 0-based.
  using TimeToSampleTable =
      std::vector<MavrelQuickTime64Atom::TimeToSampleAtom::TimeToSampleTableEntry>;
  // The index of the sample whose interval holds truncate(seconds x timeScale); the number
  // of samples when that lies at or past the end; 0 for an empty table.
  static uint32_t findClosestIndexEarlierThanTime(const TimeToSampleTable& stts, double seconds,
                                                  uint32_t timeScale);
  // The above + 1, and also the number of samples at or past the end.
  static uint32_t findClosestIndexLaterThanTime(const TimeToSampleTable& stts, double seconds,
                                                uint32_t timeScale);
  // The summed durations of the samples before `index` / timeScale (0.0 for timeScale 0).
  static double findTimeAtIndex(const TimeToSampleTable& stts, uint32_t index, uint32_t timeScale);
  // The duration of sample `index`; 0 past the table.
  static uint32_t findSampleDurationAtIndex(const TimeToSampleTable& stts, uint32_t index);
  // The start of the group of pictures holding `index`, below `limit`.
  static uint32_t findGopAlignedIndexSmallerThanSampleIndex(const std::set<uint32_t>& sync,
                                                            uint32_t index, uint32_t limit);
  // The start of the next group of pictures after `index`, at most `limit`, at least 1.
  static uint32_t findGopAlignedIndexGreaterThanSampleIndex(const std::set<uint32_t>& sync,
                                                            uint32_t index, uint32_t limit);
  static uint32_t findClosestGopAlignedIndexEarlierThanTime(const TimeToSampleTable& stts,
                                                            const std::set<uint32_t>& sync,
                                                            double seconds, uint32_t timeScale,
                                                            uint32_t limit);
  static uint32_t findClosestGopAlignedIndexLaterThanTime(const TimeToSampleTable& stts,
                                                          const std::set<uint32_t>& sync,
                                                          double seconds, uint32_t timeScale,
                                                          uint32_t limit);
  // The run-length table of samples [first, last); 4 when first > last.
  static uint32_t createTrimmedTimeToSampleTable(const TimeToSampleTable& stts,
                                                 TimeToSampleTable* out, uint32_t first,
                                                 uint32_t last);
  // The sync samples of [first, last), numbered from 1 at `first`; 4 when first > last.
  static uint32_t createTrimmedSyncSampleTable(const std::set<uint32_t>& sync,
                                               std::set<uint32_t>* out, uint32_t first,
                                               uint32_t last);

  // Initialises `lock` as a mutex: false for a null pointer or a failed initialisation.
  static bool InitializeQuickTime64FileUtilitiesLock(THREAD_POOL_LIB_LOCK* lock);

  static constexpr const char* kTavroString = "Tavro";
  static constexpr const char* kTavroVideoHandlerReferenceComponentNameAVC = "Tavro AVC";
  static constexpr const char* kTavroVideoCodecNameAVC = "Tavro AVC encoder";
  static constexpr const char* kTavroVideoHandlerReferenceComponentNameHEVC = "Tavro H.265";
  static constexpr const char* kTavroVideoCodecNameHEVC = "Tavro H.265 encoder";

  // Serialises file access across the process; initialised once at start-up, with the
  // outcome in haveFileAccessLock.
  static THREAD_POOL_LIB_LOCK fileAccessLock;
  static bool haveFileAccessLock;
};

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIME64FILEUTILITIES_H_
