#include "zqmf/ZQMediaFileReader.h"

namespace {

const char* const kErrorText[] = {
    "okay",
    "initializationFailed",
    "invalidObject",
    "invalidArg",
    "allocFailed",
    "insertionFailed",
    "removalFailed",
    "fileIO",
    "fileOpenFailed",
    "unimplemented",
    "immutable",
    "operationFailed",
    "fileNotParsed",
    "firmwareVersionNotFound",
    "spotmarkFetchError",
    "JPEG_SOI_NotFirstMarker",
    "JPEG_MissingTIFFMagic",
    "JPEG_MissingExifEndianType",
    "JPEG_No_EOI_Found",
    "JPEG_No_ScreenNail",
    "ZQMF_ParseError",
    "ZQMF_NoGeoCalData",
    "ZQMF_WrongGeoCalVersionRequested",
    "ZQMF_SampleBufferOverrun",
    "WAV_NotValidWavFile",
    "PNG_NotValidPNGFile",
    "ZQR_NotValidRawPhoto",
};

}  // namespace

const char* mediaErrorToStr(int32_t error) {
  const int32_t n = static_cast<int32_t>(sizeof kErrorText / sizeof kErrorText[0]);
  return error >= 0 && error < n ? kErrorText[error] : "Unknown Error";
}

ZQMediaFileReader::~ZQMediaFileReader() = default;

int32_t ZQMediaFileReader::GetPixelAspectRatio(int32_t*, int32_t*) {
  return ZQMediaError::unimplemented;
}

void ZQMediaFileReaderStill::DestroyScreennail(std::unique_ptr<ZQScreennail>* screennail) {
  if (screennail != nullptr) screennail->reset();
}
