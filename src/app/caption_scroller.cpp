#include "app/caption_scroller.h"

#include <chrono>

#include "platform/sys/clock.h"
#include "platform/text/text_output.h"
#include "platform/ui/display.h"

namespace app {
namespace {

// Pale yellow, as a COLORREF.
constexpr gfx::COLORREF kCaptionColor = 0xFFFFDC;

text::LOGFONT CaptionFont() {
  text::LOGFONT lf;
  lf.lfHeight = -11;
  lf.lfWeight = text::FW_BOLD;
  lf.lfFaceName = "Arial";
  return lf;
}

}  // namespace

CaptionScroller::CaptionScroller(ui::Display& owner, int leftOffset, const std::string& name,
                                 sys::Clock& clock)
    : font(text::Font::Create(CaptionFont())), owner_(owner), clock_(clock) {
  // Letters of the name as the font's code page stores them, one per line.
  const std::string letters = text::EncodeUtf8(name, font->CodePage());
  const int n = static_cast<int>(letters.size());
  const text::TEXTMETRIC& m = font->Metrics();
  // The name comes from a file name: keep the bitmap within what a surface can be.
  const int shownLetters = std::min(n, (gfx::Surface::kMaxDimension - 1) / m.tmHeight);
  width = 2 * m.tmMaxCharWidth;
  height = shownLetters * m.tmHeight + scrollStep;
  image = gfx::Surface(width, shownLetters * m.tmHeight + 1, 0);
  gfx::Canvas dc(image);
  dc.SetTextColor(kCaptionColor);
  dc.SetBkMode(gfx::TRANSPARENT);
  for (int i = 0; i < shownLetters; ++i)
    text::TextOut(dc, *font, m.tmMaxCharWidth, i * m.tmHeight,
                  std::string_view(letters).substr(static_cast<size_t>(i), 1),
                  text::TA_CENTER | text::TA_TOP);
  const int clientLeft = 0, clientRight = owner.Width();
  clientTop_ = 0;
  clientBottom_ = owner.Height();
  x = leftOffset + (clientRight - width - leftOffset - clientLeft) / 2;
  y = clientBottom_;
}

CaptionScroller::~CaptionScroller() { Stop(); }

void CaptionScroller::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Run(); });
}

void CaptionScroller::Stop() {
  if (!thread_.joinable()) return;
  if (scrolling) {
    stopEvent.Set();
    finishedEvent.Wait();
  }
  thread_.join();
}

bool CaptionScroller::Step() {
  {
    auto lock = owner_.LockScreen();
    lock.Canvas().BitBlt(x, y, width, image.Height(), image, 0, 0, gfx::SRCCOPY);
  }
  y -= scrollStep;
  if (clientTop_ - height < y) return true;
  y = clientBottom_;
  return false;
}

void CaptionScroller::Run() {
  while (!stopEvent.IsSet()) {
    if (Step()) clock_.WaitFor(stopEvent, std::chrono::milliseconds(20));
  }
  finishedEvent.Set();
}

}  // namespace app
