// Text rendering against FreeType alone, and the typewriter's share of a core.
//
// "x_freetype": time of one 40-character line at 24 px through our layer divided by the
// time FreeType takes to render the same glyphs into a plain 8-bit buffer (measured in the
// same run; 1.0 = as fast). Our layer keeps rendered glyphs, FreeType alone renders them
// every time; the NewFont row shows a font's first line, with nothing cached. "cpu_percent": CPU
// time of a 500-letter typewriter divided by its real time.

#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <sys/resource.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "platform/text/text_output.h"
#include "scene/items.h"
#include "scene/play_host.h"
#include "scene/text_bitmap.h"

namespace {

constexpr char kLine[] = "The quick brown fox jumps over lazy dogs";  // 40 characters
static_assert(sizeof kLine - 1 == 40);

text::LOGFONT Arial24() {
  text::LOGFONT lf;
  lf.lfFaceName = "Arial";
  lf.lfHeight = -24;
  lf.lfQuality = text::NONANTIALIASED_QUALITY;
  return lf;
}

// FreeType alone: load, render monochrome and copy each glyph into a plain buffer.
double FreeTypeSeconds() {
  static const double seconds = [] {
    auto font = text::Font::Create(Arial24());
    FT_Library lib;
    FT_Face face;
    FT_Init_FreeType(&lib);
    FT_New_Face(lib, font->File().c_str(), 0, &face);
    FT_Set_Pixel_Sizes(face, 0, 24);
    std::vector<uint8_t> buffer(800 * 32);
    auto once = [&] {
      std::memset(buffer.data(), 0, buffer.size());
      int pen = 0;
      for (const char* c = kLine; *c; ++c) {
        FT_Load_Char(face, static_cast<unsigned char>(*c), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO);
        const FT_GlyphSlot g = face->glyph;
        for (unsigned y = 0; y < g->bitmap.rows; ++y) {
          const int row = 24 - g->bitmap_top + static_cast<int>(y);
          if (row < 0 || row >= 32) continue;
          for (unsigned x = 0; x < g->bitmap.width; ++x) {
            const int col = pen + g->bitmap_left + static_cast<int>(x);
            if (col < 0 || col >= 800) continue;
            if (g->bitmap.buffer[y * g->bitmap.pitch + x / 8] & (0x80 >> (x % 8)))
              buffer[row * 800 + col] = 255;
          }
        }
        pen += static_cast<int>(g->advance.x >> 6);
      }
      benchmark::DoNotOptimize(buffer.data());
    };
    for (int i = 0; i < 20; ++i) once();
    constexpr int kReps = 500;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kReps; ++i) once();
    const auto t1 = std::chrono::steady_clock::now();
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return std::chrono::duration<double>(t1 - t0).count() / kReps;
  }();
  return seconds;
}

template <typename Draw>
void Run(benchmark::State& state, Draw draw) {
  const double base = FreeTypeSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  const auto t1 = std::chrono::steady_clock::now();
  const double per =
      std::chrono::duration<double>(t1 - t0).count() / static_cast<double>(state.iterations());
  state.counters["x_freetype"] = per / base;
}

void BM_FreeTypeLine(benchmark::State& state) {
  const double base = FreeTypeSeconds();
  for (auto _ : state) benchmark::DoNotOptimize(base);
  state.counters["x_freetype"] = 1.0;
  state.counters["us_per_line"] = base * 1e6;
}

// The text layer: create the font (shared) and draw the line into a bitmap.
void BM_TextOutLine(benchmark::State& state) {
  gfx::Surface s(800, 32);
  Run(state, [&] {
    auto font = text::Font::Create(Arial24());
    gfx::Canvas dc(s);
    text::TextOut(dc, *font, 0, 0, kLine);
  });
}

// A font never used before: matching the face, opening it at a new size and rendering
// every glyph once (a new width each time, so nothing comes from the caches).
void BM_TextOutLineNewFont(benchmark::State& state) {
  gfx::Surface s(800, 32);
  int32_t width = 6;
  Run(state, [&] {
    text::LOGFONT lf = Arial24();
    lf.lfWidth = width++;
    auto font = text::Font::Create(lf);
    gfx::Canvas dc(s);
    text::TextOut(dc, *font, 0, 0, kLine);
  });
}

// A whole text picture: measure, make the bitmap, fill it and draw.
void BM_TextBitmapLine(benchmark::State& state) {
  scene::PictureItem picture;
  picture.source = 1;
  picture.text = kLine;
  picture.font.height = -24;
  std::strcpy(picture.font.faceName.data(), "Arial");
  Run(state, [&] { benchmark::DoNotOptimize(scene::TextBitmap(picture, "")); });
}

// A play host in real time: the typewriter waits on the real clock.
class RealHost final : public scene::PlayHost {
 public:
  RealHost() : screen(1024, 768), canvas(screen) {}
  const sys::Event& StopEvent() const override { return stop; }
  sys::Clock& Clock() override { return clock; }
  void Paced(const transitions::PaceStep&) override {}
  void PauseCheck() override {}
  gfx::Canvas& Screen() override { return canvas; }
  void Repaint(gfx::COLORREF, uint32_t) override {}
  gfx::COLORREF BackgroundColor() const override { return 0; }
  bool Muted() const override { return true; }
  void SetActiveLink(const std::string&, int32_t) override {}
  void ClearActiveLink() override {}
  std::string DesktopPath() const override { return {}; }
  std::string WallpaperPath() const override { return {}; }
  int32_t ProfileInt(const std::string&, const std::string&, int32_t d) override { return d; }

  sys::RealClock clock;
  sys::Event stop;
  gfx::Surface screen;
  gfx::Canvas canvas;
};

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// 500 letters in ten lines, 10 ms apart (textSpeed 1990, far faster than shows use),
// transparent over the screen with effect 0.
void BM_Typewriter500(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < 500; ++i) text += (i % 50 == 49) ? '\n' : static_cast<char>('a' + i % 26);
  text.back() = '!';
  for (auto _ : state) {
    RealHost host;
    scene::PictureItem picture;
    picture.source = 1;
    picture.text = text;
    picture.textOpaque = 0;
    picture.font.height = -24;
    picture.currentPath.textSpeed = 1990;
    picture.currentPath.effect = 0;
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    scene::TypeOut(picture, host);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.counters["cpu_percent"] = 100.0 * (CpuSeconds() - cpu0) / wall;
    state.counters["seconds"] = wall;
  }
}

BENCHMARK(BM_FreeTypeLine);
BENCHMARK(BM_TextOutLine);
BENCHMARK(BM_TextOutLineNewFont)->Iterations(40);
BENCHMARK(BM_TextBitmapLine);
BENCHMARK(BM_Typewriter500)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
