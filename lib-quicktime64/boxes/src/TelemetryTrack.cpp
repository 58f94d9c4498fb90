#include "mp4boxes/TelemetryTrack.h"

#include <algorithm>

#include "mp4boxes/BoxBuilder.h"

namespace mp4boxes {
namespace {

// Offsets inside the movie header's body (after the 8-byte header) by version.
struct MvhdFields {
  size_t timeScale;
  size_t nextTrackID;
};

bool ReadMvhd(const std::string& moov, const BoxRef& mvhd, MvhdFields* fields) {
  if (mvhd.size < mvhd.header + 4) return false;
  const bool v1 = static_cast<uint8_t>(moov[mvhd.Payload()]) == 1;
  fields->timeScale = mvhd.Payload() + (v1 ? 20 : 12);
  fields->nextTrackID = mvhd.Payload() + (v1 ? 108 : 96);
  return fields->nextTrackID + 4 <= mvhd.End();
}

// Where each telemetry sample goes: before the chunk at the matching fraction of the
// existing chunks (sorted by offset), so that the track is spread through the media data the
// way a camera interleaves it. The last samples may go after every chunk.
std::vector<uint64_t> InsertionPoints(std::vector<uint64_t> chunks, size_t samples,
                                      uint64_t mdatEnd) {
  std::sort(chunks.begin(), chunks.end());
  chunks.erase(std::unique(chunks.begin(), chunks.end()), chunks.end());
  std::vector<uint64_t> points;
  for (size_t k = 0; k < samples; ++k) {
    const size_t at = chunks.size() * k / samples;
    points.push_back(at < chunks.size() ? chunks[at] : mdatEnd);
  }
  return points;
}

}  // namespace

std::string AddTelemetryTrack(const std::string& file, const TelemetryTrack& track,
                              TelemetryLayout* layout, std::string* error) {
  auto fail = [error](const std::string& why) {
    if (error != nullptr) *error = why;
    return std::string();
  };
  if (track.samples.empty() || track.timeScale == 0 || track.sampleDuration == 0) {
    return fail("a telemetry track needs samples, a time scale and a sample duration");
  }
  const std::vector<BoxRef> top = ListBoxes(file, 0, file.size());
  size_t end = 0;
  const BoxRef* moov = nullptr;
  const BoxRef* mdat = nullptr;
  for (const BoxRef& box : top) {
    end = box.End();
    if (box.type == "moov") {
      if (moov != nullptr) return fail("more than one movie atom");
      moov = &box;
    } else if (box.type == "mdat") {
      if (mdat != nullptr) return fail("more than one media data atom");
      mdat = &box;
    }
  }
  if (end != file.size()) return fail("the top-level boxes do not fill the file");
  if (moov == nullptr || mdat == nullptr) return fail("no movie or no media data");

  const std::string oldMoov = file.substr(moov->offset, static_cast<size_t>(moov->size));
  const std::vector<BoxRef> children = ListBoxes(oldMoov, moov->header, oldMoov.size());
  const BoxRef* mvhd = nullptr;
  size_t lastTrak = 0;  // index after which the new track goes
  for (size_t i = 0; i < children.size(); ++i) {
    if (children[i].type == "mvhd" && mvhd == nullptr) mvhd = &children[i];
    if (children[i].type == "trak" || (children[i].type == "mvhd" && lastTrak == 0)) lastTrak = i;
  }
  MvhdFields fields{};
  if (mvhd == nullptr || !ReadMvhd(oldMoov, *mvhd, &fields)) return fail("no usable movie header");
  const uint32_t movieTimeScale = Get32(oldMoov, fields.timeScale);
  const uint32_t trackID = Get32(oldMoov, fields.nextTrackID);
  if (movieTimeScale == 0 || trackID == 0 || trackID == 0xffffffffu) {
    return fail("the movie header has no time scale or no free track ID");
  }

  // The media data with the samples inserted, and where every byte moved.
  const uint64_t mdatStart = mdat->Payload();
  const uint64_t mdatEnd = mdat->End();
  const std::vector<uint64_t> oldChunks = ChunkOffsets(oldMoov);
  for (uint64_t o : oldChunks) {
    if (o < mdatStart || o > mdatEnd) return fail("a chunk lies outside the media data");
  }
  const std::vector<uint64_t> points = InsertionPoints(oldChunks, track.samples.size(), mdatEnd);
  std::string payload;
  std::vector<uint64_t> sampleAt;  // relative to the new payload
  uint64_t cursor = mdatStart;
  for (size_t k = 0; k < points.size(); ++k) {
    payload.append(file, static_cast<size_t>(cursor), static_cast<size_t>(points[k] - cursor));
    cursor = points[k];
    sampleAt.push_back(payload.size());
    payload += track.samples[k];
  }
  payload.append(file, static_cast<size_t>(cursor), static_cast<size_t>(mdatEnd - cursor));
  // Bytes inserted before an old offset: the samples whose insertion point is at or before it.
  auto inserted = [&](uint64_t offset) {
    uint64_t n = 0;
    for (size_t k = 0; k < points.size() && points[k] <= offset; ++k) n += track.samples[k].size();
    return n;
  };

  uint64_t mediaDuration = uint64_t{track.sampleDuration} * track.samples.size();
  TrackRecipe recipe;
  recipe.handler = "meta";
  recipe.handlerName = track.handlerName;
  recipe.pascalName = false;
  recipe.trackID = trackID;
  recipe.timeScale = track.timeScale;
  recipe.duration = mediaDuration;
  recipe.stts = {{static_cast<uint32_t>(track.samples.size()), track.sampleDuration}};
  recipe.sizes.clear();
  for (const std::string& s : track.samples)
    recipe.sizes.push_back(static_cast<uint32_t>(s.size()));
  recipe.stsc = {{1, 1, 1}};
  const uint64_t editDuration = mediaDuration * movieTimeScale / track.timeScale;
  recipe.edits = {{editDuration, track.mediaStart}};
  if (track.delay != 0) recipe.edits.insert(recipe.edits.begin(), {track.delay, -1});

  // The new movie for a given start of the new media data payload. Its size does not depend
  // on the offsets it holds.
  uint64_t newMdatPayload = 0;
  bool offsetsFit = true;
  auto buildMoov = [&]() {
    std::string moovCopy = oldMoov;
    const int64_t delta = static_cast<int64_t>(newMdatPayload) - static_cast<int64_t>(mdatStart);
    offsetsFit = MapChunkOffsets(moovCopy, [&](uint64_t from, uint64_t* to) {
      *to = static_cast<uint64_t>(static_cast<int64_t>(from) + delta) + inserted(from);
      return true;
    });
    Set32(moovCopy, fields.nextTrackID, trackID + 1);
    recipe.offsets.clear();
    for (uint64_t at : sampleAt) recipe.offsets.push_back(newMdatPayload + at);
    recipe.co64 = newMdatPayload + payload.size() > 0xffffffffu;
    std::string body;
    bool haveUdta = false;
    for (size_t i = 0; i < children.size(); ++i) {
      const BoxRef& child = children[i];
      std::string bytes = moovCopy.substr(child.offset, static_cast<size_t>(child.size));
      if (child.type == "udta" && !haveUdta) {
        bytes = Box("udta", bytes.substr(child.header) + track.userData);
        haveUdta = true;
      }
      body += bytes;
      if (i == lastTrak) body += Trak(recipe);
    }
    if (!haveUdta && !track.userData.empty()) body += Box("udta", track.userData);
    return moov->header == 16 ? LargeBox("moov", body) : Box("moov", body);
  };

  const bool largeMdat = payload.size() + 8 > 0xffffffffu || mdat->header == 16;
  const uint64_t mdatHeader = largeMdat ? 16 : 8;
  const size_t moovSize = buildMoov().size();
  uint64_t at = 0;
  for (const BoxRef& box : top) {
    if (&box == mdat) break;
    at += &box == moov ? moovSize : box.size;
  }
  newMdatPayload = at + mdatHeader;
  const std::string newMoov = buildMoov();
  if (!offsetsFit) return fail("a chunk offset no longer fits its 32-bit table");

  std::string out;
  out.reserve(file.size() + (newMoov.size() - oldMoov.size()) + payload.size());
  for (const BoxRef& box : top) {
    if (&box == moov) {
      out += newMoov;
    } else if (&box == mdat) {
      out += largeMdat ? LargeBox("mdat", payload) : Box("mdat", payload);
    } else {
      out.append(file, box.offset, static_cast<size_t>(box.size));
    }
  }
  if (layout != nullptr) {
    layout->offsets = recipe.offsets;
    layout->trackID = trackID;
  }
  return out;
}

}  // namespace mp4boxes
