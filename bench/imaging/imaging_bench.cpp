// Decoder speed against plain baselines measured in the same run. Each benchmark times its
// baseline and the decoder alternately inside one loop and reports
//   ratio = baseline time / decoder time   (1.0: as fast as the baseline; higher is faster).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "imaging/image_decoder.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

using Clock = std::chrono::steady_clock;

// A photo-like test picture: smooth gradients with some texture.
const std::vector<uint8_t>& Picture() {
  static const std::vector<uint8_t> px = [] {
    std::vector<uint8_t> p(static_cast<size_t>(kWidth) * kHeight * 3);
    uint32_t s = 12345;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        s = s * 1664525u + 1013904223u;
        uint8_t* d = &p[(static_cast<size_t>(y) * kWidth + x) * 3];
        d[0] = static_cast<uint8_t>(128 + 100 * std::sin(x * 0.003 + y * 0.001));
        d[1] = static_cast<uint8_t>(128 + 100 * std::cos(y * 0.004));
        d[2] = static_cast<uint8_t>(((x ^ y) & 0x3F) + (s >> 29));
      }
    return p;
  }();
  return px;
}

std::string InputPath(const char* name) {
  static const std::string dir = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "spbenchXXXXXX").string();
    std::string d = ::mkdtemp(tmpl.data());
    return d;
  }();
  return dir + "/" + name;
}

const std::string& JpegFile() {
  static const std::string path = [] {
    std::string p = InputPath("picture.jpg");
    imaging::StreamHandle h = imaging::OpenTarget(p);
    imaging::WriteJpeg(h, Picture(), kWidth, kHeight, 90, false);
    imaging::CloseTarget(h);
    return p;
  }();
  return path;
}

const std::string& BmpFile() {
  static const std::string path = [] {
    std::string p = InputPath("picture.bmp");
    imaging::StreamHandle h = imaging::OpenTarget(p);
    imaging::WriteBmp(h, Picture(), kWidth, kHeight);
    imaging::CloseTarget(h);
    return p;
  }();
  return path;
}

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// The plain libjpeg-turbo loop: stdio source, one row per call, into an RGB buffer.
struct PlainError {
  jpeg_error_mgr pub;
  jmp_buf jump;
};
void PlainExit(j_common_ptr c) { longjmp(reinterpret_cast<PlainError*>(c->err)->jump, 1); }

size_t PlainJpegDecode(const char* path) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return 0;
  jpeg_decompress_struct cinfo;
  PlainError err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = PlainExit;
  uint8_t* volatile buffer = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    std::free(buffer);
    return 0;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  const size_t stride = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
  const size_t size = stride * cinfo.output_height;
  buffer = static_cast<uint8_t*>(std::malloc(size));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = buffer + cinfo.output_scanline * stride;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(f);
  benchmark::DoNotOptimize(buffer[size / 2]);
  std::free(buffer);
  return size;
}

size_t DecoderRead(const std::string& path, bool jpeg) {
  imaging::StreamHandle h = imaging::OpenSource(path);
  int w = 0, ht = 0;
  imaging::PixelBuffer px =
      jpeg ? imaging::ReadJpeg(h, &w, &ht, 24) : imaging::ReadBmp(h, &w, &ht, 24);
  imaging::CloseSource(h);
  if (!px || imaging::GetLastErrorCode() != 0) std::abort();
  benchmark::DoNotOptimize(px.data()[px.size() / 2]);
  return px.size();
}

size_t FreadFile(const char* path) {
  FILE* f = std::fopen(path, "rb");
  std::fseek(f, 0, SEEK_END);
  const size_t size = static_cast<size_t>(std::ftell(f));
  std::fseek(f, 0, SEEK_SET);
  auto* buffer = static_cast<uint8_t*>(std::malloc(size));
  const size_t got = std::fread(buffer, 1, size, f);
  std::fclose(f);
  benchmark::DoNotOptimize(buffer[got / 2]);
  std::free(buffer);
  return got;
}

template <typename Baseline, typename Ours>
void Compare(benchmark::State& state, Baseline baseline, Ours ours, const char* counter) {
  double tBase = 0, tOurs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto a = Clock::now();
    baseline();
    auto b = Clock::now();
    tBase += Seconds(a, b);
    state.ResumeTiming();
    a = Clock::now();
    ours();
    b = Clock::now();
    tOurs += Seconds(a, b);
  }
  state.counters[counter] = tBase / tOurs;
  state.counters["baseline_ms"] = 1000 * tBase / static_cast<double>(state.iterations());
}

void BM_ReadJpeg(benchmark::State& state) {
  const std::string& path = JpegFile();
  Compare(state, [&] { PlainJpegDecode(path.c_str()); }, [&] { DecoderRead(path, true); },
          "ratio_vs_libjpeg");
}

void BM_ReadBmp(benchmark::State& state) {
  const std::string& path = BmpFile();
  Compare(state, [&] { FreadFile(path.c_str()); }, [&] { DecoderRead(path, false); },
          "ratio_vs_fread");
}

// The scaling rule written out per pixel.
void NaiveResize(const uint8_t* src, int sw, int sh, uint8_t* dst, int dw, int dh, int n) {
  for (int j = 0; j < dh; ++j) {
    double y = static_cast<double>(j) * sh / dh;
    y = std::clamp(y, 0.0, static_cast<double>(sh - 1));
    const double f = std::floor(y);
    const int r0 = static_cast<int>(f);
    const int r1 = std::min(r0 + 1, sh - 1);
    for (int i = 0; i < dw; ++i) {
      double x = static_cast<double>(i) * sw / dw;
      x = std::clamp(x, 0.0, static_cast<double>(sw - 1));
      const double x0 = std::floor(x);
      const double x1 = std::min(x0 + 1, static_cast<double>(sw - 1));
      for (int c = 0; c < n; ++c) {
        auto at = [&](int row, double col) {
          return src[(static_cast<size_t>(row) * sw + static_cast<size_t>(col)) * n + c];
        };
        const double v0 = at(r0, x0) * (x0 + 1 - x) + at(r0, x1) * (x - x0);
        const double v1 = at(r1, x0) * (x0 + 1 - x) + at(r1, x1) * (x - x0);
        dst[(static_cast<size_t>(j) * dw + i) * n + c] =
            static_cast<uint8_t>(static_cast<int>(v1 * (y - f) + v0 * (f + 1 - y)));
      }
    }
  }
}

void BM_ResizePixels(benchmark::State& state) {
  const std::vector<uint8_t>& src = Picture();
  std::vector<uint8_t> a(1920u * 1080u * 3), b(a.size());
  Compare(
      state, [&] { NaiveResize(src.data(), kWidth, kHeight, b.data(), 1920, 1080, 3); },
      [&] { imaging::ResizePixels(src, kWidth, kHeight, a, 1920, 1080, 3); },
      "speedup_vs_per_pixel");
}

BENCHMARK(BM_ReadJpeg)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadBmp)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ResizePixels)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  imaging::InitDecoder();
  benchmark::Initialize(&argc, argv);
  JpegFile();
  BmpFile();
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(std::filesystem::path(JpegFile()).parent_path());
  return 0;
}
