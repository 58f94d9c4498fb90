#include "zqmf/zqmfContainers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zqmftest/KlvBytes.h"
#include "zqtest/TempDir.h"

namespace {

using zqmftest::Be16;
using zqmftest::Be32;

std::string Segment(uint8_t marker, const std::string& payload) {
  return std::string{'\xFF', static_cast<char>(marker)} +
         Be16(static_cast<uint16_t>(payload.size() + 2)) + payload;
}

std::string CameraSegment(const std::string& block) {
  return Segment(0xE6, std::string("Tavro", 6) + block);
}

const std::string kSoi("\xFF\xD8", 2);
const std::string kJfif = Segment(0xE0, std::string("JFIF\0\x01\x02\0\0\x01\0\x01\0\0", 14));
const std::string kImage = Segment(0xDB, std::string(65, '\x10')) +
                           Segment(0xC0, std::string("\x08\x00\x10\x00\x10\x01\x01\x11\x00", 9)) +
                           Segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)) +
                           std::string("\x12\x34\xFF\x00\x56", 5) + std::string("\xFF\xD9", 2);
const std::string kBlock("DEVC\0\x01\0\x04\x01\x02\x03\x04", 12);

std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

ZQMF_ERROR Find(const std::string& jpeg, std::string* block) {
  size_t offset = 0, length = 0;
  const ZQMF_ERROR r = zqmf_jpeg_find_block(reinterpret_cast<const uint8_t*>(jpeg.data()),
                                            jpeg.size(), &offset, &length);
  if (r == ZQMF_OK) *block = jpeg.substr(offset, length);
  return r;
}

TEST(ZqmfContainers, FindsTheCameraBlockOfAJpeg) {
  const std::string block = kBlock;
  std::string found;
  ASSERT_EQ(Find(kSoi + kJfif + CameraSegment(block) + kImage, &found), ZQMF_OK);
  EXPECT_EQ(found, block);
  // Fill bytes before a marker are allowed.
  ASSERT_EQ(Find(kSoi + "\xFF" + kJfif + CameraSegment(block) + kImage, &found), ZQMF_OK);
  EXPECT_EQ(found, block);

  const struct {
    const char* name;
    std::string jpeg;
    ZQMF_ERROR result;
  } kCases[] = {
      {"no block", kSoi + kJfif + kImage, ZQMF_ERROR_FIND},
      {"other identifier", kSoi + Segment(0xE6, std::string("Other", 6) + block) + kImage,
       ZQMF_ERROR_FIND},
      {"identifier only", kSoi + Segment(0xE6, std::string("Tavro", 6)) + kImage, ZQMF_ERROR_FIND},
      {"after the scan", kSoi + kImage.substr(0, kImage.size() - 2) + CameraSegment(block),
       ZQMF_ERROR_FIND},
      {"not a jpeg", "\x89PNG\r\n\x1a\n", ZQMF_ERROR_BAD_STRUCTURE},
      {"too short", "\xFF", ZQMF_ERROR_BAD_STRUCTURE},
      {"garbage between segments", kSoi + kJfif + "x" + CameraSegment(block),
       ZQMF_ERROR_BAD_STRUCTURE},
      {"length past the end", kSoi + CameraSegment(block).substr(0, 12), ZQMF_ERROR_BAD_STRUCTURE},
      {"length under two", kSoi + std::string("\xFF\xE6\x00\x01", 4) + kImage,
       ZQMF_ERROR_BAD_STRUCTURE},
  };
  for (const auto& c : kCases) EXPECT_EQ(Find(c.jpeg, &found), c.result) << c.name;
}

TEST(ZqmfContainers, InsertsAndReplacesTheBlock) {
  const std::string plain = kSoi + kJfif + kImage;
  std::vector<uint8_t> out;
  const std::string block = kBlock;
  ASSERT_EQ(
      zqmf_jpeg_insert_block(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(),
                             reinterpret_cast<const uint8_t*>(block.data()), block.size(), &out),
      ZQMF_OK);
  const std::string with(out.begin(), out.end());
  EXPECT_EQ(with, kSoi + kJfif + CameraSegment(block) + kImage);

  const std::string other("DEVC\0\x01\0\0", 8);
  const std::vector<uint8_t> once = out;
  ASSERT_EQ(zqmf_jpeg_insert_block(once.data(), once.size(),
                                   reinterpret_cast<const uint8_t*>(other.data()), 8, &out),
            ZQMF_OK);
  std::string found;
  ASSERT_EQ(Find(std::string(out.begin(), out.end()), &found), ZQMF_OK);
  EXPECT_EQ(found, std::string(other.data(), 8));
  EXPECT_EQ(out.size(), plain.size() + 10 + 8);  // one camera segment only

  std::vector<uint8_t> huge(kZqmfJpegBlockMax + 1);
  EXPECT_EQ(zqmf_jpeg_insert_block(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(),
                                   huge.data(), huge.size(), &out),
            ZQMF_ERROR_MEMORY);
  huge.pop_back();
  ASSERT_EQ(zqmf_jpeg_insert_block(reinterpret_cast<const uint8_t*>(plain.data()), plain.size(),
                                   huge.data(), huge.size(), &out),
            ZQMF_OK);
  ASSERT_EQ(Find(std::string(out.begin(), out.end()), &found), ZQMF_OK);
  EXPECT_EQ(found.size(), kZqmfJpegBlockMax);
}

TEST(ZqmfContainers, ReadsTheJpegBlockFromAFile) {
  zqtest::TempDir dir;
  const std::string block = kBlock;
  zqtest::WriteFile(dir.path() + "/a.jpg", kSoi + kJfif + CameraSegment(block) + kImage);
  zqtest::WriteFile(dir.path() + "/b.jpg", kSoi + kJfif + kImage);
  std::vector<uint8_t> got;
  ASSERT_EQ(zqmf_jpeg_read_block((dir.path() + "/a.jpg").c_str(), &got), ZQMF_OK);
  EXPECT_EQ(got, Bytes(block));
  EXPECT_EQ(zqmf_jpeg_read_block((dir.path() + "/b.jpg").c_str(), &got), ZQMF_ERROR_FIND);
  EXPECT_EQ(zqmf_jpeg_read_block((dir.path() + "/none.jpg").c_str(), &got), ZQMF_ERROR_MEMORY);
  EXPECT_EQ(zqmf_jpeg_read_block(dir.path().c_str(), &got), ZQMF_ERROR_MEMORY);
}

std::string Box(const char* type, const std::string& payload) {
  return Be32(static_cast<uint32_t>(payload.size() + 8)) + std::string(type, 4) + payload;
}

// The top-level boxes of a file as "type:size", checking that they tile it exactly.
std::vector<std::string> TopLevel(const std::string& file) {
  std::vector<std::string> boxes;
  size_t at = 0;
  while (at + 8 <= file.size()) {
    const uint32_t size =
        (static_cast<uint8_t>(file[at]) << 24) | (static_cast<uint8_t>(file[at + 1]) << 16) |
        (static_cast<uint8_t>(file[at + 2]) << 8) | static_cast<uint8_t>(file[at + 3]);
    boxes.push_back(file.substr(at + 4, 4) + ":" + std::to_string(size));
    if (size < 8) break;
    at += size;
  }
  EXPECT_EQ(at, file.size());
  return boxes;
}

class Mp4UserData : public ::testing::Test {
 protected:
  std::string Write(const std::string& bytes) {
    const std::string path = dir_.path() + "/clip.mp4";
    zqtest::WriteFile(path, bytes);
    return path;
  }
  ZQMF_ERROR Add(const std::string& path, const std::string& block) {
    return zqmf_mp4_add_udta_block(path.c_str(), reinterpret_cast<const uint8_t*>(block.data()),
                                   block.size());
  }
  ZQMF_ERROR Read(const std::string& path, std::string* block) {
    std::vector<uint8_t> b;
    const ZQMF_ERROR r = zqmf_mp4_read_udta_block(path.c_str(), &b);
    block->assign(b.begin(), b.end());
    return r;
  }

  const std::string ftyp_ = Box("ftyp", std::string("isom\0\0\x02\0isom", 12));
  const std::string mvhd_ = Box("mvhd", std::string(100, '\0'));
  const std::string mdat_ = Box("mdat", std::string(1000, '\x5A'));
  const std::string block_ = kBlock;
  zqtest::TempDir dir_;
};

TEST_F(Mp4UserData, GrowsTheUserDataIntoTheFreeSpaceAfterTheMovie) {
  const std::string moov = Box("moov", mvhd_ + Box("udta", Box("meta", std::string(20, '\1'))));
  const std::string path = Write(ftyp_ + moov + Box("free", std::string(92, '\0')) + mdat_);
  ASSERT_EQ(Add(path, block_), ZQMF_OK);
  const std::string after = zqtest::ReadFile(path);
  EXPECT_EQ(TopLevel(after),
            (std::vector<std::string>{"ftyp:" + std::to_string(ftyp_.size()),
                                      "moov:" + std::to_string(moov.size() + 20), "free:80",
                                      "mdat:" + std::to_string(mdat_.size())}));
  EXPECT_EQ(after.size(), ftyp_.size() + moov.size() + 100 + mdat_.size());  // nothing moved
  EXPECT_EQ(after.substr(after.size() - mdat_.size()), mdat_);
  std::string block;
  ASSERT_EQ(Read(path, &block), ZQMF_OK);
  EXPECT_EQ(block, block_);
  EXPECT_EQ(Add(path, block_), ZQMF_ERROR_BAD_STRUCTURE);  // only one
}

TEST_F(Mp4UserData, AddsUserDataWhenThereIsNone) {
  // The movie atom last: the file grows at its end. The free box exactly used up: it goes.
  const std::string moov = Box("moov", mvhd_);
  std::string path = Write(ftyp_ + mdat_ + moov);
  ASSERT_EQ(Add(path, block_), ZQMF_OK);
  std::string block;
  ASSERT_EQ(Read(path, &block), ZQMF_OK);
  EXPECT_EQ(block, block_);
  EXPECT_EQ(TopLevel(zqtest::ReadFile(path)).back(), "moov:" + std::to_string(moov.size() + 28));

  path = Write(ftyp_ + moov + Box("free", std::string(20, '\0')) + mdat_);
  ASSERT_EQ(Add(path, block_), ZQMF_OK);
  EXPECT_EQ(TopLevel(zqtest::ReadFile(path)),
            (std::vector<std::string>{"ftyp:" + std::to_string(ftyp_.size()),
                                      "moov:" + std::to_string(moov.size() + 28),
                                      "mdat:" + std::to_string(mdat_.size())}));
}

TEST_F(Mp4UserData, RefusesFilesWithoutRoomAndLeavesThemAlone) {
  const std::string moov = Box("moov", mvhd_);
  const struct {
    const char* name;
    std::string file;
  } kCases[] = {
      {"media data right after the movie", ftyp_ + moov + mdat_},
      {"free box too small", ftyp_ + moov + Box("free", std::string(10, '\0')) + mdat_},
      {"free box leaving less than a header",
       ftyp_ + moov + Box("free", std::string(24, '\0')) + mdat_},
      {"user data not last in the movie",
       ftyp_ + Box("moov", Box("udta", "") + mvhd_) + Box("free", std::string(200, '\0')) + mdat_},
      {"no movie", ftyp_ + mdat_},
  };
  for (const auto& c : kCases) {
    const std::string path = Write(c.file);
    EXPECT_EQ(Add(path, block_), ZQMF_ERROR_BAD_STRUCTURE) << c.name;
    EXPECT_EQ(zqtest::ReadFile(path), c.file) << c.name;
  }
  EXPECT_EQ(Add(dir_.path() + "/missing.mp4", block_), ZQMF_ERROR_MEMORY);
}

TEST_F(Mp4UserData, ReadingReportsMissingAndDamagedUserData) {
  std::string block;
  EXPECT_EQ(Read(Write(ftyp_ + Box("moov", mvhd_) + mdat_), &block), ZQMF_ERROR_FIND);
  EXPECT_EQ(
      Read(Write(ftyp_ + Box("moov", mvhd_ + Box("udta", Box("FIRM", "v1"))) + mdat_), &block),
      ZQMF_ERROR_FIND);
  EXPECT_EQ(Read(Write(ftyp_ + mdat_), &block), ZQMF_ERROR_BAD_STRUCTURE);
  // A child that claims more than its parent holds ends the walk there.
  const std::string bad_child = Be32(500) + "ZQMF" + block_;
  EXPECT_EQ(Read(Write(ftyp_ + Box("moov", mvhd_ + Box("udta", bad_child)) + mdat_), &block),
            ZQMF_ERROR_FIND);
  EXPECT_EQ(Read(dir_.path() + "/missing.mp4", &block), ZQMF_ERROR_MEMORY);
}

}  // namespace
