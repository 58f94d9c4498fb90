#include "zqmediadb/zqCardId.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <random>

#include "zqcommon/zqLog.h"
#include "zqcommon/zqPaths.h"
#include "zqcommon/zqUniqueFd.h"

namespace {

constexpr size_t kMaxIdFile = 64;

bool ReadId(const std::string& path, std::string* id) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!fd.valid()) return false;
  char buf[kMaxIdFile];
  ssize_t n = read(fd.get(), buf, sizeof buf);
  if (n <= 0) return false;
  std::string text(buf, static_cast<size_t>(n));
  if (!zq_card_id_valid(text)) return false;
  if (text.back() == '\n') text.pop_back();
  *id = text;
  return true;
}

}  // namespace

bool zq_card_id_valid(const std::string& text) {
  size_t digits = text.size();
  if (digits > 0 && text.back() == '\n') --digits;
  if (digits == 0 || digits > 20) return false;
  for (size_t i = 0; i < digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int getCardIDStrFromCard(std::string* id, int storage) {
  const std::string root = zq_path(storage == 1 ? kZqInternalRoot : kZqSdCardRoot);
  struct stat st = {};
  if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return -1;
  const std::string misc = root + "/MISC";
  const std::string path = misc + "/card";
  if (ReadId(path, id)) return 0;

  mkdir(misc.c_str(), 0777);
  std::random_device rd;
  const std::string fresh = std::to_string((uint64_t{rd()} << 32 | rd()) % 10000000000ULL);
  // Written aside and renamed, so a reader never sees half an identifier.
  const std::string tmp = path + ".tmp";
  {
    UniqueFd fd(open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!fd.valid() ||
        write(fd.get(), fresh.data(), fresh.size()) != static_cast<ssize_t>(fresh.size())) {
      ZQ_LOG(ZQ_LOG_ERROR, "cannot write the card identifier %s\n", path.c_str());
      unlink(tmp.c_str());
      return -1;
    }
  }
  if (rename(tmp.c_str(), path.c_str()) != 0) {
    unlink(tmp.c_str());
    return -1;
  }
  *id = fresh;
  return 0;
}

int getCardIDStr(std::string* id) { return getCardIDStrFromCard(id, 0); }
