// Writes seed photos for fuzz_jpeg_reader into the directory given: EXIF in both byte orders
// with GPS, maker note and thumbnail, a camera block, a screennail indexed or cut over APP2
// segments, and an XMP segment. Each seed starts with the byte that picks the feeding piece.
#include <cstdio>
#include <string>

#include "zqmftest/JpegBytes.h"

using namespace zqmftest;

namespace {

std::string Tiff(bool big, const std::string& firmware) {
  TiffBuilder t(big);
  t.Ascii(kIfd0, 270, "desc \"\\\n");
  t.Ascii(kIfd0, 271, "Tavro");
  t.Ascii(kIfd0, 305, firmware);
  t.Ascii(kIfdExif, 36881, "+05:30");
  t.Bytes(kIfdExif, 37500, kTiffUndefined, std::string("\x01\x01\0\0\0\0\0\x11\0\0\0\x02", 12));
  t.Long(kIfdExif, 40962, {64});
  t.Ascii(kIfdGps, 1, "N");
  t.Rational(kIfdGps, 2, {{46, 1}, {30, 1}, {1, 100}});
  t.Thumbnail(JpegImage("", 8, 8, "thumb"));
  return t.Build();
}

bool Write(const char* dir, const char* name, const std::string& bytes) {
  const std::string path = std::string(dir) + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: jpeg_fuzz_seeds DIR\n");
    return 2;
  }
  const std::string screennail = JpegImage("", 16, 8, "screen");
  const std::string block = std::string("Tavro\0", 6) + std::string("DEVC\0\1\0\4abcd", 12);
  const std::string primary = JpegImage(JpegSegment(0xE6, block), 64, 48, "scan");
  const std::string xmp =
      JpegSegment(0xE1,
                  "http://ns.adobe.com/xap/1.0/ <GPano:ProjectionType>equirectangular"
                  "</GPano:ProjectionType>");
  const bool ok =
      Write(argv[1], "indexed.jpg",
            "\x01" +
                WithMpfScreennail(primary, ExifSegment(Tiff(false, "T11.01.02.00")), screennail)) &&
      Write(argv[1], "split.jpg",
            std::string(1, '\x40') +
                InsertAfterSoi(primary, xmp + ExifSegment(Tiff(true, "T13.02.00.00")) +
                                            SplitScreennail(screennail, 7)));
  return ok ? 0 : 1;
}
