#include "quicktime64/SampleDescriptionCF.h"

#include <cstdarg>
#include <cstdio>

#include "AtomChildren.h"
#include "quicktime64/ByteStream.h"
#include "quicktime64/UnparsedAtom.h"

namespace MavrelQuickTime64Atom {

namespace {

constexpr uint64_t kCommonHeaderSize = 16;

}  // namespace

SampleDescriptionCF::~SampleDescriptionCF() = default;

uint32_t SampleDescriptionCF::Read(FileBuffer& buffer) {
  size_t start = buffer.Cursor();
  ByteReader in(buffer);
  uint32_t size = in.U32();
  dataFormat_ = in.U32();
  in.Bytes(reserved_, sizeof reserved_);
  dataReferenceIndex_ = in.U16();
  if (!in.ok() || size < kCommonHeaderSize || size > buffer.Remaining()) return kQTAtomMalformed;
  extensions_.clear();
  uint32_t result;
  {
    BufferWindow window(buffer, start + size);
    buffer.SetCursor(start + kCommonHeaderSize);
    result = ReadFields(buffer);
  }
  if (result != 0) {
    buffer.SetCursor(start);
    return kQTAtomMalformed;
  }
  buffer.SetCursor(start + size);
  return 0;
}

uint64_t SampleDescriptionCF::Size() const { return kCommonHeaderSize + FieldsSize(); }

uint32_t SampleDescriptionCF::Write(FileBuffer& buffer) const {
  uint64_t size = Size();
  if (size > buffer.Remaining()) return kQTAtomBufferTooSmall;
  if (size > 0xffffffffull) return kQTAtomMalformed;
  size_t start = buffer.Cursor();
  ByteWriter out(buffer);
  out.U32(static_cast<uint32_t>(size));
  out.U32(dataFormat_);
  out.Bytes(reserved_, sizeof reserved_);
  out.U16(dataReferenceIndex_);
  buffer.Advance(out.Position());
  uint32_t result = WriteFields(buffer);
  if (result == 0 && buffer.Cursor() != start + size) result = kQTAtomMalformed;
  if (result != 0) buffer.SetCursor(start);
  return result;
}

void SampleDescriptionCF::Cat(std::string* out, int depth) const {
  if (out == nullptr) return;
  std::string label = Label();
  Line(*out, depth, "***** %s Begin", label.c_str());
  Line(*out, depth, "DataFormat: %s DataReferenceIndex: %u", FourCCText(dataFormat_).c_str(),
       dataReferenceIndex_);
  DumpFields(*out, depth);
  Line(*out, depth, "***** %s End", label.c_str());
}

void SampleDescriptionCF::Print(int depth) const {
  std::string text;
  Cat(&text, depth);
  fwrite(text.data(), 1, text.size(), stdout);
}

void SampleDescriptionCF::Line(std::string& out, int depth, const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendDumpLineV(out, depth, format, args);
  va_end(args);
}

std::unique_ptr<QuickTimeAtom> SampleDescriptionCF::MakeExtension(uint32_t) const {
  return nullptr;
}

QuickTimeAtom* SampleDescriptionCF::FindExtension(uint32_t type) const {
  for (const auto& atom : extensions_) {
    if (atom->Type() == type) return atom.get();
  }
  return nullptr;
}

void SampleDescriptionCF::SetExtension(std::unique_ptr<QuickTimeAtom> atom) {
  if (!atom) return;
  for (auto& existing : extensions_) {
    if (existing->Type() == atom->Type()) {
      existing = std::move(atom);
      return;
    }
  }
  extensions_.emplace_back(std::move(atom));
}

void SampleDescriptionCF::RemoveExtension(uint32_t type) {
  for (auto it = extensions_.begin(); it != extensions_.end(); ++it) {
    if ((*it)->Type() == type) {
      extensions_.erase(it);
      return;
    }
  }
}

uint32_t SampleDescriptionCF::ReadExtensions(FileBuffer& buffer) {
  extensions_.clear();
  while (buffer.Remaining() >= 8) {
    uint32_t type = QuickTimeAtom::GetFourccOfCurrentAtom(buffer);
    if (type == 0 && ByteReader(buffer).U32() == 0) break;  // a zero-size terminator
    std::unique_ptr<QuickTimeAtom> atom = MakeExtension(type);
    if (!atom) atom = std::make_unique<UnparsedAtom>(type);
    if (atom->Read(buffer, false) != 0) return kQTAtomMalformed;
    extensions_.emplace_back(std::move(atom));
  }
  return 0;
}

uint64_t SampleDescriptionCF::ExtensionsSize() const {
  uint64_t size = 0;
  for (const auto& atom : extensions_) size += atom->Size();
  return size;
}

uint32_t SampleDescriptionCF::WriteExtensions(FileBuffer& buffer) const {
  for (const auto& atom : extensions_) {
    uint32_t result = atom->Write(buffer);
    if (result != 0) return result;
  }
  return 0;
}

void SampleDescriptionCF::DumpExtensions(std::string& out, int depth) const {
  for (const auto& atom : extensions_) atom->Cat(&out, depth + 1);
}

}  // namespace MavrelQuickTime64Atom
