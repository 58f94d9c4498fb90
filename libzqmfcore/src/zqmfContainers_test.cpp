#include "zqmf/zqmfContainers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zqmftest/KlvBytes.h"
#include "zqtest/TempDir.h"

namespace {

using zqmftest::Be16;

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

}  // namespace
