#include "zqmf/zqExifLoader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zqmftest/JpegBytes.h"
#include "zqtest/TempDir.h"

namespace {

using namespace zqmftest;

const std::string kThumbnail = JpegImage("", 160, 90, std::string(3000, '\x12'));
const std::string kScreennail = JpegImage("", 640, 360, std::string(20000, '\x34'));

std::string Tiff(bool big, const std::string& software = "T11.01.02.00",
                 const std::string& description = "Lake") {
  TiffBuilder t(big);
  t.Ascii(kIfd0, 270, description);
  t.Ascii(kIfd0, 271, "Tavro");
  t.Ascii(kIfd0, 305, software);
  std::string maker;
  for (int i = 0; i < 80; ++i) maker.push_back(static_cast<char>(i * 3));
  t.Bytes(kIfdExif, 37500, kTiffUndefined, maker);
  t.Long(kIfdExif, 40962, {1920});
  t.Ascii(kIfdGps, 1, "N");
  t.Thumbnail(kThumbnail);
  return t.Build();
}

// A photo with XMP and a comment before the EXIF, so the loader must skip segments.
std::string Photo(bool big = false, const std::string& tiff = "") {
  const std::string xmp = JpegSegment(0xE1, "http://ns.adobe.com/xap/1.0/ x");
  const std::string primary = JpegImage(JpegSegment(0xFE, "comment"), 1920, 1080);
  return WithMpfScreennail(primary, xmp + ExifSegment(tiff.empty() ? Tiff(big) : tiff),
                           kScreennail);
}

// Feeds `bytes` in pieces of `piece` bytes until the loader is satisfied.
void Feed(ZqExifLoader* l, const std::string& bytes, size_t piece) {
  for (size_t at = 0; at < bytes.size(); at += piece) {
    const size_t n = std::min(piece, bytes.size() - at);
    if (!l->Write(reinterpret_cast<const uint8_t*>(bytes.data()) + at, n)) return;
  }
}

class CapturingSink final : public ZqByteSink {
 public:
  void Length(uint64_t n) override { lengths.push_back(n); }
  bool Write(const void* bytes, size_t n) override {
    if (failAfter >= 0 && static_cast<int64_t>(body.size() + n) > failAfter) return false;
    body.append(static_cast<const char*>(bytes), n);
    return true;
  }
  std::vector<uint64_t> lengths;
  std::string body;
  int64_t failAfter = -1;
};

std::string Thumbnail(ExifData* d) {
  return d != nullptr && d->data != nullptr ? std::string(reinterpret_cast<char*>(d->data), d->size)
                                            : "";
}

TEST(ZqExifLoader, DataModeGivesTheSameExifWhateverThePieceSize) {
  for (bool big : {false, true}) {
    const std::string photo = Photo(big);
    for (size_t piece : {size_t{1}, size_t{7}, size_t{4096}, ZqExifLoader::kPiece}) {
      ZqExifLoader l;
      Feed(&l, photo, piece);
      const size_t at = photo.find(std::string("Exif\0\0", 6));
      ASSERT_NE(at, std::string::npos);
      EXPECT_EQ(std::string(l.GetBuf().begin(), l.GetBuf().end()),
                photo.substr(at, 6 + Tiff(big).size()))
          << piece;
      ExifData* d = l.GetData();
      ASSERT_NE(d, nullptr);
      EXPECT_EQ(Thumbnail(d), kThumbnail) << big << " " << piece;
      exif_data_unref(d);
    }
  }
}

TEST(ZqExifLoader, NothingUsableGivesNoData) {
  const std::string cases[] = {"",
                               "not a jpeg",
                               std::string("\xFF\xD8", 2),
                               JpegImage("", 8, 8),
                               JpegImage(JpegSegment(0xE1, "http://ns.adobe.com/xap/1.0/"), 8, 8),
                               std::string("\xFF\xD8\xFF\xE1\x00\x01", 6)};
  for (const std::string& c : cases) {
    ZqExifLoader l;
    Feed(&l, c, 3);
    EXPECT_EQ(l.GetData(), nullptr);
    EXPECT_EQ(zq_exif_json(nullptr), "{\"exif\":{}}\n");
  }
  ZqExifLoader l;
  Feed(&l, Photo(), 100);
  EXPECT_FALSE(l.GetBuf().empty());
  l.Reset();
  EXPECT_TRUE(l.GetBuf().empty());
}

// Both kinds of screennail are streamed whole by the daemon's route (end-to-end tests).
TEST(ZqExifLoader, AReaderThatStopsTakingBytesFailsTheStream) {
  zqtest::TempDir dir;
  const std::string path = dir.path() + "/p.jpg";
  zqtest::WriteFile(path, Photo());
  ZqExifLoader l(ZqExifLoader::Mode::kScreennail);
  CapturingSink failing;
  failing.failAfter = 10000;
  EXPECT_EQ(zq_exif_stream_screennail(&l, path.c_str(), &failing), -2);
  EXPECT_EQ(failing.lengths, std::vector<uint64_t>{kScreennail.size()});
  EXPECT_LE(failing.body.size(), 10000u);
}

TEST(ZqExifLoader, ScreennailsThatCannotBeSentGiveLengthZero) {
  zqtest::TempDir dir;
  const std::string photo = Photo();
  const size_t mpf = photo.find("MPF");
  std::string outside = photo;
  outside[mpf + 4 + 8 + 2 + 36 + 4 + 16 + 8] = '\x7F';  // the second image's offset
  std::string shortIndex =
      JpegImage(ExifSegment(Tiff(false)) +
                    JpegSegment(0xE2, std::string("MPF\0MM\0*", 8) + std::string(60, '\0')),
                8, 8);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"no APP2", JpegImage(ExifSegment(Tiff(false)), 8, 8)},
      {"index points outside", outside},
      {"index shorter than 82 bytes", shortIndex},
      {"unfinished split", JpegImage(JpegSegment(0xE2, "\xFF\xD8 only"), 8, 8)},
      {"empty file", ""},
  };
  for (const auto& c : cases) {
    const std::string path = dir.path() + "/c.jpg";
    zqtest::WriteFile(path, c.bytes);
    ZqExifLoader l(ZqExifLoader::Mode::kScreennail);
    CapturingSink sink;
    EXPECT_EQ(zq_exif_stream_screennail(&l, path.c_str(), &sink), 0) << c.name;
    EXPECT_EQ(sink.lengths, std::vector<uint64_t>{0}) << c.name;
    EXPECT_EQ(sink.body, "") << c.name;
  }
  ZqExifLoader l(ZqExifLoader::Mode::kScreennail);
  CapturingSink sink;
  EXPECT_EQ(zq_exif_stream_screennail(&l, (dir.path() + "/none.jpg").c_str(), &sink), -1);
  EXPECT_TRUE(sink.lengths.empty());
  EXPECT_EQ(zq_exif_load_file(&l, (dir.path() + "/none.jpg").c_str()), -1);
}

TEST(ZqExifJson, TagsInOrderWithSpecialForms) {
  ZqExifLoader l;
  Feed(&l, Photo(false, Tiff(false, "T11.01\t.02\r\n.00", "C:\\DCIM \"quoted\" \x01")), 4096);
  ExifData* d = l.GetData();
  ASSERT_NE(d, nullptr);
  const std::string text = zq_exif_json(d);
  exif_data_unref(d);
  ASSERT_EQ(text.back(), '\n');
  const nlohmann::json doc = nlohmann::json::parse(text);  // always valid JSON
  const nlohmann::json& exif = doc.at("exif");
  EXPECT_EQ(exif.at("Software"), "T11.01.02.00");
  EXPECT_EQ(exif.at("ImageDescription"), "C:\\DCIM \"quoted\" \x01");
  EXPECT_EQ(exif.at("Make"), "Tavro");
  std::string hex;
  for (int i = 0; i < 64; ++i) {
    char b[3];
    snprintf(b, sizeof b, "%02x", (i * 3) & 0xFF);
    hex += b;
  }
  EXPECT_EQ(exif.at("MakerNote"), hex);
  EXPECT_EQ(exif.at("PixelXDimension"), "1920");
  EXPECT_EQ(exif.at("GPSLatitudeRef"), "N");
  // IFD0 first, then the EXIF directory, then GPS.
  EXPECT_LT(text.find("\"Make\""), text.find("\"MakerNote\""));
  EXPECT_LT(text.find("\"MakerNote\""), text.find("\"GPSLatitudeRef\""));
  EXPECT_EQ(text.find(",}"), std::string::npos);
}

}  // namespace
