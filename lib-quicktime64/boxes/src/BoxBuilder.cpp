#include "mp4boxes/BoxBuilder.h"

#include <set>

namespace mp4boxes {

void Put8(std::string& out, uint8_t v) { out += static_cast<char>(v); }

void Put16(std::string& out, uint16_t v) {
  Put8(out, static_cast<uint8_t>(v >> 8));
  Put8(out, static_cast<uint8_t>(v));
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v >> 16));
  Put16(out, static_cast<uint16_t>(v));
}

void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v >> 32));
  Put32(out, static_cast<uint32_t>(v));
}

uint32_t Get32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(bytes.at(at + i));
  return v;
}

uint64_t Get64(const std::string& bytes, size_t at) {
  return (uint64_t{Get32(bytes, at)} << 32) | Get32(bytes, at + 4);
}

void Set32(std::string& bytes, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<char>(v >> (24 - 8 * i));
}

void Set64(std::string& bytes, size_t at, uint64_t v) {
  Set32(bytes, at, static_cast<uint32_t>(v >> 32));
  Set32(bytes, at + 4, static_cast<uint32_t>(v));
}

std::string Box(const std::string& type, const std::string& payload) {
  std::string out;
  Put32(out, static_cast<uint32_t>(8 + payload.size()));
  out += type.substr(0, 4);
  return out + payload;
}

std::string LargeBox(const std::string& type, const std::string& payload) {
  std::string out;
  Put32(out, 1);
  out += type.substr(0, 4);
  Put64(out, 16 + payload.size());
  return out + payload;
}

std::string FullBox(const std::string& type, uint8_t version, uint32_t flags,
                    const std::string& payload) {
  std::string body;
  Put32(body, (uint32_t{version} << 24) | (flags & 0xffffff));
  return Box(type, body + payload);
}

std::string Pascal(const std::string& text) {
  return std::string(1, static_cast<char>(text.size())) + text;
}

std::vector<BoxRef> ListBoxes(const std::string& bytes, size_t begin, size_t end) {
  std::vector<BoxRef> boxes;
  if (end > bytes.size()) end = bytes.size();
  size_t at = begin;
  while (at + 8 <= end) {
    BoxRef box;
    box.offset = at;
    box.size = Get32(bytes, at);
    box.type = bytes.substr(at + 4, 4);
    box.header = 8;
    if (box.size == 1) {
      if (at + 16 > end) break;
      box.size = Get64(bytes, at + 8);
      box.header = 16;
    }
    if (box.size < box.header || box.size > end - at) break;
    boxes.push_back(box);
    at += static_cast<size_t>(box.size);
  }
  return boxes;
}

std::vector<BoxRef> FindAll(const std::string& bytes, const std::vector<std::string>& path,
                            size_t begin, size_t end) {
  if (path.empty()) return {};
  std::vector<BoxRef> found;
  for (const BoxRef& box : ListBoxes(bytes, begin, end)) {
    if (box.type != path[0]) continue;
    if (path.size() == 1) {
      found.push_back(box);
      continue;
    }
    size_t skip = box.type == "stsd" ? 8 : box.type == "meta" ? 4 : 0;
    std::vector<std::string> rest(path.begin() + 1, path.end());
    for (const BoxRef& inner : FindAll(bytes, rest, box.Payload() + skip, box.End())) {
      found.push_back(inner);
    }
  }
  return found;
}

std::optional<BoxRef> Find(const std::string& bytes, const std::vector<std::string>& path,
                           size_t begin, size_t end) {
  std::vector<BoxRef> all = FindAll(bytes, path, begin, end);
  if (all.empty()) return std::nullopt;
  return all.front();
}

namespace {

// Calls `visit(bytes, at, wide)` for every entry of the chunk offset tables inside `moov`.
void ForEachChunkOffset(const std::string& moov,
                        const std::function<void(size_t at, bool wide)>& visit) {
  for (const char* table : {"stco", "co64"}) {
    const bool wide = std::string(table) == "co64";
    for (const BoxRef& box : FindAll(moov, {"moov", "trak", "mdia", "minf", "stbl", table})) {
      if (box.size < box.header + 8) continue;
      const uint32_t count = Get32(moov, box.Payload() + 4);
      const size_t width = wide ? 8 : 4;
      size_t at = box.Payload() + 8;
      for (uint32_t i = 0; i < count && at + width <= box.End(); ++i, at += width) {
        visit(at, wide);
      }
    }
  }
}

}  // namespace

void ShiftChunkOffsets(std::string& moov, int64_t delta) {
  MapChunkOffsets(moov, [delta](uint64_t from, uint64_t* to) {
    *to = static_cast<uint64_t>(static_cast<int64_t>(from) + delta);
    return true;
  });
}

bool MapChunkOffsets(std::string& moov, const std::function<bool(uint64_t, uint64_t*)>& map) {
  bool ok = true;
  ForEachChunkOffset(moov, [&](size_t at, bool wide) {
    uint64_t to = 0;
    if (!map(wide ? Get64(moov, at) : Get32(moov, at), &to) || (!wide && to > 0xffffffffu)) {
      ok = false;
      return;
    }
    if (wide) {
      Set64(moov, at, to);
    } else {
      Set32(moov, at, static_cast<uint32_t>(to));
    }
  });
  return ok;
}

std::vector<uint64_t> ChunkOffsets(const std::string& moov) {
  std::vector<uint64_t> offsets;
  ForEachChunkOffset(moov, [&](size_t at, bool wide) {
    offsets.push_back(wide ? Get64(moov, at) : Get32(moov, at));
  });
  return offsets;
}

std::string VideoSampleEntry(const std::string& format, uint16_t width, uint16_t height,
                             const std::string& compressorName) {
  std::string e(6, '\0');
  Put16(e, 1);  // data reference index
  Put16(e, 0);  // version
  Put16(e, 0);  // revision
  e += "appl";
  Put32(e, 0);
  Put32(e, 512);
  Put16(e, width);
  Put16(e, height);
  Put32(e, 0x480000);
  Put32(e, 0x480000);
  Put32(e, 0);
  Put16(e, 1);
  std::string name = Pascal(compressorName);
  name.resize(32, '\0');
  e += name;
  Put16(e, 24);
  Put16(e, 0xffff);
  e += Box("avcC", std::string("\x01\x64\x00\x1f\xff\xe1\x00\x00\x01\x00\x00", 11));
  std::string pasp;
  Put32(pasp, 1);
  Put32(pasp, 1);
  e += Box("pasp", pasp);
  std::string colr = "nclx";
  Put16(colr, 1);
  Put16(colr, 1);
  Put16(colr, 1);
  Put8(colr, 0);
  e += Box("colr", colr);
  return Box(format, e);
}

std::string SoundSampleEntry(const std::string& format, uint16_t version, uint16_t channels,
                             uint32_t sampleRate, uint32_t bytesPerFrame) {
  std::string e(6, '\0');
  Put16(e, 1);
  Put16(e, version);
  Put16(e, 0);
  Put32(e, 0);
  Put16(e, channels);
  Put16(e, 16);
  Put16(e, version == 1 ? 0xfffe : 0);
  Put16(e, 0);
  Put32(e, sampleRate << 16);
  if (version == 1) {
    Put32(e, 1);
    Put32(e, bytesPerFrame / channels);
    Put32(e, bytesPerFrame);
    Put32(e, 2);
  }
  if (format == "mp4a") e += FullBox("esds", 0, 0, std::string("\x03\x19\x00\x00\x00", 5));
  return Box(format, e);
}

std::string TimeCodeSampleEntry(uint32_t flags, uint32_t timeScale, uint32_t frameDuration,
                                uint8_t framesPerSecond, const std::string& reelName) {
  std::string e(6, '\0');
  Put16(e, 1);
  Put32(e, 0);
  Put32(e, flags);
  Put32(e, timeScale);
  Put32(e, frameDuration);
  Put8(e, framesPerSecond);
  Put8(e, 0);
  if (!reelName.empty()) {
    std::string name;
    Put16(name, static_cast<uint16_t>(reelName.size()));
    Put16(name, 0);
    e += Box("name", name + reelName);
  }
  return Box("tmcd", e);
}

std::string MetadataSampleEntry() {
  std::string e(6, '\0');
  Put16(e, 1);
  return Box("zqmd", e);
}

namespace {

std::string DefaultEntry(const TrackRecipe& recipe) {
  if (recipe.handler == "vide") return VideoSampleEntry("avc1", 320, 240, "Tavro AVC encoder");
  if (recipe.handler == "soun") return SoundSampleEntry("mp4a", 0, 2, 48000, 0);
  if (recipe.handler == "tmcd") return TimeCodeSampleEntry(0, 30000, 1001, 30, "");
  return MetadataSampleEntry();
}

std::string MediaHeaderBox(const TrackRecipe& recipe) {
  std::string h;
  if (recipe.handler == "vide") return FullBox("vmhd", 0, 1, std::string(8, '\0'));
  if (recipe.handler == "soun") return FullBox("smhd", 0, 0, std::string(4, '\0'));
  std::string gmin =
      FullBox("gmin", 0, 0, std::string("\x00\x40\x80\x00\x80\x00\x80\x00\x00\x00\x00\x00", 12));
  std::string inner = gmin;
  if (recipe.handler == "tmcd") {
    std::string tcmi(20, '\0');
    tcmi += Pascal("Lucida Grande");
    inner += Box("tmcd", FullBox("tcmi", 0, 0, tcmi));
  }
  return Box("gmhd", inner);
}

}  // namespace

TrackRecipe TelemetryRecipe(uint32_t trackID, uint32_t sampleSize, uint32_t sampleDuration) {
  TrackRecipe recipe;
  recipe.handler = "meta";
  recipe.handlerName = "Tavro MET";
  recipe.trackID = trackID;
  recipe.timeScale = 1000;
  recipe.stts = {{2, sampleDuration}};
  recipe.sizes = {sampleSize, sampleSize};
  return recipe;
}

std::string Trak(const TrackRecipe& recipe) {
  uint64_t duration = recipe.duration;
  if (duration == 0) {
    for (const auto& run : recipe.stts) duration += uint64_t{run.first} * run.second;
  }
  std::string tkhd;
  Put32(tkhd, 0);
  Put32(tkhd, 0);
  Put32(tkhd, recipe.trackID);
  Put32(tkhd, 0);
  Put32(tkhd, static_cast<uint32_t>(duration));
  tkhd += std::string(8, '\0');
  Put16(tkhd, 0);
  Put16(tkhd, 0);
  Put16(tkhd, recipe.handler == "soun" ? 0x100 : 0);
  Put16(tkhd, 0);
  for (uint32_t m : {0x10000u, 0u, 0u, 0u, 0x10000u, 0u, 0u, 0u, 0x40000000u}) Put32(tkhd, m);
  Put32(tkhd, recipe.handler == "vide" ? 320u << 16 : 0);
  Put32(tkhd, recipe.handler == "vide" ? 240u << 16 : 0);
  std::string trak = FullBox("tkhd", 0, 7, tkhd);

  if (!recipe.edits.empty()) {
    std::string elst;
    Put32(elst, static_cast<uint32_t>(recipe.edits.size()));
    for (const auto& edit : recipe.edits) {
      Put32(elst, static_cast<uint32_t>(edit.first));
      Put32(elst, static_cast<uint32_t>(edit.second));
      Put32(elst, 0x10000);
    }
    trak += Box("edts", FullBox("elst", 0, 0, elst));
  }
  if (!recipe.trefTmcd.empty()) {
    std::string ids;
    for (uint32_t id : recipe.trefTmcd) Put32(ids, id);
    trak += Box("tref", Box("tmcd", ids));
  }

  std::string mdhd;
  Put32(mdhd, 0);
  Put32(mdhd, 0);
  Put32(mdhd, recipe.timeScale);
  Put32(mdhd, static_cast<uint32_t>(duration));
  Put16(mdhd, 0x55c4);
  Put16(mdhd, 0);
  std::string hdlr = "mhlr";
  hdlr += recipe.handler;
  hdlr += "appl";
  Put32(hdlr, 0);
  Put32(hdlr, 0);
  hdlr +=
      recipe.pascalName ? Pascal(recipe.handlerName) : recipe.handlerName + std::string(1, '\0');

  std::string stsd;
  Put32(stsd, 1);
  stsd += recipe.sampleEntry.empty() ? DefaultEntry(recipe) : recipe.sampleEntry;
  std::string stts;
  Put32(stts, static_cast<uint32_t>(recipe.stts.size()));
  for (const auto& run : recipe.stts) {
    Put32(stts, run.first);
    Put32(stts, run.second);
  }
  std::string stsc;
  Put32(stsc, static_cast<uint32_t>(recipe.stsc.size()));
  for (const auto& run : recipe.stsc) {
    for (uint32_t v : run) Put32(stsc, v);
  }
  std::string stsz;
  Put32(stsz, recipe.constantSize);
  Put32(stsz, static_cast<uint32_t>(recipe.sizes.size()));
  if (recipe.constantSize == 0) {
    for (uint32_t s : recipe.sizes) Put32(stsz, s);
  }
  std::string stco;
  Put32(stco, static_cast<uint32_t>(recipe.offsets.size()));
  for (uint64_t o : recipe.offsets) {
    if (recipe.co64) {
      Put64(stco, o);
    } else {
      Put32(stco, static_cast<uint32_t>(o));
    }
  }
  std::string stbl = FullBox("stsd", 0, 0, stsd) + FullBox("stts", 0, 0, stts);
  if (!recipe.stss.empty()) {
    std::string stss;
    Put32(stss, static_cast<uint32_t>(recipe.stss.size()));
    for (uint32_t n : recipe.stss) Put32(stss, n);
    stbl += FullBox("stss", 0, 0, stss);
  }
  if (!recipe.ctts.empty()) {
    std::string ctts;
    Put32(ctts, static_cast<uint32_t>(recipe.ctts.size()));
    for (const auto& run : recipe.ctts) {
      Put32(ctts, run.first);
      Put32(ctts, run.second);
    }
    stbl += FullBox("ctts", 0, 0, ctts);
  }
  stbl += FullBox("stsc", 0, 0, stsc) + FullBox("stsz", 0, 0, stsz) +
          FullBox(recipe.co64 ? "co64" : "stco", 0, 0, stco);

  std::string dref;
  Put32(dref, 1);
  dref += FullBox("url ", 0, 1, "");
  std::string minf =
      MediaHeaderBox(recipe) + Box("dinf", FullBox("dref", 0, 0, dref)) + Box("stbl", stbl);
  std::string mdia = FullBox("mdhd", 0, 0, mdhd) + FullBox("hdlr", 0, 0, hdlr) + Box("minf", minf);
  trak += Box("mdia", mdia);
  return Box("trak", trak);
}

namespace {

std::string Ftyp() {
  std::string f = "qt  ";
  Put32(f, 0x20050300);
  f += "qt  ";
  return Box("ftyp", f);
}

std::string Mvhd(uint32_t nextTrackID) {
  std::string m;
  Put32(m, 0);
  Put32(m, 0);
  Put32(m, 1000);
  Put32(m, 1000);
  Put32(m, 0x10000);
  Put16(m, 0x100);
  m += std::string(10, '\0');
  for (uint32_t v : {0x10000u, 0u, 0u, 0u, 0x10000u, 0u, 0u, 0u, 0x40000000u}) Put32(m, v);
  m += std::string(24, '\0');
  Put32(m, nextTrackID);
  return FullBox("mvhd", 0, 0, m);
}

}  // namespace

size_t MdatPayloadOffsetMoovLast() { return Ftyp().size() + 8; }

std::string MovieFile(const std::vector<std::string>& traks, const std::string& udta,
                      const std::string& mdatPayload, bool moovFirst) {
  std::string moovBody = Mvhd(static_cast<uint32_t>(traks.size() + 1));
  for (const std::string& trak : traks) moovBody += trak;
  if (!udta.empty()) moovBody += Box("udta", udta);
  std::string moov = Box("moov", moovBody);
  std::string mdat = Box("mdat", mdatPayload);
  return moovFirst ? Ftyp() + moov + mdat : Ftyp() + mdat + moov;
}

std::string MovieFileWithRelativeChunks(const std::vector<std::string>& traks,
                                        const std::string& udta, const std::string& mdatPayload,
                                        bool moovFirst) {
  std::string file = MovieFile(traks, udta, mdatPayload, moovFirst);
  std::optional<BoxRef> mdat = Find(file, {"mdat"});
  std::optional<BoxRef> moov = Find(file, {"moov"});
  std::string bytes = file.substr(moov->offset, static_cast<size_t>(moov->size));
  ShiftChunkOffsets(bytes, static_cast<int64_t>(mdat->Payload()));
  return file.replace(moov->offset, bytes.size(), bytes);
}

std::string MakerUserData() {
  std::string smmt;
  Put32(smmt, 3);
  for (uint32_t t : {1500u, 62250u, 3600001u}) Put32(smmt, t);
  std::string muid;
  for (int i = 0; i < 16; ++i) muid += static_cast<char>(0xa0 + i);
  std::string sett = std::string("\x00\x00\x00\x01\x12\x34\x56\x78\xab\xcd", 10);
  return Box("FIRM", "HD9.01.01.60.00") + Box("ZQMF", std::string("DEVC\x00\x01\x00\x04zqmf", 12)) +
         Box("CAME", std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)) + Box("SETT", sett) +
         Box("Lens", "LAJ8611") + Box("LENS", "front") + Box(std::string("FOV\0", 4), "W") +
         Box("QURI", "q1") + Box("QUSI", "q2") + Box("SMMT", smmt) + Box("MUID", muid) +
         Box("XTRA", "first") + Box("XTRA", "second");
}

}  // namespace mp4boxes
