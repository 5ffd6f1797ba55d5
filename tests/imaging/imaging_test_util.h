#pragma once
// Helpers shared by the imaging tests: scratch files, BMP byte builders, PPM reading and
// running the external reference tools.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/image_decoder.h"

namespace imaging::test {

using Bytes = std::vector<uint8_t>;

// A scratch folder removed at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "spimgXXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), {});
}

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

struct BmpLayout {
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t infoSize = 40;
  uint32_t coloursUsed = 0;
  std::vector<PaletteEntry> table;
  std::vector<uint32_t> masks;  // written after a 40-byte header
  Bytes data;                   // pixel data as stored
  int64_t dataOffset = -1;      // -1: right after the table
};

// A bitmap file exactly as described, faults included.
inline Bytes MakeBmp(const BmpLayout& s) {
  const uint32_t headerEnd = 14 + s.infoSize + 4 * static_cast<uint32_t>(s.masks.size()) +
                             4 * static_cast<uint32_t>(s.table.size());
  const uint32_t offset = s.dataOffset < 0 ? headerEnd : static_cast<uint32_t>(s.dataOffset);
  Bytes b{'B', 'M'};
  Put32(b, offset + static_cast<uint32_t>(s.data.size()));
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, s.infoSize);
  Put32(b, static_cast<uint32_t>(s.width));
  Put32(b, static_cast<uint32_t>(s.height));
  Put16(b, 1);
  Put16(b, s.bits);
  Put32(b, s.compression);
  Put32(b, static_cast<uint32_t>(s.data.size()));
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, s.coloursUsed);
  Put32(b, 0);
  b.resize(14 + s.infoSize, 0);
  for (uint32_t m : s.masks) Put32(b, m);
  for (const PaletteEntry& e : s.table) b.insert(b.end(), {e.blue, e.green, e.red, 0});
  b.resize(std::max<size_t>(b.size(), offset), 0xEE);
  b.insert(b.end(), s.data.begin(), s.data.end());
  return b;
}

struct Decoded {
  PixelBuffer pixels;
  int width = 0;
  int height = 0;
  int error = -1;
};

inline Decoded DecodeBytes(const Bytes& bytes, bool jpeg, int bits = 24) {
  Decoded d;
  StreamHandle h = OpenMemorySource(bytes);
  d.pixels = jpeg ? ReadJpeg(h, &d.width, &d.height, bits) : ReadBmp(h, &d.width, &d.height, bits);
  d.error = GetLastErrorCode();
  CloseSource(h);
  return d;
}

// Keeps the rows a row read hands over; refuses the picture when told to.
struct RowCollector final : RowSink {
  explicit RowCollector(int bytesPerPixel, bool refuse = false)
      : bytesPerPixel(bytesPerPixel), refuse(refuse) {}
  bool Begin(int w, int h) override {
    ++begun;
    width = w;
    height = h;
    return !refuse;
  }
  void Row(const uint8_t* p) override {
    rows.insert(rows.end(), p, p + static_cast<size_t>(width) * bytesPerPixel);
  }
  int bytesPerPixel;
  bool refuse;
  int begun = 0, width = 0, height = 0;
  Bytes rows;
};

inline Bytes Rgb(const Decoded& d) {
  return d.pixels ? Bytes(d.pixels.data(), d.pixels.data() + d.pixels.size()) : Bytes{};
}

struct Ppm {
  int width = 0;
  int height = 0;
  int channels = 3;
  Bytes pixels;
};

// Binary PGM/PPM with maxval 255, as the reference tools write them.
inline bool ParsePnm(const Bytes& data, Ppm* out) {
  if (data.size() < 2 || data[0] != 'P' || (data[1] != '6' && data[1] != '5')) return false;
  out->channels = data[1] == '6' ? 3 : 1;
  size_t pos = 2;
  long values[3];
  for (long& v : values) {
    while (pos < data.size() && (std::isspace(data[pos]) || data[pos] == '#')) {
      if (data[pos] == '#')
        while (pos < data.size() && data[pos] != '\n') ++pos;
      else
        ++pos;
    }
    v = 0;
    while (pos < data.size() && std::isdigit(data[pos])) v = v * 10 + (data[pos++] - '0');
  }
  ++pos;
  if (values[2] != 255) return false;
  out->width = static_cast<int>(values[0]);
  out->height = static_cast<int>(values[1]);
  size_t size = static_cast<size_t>(out->width) * out->height * out->channels;
  if (data.size() < pos + size) return false;
  out->pixels.assign(data.begin() + static_cast<long>(pos),
                     data.begin() + static_cast<long>(pos + size));
  return true;
}

inline bool HaveTool(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

inline int RunCommand(const std::string& command) { return std::system(command.c_str()); }

// A deterministic picture with gradients and edges, as a binary PPM file.
inline Bytes TestPicture(int w, int h, uint32_t seed = 1) {
  Bytes px(static_cast<size_t>(w) * h * 3);
  uint32_t s = seed;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      s = s * 1103515245u + 12345u;
      uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / std::max(1, w - 1));
      p[1] = static_cast<uint8_t>(y * 255 / std::max(1, h - 1));
      p[2] = static_cast<uint8_t>(((x / 4 + y / 4) % 2) ? 200 : (s >> 24));
    }
  return px;
}

inline void WritePpm(const std::string& path, const Bytes& px, int w, int h) {
  std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  Bytes b(head.begin(), head.end());
  b.insert(b.end(), px.begin(), px.end());
  WriteFile(path, b);
}

}  // namespace imaging::test
