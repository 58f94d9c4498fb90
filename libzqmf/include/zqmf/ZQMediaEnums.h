// Media facts the camera records in its ZQMF, as numbers and texts: the media type ("MTYP"),
// the lens projection ("PRJT"), the mapping of extractor errors to media errors, and the
// model names of firmware versions.
#ifndef ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMEDIAENUMS_H_
#define ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMEDIAENUMS_H_

#include <cstdint>
#include <string>

namespace ZQMediaEnums {

enum ZQMediaType : int32_t {
  kMediaTypeUnknown = 0,
  kMediaTypePhoto = 1,
  kMediaTypeVideo = 2,
  kMediaTypeBurst = 3,
  kMediaTypeTimeLapse = 4,
  kMediaTypeTimeLapseVideo = 5,
  kMediaTypeLoopedVideo = 6,
  kMediaTypeSessionFile = 7,
  kMediaTypeContinuousPhoto = 8,
  kMediaTypeNightPhoto = 9,
  kMediaTypeNightLapsePhoto = 10,
  kMediaTypePhotoInVideo = 11,
  kMediaTypeLiveBurst = 12,
};

enum ZQMediaLensProjection : int32_t {
  kLensNonTavroCamera = 0,
  kLensStock = 1,
  kLensERP = 2,
  kLensEAC = 3,
  kLensEACSplitTop = 4,
  kLensEACSplitBottom = 5,
  kLensEACOverlap = 6,
  kLensPaddedEAC = 7,
  kLensPaddedEACTop = 8,
  kLensPaddedEACBottom = 9,
  kLensFisheyeFront = 10,
  kLensFisheyeBack = 11,
  kLensDualFisheyeFrontBack = 12,
  kLensDualFisheyeBackFront = 13,
  kLensPanorama = 14,
  kLensTinyPlanet = 15,
};

// Texts as shown to users ("Photo", "Stock Tavro Lens"); numbers outside the enumeration
// get the text of 0.
const char* mediaTypeToStr(ZQMediaType type);
const char* lensProjectionToStr(ZQMediaLensProjection projection);

}  // namespace ZQMediaEnums

// The numbers as the extractors produce them from a ZQMF block: those of
// ZQMediaEnums::ZQMediaType and ZQMediaEnums::ZQMediaLensProjection, unchecked.
enum ZQMFMediaType : int32_t {
  ZQMF_MEDIA_TYPE_UNKNOWN = 0,
  ZQMF_MEDIA_TYPE_LIVE_BURST = 12,  // the largest
};
enum ZQMFLensProjection : int32_t {
  ZQMF_LENS_PROJECTION_NONE = 0,
  ZQMF_LENS_PROJECTION_STOCK = 1,
  ZQMF_LENS_PROJECTION_TINY_PLANET = 15,  // the largest
};

// The media type a raw "MTYP" value stands for (0 for values outside the camera's table).
ZQMFMediaType ZQMFMediaTypeFromRaw(int64_t raw);
// The projection a "PRJT" four-character code names; any other code is the stock lens.
ZQMFLensProjection ZQMFLensProjectionFromCode(const char code[4]);

// 1-12 (1-15) unchanged, anything else 0.
ZQMediaEnums::ZQMediaType convertZQMFMediaTypeToZQMediaType(ZQMFMediaType type);
ZQMediaEnums::ZQMediaLensProjection convertZQMFLensProjectionToZQMediaLensProjection(
    ZQMFLensProjection projection);
// Extractor errors 0-6 to media errors 0, 3, 12, 20, 21, 22, 23; anything above 6 to 20.
int32_t convertZQMFParseErrorToMediaError(int32_t error);

// The display and short model names of a firmware version ("T11.01.02.00" -> "TAVRO T11",
// "T11"), from an ordered list of version prefixes; both empty when no prefix matches (1).
// -1 for a null version.
int32_t FirmwareVersionToModelName(const char* version, std::string* displayName,
                                   std::string* shortName);

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMEDIAENUMS_H_
