#include "mp4test/Ffprobe.h"

#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

namespace mp4test {

namespace {

// ffprobe writes some numbers as JSON strings and others as numbers.
int64_t Number(const nlohmann::json& object, const char* key, int64_t fallback = -1) {
  auto it = object.find(key);
  if (it == object.end()) return fallback;
  if (it->is_number_integer()) return it->get<int64_t>();
  if (it->is_string()) {
    const std::string& text = it->get_ref<const std::string&>();
    char* end = nullptr;
    long long value = strtoll(text.c_str(), &end, 10);
    if (end != text.c_str() && *end == '\0') return value;
  }
  return fallback;
}

std::string Text(const nlohmann::json& object, const char* key) {
  auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace

std::vector<ProbePacket> Probe::PacketsOf(int stream) const {
  std::vector<ProbePacket> out;
  for (const ProbePacket& p : packets) {
    if (p.stream == stream) out.push_back(p);
  }
  return out;
}

Probe RunFfprobe(const std::string& path, bool dataHashes) {
  Probe probe;
  std::string command = std::string("ffprobe -v error -show_streams -show_packets ") +
                        (dataHashes ? "-show_data_hash MD5 " : "") + "-of json '" + path +
                        "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return probe;
  std::string text;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  if (pclose(pipe) != 0) return probe;
  nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
  if (doc.is_discarded()) return probe;
  for (const auto& s : doc.value("streams", nlohmann::json::array())) {
    ProbeStream stream;
    stream.index = static_cast<int>(Number(s, "index"));
    stream.codecType = Text(s, "codec_type");
    stream.codecTag = Text(s, "codec_tag_string");
    stream.timeBase = Text(s, "time_base");
    stream.durationTs = Number(s, "duration_ts");
    probe.streams.push_back(stream);
  }
  for (const auto& p : doc.value("packets", nlohmann::json::array())) {
    ProbePacket packet;
    packet.stream = static_cast<int>(Number(p, "stream_index"));
    packet.pos = Number(p, "pos");
    packet.size = Number(p, "size");
    packet.key = Text(p, "flags").find('K') != std::string::npos;
    packet.hash = Text(p, "data_hash");
    probe.packets.push_back(packet);
  }
  probe.ok = true;
  return probe;
}

}  // namespace mp4test
