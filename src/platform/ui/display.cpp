#include "platform/ui/display.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <vector>

#include "platform/ui/display_backend.h"

namespace ui {
namespace {

struct BackendEntry {
  DisplayMode mode;
  BackendOpener open;
};

// Which backend serves which mode; the SDL one handles its three window kinds itself.
constexpr BackendEntry kBackends[] = {
    {DisplayMode::FullScreen, &OpenSdlBackend},    {DisplayMode::Window, &OpenSdlBackend},
    {DisplayMode::Embedded, &OpenSdlBackend},      {DisplayMode::Host, &OpenX11HostBackend},
    {DisplayMode::Headless, &OpenHeadlessBackend},
};

std::mutex sizeMutex;
ScreenSize screenSize;                 // guarded by sizeMutex
const Display* openDisplay = nullptr;  // guarded by sizeMutex

using SteadyClock = std::chrono::steady_clock;

}  // namespace

std::unique_ptr<Display> Display::Create(const DisplayOptions& options, std::string* error) {
  for (const BackendEntry& entry : kBackends) {
    if (entry.mode != options.mode) continue;
    int width = 0, height = 0;
    std::unique_ptr<DisplayBackend> backend = entry.open(options, &width, &height, error);
    if (!backend) return nullptr;
    std::unique_ptr<Display> display(new Display(options.mode, std::move(backend), width, height));
    std::lock_guard<std::mutex> lock(sizeMutex);
    openDisplay = display.get();
    return display;
  }
  if (error) *error = "no backend for this display mode";
  return nullptr;
}

Display::Display(DisplayMode mode, std::unique_ptr<DisplayBackend> backend, int width, int height)
    : mode_(mode), backend_(std::move(backend)), screen_(width, height) {
  refreshRate_ = std::clamp(backend_->RefreshRate(), 1, 1000);
  if (mode == DisplayMode::FullScreen) cursorId_ = kBlankCursor;
}

Display::~Display() {
  std::lock_guard<std::mutex> lock(sizeMutex);
  if (openDisplay == this) openDisplay = nullptr;
}

bool Display::HasWindow() const { return backend_->HasWindow(); }

Display::ScreenLock::ScreenLock(Display& display)
    : display_(&display), lock_(display.screenMutex_) {
  canvas_.emplace(display.screen_);
}

Display::ScreenLock::ScreenLock(ScreenLock&& other) noexcept
    : display_(other.display_), lock_(std::move(other.lock_)), canvas_(std::move(other.canvas_)) {
  other.canvas_.reset();
}

Display::ScreenLock::~ScreenLock() {
  if (!lock_.owns_lock() || !canvas_) return;
  gfx::Rect drawn = canvas_->TakeDirty();
  if (drawn.IsEmpty()) return;
  bool wasClean = display_->dirty_.IsEmpty();
  display_->dirty_ = gfx::Union(display_->dirty_, drawn);
  lock_.unlock();
  // Only the first change after a present needs to wake the UI thread.
  if (wasClean && display_->backend_->HasWindow()) display_->backend_->Wake();
}

gfx::Rect Display::PeekDirty() {
  std::lock_guard<std::mutex> lock(screenMutex_);
  return dirty_;
}

gfx::Rect Display::TakeDirty() {
  std::lock_guard<std::mutex> lock(screenMutex_);
  gfx::Rect d = dirty_;
  dirty_ = gfx::Rect{};
  return d;
}

void Display::PostMessage(const Message& message) {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    queue_.push_back(message);
  }
  backend_->Wake();
}

bool Display::ScreenChangePending() {
  std::unique_lock<std::mutex> lock(screenMutex_, std::try_to_lock);
  return !lock.owns_lock() || !dirty_.IsEmpty();  // busy: something is being drawn
}

bool Display::GetMessage(Message& out, std::chrono::milliseconds timeout) {
  const auto start = SteadyClock::now();
  const bool infinite = timeout == kInfinite;
  const auto deadline = infinite ? SteadyClock::time_point::max() : start + timeout;
  const auto frame = std::chrono::microseconds(1'000'000 / refreshRate_);
  std::vector<Message> arrived;
  for (;;) {
    bool got = false;
    {
      std::lock_guard<std::mutex> lock(queueMutex_);
      if (!queue_.empty()) {
        got = true;
        out = queue_.front();
        queue_.pop_front();
      }
    }
    if (got) {
      if (out.message == WM_MOUSEMOVE) NotePointer(out.x, out.y);
      return true;
    }
    auto now = SteadyClock::now();
    ApplyCursor();
    PresentIfDue(now, false);
    if (!infinite && now >= deadline) return false;

    // Sleep until input, a wake-up, the time-out, or the next frame when one is waiting.
    std::chrono::milliseconds wait = kInfinite;
    if (!infinite) {
      wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    }
    if (backend_->HasWindow() && (exposed_ || ScreenChangePending())) {
      auto untilFrame = std::chrono::ceil<std::chrono::milliseconds>(lastPresent_ + frame - now);
      wait = std::min(wait, std::max(untilFrame, std::chrono::milliseconds(0)));
    }
    if (backend_->HasWindow() && presentWanted_) {
      auto untilFrame = std::chrono::ceil<std::chrono::milliseconds>(lastShown_ + frame - now);
      wait = std::min(wait, std::max(untilFrame, std::chrono::milliseconds(0)));
    }
    arrived.clear();
    backend_->WaitInput(wait, arrived);
    if (backend_->TakeExposed()) exposed_ = true;
    if (!arrived.empty()) {
      std::lock_guard<std::mutex> lock(queueMutex_);
      queue_.insert(queue_.end(), arrived.begin(), arrived.end());
    }
  }
}

void Display::PresentNow() {
  ApplyCursor();
  PresentIfDue(SteadyClock::now(), true);
}

void Display::Hide() {
  hidden_ = true;
  presented_.notify_all();
  backend_->Hide();
}

void Display::PresentIfDue(SteadyClock::time_point now, bool force) {
  if (!backend_->HasWindow() || hidden_) {
    // Nobody looks; the dirty area stays for PeekDirty.
    return;
  }
  const auto frame = std::chrono::microseconds(1'000'000 / refreshRate_);
  // The drawing thread lets go of the screen in the middle of a long run of steps to have
  // it shown: that is due one refresh period after the last present made.
  const bool wanted = presentWanted_ && now >= lastShown_ + frame;
  if (!force && !wanted && now < lastPresent_ + frame) return;
  {
    // Whoever draws keeps the screen while a step is half done; the UI thread never waits
    // for it (a show may draw for a long time without pausing) and tries a frame later.
    std::unique_lock<std::mutex> lock(screenMutex_, std::defer_lock);
    if (force) {
      lock.lock();
    } else if (!lock.try_lock()) {
      lastPresent_ = now;
      return;
    }
    gfx::Rect area = exposed_ ? gfx::Rect{0, 0, screen_.Width(), screen_.Height()} : dirty_;
    exposed_ = false;
    dirty_ = gfx::Rect{};
    if (area.IsEmpty()) {
      NotePresented();
      return;
    }
    backend_->Upload(screen_, area);
    for (const Overlay& o : overlays_) {
      const gfx::Rect over =
          gfx::Intersect(gfx::Intersect(area, o.Area()), {0, 0, Width(), Height()});
      if (over.IsEmpty()) continue;
      backend_->UploadAt(o.image,
                         {over.left - o.x, over.top - o.y, over.right - o.x, over.bottom - o.y},
                         over.left, over.top);
    }
  }
  backend_->Present();
  lastPresent_ = now;
  lastShown_ = now;
  NotePresented();
}

void Display::NotePresented() {
  {
    std::lock_guard<std::mutex> lock(presentMutex_);
    ++presents_;
    presentWanted_ = false;
  }
  presented_.notify_all();
}

bool Display::AwaitPresent(std::chrono::nanoseconds timeout) {
  if (!backend_->HasWindow() || hidden_) return false;
  std::unique_lock<std::mutex> lock(presentMutex_);
  const uint64_t seen = presents_;
  presentWanted_ = true;
  backend_->Wake();
  return presented_.wait_for(lock, timeout, [&] { return presents_ != seen || hidden_; }) &&
         presents_ != seen;
}

void Display::SetOverlay(const gfx::Surface& image, int x, int y, int layer) {
  {
    std::lock_guard<std::mutex> lock(screenMutex_);
    auto it = std::find_if(overlays_.begin(), overlays_.end(),
                           [layer](const Overlay& o) { return o.layer >= layer; });
    if (it == overlays_.end() || it->layer != layer)
      it = overlays_.insert(it, Overlay{layer, {}, 0, 0});
    const gfx::Rect old = it->Area();
    it->image = image;
    it->x = x;
    it->y = y;
    dirty_ =
        gfx::Union(dirty_, gfx::Intersect(gfx::Union(old, it->Area()), {0, 0, Width(), Height()}));
  }
  // A dialog over the clip shows its own cursor.
  if (pointerKnown_) NotePointer(pointerX_, pointerY_);
  backend_->Wake();
}

void Display::ClearOverlay(int layer) {
  {
    std::lock_guard<std::mutex> lock(screenMutex_);
    auto it = std::find_if(overlays_.begin(), overlays_.end(),
                           [layer](const Overlay& o) { return o.layer == layer; });
    if (it == overlays_.end()) return;
    dirty_ = gfx::Union(dirty_, gfx::Intersect(it->Area(), {0, 0, Width(), Height()}));
    overlays_.erase(it);
  }
  if (pointerKnown_) NotePointer(pointerX_, pointerY_);
  backend_->Wake();
}

gfx::Surface Display::ComposedScreen() {
  std::lock_guard<std::mutex> lock(screenMutex_);
  gfx::Surface out = screen_;
  gfx::Canvas canvas(out);
  for (const Overlay& o : overlays_) {
    canvas.BitBlt(o.x, o.y, o.image.Width(), o.image.Height(), o.image, 0, 0, gfx::SRCCOPY);
  }
  return out;
}

void Display::SetTextInput(bool on) { backend_->SetTextInput(on); }

void Display::SetCursor(int cursorId) {
  {
    std::lock_guard<std::mutex> lock(cursorMutex_);
    cursorId_ = cursorId;
    cursorChanged_ = true;
  }
  backend_->Wake();
}

int Display::ShowCursor(bool show) {
  int count;
  {
    std::lock_guard<std::mutex> lock(cursorMutex_);
    cursorCount_ += show ? 1 : -1;
    count = cursorCount_;
    cursorChanged_ = true;
  }
  backend_->Wake();
  return count;
}

bool Display::CursorVisible() const {
  std::lock_guard<std::mutex> lock(cursorMutex_);
  return cursorCount_ >= 0 && cursorId_ != kBlankCursor && !overBlankArea_;
}

void Display::SetBlankCursorArea(const gfx::Rect& area) {
  {
    std::lock_guard<std::mutex> lock(cursorMutex_);
    blankArea_ = area;
  }
  // Whether the pointer now rests over it is decided where the pointer is known.
  if (pointerKnown_) NotePointer(pointerX_, pointerY_);
  backend_->Wake();
}

bool Display::OverOverlay(int x, int y) {
  std::lock_guard<std::mutex> lock(screenMutex_);
  for (const Overlay& o : overlays_) {
    const gfx::Rect a = o.Area();
    if (x >= a.left && x < a.right && y >= a.top && y < a.bottom) return true;
  }
  return false;
}

void Display::NotePointer(int x, int y) {
  pointerKnown_ = true;
  pointerX_ = x;
  pointerY_ = y;
  const bool overlay = OverOverlay(x, y);
  std::lock_guard<std::mutex> lock(cursorMutex_);
  const gfx::Rect& a = blankArea_;
  const bool over = !overlay && x >= a.left && x < a.right && y >= a.top && y < a.bottom;
  if (over != overBlankArea_) {
    overBlankArea_ = over;
    cursorChanged_ = true;
  }
}

void Display::ApplyCursor() {
  int id;
  bool visible;
  {
    std::lock_guard<std::mutex> lock(cursorMutex_);
    if (!cursorChanged_) return;
    cursorChanged_ = false;
    id = cursorId_;
    visible = cursorCount_ >= 0 && cursorId_ != kBlankCursor && !overBlankArea_;
  }
  backend_->ApplyCursor(visible, id);
}

ScreenSize GetScreenSize() {
  std::lock_guard<std::mutex> lock(sizeMutex);
  if (openDisplay) return ScreenSize{openDisplay->Width(), openDisplay->Height()};
  return screenSize;
}

void SetScreenSize(ScreenSize size) {
  std::lock_guard<std::mutex> lock(sizeMutex);
  screenSize = size;
}

std::optional<ScreenSize> ParseSize(const std::string& text) {
  size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return std::nullopt;
  auto parse = [](const char* first, const char* last) -> std::optional<int> {
    int value = 0;
    if (first == last || *first == '+' || *first == '-') return std::nullopt;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last) return std::nullopt;
    if (value < 1 || value > gfx::Surface::kMaxScreenDimension) return std::nullopt;
    return value;
  };
  const char* begin = text.data();
  auto w = parse(begin, begin + x);
  auto h = parse(begin + x + 1, begin + text.size());
  if (!w || !h) return std::nullopt;
  return ScreenSize{*w, *h};
}

}  // namespace ui
