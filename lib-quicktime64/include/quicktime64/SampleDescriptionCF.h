// The base of the entries of a sample description table (`stsd`). An entry is laid out like
// an atom whose type is the data format:
//
//   uint32 size  (the whole entry)   uint32 data format (4CC)
//   6 bytes reserved                 uint16 data reference index
//   ...    the media's own fields, then (for some media) extension atoms to the entry's end
//
// Extension atoms of a known type are parsed into their classes, the others are kept as
// bytes; all are written back in their order. Entries copy deeply (Clone).
#ifndef ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLEDESCRIPTIONCF_H_
#define ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLEDESCRIPTIONCF_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quicktime64/OwnedAtom.h"
#include "quicktime64/QuickTimeAtom.h"
#include "zqfileio/FileBuffer.h"

namespace MavrelQuickTime64Atom {

class SampleDescriptionCF {
 public:
  virtual ~SampleDescriptionCF();

  // Reads the entry at the cursor (the buffer ends where the table does) and leaves the
  // cursor after it; on failure (kQTAtomMalformed) the cursor is restored.
  uint32_t Read(FileBuffer& buffer);
  // Writes Size() bytes at the cursor; kQTAtomBufferTooSmall when they do not fit.
  uint32_t Write(FileBuffer& buffer) const;
  uint64_t Size() const;
  void Print(int depth) const;
  void Cat(std::string* out, int depth) const;
  virtual std::unique_ptr<SampleDescriptionCF> Clone() const = 0;

  uint32_t DataFormat() const { return dataFormat_; }
  void SetDataFormat(uint32_t format) { dataFormat_ = format; }
  uint16_t DataReferenceIndex() const { return dataReferenceIndex_; }
  void SetDataReferenceIndex(uint16_t index) { dataReferenceIndex_ = index; }

  const std::vector<Owned<QuickTimeAtom>>& Extensions() const { return extensions_; }
  // The first extension atom of `type`, or null.
  QuickTimeAtom* FindExtension(uint32_t type) const;
  // Replaces the first extension of the same type, or appends.
  void SetExtension(std::unique_ptr<QuickTimeAtom> atom);
  void RemoveExtension(uint32_t type);

 protected:
  explicit SampleDescriptionCF(uint32_t dataFormat) : dataFormat_(dataFormat) {}
  SampleDescriptionCF(const SampleDescriptionCF&) = default;
  SampleDescriptionCF& operator=(const SampleDescriptionCF&) = default;

  // The media's fields; the cursor is after the common header and the buffer ends with the
  // entry. Extension atoms (when the media has them) are read by ReadExtensions.
  virtual uint32_t ReadFields(FileBuffer& buffer) = 0;
  virtual uint64_t FieldsSize() const = 0;
  virtual uint32_t WriteFields(FileBuffer& buffer) const = 0;
  virtual void DumpFields(std::string& out, int depth) const = 0;
  virtual std::string Label() const = 0;
  // The typed class of an extension atom, or null for "keep as bytes".
  virtual std::unique_ptr<QuickTimeAtom> MakeExtension(uint32_t type) const;

  // Extension atoms up to the entry's end; a zero-size terminator or fewer than 8 bytes end
  // the list.
  uint32_t ReadExtensions(FileBuffer& buffer);
  uint64_t ExtensionsSize() const;
  uint32_t WriteExtensions(FileBuffer& buffer) const;
  void DumpExtensions(std::string& out, int depth) const;

  static void Line(std::string& out, int depth, const char* format, ...)
      __attribute__((format(printf, 3, 4)));

  uint32_t dataFormat_;
  uint8_t reserved_[6] = {};
  uint16_t dataReferenceIndex_ = 1;
  std::vector<Owned<QuickTimeAtom>> extensions_;
};

// Gives an entry class its deep copy.
template <class Derived>
class SampleDescriptionImpl : public SampleDescriptionCF {
 public:
  std::unique_ptr<SampleDescriptionCF> Clone() const override {
    return std::make_unique<Derived>(static_cast<const Derived&>(*this));
  }

 protected:
  using SampleDescriptionCF::SampleDescriptionCF;
};

}  // namespace MavrelQuickTime64Atom

#endif  // ZQ_LIB_QUICKTIME64_INCLUDE_QUICKTIME64_SAMPLEDESCRIPTIONCF_H_
