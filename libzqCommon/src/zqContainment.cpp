#include "zqcommon/zqContainment.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

// `path` with every link resolved, or "" (errno set).
std::string Real(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) != nullptr ? std::string(buf) : std::string();
}

bool Within(const std::string& path, const std::string& root) {
  if (path.compare(0, root.size(), root) != 0) return false;
  return path.size() == root.size() || root == "/" || path[root.size()] == '/';
}

// The folder `dir` (relative to `root`, already resolved) resolved, or "" when it does not
// exist; `*inside` tells whether it, or its nearest existing ancestor, stays inside `root`.
std::string ResolveFolder(const std::string& root, std::string_view dir, bool* inside) {
  std::string_view part = dir;
  for (;;) {
    std::string real = part.empty() ? root : Real(root + "/" + std::string(part));
    if (!real.empty()) {
      *inside = Within(real, root);
      return part.size() == dir.size() ? real : std::string();
    }
    if (errno == ELOOP) {
      *inside = false;
      return std::string();
    }
    const size_t slash = part.rfind('/');
    part = slash == std::string_view::npos ? std::string_view() : part.substr(0, slash);
  }
}

}  // namespace

bool zq_contain_name_ok(std::string_view name) {
  if (!name.empty() && name.front() == '/') return false;
  if (name.find('\0') != std::string_view::npos) return false;
  if (name.find("..") != std::string_view::npos) return false;
  if (!name.empty() && name.back() == '/') name.remove_suffix(1);  // a folder's "/" form
  if (name.empty()) return true;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view part = name.substr(start, end - start);
    if (part.empty() || part == ".") return false;
    start = end + 1;
  }
  return true;
}

ZqContain zq_contain_resolve(const std::string& tree, std::string_view name, ZqContainedPath* out) {
  *out = ZqContainedPath();
  if (!zq_contain_name_ok(name)) return ZqContain::kBadName;
  if (!name.empty() && name.back() == '/') name.remove_suffix(1);
  const std::string root = Real(tree);
  if (root.empty()) {
    out->entry = tree + "/" + std::string(name);
    return ZqContain::kMissing;
  }
  if (name.empty()) {
    out->entry = out->target = root;
    return ZqContain::kInside;
  }

  const size_t slash = name.rfind('/');
  const std::string_view dir =
      slash == std::string_view::npos ? std::string_view() : name.substr(0, slash);
  const std::string_view base = slash == std::string_view::npos ? name : name.substr(slash + 1);
  bool inside = false;
  const std::string folder = ResolveFolder(root, dir, &inside);
  if (!inside) return ZqContain::kOutside;
  if (folder.empty()) {
    out->entry = root + "/" + std::string(name);  // below a folder that does not exist
    return ZqContain::kMissing;
  }

  const std::string entry = (folder == "/" ? folder : folder + "/") + std::string(base);
  struct stat st = {};
  if (lstat(entry.c_str(), &st) != 0) {
    out->entry = entry;
    return ZqContain::kMissing;
  }
  const std::string target = Real(entry);
  if (target.empty() || !Within(target, root)) return ZqContain::kOutside;
  out->entry = entry;
  out->target = target;
  return ZqContain::kInside;
}
