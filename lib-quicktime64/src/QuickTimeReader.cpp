#include "quicktime64/QuickTimeReader.h"

#include <cstring>
#include <string>

#include "quicktime64/ByteStream.h"
#include "quicktime64/QuickTime64FileUtilities.h"
#include "quicktime64/QuickTime64Results.h"
#include "zqfileio/FileIO.h"

using MavrelQuickTime64Atom::ByteReader;
using MavrelQuickTime64Atom::MediaInformationAtom;
using MavrelQuickTime64Atom::TrackAtom;
using MavrelQuickTime64Atom::UnparsedAtom;
using MavrelQuickTime64Atom::UserDataAtom;

namespace {

bool AllowedFirstAtom(uint32_t type) {
  return type == FourCC("ftyp") || type == FourCC("moov") || type == FourCC("free") ||
         type == FourCC("wide") || type == FourCC("mdat");
}

// Whether the encoder item of an `ilst` says "Tavro". `meta` is the payload of the user
// data's `meta` atom: version and flags, then a `hdlr` whose handler type is `mdir`, then
// the item list. Any bounds failure is simply "no".
bool MetaNamesTavroEncoder(const std::vector<uint8_t>& meta) {
  auto type_at = [&](size_t at, const char* type) {
    return at + 4 <= meta.size() && memcmp(meta.data() + at, type, 4) == 0;
  };
  auto u32_at = [&](size_t at) { return zq_load_be32(meta.data() + at); };
  if (!type_at(8, "hdlr") || !type_at(20, "mdir")) return false;
  size_t ilst = 0;
  for (size_t at = 28; at + 4 <= meta.size(); ++at) {
    if (type_at(at, "ilst") && at >= 4) {
      ilst = at - 4;
      break;
    }
  }
  if (ilst == 0) return false;
  uint64_t ilstEnd = ilst + uint64_t{u32_at(ilst)};
  if (ilstEnd > meta.size() || ilstEnd < ilst + 8) return false;
  static const uint8_t kEncoderTool[4] = {0xa9, 't', 'o', 'o'};
  for (uint64_t item = ilst + 8; item + 8 <= ilstEnd;) {
    uint64_t itemSize = u32_at(item);
    if (itemSize < 8 || item + itemSize > ilstEnd) return false;
    if (memcmp(meta.data() + item + 4, kEncoderTool, 4) == 0) {
      for (uint64_t child = item + 8; child + 8 <= item + itemSize;) {
        uint64_t childSize = u32_at(child);
        if (childSize < 8 || child + childSize > item + itemSize) return false;
        if (type_at(child + 4, "data")) {
          if (childSize < 16 || (u32_at(child + 8) & 0xffffff) != 1) return false;
          std::string text(reinterpret_cast<const char*>(meta.data() + child + 16), childSize - 16);
          return text == QuickTime64FileUtilities::kTavroString;
        }
        child += childSize;
      }
      return false;
    }
    item += itemSize;
  }
  return false;
}

}  // namespace

template <class Reader>
QuickTimeReader<Reader>::~QuickTimeReader() {
  Close();
}

template <class Reader>
uint32_t QuickTimeReader<Reader>::Close() {
  return reader_.Close();
}

template <class Reader>
uint32_t QuickTimeReader<Reader>::Open(const char* path, bool onlyMetadataTracks) {
  uint32_t result = reader_.Open(path);
  if (result == kFileReaderNoFile) return kQTReaderOpenFailed;
  if (result != 0) return QTReaderResult(result);
  return Parse(moovBuffer_, onlyMetadataTracks);
}

template <class Reader>
uint32_t QuickTimeReader<Reader>::Attach(FileIO* source) {
  uint32_t result = reader_.Open(source);
  return result == 0 ? 0 : QTReaderResult(result);
}

template <class Reader>
uint32_t QuickTimeReader<Reader>::ReadBytes(FileBuffer& buffer, int64_t offset, uint64_t size) {
  uint32_t result = reader_.Read(buffer, offset, size);
  if (result == 0) result = reader_.Wait(buffer);
  return result;
}

template <class Reader>
uint32_t QuickTimeReader<Reader>::ReadAtomSizeAndType(int64_t offset, uint64_t* size,
                                                      uint32_t* type, int64_t* nextOffset) {
  if (size != nullptr) *size = 0;
  if (type != nullptr) *type = 0;
  if (nextOffset != nullptr) *nextOffset = 0;
  if (offset < 0) return QTReaderResult(kQTAtomMalformed);
  uint32_t result = ReadBytes(headerBuffer_, offset, 16);
  // The last atom of a file may be smaller than 16 bytes: what counts is its own header.
  if (result != 0 && result != kFileReaderShortRead) return QTReaderResult(result);
  ByteReader in(headerBuffer_.Data(), headerBuffer_.DataSize());
  uint32_t size32 = in.U32();
  uint32_t atomType = in.U32();
  uint64_t atomSize = size32 == 1 ? in.U64() : size32;
  if (!in.ok()) return QTReaderResult(kFIOFailure);
  if (size32 != 0 && atomSize < (size32 == 1 ? 16u : 8u)) return QTReaderResult(kQTAtomMalformed);
  if (atomSize > static_cast<uint64_t>(INT64_MAX - offset)) {
    return QTReaderResult(kQTAtomMalformed);
  }
  if (size != nullptr) *size = atomSize;
  if (type != nullptr) *type = atomType;
  if (nextOffset != nullptr) *nextOffset = offset + static_cast<int64_t>(atomSize);
  return 0;
}

template <class Reader>
uint32_t QuickTimeReader<Reader>::ScanFor(uint32_t wanted, int64_t* offset, uint64_t* size) {
  int64_t at = 0;
  for (bool first = true;; first = false) {
    uint64_t atomSize = 0;
    uint32_t type = 0;
    int64_t next = 0;
    if (at >= fileSize_ || ReadAtomSizeAndType(at, &atomSize, &type, &next) != 0) {
      return kQTReaderUnsupported;
    }
    // A size of 0 does not mean "to the end of the file" here: the scan stops.
    if (next == at) return kQTReaderUnsupported;
    if (first && !AllowedFirstAtom(type)) return kQTReaderUnsupported;
    if (type == wanted) {
      *offset = at;
      *size = atomSize;
      return 0;
    }
    at = next;
  }
}

template <class Reader>
uint32_t QuickTimeReader<Reader>::Parse(FileBuffer& moovBuffer, bool onlyMetadataTracks) {
  FileIO* file = reader_.fileIO();
  if (file == nullptr) return QTReaderResult(kFileReaderNoFile);
  if (file->getFileSize(&fileSize_) != 0 || fileSize_ < 0) return QTReaderResult(kFIOFailure);

  int64_t ftypOffset = 0;
  uint64_t ftypSize = 0;
  uint32_t result = ScanFor(FourCC("ftyp"), &ftypOffset, &ftypSize);
  if (result != 0) return result;
  if (ftypSize > static_cast<uint64_t>(fileSize_ - ftypOffset)) {
    return QTReaderResult(kQTAtomMalformed);
  }
  result = ReadBytes(headerBuffer_, ftypOffset, ftypSize);
  if (result != 0) return QTReaderResult(result);
  result = ftyp_.Read(headerBuffer_, false);
  if (result != 0) return QTReaderResult(result);

  uint64_t moovSize = 0;
  int64_t moovOffset = 0;
  result = ScanFor(FourCC("moov"), &moovOffset, &moovSize);
  if (result != 0) return result;
  // Checked before anything is allocated: the declared size must lie inside the file.
  if (moovSize > static_cast<uint64_t>(fileSize_ - moovOffset)) {
    return QTReaderResult(kQTAtomMalformed);
  }
  result = ReadBytes(moovBuffer, moovOffset, moovSize);
  if (result != 0) return QTReaderResult(result);
  result = movie_.Read(moovBuffer, onlyMetadataTracks);
  // The tree holds copies of everything it needs: the reader's own copy of the movie atom
  // is not kept (a caller's buffer is the caller's).
  if (&moovBuffer == &moovBuffer_) {
    moovBuffer_.Release();
    moovBuffer_.SetLayout(0, 0, 0);
  }
  if (result != 0) return QTReaderResult(result);
  moovOffset_ = moovOffset;
  moovSize_ = moovSize;
  return 0;
}

template <class Reader>
uint32_t QuickTimeReader<Reader>::IsSupportedTavroSourceFile(bool* supported) {
  if (supported == nullptr) return QTReaderResult(1);
  uint32_t video = 0;
  if (movie_.GetTrackIndexOfKind(FourCC("vide"), 0, &video) != 0) return QTReaderResult(1);
  const TrackAtom& track = movie_.Tracks()[video];
  if (track.GetMedia().GetHandlerReference() == nullptr) return QTReaderResult(2);
  std::string name = track.HandlerName().substr(0, 63);
  if (name.empty()) return QTReaderResult(10);
  *supported = false;
  if (name.find(QuickTime64FileUtilities::kTavroString) != std::string::npos) {
    *supported = true;
    return 0;
  }
  UserDataAtom* udta = movie_.GetUserData();
  if (udta == nullptr) return 0;
  if (udta->GetFirmware() != nullptr && udta->GetFirmware()->PayloadLength() > 0) {
    *supported = true;
    return 0;
  }
  const UnparsedAtom* meta = udta->FindUnparsed(FourCC("meta"));
  *supported = meta != nullptr && MetaNamesTavroEncoder(meta->Payload());
  return 0;
}

template <class Reader>
uint32_t QuickTimeReader<Reader>::GetVideoTimeCode(QuickTime64TimeCodeRecord* record,
                                                   bool swapBytes) {
  if (record == nullptr) return 4;
  record->Clear();
  uint32_t trackIndex = 0;
  uint32_t result = movie_.GetVideoTimeCodeTrackIndex(&trackIndex);
  if (result != 0) return QTReaderResult(result);
  MediaInformationAtom* minf = movie_.Tracks()[trackIndex].GetMediaInformation();
  if (minf == nullptr) return QTReaderResult(kQTLookupAbsent);

  uint32_t flags = 0, timeScale = 0;
  uint8_t framesPerSecond = 0;
  char reelName[1024] = {};
  result = minf->GetTimeCodeCalculationInformation(&flags, &timeScale, &framesPerSecond, reelName,
                                                   sizeof reelName);
  if (result != 0) return kQTLookupNotTimeCode;
  uint64_t chunkOffset = 0, chunkSize = 0, offsetInChunk = 0;
  uint32_t sampleSize = 0;
  result =
      minf->GetTimeCodeRetrievalInformation(&chunkOffset, &chunkSize, &offsetInChunk, &sampleSize);
  if (result != 0) return QTReaderResult(result);
  if (sampleSize < 4 || chunkOffset + offsetInChunk > static_cast<uint64_t>(INT64_MAX)) {
    return QTReaderResult(kFIOFailure);
  }
  FileBuffer sample;
  result = ReadBytes(sample, static_cast<int64_t>(chunkOffset + offsetInChunk), 4);
  if (result == kFileReaderShortRead) return QTReaderResult(kFIOFailure);
  if (result != 0) return QTReaderResult(result);
  const uint8_t* b = sample.Data();
  uint32_t frameNumber = zq_load32(b, swapBytes);
  uint32_t n = framesPerSecond;
  if (n == 0) return QTReaderResult(kQTAtomMalformed);
  uint32_t hours = frameNumber / (n * 3600);
  uint32_t rest = frameNumber % (n * 3600);
  uint32_t minutes = rest / (n * 60);
  rest %= n * 60;
  uint32_t seconds = rest / n;
  uint32_t frames = rest % n;
  record->hours = static_cast<uint8_t>(hours);
  record->minutes = static_cast<uint8_t>(minutes);
  record->seconds = static_cast<uint8_t>(seconds);
  record->frames = static_cast<uint8_t>(frames);
  record->frameCount = frames + (minutes * 60 + hours * 3600 + seconds) * n;
  record->dropFrame = (flags & 1) != 0;
  record->reelName = reelName;
  return 0;
}

template class QuickTimeReader<SyncFileReader>;
template class QuickTimeReader<AsyncFileReader>;
