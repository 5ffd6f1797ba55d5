#include "platform/ui/modal_loop.h"

#include <vector>

namespace ui {

namespace {
constexpr uint32_t kFirstAppMessage = 0x8000;  // WM_APP
// The paint functions of the dialogs running on this thread, outermost first: a dialog
// that changed before it opened a message box is shown changed below the box.
thread_local std::vector<std::function<bool()>> activeLoops;
}  // namespace

int RunModalDialog(Dialog& dialog, Display& display, const ModalOptions& o) {
  using Clock = std::chrono::steady_clock;
  const int clientX = o.x + (o.framed ? kDialogFrame : 0);
  const int clientY = o.y + (o.framed ? kDialogFrame + kDialogCaption : 0);
  std::vector<Message> deferred;
  uint64_t painted = 0;

  // Draws the dialog when it changed; true when it did.
  auto draw = [&] {
    if (painted == dialog.Revision()) return false;
    painted = dialog.Revision();
    if (o.overlay) {
      gfx::Surface picture(o.framed ? dialog.FramedWidth() : dialog.ClientWidth(),
                           o.framed ? dialog.FramedHeight() : dialog.ClientHeight());
      gfx::Canvas dc(picture);
      if (o.framed) {
        dialog.PaintFramed(dc, 0, 0);
      } else {
        dialog.PaintClient(dc, 0, 0);
      }
      display.SetOverlay(picture, o.x, o.y, o.overlayLayer);
    } else {
      auto lock = display.LockScreen();
      if (o.framed) {
        dialog.PaintFramed(lock.Canvas(), o.x, o.y);
      } else {
        dialog.PaintClient(lock.Canvas(), o.x, o.y);
      }
    }
    return true;
  };
  auto paint = [&] {
    bool changed = false;
    for (size_t i = 0; i + 1 < activeLoops.size(); ++i) changed = activeLoops[i]() || changed;
    changed = draw() || changed;
    if (changed && o.onFrame) o.onFrame(display.ComposedScreen());
  };

  auto handle = [&](Message m) {
    if (m.message == WM_QUIT || m.message >= kFirstAppMessage) {
      deferred.push_back(m);
      if (o.foreign && o.foreign(m)) dialog.EndDialog(IDCANCEL);
      return;
    }
    switch (m.message) {
      case WM_MOUSEMOVE:
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_LBUTTONDBLCLK:
      case WM_RBUTTONDOWN:
      case WM_RBUTTONUP:
      case WM_MBUTTONDOWN:
      case WM_MBUTTONUP:
        m.x -= clientX;
        m.y -= clientY;
        break;
      default:
        break;
    }
    dialog.HandleMessage(m);
  };

  auto locate = [&](int id) -> std::optional<std::pair<int32_t, int32_t>> {
    const gfx::Rect r = dialog.ControlRect(id);
    if (r.IsEmpty()) return std::nullopt;
    return std::make_pair(clientX + (r.left + r.right) / 2, clientY + (r.top + r.bottom) / 2);
  };

  dialog.Init();
  display.SetTextInput(true);
  if (o.input) o.input->Start(Clock::now());
  activeLoops.push_back(draw);
  struct LoopEnd {
    ~LoopEnd() { activeLoops.pop_back(); }
  } loopEnd;
  while (!dialog.Ended()) {
    paint();
    Message m;
    if (display.GetMessage(m, std::chrono::milliseconds(0))) {
      handle(m);
      continue;
    }
    const auto now = Clock::now();
    if (o.deadline && now >= *o.deadline) {
      dialog.EndDialog(IDCANCEL);
      break;
    }
    std::string warning;
    const bool took = o.input && o.input->TakeNext(now, locate, m, &warning);
    if (!warning.empty() && o.warn) o.warn(warning);
    if (took) {
      handle(m);
      continue;
    }
    if (o.endWhenInputDone && (!o.input || o.input->Done())) {
      dialog.EndDialog(IDCANCEL);
      break;
    }
    std::optional<Clock::time_point> wake = o.deadline;
    if (o.input) {
      if (auto due = o.input->NextDue(); due && (!wake || *due < *wake)) wake = due;
    }
    auto timeout = Display::kInfinite;
    if (wake) {
      timeout = std::chrono::ceil<std::chrono::milliseconds>(*wake - now);
      if (timeout.count() < 0) timeout = std::chrono::milliseconds(0);
    }
    if (display.GetMessage(m, timeout)) handle(m);
  }
  paint();
  display.SetTextInput(false);
  if (o.overlay) display.ClearOverlay(o.overlayLayer);
  for (const Message& m : deferred) display.PostMessage(m);
  return dialog.Result();
}

}  // namespace ui
