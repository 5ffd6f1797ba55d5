// Video clips as the clip windows open them: the bytes go to a file in a folder of our own,
// which is opened as AVI only and read to its end (a bounded number of pictures), rewound
// and read again; its sound likewise (a bounded number of blocks).
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/video/clip_decoder.h"
#include "platform/video/clip_sound.h"

namespace {

const std::string& Folder() {
  static const std::string folder = [] {
    const char* tmp = getenv("TMPDIR");
    std::string t = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/fuzz-avi-XXXXXX";
    if (!mkdtemp(t.data())) abort();
    return t;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = Folder() + "/clip.avi";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  // Smaller pictures than the player allows keep the fuzzer inside its memory limit.
  video::ClipLimits limits;
  limits.maxWidth = limits.maxHeight = 1024;
  video::ClipError error{};
  auto clip = video::ClipDecoder::Open(path, &error, nullptr, limits);
  if (clip) {
    std::vector<uint32_t> pixels(static_cast<size_t>(clip->Width()) * clip->Height());
    std::chrono::nanoseconds t{};
    for (int pass = 0; pass < 2; ++pass) {
      for (int i = 0; i < 64 && clip->NextFrame(pixels.data(), clip->Width(), &t); ++i) {
      }
      if (!clip->Rewind()) break;
    }
  }
  if (auto sound = video::ClipSound::Open(path, 44100, limits)) {
    std::vector<int16_t> block(2 * 4096);
    for (int pass = 0; pass < 2; ++pass) {
      for (int i = 0; i < 64 && sound->Read(block.data(), 4096) > 0; ++i) {
      }
      if (!sound->Rewind()) break;
    }
  }
  unlink(path.c_str());
  return 0;
}
