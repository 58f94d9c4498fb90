#include "zqcommon/zqMediaNames.h"

#include <strings.h>

#include <cstdio>
#include <initializer_list>

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Upper(char c) { return c >= 'A' && c <= 'Z'; }

bool PrefixAny(std::string_view name, std::initializer_list<std::string_view> prefixes) {
  for (const std::string_view p : prefixes) {
    if (name.substr(0, p.size()) == p) return true;
  }
  return false;
}

// Two digits at `at` as a number, or -1.
int TwoDigits(std::string_view name, size_t at) {
  if (name.size() < at + 2 || !Digit(name[at]) || !Digit(name[at + 1])) return -1;
  return (name[at] - '0') * 10 + (name[at + 1] - '0');
}

constexpr std::pair<std::string_view, char> kFolderTypes[] = {
    {"TAVRO", 'T'}, {"Q3D_R", 'R'}, {"Q3D_L", 'L'}, {"QFRNT", 'F'}, {"QBACK", 'B'}};

}  // namespace

int zq_media_folder_number(std::string_view name) {
  if (name.size() < 3 || name[0] < '1' || name[0] > '9' || !Digit(name[1]) || !Digit(name[2])) {
    return -1;
  }
  return (name[0] - '0') * 100 + (name[1] - '0') * 10 + (name[2] - '0');
}

char zq_media_folder_type(std::string_view name) {
  if (name.size() != 8 || zq_media_folder_number(name) < 0) return 0;
  for (const auto& [suffix, type] : kFolderTypes) {
    if (name.substr(3) == suffix) return type;
  }
  return 0;
}

const char* zq_media_folder_suffix(char type) {
  for (const auto& [suffix, t] : kFolderTypes) {
    if (t == type) return suffix.data();
  }
  return "TAVRO";
}

std::string_view zq_media_extension(std::string_view name) {
  if (name.size() != kZqMediaNameLength || name[8] != '.') return {};
  return name.substr(9);
}

bool zq_media_name_is(std::string_view name, std::string_view ext) {
  if (zq_media_extension(name) != ext) return false;
  for (size_t i = 4; i < 8; ++i) {
    if (!Digit(name[i])) return false;
  }
  return true;
}

int zq_media_file_number(std::string_view name) {
  if (name.size() < 8) return -1;
  int n = 0;
  // A character that is no digit counts as 0: names from the card were checked on the way in,
  // and a damaged one still sorts somewhere.
  for (size_t i = 4; i < 8; ++i) n = n * 10 + (Digit(name[i]) ? name[i] - '0' : 0);
  return n;
}

int zq_media_chapter(std::string_view name) {
  // An audio track ("WAV") belongs to the chapter of its clip like the other companions.
  const std::string_view ext = zq_media_extension(name);
  if (ext != "MP4" && ext != "MRV" && ext != "360" && ext != "LRV" && ext != "WAV") return -1;
  if (!PrefixAny(name, {"ZQ", "QB", "QF", "QS", "QH", "QX", "QL", "QM"})) return -1;
  return TwoDigits(name, 2);
}

int zq_media_group_id(std::string_view name) {
  if (name.size() < 4) return -1;
  if ((name[0] == 'Q' || name[0] == 'L' || name[0] == 'R') && Digit(name[1]) && Digit(name[2]) &&
      Digit(name[3]) && name.substr(1, 3) != "000") {
    return (name[1] - '0') * 100 + (name[2] - '0') * 10 + (name[3] - '0');
  }
  if (PrefixAny(name, {"ZQ", "QS", "QH", "QX", "QL", "QM"}) && Upper(name[2]) && Upper(name[3])) {
    return (name[2] - 'A') * 26 + (name[3] - 'A') + 1001;
  }
  const int two = TwoDigits(name, 2);
  if (zq_media_extension(name) == "JPG" && PrefixAny(name, {"ZQ", "QS", "QB", "QF"}) && two > 0) {
    return two;
  }
  return -1;
}

std::string zq_media_chapter_name(int chapter, long number, std::string_view ext) {
  char digits[32];
  if (chapter == 0) {
    snprintf(digits, sizeof digits, "TAVR%04ld.", number);
  } else {
    snprintf(digits, sizeof digits, "ZQ%02d%04ld.", chapter, number);
  }
  return std::string(digits) + std::string(ext);
}

std::string zq_media_thumbnail_of(std::string_view clip) {
  const std::string_view stem = clip.size() >= 4 ? clip.substr(0, clip.size() - 4) : clip;
  return std::string(stem) + ".THM";
}

bool zq_media_has_suffix(std::string_view name, std::string_view suffix) {
  return name.size() > suffix.size() &&
         strncasecmp(name.data() + name.size() - suffix.size(), suffix.data(), suffix.size()) == 0;
}

bool zq_media_front_lens_twin(std::string* text) {
  const size_t at = text->find("QBACK/");
  if (at == std::string::npos) return false;
  text->replace(at, 6, "QFRNT/");
  const size_t name = at + 6;
  if (text->compare(name, 2, "QB") == 0) {
    text->replace(name, 2, "QF");
  } else if (text->compare(name, 4, "ZQBK") == 0) {
    text->replace(name, 4, "ZQFR");
  } else {
    return false;
  }
  return true;
}
