// The camera's photos: walks the JPEG segments once and answers where each part lives.
//
// Segments read (each FF xx with a big-endian length that counts itself):
//   APP1  "http..."      XMP; "<GPano:ProjectionType>equirectangular</GPano:ProjectionType>"
//                        marks a spherical photo.
//   APP1  other          EXIF: 6-byte identifier, then a TIFF block ("II" or "MM", 42, the
//                        offset of IFD0). IFD0 gives width and height (256, 257), make (271),
//                        model (272), software, the firmware version (305), date (306),
//                        description (270) and the EXIF (34665) and GPS (34853) directories;
//                        the EXIF directory the time offset (36881), pixel width and height
//                        (40962, 40963) and the maker note (37500); the GPS directory the
//                        position. Only the first EXIF segment counts.
//   APP2                 the first one is where the screennail lives: either a multi-picture
//                        index whose second image is the screennail, or (older cameras) the
//                        screennail itself cut over consecutive APP2 segments.
//   APP6  "Tavro\0"      the camera's ZQMF block.
//   SOF0..SOF2           height and width when EXIF gave none.
//   SOS                  ends the walk; the entropy-coded data runs to the EOI marker.
//
// Maker note of the maker's cameras: byte 0 a version, byte 1 flags (bit 0: the photo carries
// a Spotmark tag), two reserved bytes, then from byte 4 the camera settings record: two
// big-endian 32-bit words (the photo setting and the photo sub-setting in force).
//
// Firmware versions read "XYs.mm....": a two-character family prefix ("T1" for the single-lens
// family, "S0" for the spherical family), the series digit s and the two-digit model mm.
// Series 3 of the single-lens family stores its screennail over APP2 segments; every other
// camera stores it as the second picture of a multi-picture index.
//
// No getter ever reads outside the file; damaged files give error numbers, never a crash.
#ifndef ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMEDIAFILEREADERJPEG_H_
#define ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMEDIAFILEREADERJPEG_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zqmf/ZQMediaFileReader.h"

class FileIO;

// Limits of the reader (bytes).
inline constexpr uint32_t kJpegMaxSegment = 65537;
inline constexpr uint32_t kJpegMaxSplitScreennail = 1048576;
inline constexpr uint32_t kJpegEoiSearchWindow = 65535;
// The time-zone offset before one is known (minutes).
inline constexpr int16_t kJpegTimeZoneUnknown = 32767;

// A position from the GPS directory, in signed degrees and metres.
struct ZQJpegGps {
  bool valid = false;
  double latitude = 0;
  double longitude = 0;
  double altitude = 0;
};

class ZQMediaFileReaderJPEG final : public ZQMediaFileReaderStill {
 public:
  ZQMediaFileReaderJPEG() = default;
  ~ZQMediaFileReaderJPEG() override;

  // 10 when already open, 8 when the file cannot be opened, else the result of Parse.
  int32_t Open(const char* path) override;
  int32_t GetDimensions(int32_t* width, int32_t* height) override;
  int32_t GetScreennailDimensions(int32_t* width, int32_t* height) override;
  const ZQScreennail* GetScreennailRef() override;
  int32_t GetScreennail(std::unique_ptr<ZQScreennail>* screennail) override;
  int32_t GetCameraLensProjection(int32_t* projection) override;
  int32_t GetCamera4CCLensProjection(std::string* code) override;
  bool isSpatialMediaERP() override { return spherical_; }

  // Walks `file` (the reader takes it) from offset 0. 0, or 7, 15, 16, 17, 18.
  int32_t Parse(std::unique_ptr<FileIO> file);
  // Releases the file; the parsed facts stay.
  void Close();
  // Frees the screennail, the ZQMF block, the maker note and the strings.
  void CleanupMemory();

  // Locates and loads the screennail: 12 not parsed, 7 no file or a read error, 19 none, 13
  // no firmware series.
  int32_t FindScreennail();
  // Reads the screennail's own frame header: 7 when it is malformed.
  int32_t ParseScreennail();

  // The camera ZQMF block as found (null and 0 when none; the reader keeps it). 3 for null
  // outputs, 12 before parsing.
  int32_t GetCameraZQMF(const uint8_t** data, uint32_t* size);
  // Extracts media type, lens projection, Spotmark flag and time zone from the block, once.
  int32_t ParseZQMFData();
  int32_t GetPhotoMediaType();
  // Minutes east of UTC, kJpegTimeZoneUnknown when not known.
  int16_t GetTimeZoneOffset();
  // "+01:00" from the ZQMF block when it has one, else the EXIF text ("" when neither).
  std::string GetTimeZoneOffsetStr();
  int32_t readSpotmarkTag(bool* flag);
  // The first two words of the camera settings record, or 0 and 0. 3 for null outputs.
  int32_t GetTavroCameraSettings(uint32_t* a, uint32_t* b);
  // Splits the firmware version into family type, series and model. 13 when it cannot.
  int32_t FirmwareVersionToSeriesProductModel();
  // The device type of the series and model (0 when the table has none).
  int32_t SeriesProductModelToDeviceType();
  // The model's display and short names for the firmware version (both empty when unknown).
  int32_t FirmwareVersionToModelName(std::string* displayName, std::string* shortName);
  // Reads up to `size` bytes of the entropy-coded data from its start: 2 before parsing or
  // without data, 7 on a short read.
  int32_t readCompressedBytes(uint8_t* out, uint32_t size, uint32_t* read);

  // Parsed EXIF facts ("" when absent).
  const std::string& make() const { return make_; }
  const std::string& model() const { return model_; }
  const std::string& firmwareVersion() const { return software_; }
  const std::string& dateTime() const { return dateTime_; }
  const std::string& imageDescription() const { return description_; }
  const std::string& timeOffset() const { return timeOffset_; }
  const std::vector<uint8_t>& makerNote() const { return makerNote_; }
  const ZQJpegGps& gps() const { return gps_; }
  bool isMakerCamera() const { return makerCamera_; }
  int32_t seriesType() const { return seriesType_; }
  int32_t seriesNumber() const { return seriesNumber_; }
  int32_t modelNumber() const { return modelNumber_; }
  int32_t deviceType() const { return deviceType_; }
  int64_t firstApp2Offset() const { return firstApp2_; }
  int64_t compressedDataOffset() const { return dataStart_; }
  int64_t compressedDataSize() const { return dataSize_; }

 private:
  int32_t Read(int64_t offset, void* out, uint64_t length);
  int32_t ParseExif(const uint8_t* tiff, size_t size);
  int32_t FindEoi();
  int32_t FindSplitScreennail();
  int32_t FindMpfScreennail();

  bool opened_ = false;
  bool parsed_ = false;
  bool screennailFound_ = false;
  bool screennailParsed_ = false;
  bool zqmfParsed_ = false;
  bool exifSeen_ = false;
  std::unique_ptr<FileIO> file_;
  int64_t fileSize_ = 0;

  int32_t width_ = -1;
  int32_t height_ = -1;
  std::unique_ptr<ZQScreennail> screennail_;
  int32_t screennailWidth_ = -1;
  int32_t screennailHeight_ = -1;
  int64_t firstApp2_ = -1;
  int64_t dataStart_ = -1;
  int64_t dataSize_ = 0;

  std::string make_, model_, software_, dateTime_, description_, timeOffset_;
  std::vector<uint8_t> makerNote_;
  ZQJpegGps gps_;
  int32_t seriesType_ = 0;
  int32_t seriesNumber_ = -1;
  int32_t modelNumber_ = -1;
  int32_t deviceType_ = 0;
  bool makerCamera_ = false;

  std::vector<uint8_t> zqmf_;
  int32_t mediaType_ = 0;
  int32_t lensProjection_ = -1;
  std::string lens4CC_;
  bool spotmark_ = false;
  bool spotmarkFromZqmf_ = false;
  int16_t timeZone_ = kJpegTimeZoneUnknown;
  std::string timeZoneText_;
  bool timeZoneResolved_ = false;
  bool spherical_ = false;
};

#endif  // ZQ_LIBZQMF_INCLUDE_ZQMF_ZQMEDIAFILEREADERJPEG_H_
