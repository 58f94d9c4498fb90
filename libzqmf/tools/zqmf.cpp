// zqmf: shows the ZQMF telemetry of a recording (MP4), a photo (JPEG) or a raw block.
//
//   zqmf dump [-a] FILE   the records as nested, readable lines (-a: every sample). For a
//                         recording: each payload of its telemetry track with its time, then
//                         the ZQMF atom of its user data.
//   zqmf json FILE KEY    the samples of one key (time and scaled values) as JSON. For a
//                         recording: from its telemetry track, or from its user data when the
//                         track does not carry the key (or the file has no track).
//
// Exit status: 0 done; 1 no telemetry, key not found, or telemetry too damaged to read (what
// could be read is still shown); 2 bad arguments or an unreadable file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "zqcommon/zqUniqueFd.h"
#include "zqmf/zqmfContainers.h"
#include "zqmf/zqmfParser.h"
#include "zqmf/zqmfText.h"
#include "zqmftimeline/ZQMFAssetSourceMP4Reader.h"
#include "zqmftimeline/ZQMFTimeline.h"

namespace {

constexpr size_t kRawLimit = 256u << 20;
constexpr uint32_t kShownSamples = 8;

int Usage() {
  fprintf(stderr,
          "usage: zqmf dump [-a] FILE   print the telemetry of an MP4, JPEG or raw ZQMF file\n"
          "       zqmf json FILE KEY    print one key's samples (time, scaled values) as JSON\n");
  return 2;
}

bool ReadWhole(const char* path, std::vector<uint8_t>* out, std::string* error) {
  UniqueFd fd(open(path, O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (!fd.valid() || fstat(fd.get(), &st) != 0) {
    *error = strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > kRawLimit) {
    *error = "not a regular file of at most 256 MiB";
    return false;
  }
  out->resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < out->size()) {
    const ssize_t got = read(fd.get(), out->data() + done, out->size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      *error = got < 0 ? strerror(errno) : "file shrank while reading";
      return false;
    }
    done += static_cast<size_t>(got);
  }
  return true;
}

enum class Kind { kJpeg, kMp4, kRaw };

// The kind of file from its first bytes; the exit status on failure (0 on success).
int Sniff(const char* path, Kind* kind) {
  UniqueFd fd(open(path, O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    fprintf(stderr, "zqmf: %s: %s\n", path, strerror(errno));
    return 2;
  }
  uint8_t head[12] = {};
  const ssize_t got = pread(fd.get(), head, sizeof(head), 0);
  *kind = Kind::kRaw;
  if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) *kind = Kind::kJpeg;
  for (const char* box : {"ftyp", "moov", "mdat", "free", "wide", "skip"}) {
    if (got >= 8 && memcmp(head + 4, box, 4) == 0) *kind = Kind::kMp4;
  }
  return 0;
}

// The ZQMF block of a JPEG (its telemetry segment) or a raw file (the file itself). Returns
// the exit status to use on failure (0 on success).
int LoadBlock(const char* path, Kind kind, std::vector<uint8_t>* block, std::string* where) {
  std::string error;
  ZQMF_ERROR r = ZQMF_OK;
  if (kind == Kind::kJpeg) {
    *where = "JPEG telemetry segment";
    r = zqmf_jpeg_read_block(path, block);
  } else {
    *where = "raw ZQMF";
    if (!ReadWhole(path, block, &error)) {
      fprintf(stderr, "zqmf: %s: %s\n", path, error.c_str());
      return 2;
    }
  }
  if (r == ZQMF_ERROR_FIND || (r == ZQMF_OK && block->empty())) {
    fprintf(stderr, "zqmf: %s: no telemetry in the %s\n", path, where->c_str());
    return 1;
  }
  if (r != ZQMF_OK) {
    fprintf(stderr, "zqmf: %s: cannot read the %s (error %u)\n", path, where->c_str(), r);
    return r == ZQMF_ERROR_MEMORY ? 2 : 1;
  }
  return 0;
}

// The type byte as stored ('#' for compressed records, 0 for nests).
uint32_t StoredType(const ZQMF_stream* ms) {
  const uint8_t* payload = static_cast<const uint8_t*>(ZQMF_RawData(ms));
  return payload == nullptr ? 0 : payload[-4];
}

std::string Describe(ZQMF_stream* ms, bool all) {
  const uint32_t raw_type = StoredType(ms);
  const uint32_t type = ZQMF_Type(ms);
  const uint32_t size = ZQMF_StructSize(ms);
  const uint32_t repeat = ZQMF_Repeat(ms);
  std::string line;
  char head[64];
  snprintf(head, sizeof(head), "%c %ux%u", type >= 0x20 && type < 0x7F ? type : '.', size, repeat);
  line += head;
  if (raw_type == '#') {
    snprintf(head, sizeof(head), " (compressed, %u bytes)", ZQMF_RawDataSize(ms));
    line += head;
  }
  if (repeat == 0) return line;

  uint32_t room = ZQMF_FormattedDataSize(ms);
  uint32_t expanded = 0;
  if (ZQMF_DecompressedSize(ms, &expanded) == ZQMF_OK && expanded > room) room = expanded;
  std::vector<uint8_t> host(room + 8);
  const ZQMF_ERROR r =
      ZQMF_FormattedData(ms, host.data(), static_cast<uint32_t>(host.size()), 0, repeat);
  if (r != ZQMF_OK) {
    snprintf(head, sizeof(head), "  (values unreadable: error %u)", r);
    return line + head;
  }
  line += "  ";
  if (type == 'c' || type == 'u') {
    for (uint32_t k = 0; k < repeat && (all || k < kShownSamples); k++) {
      if (k > 0) line += ' ';
      zqmf_format_text(&line, reinterpret_cast<const char*>(host.data()) + k * size, size);
    }
  } else {
    std::string types;
    if (type == '?') {
      char expanded_types[ZQMF_COMPLEX_TYPE_MAX + 1];
      ZQMF_stream s = *ms;
      uint32_t n = sizeof(expanded_types);
      if (ZQMF_FindPrev(&s, ZQMF_Key4CC("TYPE"), ZQMF_TOLERANT) == ZQMF_OK &&
          ZQMF_ExpandComplexTYPE(static_cast<const char*>(ZQMF_RawData(&s)), ZQMF_RawDataSize(&s),
                                 expanded_types, &n) == ZQMF_OK) {
        types.assign(expanded_types, n);
      }
    } else {
      const uint32_t element = ZQMF_SizeofType(type);
      types.assign(element == 0 ? 0 : size / element, static_cast<char>(type));
    }
    if (types.empty()) return line + "(element types unknown)";
    const uint8_t* p = host.data();
    for (uint32_t k = 0; k < repeat && (all || k < kShownSamples); k++) {
      if (k > 0) line += ' ';
      if (types.size() > 1) line += '[';
      for (size_t e = 0; e < types.size(); e++) {
        if (e > 0) line += ' ';
        zqmf_format_element(&line, p, static_cast<uint8_t>(types[e]), false);
        p += ZQMF_SizeofType(static_cast<uint8_t>(types[e]));
      }
      if (types.size() > 1) line += ']';
    }
  }
  if (!all && repeat > kShownSamples) {
    snprintf(head, sizeof(head), " ... (%u more)", repeat - kShownSamples);
    line += head;
  }
  return line;
}

// Prints the records of one block, each line after `indent`. 0, or 1 when the block is not
// ZQMF or the walk stopped early.
int DumpBlock(const char* path, const std::string& where, const uint8_t* bytes, size_t size,
              bool all, const std::string& indent) {
  std::vector<uint32_t> words((size + 3) / 4, 0);
  if (size != 0) memcpy(words.data(), bytes, size);
  ZQMF_stream ms;
  if (ZQMF_Init(&ms, words.data(), static_cast<uint32_t>(size)) != ZQMF_OK) {
    fprintf(stderr, "zqmf: %s: the %s is not ZQMF\n", path, where.c_str());
    return 1;
  }
  const ZQMF_ERROR valid = ZQMF_Validate(&ms, ZQMF_RECURSE_LEVELS);
  if (valid == ZQMF_ERROR_BAD_STRUCTURE) {
    fprintf(stderr, "zqmf: %s: damaged records in the %s, skipped below\n", path, where.c_str());
  } else if (valid == ZQMF_ERROR_UNKNOWN_TYPE) {
    fprintf(stderr, "zqmf: %s: records of unknown types in the %s, skipped below\n", path,
            where.c_str());
  }
  ZQMF_ERROR r = ZQMF_OK;
  do {
    const bool top = ms.nest_level == 0 && ms.nest_size[0] == 0;
    const uint32_t depth = top ? 0 : ms.nest_level + 1;
    std::string line = indent + std::string(2 * depth, ' ');
    line += zqmf_key_text(ZQMF_Key(&ms));
    line += "  ";
    if (StoredType(&ms) == 0) {
      line += "nest, " + std::to_string(ZQMF_RawDataSize(&ms)) + " bytes";
    } else {
      line += Describe(&ms, all);
    }
    printf("%s\n", line.c_str());
    r = ZQMF_Next(&ms, ZQMF_RECURSE_LEVELS | ZQMF_TOLERANT);
  } while (r == ZQMF_OK);
  ZQMF_Free(&ms);
  if (r != ZQMF_ERROR_BUFFER_END) {
    fprintf(stderr, "zqmf: %s: walk of the %s stopped (error %u)\n", path, where.c_str(), r);
    return 1;
  }
  return 0;
}

// A recording: every payload of its telemetry track, then its user data's block.
int DumpMp4(const char* path, bool all) {
  ZQMFAssetSourceMP4Reader mp4;
  ZQMF_LIB_ERROR r = mp4.OpenMP4Source(path);
  if (r == ZQMF_ERROR_MEMORY) {
    fprintf(stderr, "zqmf: %s: cannot read the file\n", path);
    return 2;
  }
  int status = 0;
  bool any = false;
  if (r == ZQMF_LIB_OK) {
    any = true;
    const uint32_t n = mp4.GetNumberPayloads();
    printf("%s: MP4 telemetry track, %u samples, %s s\n", path, n,
           mp4.GetDuration().c_string().c_str());
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < n; i++) {
      double start = kZQMFNoTime, end = kZQMFNoTime;
      uint64_t offset = 0;
      uint32_t size = 0, bytes = 0;
      mp4.GetPayloadLocation(i, &offset, &size);
      if (mp4.GetPayloadTime(i, &start, &end) != ZQMF_LIB_OK ||
          mp4.GetPayload(i, &words, &bytes) != ZQMF_LIB_OK) {
        fprintf(stderr,
                "zqmf: %s: telemetry sample %u (%u bytes at offset %llu) lies outside the file "
                "or cannot be read\n",
                path, i, size, static_cast<unsigned long long>(offset));
        status = 1;
        continue;
      }
      printf("sample %u  %.3f-%.3f s, %u bytes\n", i, start, end, bytes);
      const std::string where = "telemetry sample " + std::to_string(i);
      if (DumpBlock(path, where, reinterpret_cast<const uint8_t*>(words.data()), bytes, all,
                    "  ") != 0) {
        status = 1;
      }
    }
  }
  if (mp4.OpenMP4SourceUDTA(path) == ZQMF_LIB_OK) {
    any = true;
    std::vector<uint32_t> words;
    uint32_t bytes = 0;
    mp4.GetPayload(0, &words, &bytes);
    printf("%s: MP4 user data, %u bytes\n", path, bytes);
    if (DumpBlock(path, "MP4 user data", reinterpret_cast<const uint8_t*>(words.data()), bytes, all,
                  "") != 0) {
      status = 1;
    }
  }
  if (!any) {
    fprintf(stderr, "zqmf: %s: no telemetry in the MP4 (no telemetry track, no user data)\n", path);
    return 1;
  }
  return status;
}

int Dump(const char* path, bool all) {
  Kind kind = Kind::kRaw;
  if (int status = Sniff(path, &kind); status != 0) return status;
  if (kind == Kind::kMp4) return DumpMp4(path, all);
  std::vector<uint8_t> block;
  std::string where;
  if (int status = LoadBlock(path, kind, &block, &where); status != 0) return status;
  printf("%s: %s, %zu bytes\n", path, where.c_str(), block.size());
  return DumpBlock(path, where, block.data(), block.size(), all, "");
}

int Json(const char* path, const std::string& key) {
  if (key.size() != 4) {
    fprintf(stderr, "zqmf: a key has four characters, not \"%s\"\n", key.c_str());
    return 2;
  }
  Kind kind = Kind::kRaw;
  if (int status = Sniff(path, &kind); status != 0) return status;
  ZQMFTimeline timeline;
  ZQMF_LIB_ERROR err = ZQMF_LIB_OK;
  std::vector<uint8_t> block;
  std::string where;
  if (kind == Kind::kMp4) {
    where = "MP4 telemetry";
    timeline.OpenURI(path, err);
    if (err == ZQMF_ERROR_MEMORY) {
      fprintf(stderr, "zqmf: %s: cannot read the file\n", path);
      return 2;
    }
    if (err != ZQMF_LIB_OK) {
      fprintf(stderr, "zqmf: %s: no telemetry in the MP4 (no telemetry track, no user data)\n",
              path);
      return 1;
    }
    timeline.Parse(err, ZQMF_PARSE_TRACK, {key}, nullptr);
    if (err == ZQMF_LIB_ERROR_NO_SAMPLE || err == ZQMF_LIB_ERROR_KEY_NOT_FOUND) {
      timeline.Parse(err, ZQMF_PARSE_UDTA, {key}, nullptr);
      if (err == ZQMF_LIB_ERROR_NO_SAMPLE) err = ZQMF_LIB_ERROR_KEY_NOT_FOUND;
    }
  } else {
    if (int status = LoadBlock(path, kind, &block, &where); status != 0) return status;
    timeline.SetZQMFGlobalBuffer(static_cast<const void*>(block.data()), block.size(), err);
    timeline.Parse(err, ZQMF_PARSE_GLOBAL_BUFFER, {key}, nullptr);
  }
  if (err == ZQMF_LIB_ERROR_KEY_NOT_FOUND) {
    fprintf(stderr, "zqmf: %s: no \"%s\" in the %s\n", path, key.c_str(), where.c_str());
    return 1;
  }
  int status = 0;
  if (err == ZQMF_LIB_ERROR_PAYLOAD_UNREADABLE) {
    fprintf(stderr,
            "zqmf: %s: telemetry samples lie outside the file or cannot be read; showing what "
            "could be read\n",
            path);
    status = 1;
  } else if (err != ZQMF_LIB_OK) {
    fprintf(stderr, "zqmf: %s: damaged telemetry (error %u); showing what could be read\n", path,
            err);
  }
  std::string out;
  timeline.ExportTimeline(err, ZQMF_EXPORT_JSON, &out, &key);
  fwrite(out.data(), 1, out.size(), stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "dump") return Dump(args[1].c_str(), false);
  if (args.size() == 3 && args[0] == "dump" && args[1] == "-a") return Dump(args[2].c_str(), true);
  if (args.size() == 3 && args[0] == "json") return Json(args[1].c_str(), args[2]);
  return Usage();
}
