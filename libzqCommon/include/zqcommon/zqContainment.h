// Client-supplied paths below a tree (the card's DCIM folders, the document root, the log
// folder): the one rule that every route, media operation and the file sender apply, so
// that no request reaches a file outside the tree it names.
//
// A name is refused outright when it is absolute, holds a NUL, holds ".." anywhere (a ".."
// component climbs; no camera file name contains the text, so it is refused wherever it
// appears), or has an empty or "." component ("a//b", "./a"). One trailing "/" (a folder's
// form) is allowed; "" names the tree itself.
//
// An acceptable name is then resolved with every symbolic link followed, and refused when
// the folder it names, or the entry itself, leads out of the tree (the tree is resolved
// too, so a tree that is itself reached through a link works). A link that leads nowhere
// (dangling, or a loop) is refused as well: where it would lead cannot be vouched for.
//
// Links inside the tree are fine. Callers act on what the result gives them, never on the
// text they were given: `entry` for operations on the named entry itself (unlink and rename
// act on a link, not on what it leads to), `target` for reading.
#ifndef ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCONTAINMENT_H_
#define ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCONTAINMENT_H_

#include <string>
#include <string_view>

enum class ZqContain {
  kInside,   // the entry exists, and it and what it leads to are inside the tree
  kMissing,  // nothing by that name; its nearest existing folder is inside the tree
  kOutside,  // a folder or the entry leads out of the tree, or a link leads nowhere
  kBadName,  // refused by zq_contain_name_ok
};

struct ZqContainedPath {
  std::string entry;   // the named entry in its resolved folder (a link stays the link)
  std::string target;  // what the entry leads to, every link resolved; "" unless kInside
};

// True when `name` may be looked up below a tree (the rule above).
bool zq_contain_name_ok(std::string_view name);

// Resolves `name` below the folder `tree`. `out` is filled for kInside (entry and target)
// and kMissing (entry: where the name would be); it is left empty otherwise. A tree that
// does not exist gives kMissing. Thread safe.
ZqContain zq_contain_resolve(const std::string& tree, std::string_view name, ZqContainedPath* out);

#endif  // ZQ_LIBZQCOMMON_INCLUDE_ZQCOMMON_ZQCONTAINMENT_H_
