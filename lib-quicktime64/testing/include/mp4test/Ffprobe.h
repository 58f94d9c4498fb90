// ffprobe as the independent oracle of the tests: streams and packets of a file as it sees
// them.
#ifndef ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_FFPROBE_H_
#define ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_FFPROBE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace mp4test {

struct ProbeStream {
  int index = -1;
  std::string codecType;  // video, audio, data
  std::string codecTag;   // avc1, hvc1, mp4a, tmcd, zqmd
  std::string timeBase;   // "1/30000"
  int64_t durationTs = -1;
};

struct ProbePacket {
  int stream = -1;
  int64_t pos = -1;
  int64_t size = -1;
  bool key = false;
  std::string hash;  // "MD5:..." of the packet's data, when asked for
};

struct Probe {
  bool ok = false;
  std::vector<ProbeStream> streams;
  std::vector<ProbePacket> packets;  // in demuxing order
  // The packets of one stream, in order.
  std::vector<ProbePacket> PacketsOf(int stream) const;
};

// With `dataHashes`, every packet carries the MD5 of its data.
Probe RunFfprobe(const std::string& path, bool dataHashes = false);

}  // namespace mp4test

#endif  // ZQ_LIB_QUICKTIME64_TESTING_INCLUDE_MP4TEST_FFPROBE_H_
