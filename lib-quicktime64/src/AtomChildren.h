// Helpers of container atoms for reading their children. Children may come in any order:
// each lookup starts again at the first child and finds the wanted type within the parent.
#ifndef ZQ_LIB_QUICKTIME64_SRC_ATOMCHILDREN_H_
#define ZQ_LIB_QUICKTIME64_SRC_ATOMCHILDREN_H_

#include <memory>

#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"

namespace MavrelQuickTime64Atom {

// Limits the buffer's data to [.., end) while an atom's body is read, so that no child or
// table can reach past its parent; restores the data size afterwards (keeping the cursor).
class BufferWindow {
 public:
  BufferWindow(FileBuffer& buffer, size_t end) : buffer_(buffer), saved_(buffer.DataSize()) {
    buffer_.SetDataSize(end);
  }
  ~BufferWindow() {
    size_t cursor = buffer_.Cursor();
    buffer_.SetDataSize(saved_);
    buffer_.SetCursor(cursor);
  }
  BufferWindow(const BufferWindow&) = delete;
  BufferWindow& operator=(const BufferWindow&) = delete;

 private:
  FileBuffer& buffer_;
  size_t saved_;
};

// Reads the first child of `type` found from `firstChild` into a new T stored in `out`
// (cleared first). Absent: 0 with `out` empty. Present but unreadable: kQTAtomMalformed.
template <class T>
uint32_t ReadOptionalChild(FileBuffer& buffer, size_t firstChild, uint32_t type, Owned<T>* out,
                           bool flag = false) {
  out->reset();
  buffer.SetCursor(firstChild);
  if (QuickTimeAtom::Find(buffer, type, buffer.Remaining()) != 0) return 0;
  auto child = std::make_unique<T>();
  if (child->Read(buffer, flag) != 0) return kQTAtomMalformed;
  *out = std::move(child);
  return 0;
}

// As above for a child that must be present: kQTAtomMalformed when it is not.
template <class T>
uint32_t ReadRequiredChild(FileBuffer& buffer, size_t firstChild, uint32_t type, T* out,
                           bool flag = false) {
  buffer.SetCursor(firstChild);
  if (QuickTimeAtom::Find(buffer, type, buffer.Remaining()) != 0) return kQTAtomMalformed;
  return out->Read(buffer, flag) == 0 ? 0 : kQTAtomMalformed;
}

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_SRC_ATOMCHILDREN_H_
