#include "quicktime64/DataReferenceAtom.h"

#include "quicktime64/ByteStream.h"

namespace MavrelQuickTime64Atom {

bool DataReferenceAtom::DataReference::AcceptsType(uint32_t type) const {
  return type == FourCC("url ") || type == FourCC("alis") || type == FourCC("rsrc") ||
         type == FourCC("cios") || type == FourCC("urn ");
}

uint32_t DataReferenceAtom::DataReference::ReadBody(FileBuffer& buffer, bool) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  if (!in.ok()) return kQTAtomMalformed;
  return in.Bytes(&data_, in.Remaining()) ? 0 : kQTAtomMalformed;
}

uint64_t DataReferenceAtom::DataReference::BodySize() const {
  return kVersionAndFlagsSize + data_.size();
}

uint32_t DataReferenceAtom::DataReference::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.Bytes(data_);
  buffer.Advance(out.Position());
  return out.ok() ? 0 : kQTAtomBufferTooSmall;
}

void DataReferenceAtom::DataReference::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "Data: %zu bytes", data_.size());
}

void DataReferenceAtom::AddSelfReference() {
  DataReference reference(FourCC("url "));
  reference.SetFlags(1);
  references_.push_back(std::move(reference));
}

uint32_t DataReferenceAtom::ReadBody(FileBuffer& buffer, bool flag) {
  ByteReader in(buffer);
  ReadVersionAndFlags(in);
  uint32_t count = in.U32();
  references_.clear();
  // Every entry takes at least a 12-byte full-atom header.
  if (!in.ok() || in.Remaining() / 12 < count) return kQTAtomMalformed;
  buffer.Advance(in.Position());
  for (uint32_t i = 0; i < count; ++i) {
    DataReference reference;
    if (reference.Read(buffer, flag) != 0) return kQTAtomMalformed;
    references_.push_back(std::move(reference));
  }
  return 0;
}

uint64_t DataReferenceAtom::BodySize() const {
  uint64_t size = kVersionAndFlagsSize + 4;
  for (const auto& reference : references_) size += reference.Size();
  return size;
}

uint32_t DataReferenceAtom::WriteBody(FileBuffer& buffer) const {
  ByteWriter out(buffer);
  WriteVersionAndFlags(out);
  out.U32(static_cast<uint32_t>(references_.size()));
  buffer.Advance(out.Position());
  for (const auto& reference : references_) {
    uint32_t result = reference.Write(buffer);
    if (result != 0) return result;
  }
  return 0;
}

void DataReferenceAtom::DumpBody(std::string& out, int depth) const {
  DumpVersionAndFlags(out, depth);
  Line(out, depth, "NumberOfEntries: %zu", references_.size());
  for (const auto& reference : references_) DumpChild(out, &reference, depth);
}

}  // namespace MavrelQuickTime64Atom
