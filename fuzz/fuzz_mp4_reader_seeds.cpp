// Writes the seed inputs of the MP4 reader fuzzer: small movies from the box builder, and the
// header atoms of the generated test clips (their media data left out).
#include <cstdio>
#include <string>

#include "mp4test/BoxBuilder.h"
#include "mp4test/TestClips.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: fuzz_mp4_reader_seeds DIR\n");
    return 1;
  }
  std::string dir = argv[1];
  int n = 0;
  auto save = [&](const std::string& bytes) {
    return mp4test::WriteAll(dir + "/seed" + std::to_string(n++), bytes);
  };

  mp4test::TrackRecipe video;
  video.stts = {{6, 1001}};
  video.sizes = {50, 20, 20, 30, 20, 20};
  video.stss = {1, 4};
  video.ctts = {{6, 2002}};
  video.stsc = {{1, 2, 1}, {3, 1, 1}};
  video.offsets = {40, 110, 140};
  video.trefTmcd = {3};
  mp4test::TrackRecipe audio;
  audio.handler = "soun";
  audio.trackID = 2;
  audio.stts = {{4, 1024}};
  audio.sizes = {9, 9, 0, 9};
  audio.stsc = {{1, 3, 1}, {2, 1, 1}};
  audio.offsets = {200, 240};
  mp4test::TrackRecipe tc;
  tc.handler = "tmcd";
  tc.trackID = 3;
  tc.sampleEntry = mp4test::TimeCodeSampleEntry(1, 30000, 1001, 30, "R1");
  tc.stts = {{1, 6006}};
  tc.sizes = {4};
  tc.offsets = {36};
  mp4test::TrackRecipe meta;
  meta.handler = "meta";
  meta.handlerName = "Tavro MET";
  meta.trackID = 4;
  meta.timeScale = 1000;
  meta.stts = {{2, 500}};
  meta.sizes = {8, 8};
  meta.offsets = {260, 268};
  meta.co64 = true;
  meta.edits = {{100, -1}, {1000, 0}};
  std::vector<std::string> traks = {mp4test::Trak(video), mp4test::Trak(audio), mp4test::Trak(tc),
                                    mp4test::Trak(meta)};
  bool ok = true;
  for (bool first : {true, false}) {
    ok = ok &&
         save(mp4test::MovieFile(traks, mp4test::MakerUserData(), std::string(300, 'm'), first));
  }
  ok = ok && save(mp4test::MovieFile({traks[3]}, "", "", true));

  for (const mp4test::Clip& clip : mp4test::GeneratedClips()) {
    std::string bytes = mp4test::ReadAll(clip.path);
    std::string kept;
    for (const mp4test::BoxRef& box : mp4test::ListBoxes(bytes, 0, bytes.size())) {
      kept += box.type == "mdat" ? mp4test::Box("mdat", bytes.substr(box.Payload(), 16))
                                 : bytes.substr(box.offset, box.size);
    }
    ok = ok && save(kept);
  }
  return ok ? 0 : 1;
}
