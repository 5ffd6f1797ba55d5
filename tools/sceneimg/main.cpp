// sceneimg: inspect, decode, resize and encode pictures the way the player does.

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/image_decoder.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: sceneimg detect FILE\n"
               "       sceneimg decode FILE OUT.ppm\n"
               "       sceneimg resize IN.ppm OUT.ppm WIDTH HEIGHT\n"
               "       sceneimg encode IN.ppm OUT.bmp|OUT.jpg [--quality Q] [--progressive]\n");
  return 2;
}

bool ParseInt(const char* text, int min, int max, int* out) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < min || v > max) return false;
  *out = static_cast<int>(v);
  return true;
}

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// Binary PPM (P6) with a maximum value of 255.
bool ReadPpm(const std::string& path, Image* image, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), {});
  size_t pos = 0;
  auto token = [&](long* value) {
    for (;;) {
      while (pos < data.size() && std::isspace(data[pos])) ++pos;
      if (pos < data.size() && data[pos] == '#') {
        while (pos < data.size() && data[pos] != '\n') ++pos;
        continue;
      }
      break;
    }
    long v = 0;
    size_t digits = 0;
    while (pos < data.size() && std::isdigit(data[pos]) && digits < 9) {
      v = v * 10 + (data[pos++] - '0');
      ++digits;
    }
    *value = v;
    return digits > 0;
  };
  long w = 0, h = 0, maxval = 0;
  if (data.size() < 2 || data[0] != 'P' || data[1] != '6') {
    *error = path + " is not a binary PPM";
    return false;
  }
  pos = 2;
  if (!token(&w) || !token(&h) || !token(&maxval) || pos >= data.size() ||
      !std::isspace(data[pos]) || maxval != 255) {
    *error = path + ": unsupported PPM header";
    return false;
  }
  ++pos;
  size_t size = imaging::BufferSize(w, h, 3);
  if (size == 0 || data.size() - pos < size) {
    *error = path + ": bad size or short pixel data";
    return false;
  }
  image->width = static_cast<int>(w);
  image->height = static_cast<int>(h);
  image->pixels.assign(data.begin() + static_cast<long>(pos),
                       data.begin() + static_cast<long>(pos + size));
  return true;
}

bool WritePpm(const std::string& path, const uint8_t* pixels, int width, int height) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", width, height);
  size_t size = static_cast<size_t>(width) * height * 3;
  bool ok = std::fwrite(pixels, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

std::string Extension(const std::string& name) {
  size_t dot = name.rfind('.');
  std::string ext = dot == std::string::npos ? "" : name.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

int Detect(const std::string& file) {
  imaging::StreamHandle h = imaging::OpenSource(file);
  if (h == imaging::kNoStream) {
    std::fprintf(stderr, "sceneimg: cannot open %s (error %d)\n", file.c_str(),
                 imaging::GetLastErrorCode());
    return 1;
  }
  int code = imaging::DetectFormat(h);
  int error = imaging::GetLastErrorCode();
  imaging::CloseSource(h);
  std::printf("%d %s\n", code, imaging::FormatName(code));
  if (error != 0) std::fprintf(stderr, "sceneimg: error %d\n", error);
  return 0;
}

int Decode(const std::string& file, const std::string& out) {
  imaging::StreamHandle h = imaging::OpenSource(file);
  if (h == imaging::kNoStream) {
    std::printf("0 0 %d\n", imaging::GetLastErrorCode());
    return 1;
  }
  int format = imaging::DetectFormat(h);
  int width = 0, height = 0;
  imaging::PixelBuffer pixels;
  int error = imaging::GetLastErrorCode();
  if (format == imaging::kFormatBmp || format == imaging::kFormatJpeg) {
    imaging::SeekSource(h, 0, 0);
    pixels = format == imaging::kFormatJpeg ? imaging::ReadJpeg(h, &width, &height, 24)
                                            : imaging::ReadBmp(h, &width, &height, 24);
    error = imaging::GetLastErrorCode();
  } else {
    std::fprintf(stderr, "sceneimg: %s: %s pictures are not decoded\n", file.c_str(),
                 imaging::FormatName(format));
  }
  imaging::CloseSource(h);
  std::printf("%d %d %d\n", width, height, error);
  if (!pixels) return 1;
  if (!WritePpm(out, pixels.data(), width, height)) {
    std::fprintf(stderr, "sceneimg: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

int Resize(const std::string& in, const std::string& out, int width, int height) {
  Image src;
  std::string error;
  if (!ReadPpm(in, &src, &error)) {
    std::fprintf(stderr, "sceneimg: %s\n", error.c_str());
    return 1;
  }
  size_t size = imaging::BufferSize(width, height, 3);
  if (size == 0) {
    std::fprintf(stderr, "sceneimg: bad target size\n");
    return 1;
  }
  std::vector<uint8_t> dst(size);
  if (!imaging::ResizePixels(src.pixels, src.width, src.height, dst, width, height, 3)) {
    std::fprintf(stderr, "sceneimg: resize failed (error %d)\n", imaging::GetLastErrorCode());
    return 1;
  }
  if (!WritePpm(out, dst.data(), width, height)) {
    std::fprintf(stderr, "sceneimg: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

int Encode(const std::string& in, const std::string& out, int quality, bool progressive) {
  Image src;
  std::string error;
  if (!ReadPpm(in, &src, &error)) {
    std::fprintf(stderr, "sceneimg: %s\n", error.c_str());
    return 1;
  }
  std::string ext = Extension(out);
  bool jpeg = ext == ".jpg" || ext == ".jpeg";
  if (!jpeg && ext != ".bmp") {
    std::fprintf(stderr, "sceneimg: output must end in .bmp, .jpg or .jpeg\n");
    return 2;
  }
  imaging::StreamHandle h = imaging::OpenTarget(out);
  if (h == imaging::kNoStream) {
    std::fprintf(stderr, "sceneimg: cannot create %s (error %d)\n", out.c_str(),
                 imaging::GetLastErrorCode());
    return 1;
  }
  int64_t written = jpeg ? imaging::WriteJpeg(h, src.pixels, src.width, src.height, quality,
                                              progressive, 24)
                         : imaging::WriteBmp(h, src.pixels, src.width, src.height, 24);
  int writeError = imaging::GetLastErrorCode();
  int64_t length = imaging::CloseTarget(h);
  if (written == 0) {
    std::fprintf(stderr, "sceneimg: writing %s failed (error %d)\n", out.c_str(), writeError);
    return 1;
  }
  std::printf("%lld\n", static_cast<long long>(length));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  imaging::InitDecoder();
  if (argc < 2) return Usage();
  std::string cmd = argv[1];
  if (cmd == "detect" && argc == 3) return Detect(argv[2]);
  if (cmd == "decode" && argc == 4) return Decode(argv[2], argv[3]);
  if (cmd == "resize" && argc == 6) {
    int w = 0, h = 0;
    if (!ParseInt(argv[4], 1, imaging::kMaxDimension, &w) ||
        !ParseInt(argv[5], 1, imaging::kMaxDimension, &h))
      return Usage();
    return Resize(argv[2], argv[3], w, h);
  }
  if (cmd == "encode" && argc >= 4) {
    int quality = 75;
    bool progressive = false;
    for (int i = 4; i < argc; ++i) {
      std::string opt = argv[i];
      if (opt == "--progressive") {
        progressive = true;
      } else if (opt == "--quality" && i + 1 < argc) {
        if (!ParseInt(argv[++i], 0, 100, &quality)) return Usage();
      } else {
        return Usage();
      }
    }
    return Encode(argv[2], argv[3], quality, progressive);
  }
  return Usage();
}
