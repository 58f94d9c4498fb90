// The base of every atom (box) of the in-memory MP4/QuickTime model.
//
// Wire format of an atom (all fields big-endian):
//
//   uint32 size   the whole atom, header included; 1 = a 64-bit size follows the type
//   uint32 type   four-character code
//   uint64 size   only when the 32-bit size is 1
//   ...    body   (full atoms begin it with uint8 version and 24-bit flags)
//
// A 32-bit size of 0 does NOT mean "to the end of the file" here: reading such an atom fails
// with kQTAtomZeroSize, and scans stop at it. Written atoms use the 8-byte header when the
// size fits 32 bits and the 16-byte one otherwise.
//
// Every atom reads itself from a FileBuffer at the cursor (Read), writes itself at the cursor
// (Write), reports its serialised size (Size, computed every time) and dumps itself as text
// (Print to standard output, Cat into a string; both share one routine). On any failure the
// cursor is back on the atom's first byte. A derived class implements only the body: the
// protected ReadBody / WriteBody / BodySize / DumpBody. Atoms are copied deeply.
//
// Not thread safe: one thread uses an atom tree at a time.
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEATOM_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEATOM_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "quicktime64/FourCC.h"
#include "quicktime64/QuickTime64Results.h"
#include "zqfileio/FileBuffer.h"

namespace MavrelQuickTime64Atom {

class QuickTimeAtom {
 public:
  virtual ~QuickTimeAtom();

  // Reads the header and body at the cursor and leaves the cursor after the atom. `flag` is
  // passed to the body (the movie uses it for "only metadata tracks"). Previous content is
  // replaced. kQTAtomWrongType when the header's type is not one this class reads.
  virtual uint32_t Read(FileBuffer& buffer, bool flag);
  // As above, but fails with kQTAtomWrongType unless the header's type is `expectedType`.
  virtual uint32_t Read(FileBuffer& buffer, uint32_t expectedType);
  // Writes Size() bytes at the cursor; kQTAtomBufferTooSmall when fewer bytes remain.
  virtual uint32_t Write(FileBuffer& buffer) const;
  // Copies `other` when it is of the same class; otherwise leaves this atom unchanged.
  virtual QuickTimeAtom& operator=(const QuickTimeAtom& other);
  virtual void Print(int depth) const;
  virtual void Cat(std::string* out, int depth) const;
  virtual uint64_t Size() const;
  virtual uint32_t Type() const { return type_; }
  // A deep copy of the same class.
  virtual std::unique_ptr<QuickTimeAtom> Clone() const = 0;

  // Where the atom began in the buffer it was read from.
  size_t Position() const { return position_; }
  // The size field read from the file (0 for an atom built in memory).
  uint64_t ReadSize() const { return size_; }

  // The type of the atom at the cursor without moving it; 0 when fewer than 8 bytes remain
  // or the size field is 0.
  static uint32_t GetFourccOfCurrentAtom(const FileBuffer& buffer);
  // Scans sibling atoms from the cursor for one of type `fourcc`, over at most `limit` bytes.
  // 0 with the cursor on that atom; kQTAtomNotFound with the cursor restored when the limit
  // is reached, an atom has size 0 or is cut short, or fewer than 8 bytes remain.
  static uint32_t Find(FileBuffer& buffer, uint32_t fourcc, uint64_t limit);

  // The header of the atom at `data` (at most `available` bytes): 0, kQTAtomZeroSize,
  // or kQTAtomMalformed (cut short, smaller than its header, larger than `available`).
  struct Header {
    uint64_t size;
    uint32_t type;
    uint32_t headerSize;
  };
  static uint32_t ParseHeader(const uint8_t* data, uint64_t available, Header* header);

  // Size of the header that precedes a body of `bodySize` bytes (8 or 16).
  static uint32_t HeaderSizeFor(uint64_t bodySize);

 protected:
  explicit QuickTimeAtom(uint32_t type) : type_(type) {}
  QuickTimeAtom(const QuickTimeAtom&) = default;

  // Whether this class reads atoms of `type` (by default only its own type).
  virtual bool AcceptsType(uint32_t type) const { return type == type_; }
  // Reads the body. The buffer ends at the atom's end and the cursor is on the body; the
  // base moves the cursor past the atom on success and restores it on failure.
  virtual uint32_t ReadBody(FileBuffer& buffer, bool flag) = 0;
  virtual uint64_t BodySize() const = 0;
  // Writes exactly BodySize() bytes at the cursor (room is already checked).
  virtual uint32_t WriteBody(FileBuffer& buffer) const = 0;
  virtual void DumpBody(std::string& out, int depth) const = 0;
  // The name in the dump's begin and end lines (by default the 4CC followed by "Atom").
  virtual std::string Label() const;

  // Appends one dump line: "|\t" per depth, then the formatted text and a line feed.
  static void Line(std::string& out, int depth, const char* format, ...)
      __attribute__((format(printf, 3, 4)));
  // Appends a dump of `child` one level deeper.
  static void DumpChild(std::string& out, const QuickTimeAtom* child, int depth);

  uint64_t size_ = 0;
  uint32_t type_;
  size_t position_ = 0;
};

// Gives an atom class its deep copy and its virtual assignment.
template <class Derived, class Base>
class QuickTimeAtomImpl : public Base {
 public:
  using Base::Base;
  QuickTimeAtom& operator=(const QuickTimeAtom& other) override {
    const auto* same = dynamic_cast<const Derived*>(&other);
    if (same != nullptr && same != this) static_cast<Derived&>(*this) = *same;
    return *this;
  }
  std::unique_ptr<QuickTimeAtom> Clone() const override {
    return std::make_unique<Derived>(static_cast<const Derived&>(*this));
  }
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_QUICKTIMEATOM_H_
