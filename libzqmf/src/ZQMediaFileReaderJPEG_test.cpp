#include "zqmf/ZQMediaFileReaderJPEG.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zqfileio/MemoryFileIO.h"
#include "zqmf/ZQCameraModels.h"
#include "zqmf/zqmfWriter.h"
#include "zqmftest/JpegBytes.h"
#include "zqtest/TempDir.h"

namespace {

using namespace zqmftest;

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// A camera block with the facts the extractors read.
std::string CameraBlock(const char* lens, int16_t zone, uint8_t spotmark) {
  ZQMFWriter w;
  w.BeginNest("DEVC");
  w.BeginNest("STRM");
  w.AddValue("MTYP", uint8_t{13});
  w.Add("PRJT", 'F', 4, 1, lens);
  w.AddValue("TZON", zone);
  w.AddValue("SFLG", spotmark);
  w.EndNest();
  w.EndNest();
  std::vector<uint8_t> out;
  EXPECT_EQ(w.Finish(&out), ZQMF_OK);
  return Bytes(out);
}

std::string App6(const std::string& block, const char* id = "Tavro") {
  return JpegSegment(0xE6, std::string(id) + std::string(1, '\0') + block);
}

struct PhotoSpec {
  bool big = false;
  std::string firmware = "T11.01.02.00";
  std::string make = "Tavro";
  std::string offset = "+01:00";
  std::string maker = std::string("\x01\x01\x00\x00\x00\x00\x00\x11\x00\x00\x00\x02", 12);
  bool exifSize = true;
};

std::string Tiff(const PhotoSpec& s) {
  TiffBuilder t(s.big);
  t.Ascii(kIfd0, 270, "desc");
  t.Ascii(kIfd0, 271, s.make);
  t.Ascii(kIfd0, 272, "TAVRO T11");
  t.Ascii(kIfd0, 305, s.firmware);
  t.Ascii(kIfd0, 306, "2026:04:30 10:00:00");
  if (!s.offset.empty()) t.Ascii(kIfdExif, 36881, s.offset);
  if (!s.maker.empty()) t.Bytes(kIfdExif, 37500, kTiffUndefined, s.maker);
  if (s.exifSize) {
    t.Long(kIfdExif, 40962, {4000});
    t.Short(kIfdExif, 40963, {3000});
  }
  t.Ascii(kIfdGps, 1, "S");
  t.Rational(kIfdGps, 2, {{46, 1}, {30, 1}, {0, 1}});
  t.Ascii(kIfdGps, 3, "W");
  t.Rational(kIfdGps, 4, {{6, 1}, {15, 1}, {36, 10}});
  t.Bytes(kIfdGps, 5, kTiffByte, std::string(1, '\1'));
  t.Rational(kIfdGps, 6, {{10, 1}});
  return t.Build();
}

const std::string kScreennail = JpegImage("", 640, 360, std::string(5000, '\x33'));

// A photo as a newer camera stores it: EXIF, camera block, screennail after the picture.
std::string NewerPhoto(const PhotoSpec& s = {}) {
  const std::string primary = JpegImage(App6(CameraBlock("EAC0", 330, 1)), 1920, 1080);
  return WithMpfScreennail(primary, ExifSegment(Tiff(s)), kScreennail);
}

class Reader {
 public:
  explicit Reader(std::string bytes) : bytes_(std::move(bytes)) {
    result_ = r_.Parse(std::make_unique<MemoryFileIO>(bytes_.data(), bytes_.size()));
  }
  int32_t result() const { return result_; }
  ZQMediaFileReaderJPEG& operator*() { return r_; }
  ZQMediaFileReaderJPEG* operator->() { return &r_; }

 private:
  std::string bytes_;
  ZQMediaFileReaderJPEG r_;
  int32_t result_;
};

TEST(ZqJpegReader, ReadsExifOfBothByteOrders) {
  for (bool big : {false, true}) {
    PhotoSpec s;
    s.big = big;
    Reader r(NewerPhoto(s));
    ASSERT_EQ(r.result(), 0) << big;
    int32_t w = 0, h = 0;
    ASSERT_EQ(r->GetDimensions(&w, &h), 0);
    EXPECT_EQ(w, 4000);  // the EXIF pixel size wins over the frame header
    EXPECT_EQ(h, 3000);
    EXPECT_EQ(r->make(), "Tavro");
    EXPECT_EQ(r->model(), "TAVRO T11");
    EXPECT_EQ(r->firmwareVersion(), "T11.01.02.00");
    EXPECT_EQ(r->dateTime(), "2026:04:30 10:00:00");
    EXPECT_EQ(r->imageDescription(), "desc");
    EXPECT_EQ(r->timeOffset(), "+01:00");
    EXPECT_EQ(r->makerNote().size(), 12u);
    EXPECT_TRUE(r->isMakerCamera());
    ASSERT_TRUE(r->gps().valid);
    EXPECT_DOUBLE_EQ(r->gps().latitude, -46.5);
    EXPECT_NEAR(r->gps().longitude, -(6 + 15.0 / 60 + 3.6 / 3600), 1e-9);
    EXPECT_DOUBLE_EQ(r->gps().altitude, -10);
    EXPECT_EQ(r->seriesType(), 1);
    EXPECT_EQ(r->seriesNumber(), 1);
    EXPECT_EQ(r->modelNumber(), 1);
    EXPECT_EQ(r->deviceType(), 3);
  }
}

TEST(ZqJpegReader, FrameHeaderGivesSizeWithoutExif) {
  PhotoSpec s;
  s.exifSize = false;
  Reader r(NewerPhoto(s));
  ASSERT_EQ(r.result(), 0);
  int32_t w = 0, h = 0;
  ASSERT_EQ(r->GetDimensions(&w, &h), 0);
  EXPECT_EQ(w, 1920);
  EXPECT_EQ(h, 1080);
}

TEST(ZqJpegReader, StructuralErrors) {
  const std::string good = NewerPhoto();
  std::string exifOrder = Tiff({});
  exifOrder[0] = exifOrder[1] = 'X';
  std::string magic = Tiff({});
  magic[2] = 43;
  const std::string noSos = std::string("\xFF\xD8", 2) + JpegFrameHeader(8, 8);
  std::string badMarker = good;
  badMarker[2] = 0x12;
  std::string truncated = good.substr(0, 40);
  const struct {
    const char* name;
    std::string bytes;
    int32_t result;
  } cases[] = {
      {"starts with APP1", good.substr(2), ZQMediaError::JPEG_SOI_NotFirstMarker},
      {"empty", "", ZQMediaError::fileIO},
      {"byte order XX", JpegImage(ExifSegment(exifOrder), 8, 8),
       ZQMediaError::JPEG_MissingExifEndianType},
      {"magic 43", JpegImage(ExifSegment(magic), 8, 8), ZQMediaError::JPEG_MissingTIFFMagic},
      {"short exif", JpegImage(JpegSegment(0xE1, "Exif"), 8, 8),
       ZQMediaError::JPEG_MissingExifEndianType},
      {"no start of scan", noSos, ZQMediaError::fileIO},
      {"invalid marker", badMarker, ZQMediaError::fileIO},
      {"segment past the end", truncated, ZQMediaError::fileIO},
  };
  for (const auto& c : cases) {
    Reader r(c.bytes);
    EXPECT_EQ(r.result(), c.result) << c.name;
    int32_t w, h;
    EXPECT_EQ(r->GetDimensions(&w, &h), ZQMediaError::invalidObject) << c.name;
    bool flag;
    EXPECT_EQ(r->readSpotmarkTag(&flag), ZQMediaError::fileNotParsed) << c.name;
    std::unique_ptr<ZQScreennail> s;
    EXPECT_EQ(r->GetScreennail(&s), ZQMediaError::fileNotParsed) << c.name;
  }
}

TEST(ZqJpegReader, HostileDirectoriesAreBounded) {
  // Directory offsets that loop back, point past the block, or counts that claim far more
  // entries than the block holds.
  TiffBuilder t(false);
  t.Ascii(kIfd0, 271, "Tavro");
  t.Ascii(kIfdExif, 36881, "+02:00");
  std::string tiff = t.Build();
  const std::vector<std::pair<const char*, std::function<void(std::string*)>>> damage = {
      {"exif pointer to IFD0", [](std::string* b) { (*b)[8 + 2 + 12 + 8] = 8; }},
      {"exif pointer outside", [](std::string* b) { (*b)[8 + 2 + 12 + 8 + 3] = 0x7F; }},
      {"huge count", [](std::string* b) { (*b)[8] = (*b)[9] = '\xFF'; }},
      {"IFD0 outside", [](std::string* b) { (*b)[7] = 0x70; }},
      {"value outside", [](std::string* b) { (*b)[8 + 2 + 4] = '\xFF'; }},
  };
  for (const auto& [name, edit] : damage) {
    std::string bytes = tiff;
    edit(&bytes);
    Reader r(JpegImage(ExifSegment(bytes), 8, 8));
    EXPECT_EQ(r.result(), 0) << name;  // damage inside EXIF loses facts, not the photo
  }
  Reader intact(JpegImage(ExifSegment(tiff), 8, 8));
  EXPECT_EQ(intact->make(), "Tavro");
  EXPECT_EQ(intact->timeOffset(), "+02:00");
}

TEST(ZqJpegReader, EndOfImageFoundBeforeTrailingBytes) {
  const std::string scan(100, '\x44');
  const std::string photo = JpegImage("", 8, 8, scan);
  Reader plain(photo);
  ASSERT_EQ(plain.result(), 0);
  EXPECT_EQ(plain->compressedDataSize(), 100);
  // Trailing bytes longer than one search window, so the marker lies in an earlier window.
  Reader trailing(photo + std::string(70000, '\x01'));
  ASSERT_EQ(trailing.result(), 0);
  EXPECT_EQ(trailing->compressedDataSize(), 100);
  std::string noEoi = photo;
  noEoi[noEoi.size() - 1] = 0x00;
  Reader missing(noEoi);
  EXPECT_EQ(missing.result(), ZQMediaError::JPEG_No_EOI_Found);

  uint8_t out[200];
  uint32_t n = 0;
  ASSERT_EQ(trailing->readCompressedBytes(out, sizeof out, &n), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), n), scan);
  ASSERT_EQ(trailing->readCompressedBytes(out, 10, &n), 0);
  EXPECT_EQ(n, 10u);
}

TEST(ZqJpegReader, CameraBlockAndItsFacts) {
  Reader r(NewerPhoto());
  ASSERT_EQ(r.result(), 0);
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(r->GetCameraZQMF(&data, &size), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), size), CameraBlock("EAC0", 330, 1));
  EXPECT_EQ(r->GetCameraZQMF(nullptr, &size), ZQMediaError::invalidArg);
  EXPECT_EQ(r->GetPhotoMediaType(), 1);  // raw 13, a single photo
  int32_t projection = 0;
  ASSERT_EQ(r->GetCameraLensProjection(&projection), 0);
  EXPECT_EQ(projection, 3);
  std::string code;
  ASSERT_EQ(r->GetCamera4CCLensProjection(&code), 0);
  EXPECT_EQ(code, "EAC0");
  EXPECT_EQ(r->GetTimeZoneOffset(), 330);  // the block wins over the EXIF "+01:00"
  EXPECT_EQ(r->GetTimeZoneOffsetStr(), "+05:30");
  bool flag = false;
  ASSERT_EQ(r->readSpotmarkTag(&flag), 0);
  EXPECT_TRUE(flag);
  uint32_t a = 0, b = 0;
  ASSERT_EQ(r->GetTavroCameraSettings(&a, &b), 0);
  EXPECT_EQ(a, 0x11u);
  EXPECT_EQ(b, 2u);
}

TEST(ZqJpegReader, WithoutCameraBlockTheMakerDefaultsApply) {
  PhotoSpec s;
  const std::string tiff = Tiff(s);
  for (const char* id : {"Tavrx", "Tav"}) {
    Reader r(JpegImage(ExifSegment(tiff) + App6("abcdefgh", id), 8, 8));
    ASSERT_EQ(r.result(), 0);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(1);
    uint32_t size = 9;
    ASSERT_EQ(r->GetCameraZQMF(&data, &size), 0);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
    int32_t projection = -1;
    r->GetCameraLensProjection(&projection);
    EXPECT_EQ(projection, 1);
    std::string code;
    r->GetCamera4CCLensProjection(&code);
    EXPECT_EQ(code, "ZQLS");
    bool flag = false;
    r->readSpotmarkTag(&flag);
    EXPECT_TRUE(flag);  // the maker note's flags byte
    EXPECT_EQ(r->GetTimeZoneOffset(), 60);
    EXPECT_EQ(r->GetTimeZoneOffsetStr(), "+01:00");
  }
  s.make = "Other";
  Reader other(JpegImage(ExifSegment(Tiff(s)), 8, 8));
  std::string code;
  other->GetCamera4CCLensProjection(&code);
  EXPECT_EQ(code, "UNKN");
  bool flag = true;
  other->readSpotmarkTag(&flag);
  EXPECT_FALSE(flag);
  uint32_t a = 9, b = 9;
  other->GetTavroCameraSettings(&a, &b);
  EXPECT_EQ(a + b, 0u);
}

TEST(ZqJpegReader, TimeOffsetTexts) {
  const struct {
    const char* text;
    int16_t minutes;
  } cases[] = {
      {"+05:30", 330},
      {"+14:00", 840},
      {"-12:00", -720},
      {"+15:00", kJpegTimeZoneUnknown},
      {"-12:30", kJpegTimeZoneUnknown},
      {"05:30", kJpegTimeZoneUnknown},
      {"+5:30", kJpegTimeZoneUnknown},
      {"", kJpegTimeZoneUnknown},
  };
  for (const auto& c : cases) {
    PhotoSpec s;
    s.offset = c.text;
    Reader r(JpegImage(ExifSegment(Tiff(s)), 8, 8));
    ASSERT_EQ(r.result(), 0);
    EXPECT_EQ(r->GetTimeZoneOffset(), c.minutes) << c.text;
  }
}

TEST(ZqJpegReader, ScreennailOfNewerCameras) {
  Reader r(NewerPhoto());
  ASSERT_EQ(r.result(), 0);
  std::unique_ptr<ZQScreennail> s;
  ASSERT_EQ(r->GetScreennail(&s), 0);
  EXPECT_EQ(Bytes(s->bytes), kScreennail);
  r->DestroyScreennail(&s);
  EXPECT_EQ(s, nullptr);
  int32_t w = 0, h = 0;
  ASSERT_EQ(r->GetScreennailDimensions(&w, &h), 0);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 360);
  ASSERT_NE(r->GetScreennailRef(), nullptr);
  EXPECT_EQ(Bytes(r->GetScreennailRef()->bytes), kScreennail);
}

TEST(ZqJpegReader, ScreennailOfOlderCamerasAcrossSegments) {
  PhotoSpec s;
  s.firmware = "T13.02.01.00";
  const std::string big = JpegImage("", 320, 240, std::string(150000, '\x21'));
  const std::string segments =
      ExifSegment(Tiff(s)) + JpegSegment(0xE2, "ICC_PROFILE") + SplitScreennail(big, 60000);
  Reader r(JpegImage(segments, 1920, 1080));
  ASSERT_EQ(r.result(), 0);
  EXPECT_EQ(r->deviceType(), 6);
  std::unique_ptr<ZQScreennail> got;
  ASSERT_EQ(r->GetScreennail(&got), 0);
  EXPECT_EQ(Bytes(got->bytes), big);
  int32_t w = 0, h = 0;
  ASSERT_EQ(r->GetScreennailDimensions(&w, &h), 0);
  EXPECT_EQ(w, 320);

  // Larger than 1 MiB: refused.
  const std::string huge = JpegImage("", 8, 8, std::string(kJpegMaxSplitScreennail, '\x21'));
  Reader tooBig(JpegImage(ExifSegment(Tiff(s)) + SplitScreennail(huge), 8, 8));
  ASSERT_EQ(tooBig.result(), 0);
  EXPECT_EQ(tooBig->GetScreennail(&got), ZQMediaError::JPEG_No_ScreenNail);
  // A screennail that never ends before the scan.
  Reader unfinished(JpegImage(ExifSegment(Tiff(s)) + JpegSegment(0xE2, "\xFF\xD8 cut"), 8, 8));
  EXPECT_EQ(unfinished->GetScreennail(&got), ZQMediaError::JPEG_No_ScreenNail);
}

TEST(ZqJpegReader, MissingOrDamagedScreennails) {
  std::unique_ptr<ZQScreennail> got;
  Reader none(JpegImage(ExifSegment(Tiff({})), 8, 8));
  EXPECT_EQ(none->GetScreennail(&got), ZQMediaError::JPEG_No_ScreenNail);
  int32_t w, h;
  EXPECT_EQ(none->GetScreennailDimensions(&w, &h), ZQMediaError::JPEG_No_ScreenNail);
  EXPECT_EQ(none->GetScreennailRef(), nullptr);

  PhotoSpec unknown;
  unknown.firmware = "X";
  Reader noSeries(WithMpfScreennail(JpegImage("", 8, 8), ExifSegment(Tiff(unknown)), kScreennail));
  EXPECT_EQ(noSeries->FindScreennail(), ZQMediaError::firmwareVersionNotFound);

  // The index points past the end of the file, or at bytes that are not a JPEG.
  const std::string photo = NewerPhoto();
  const size_t entry = photo.find("MPF") + 4 + 8 + 2 + 36 + 4 + 16;
  std::string past = photo;
  past[entry + 4] = '\x7F';
  Reader r1(past);
  EXPECT_EQ(r1->GetScreennail(&got), ZQMediaError::JPEG_No_ScreenNail);
  std::string wrongStart = photo;
  wrongStart[wrongStart.size() - kScreennail.size()] = 0;
  Reader r2(wrongStart);
  EXPECT_EQ(r2->GetScreennail(&got), ZQMediaError::JPEG_No_ScreenNail);
  // An index too short to hold two images.
  Reader r3(JpegImage(ExifSegment(Tiff({})) + JpegSegment(0xE2, std::string("MPF\0MM", 6)), 8, 8));
  EXPECT_EQ(r3->GetScreennail(&got), ZQMediaError::JPEG_No_ScreenNail);
}

TEST(ZqJpegReader, SphericalFlagFromXmp) {
  const std::string xmp =
      "http://ns.adobe.com/xap/1.0/" + std::string(1, '\0') +
      "<x:xmpmeta><GPano:ProjectionType>equirectangular</GPano:ProjectionType></x:xmpmeta>";
  Reader sphere(JpegImage(JpegSegment(0xE1, xmp) + ExifSegment(Tiff({})), 8, 8));
  ASSERT_EQ(sphere.result(), 0);
  EXPECT_TRUE(sphere->isSpatialMediaERP());
  EXPECT_EQ(sphere->make(), "Tavro");  // the XMP is not taken for EXIF
  Reader flat(NewerPhoto());
  EXPECT_FALSE(flat->isSpatialMediaERP());
}

TEST(ZqJpegReader, OpenFromFiles) {
  zqtest::TempDir dir;
  const std::string path = dir.path() + "/p.jpg";
  zqtest::WriteFile(path, NewerPhoto());
  ZQMediaFileReaderJPEG r;
  ASSERT_EQ(r.Open(path.c_str()), 0);
  EXPECT_EQ(r.Open(path.c_str()), ZQMediaError::immutable);
  std::unique_ptr<ZQScreennail> s;
  ASSERT_EQ(r.GetScreennail(&s), 0);
  EXPECT_EQ(Bytes(s->bytes), kScreennail);
  r.Close();
  int32_t w = 0, h = 0;
  EXPECT_EQ(r.GetDimensions(&w, &h), 0);  // facts outlive the file

  ZQMediaFileReaderJPEG missing;
  EXPECT_EQ(missing.Open((dir.path() + "/none.jpg").c_str()), ZQMediaError::fileOpenFailed);
  zqtest::WriteFile(dir.path() + "/empty.jpg", "");
  ZQMediaFileReaderJPEG empty;
  EXPECT_EQ(empty.Open((dir.path() + "/empty.jpg").c_str()), ZQMediaError::fileIO);
}

TEST(ZqJpegReader, ErrorTexts) {
  EXPECT_STREQ(mediaErrorToStr(0), "okay");
  EXPECT_STREQ(mediaErrorToStr(19), "JPEG_No_ScreenNail");
  EXPECT_STREQ(mediaErrorToStr(26), "ZQR_NotValidRawPhoto");
  EXPECT_STREQ(mediaErrorToStr(27), "Unknown Error");
  EXPECT_STREQ(mediaErrorToStr(-1), "Unknown Error");
}

TEST(ZqCameraModels, FirmwareVersionsToSeriesAndDeviceTypes) {
  const struct {
    const char* version;
    int32_t type, series, model, device;
    bool split;
  } cases[] = {
      {"T11.01.02.00", 1, 1, 1, 3, false},  {"T12.02.00.00", 1, 2, 2, 4, false},
      {"T13.01.00.00", 1, 3, 1, 5, true},   {"T13.02.00.00", 1, 3, 2, 6, true},
      {"T13.03.00.00", 1, 3, 3, 7, true},   {"T13.10.00.00", 1, 3, 10, 8, true},
      {"T13.11.00.00", 1, 3, 11, 9, true},  {"T13.20.00.00", 1, 3, 20, 10, true},
      {"T13.21.00.00", 1, 3, 21, 13, true}, {"T13.05.00.00", 1, 3, 5, 0, true},
      {"T14.01.00.00", 1, 4, 1, 6, false},  {"T14.02.00.00", 1, 4, 2, 12, false},
      {"T14.03.00.00", 1, 4, 3, 0, false},  {"S01.01.00.00", 2, 1, 1, 14, false},
      {"S02.01.00.00", 2, 2, 1, 0, false},  {"T10.01.00.00", 1, 0, 1, 0, false},
      {"X11.01", 0, -1, -1, 0, false},      {"T1x.01", 0, -1, -1, 0, false},
      {"T11.0", 0, -1, -1, 0, false},
  };
  for (const auto& c : cases) {
    const ZQFirmwareSeries s = zq_firmware_series(c.version);
    EXPECT_EQ(s.type, c.type) << c.version;
    EXPECT_EQ(s.series, c.series) << c.version;
    EXPECT_EQ(s.model, c.model) << c.version;
    EXPECT_EQ(zq_device_type(s.type, s.series, s.model), c.device) << c.version;
    EXPECT_EQ(zq_uses_split_screennail(c.version, s.series), c.split) << c.version;
  }
  EXPECT_EQ(zq_firmware_series(nullptr).type, 0);
}

TEST(ZqCameraModels, EveryRowIsReachableFromItsOwnPrefix) {
  uint32_t n = 0;
  const ZQCameraModel* rows = zq_camera_models(&n);
  ASSERT_GT(n, 0u);
  for (uint32_t i = 0; i < n; ++i) {
    const std::string version = std::string(rows[i].firmware) + ".00.00";
    EXPECT_EQ(zq_camera_model_for_firmware(version.c_str()), &rows[i]) << version;
    EXPECT_NE(zq_firmware_series(version.c_str()).type, 0) << version;
    if (rows[i].modelNumber != 0) {
      EXPECT_EQ(zq_camera_model_for_number(rows[i].modelNumber), &rows[i]);
    }
  }
  EXPECT_EQ(zq_camera_model_for_number(0), nullptr);
  EXPECT_EQ(zq_camera_model_for_firmware(nullptr), nullptr);
}

}  // namespace
