// Readers of single media files (photos) and the error numbers they return.
//
// A reader answers getter calls about one file after Open; results are ZQMediaError numbers
// (0 on success). Readers are used by one thread at a time.
#ifndef ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMEDIAFILEREADER_H_
#define ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMEDIAFILEREADER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ZQMediaError {
enum Type : int32_t {
  okay = 0,
  initializationFailed = 1,
  invalidObject = 2,
  invalidArg = 3,
  allocFailed = 4,
  insertionFailed = 5,
  removalFailed = 6,
  fileIO = 7,
  fileOpenFailed = 8,
  unimplemented = 9,
  immutable = 10,
  operationFailed = 11,
  fileNotParsed = 12,
  firmwareVersionNotFound = 13,
  spotmarkFetchError = 14,
  JPEG_SOI_NotFirstMarker = 15,
  JPEG_MissingTIFFMagic = 16,
  JPEG_MissingExifEndianType = 17,
  JPEG_No_EOI_Found = 18,
  JPEG_No_ScreenNail = 19,
  ZQMF_ParseError = 20,
  ZQMF_NoGeoCalData = 21,
  ZQMF_WrongGeoCalVersionRequested = 22,
  ZQMF_SampleBufferOverrun = 23,
  WAV_NotValidWavFile = 24,
  PNG_NotValidPNGFile = 25,
  ZQR_NotValidRawPhoto = 26,
};
}  // namespace ZQMediaError

// "okay", "fileIO", ...; "Unknown Error" for numbers outside the table.
const char* mediaErrorToStr(int32_t error);

// A reduced JPEG of a photo, for quick display.
struct ZQScreennail {
  std::vector<uint8_t> bytes;
};

class ZQMediaFileReader {
 public:
  ZQMediaFileReader() = default;
  virtual ~ZQMediaFileReader();
  ZQMediaFileReader(const ZQMediaFileReader&) = delete;
  ZQMediaFileReader& operator=(const ZQMediaFileReader&) = delete;

  virtual int32_t Open(const char* path) = 0;
  virtual int32_t GetDimensions(int32_t* width, int32_t* height) = 0;
  // Not known for any format yet: 9, the outputs untouched.
  virtual int32_t GetPixelAspectRatio(int32_t* x, int32_t* y);
};

class ZQMediaFileReaderStill : public ZQMediaFileReader {
 public:
  virtual int32_t GetScreennailDimensions(int32_t* width, int32_t* height) = 0;
  // The reader's own screennail (null when none); valid until the reader is closed.
  virtual const ZQScreennail* GetScreennailRef() = 0;
  // A copy of the screennail the caller owns.
  virtual int32_t GetScreennail(std::unique_ptr<ZQScreennail>* screennail) = 0;
  // Frees a screennail from GetScreennail (the pointer becomes null).
  virtual void DestroyScreennail(std::unique_ptr<ZQScreennail>* screennail);
  virtual int32_t GetCameraLensProjection(int32_t* projection) = 0;
  virtual int32_t GetCamera4CCLensProjection(std::string* code) = 0;
  virtual bool isSpatialMediaERP() = 0;
};

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMEDIAFILEREADER_H_
