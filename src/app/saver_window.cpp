#include "app/saver_window.h"

#include "resources/string_table.h"

namespace app {
namespace {
const std::string& Settings() { return res::LoadString(res::IDS_SECTION_SETTINGS); }
}  // namespace

SaverWindow::SaverWindow(SaverWindowHost& host) : host_(host) {}

void SaverWindow::OnCreate() {
  host_.ShowArrowCursor(false);
  muted_ = host_.ProfileInt(Settings(), res::LoadString(res::IDS_ENTRY_MUTE), 0) != 0;
}

bool SaverWindow::CheckExit(const std::string& name) {
  if (host_.ProfileInt(Settings(), res::LoadString(res::IDS_ENTRY_STANDARD), 1) == 1 ||
      host_.ProfileInt(Settings(), name, 0) == 1) {
    host_.Post({ui::WM_CLOSE, 0, 0, 0});
    return true;
  }
  return false;
}

void SaverWindow::HandleMessage(const ui::Message& m) {
  if (destroyed_) return;
  switch (m.message) {
    case ui::WM_MOUSEMOVE:
      if (lastMouseX_ == -1 && lastMouseY_ == -1) {
        lastMouseX_ = m.x;
        lastMouseY_ = m.y;
      } else if (m.x != lastMouseX_ || m.y != lastMouseY_) {
        CheckExit(res::LoadString(res::IDS_ENTRY_MOUSEMOVE));
      }
      break;
    case ui::WM_LBUTTONDOWN:
    case ui::WM_MBUTTONDOWN:
    case ui::WM_RBUTTONDOWN:
      CheckExit(res::LoadString(res::IDS_ENTRY_BUTTONDOWN));
      break;
    case ui::WM_LBUTTONDBLCLK:
    case ui::WM_MBUTTONDBLCLK:
    case ui::WM_RBUTTONDBLCLK:
      CheckExit(res::LoadString(res::IDS_ENTRY_DOUBLECLICK));
      break;
    case ui::WM_KEYDOWN:
      OnKeyDown(m.wParam);
      break;
    case ui::WM_SYSKEYDOWN:
      // Alt+F4 never reaches the window.
      if (m.wParam != ui::VK_F4) CheckExit(res::LoadString(res::IDS_ENTRY_KEYDOWN));
      break;
    case ui::WM_CLOSE:
      OnClose();
      break;
    case ui::WM_DESTROY:
      OnDestroy();
      break;
    case ui::WM_ERASEBKGND:
      host_.EraseBackground(backgroundColor_.load(), rasterOp_.load());
      break;
    case ui::WM_SYSCOMMAND:
      // SC_SCREENSAVE and SC_CLOSE are swallowed; nothing else reaches us here.
      break;
    default:
      break;
  }
}

void SaverWindow::OnKeyDown(uint32_t key) {
  {
    std::lock_guard lock(linkMutex_);
    bool hit = (linkMode_ == 0 && key == ui::VK_RETURN) || (linkMode_ == 1 && key == ui::VK_F12) ||
               (linkMode_ == 2 && key == ui::VK_SPACE) ||
               (linkMode_ == 3 &&
                (key == ui::VK_RETURN || key == ui::VK_F12 || key == ui::VK_SPACE));
    if (hit) host_.SetPendingUrl(activeUrl_);
  }
  if (!CheckExit(res::LoadString(res::IDS_ENTRY_KEYDOWN)) && key == ui::VK_ESCAPE &&
      host_.ProfileInt(Settings(), res::LoadString(res::IDS_ENTRY_ESCAPE), 0) == 1) {
    host_.Post({ui::WM_CLOSE, 0, 0, 0});
  }
}

void SaverWindow::OnClose() {
  std::string stored = host_.ProfileString("Password", "Encrypt");
  bool usePassword = host_.ScreenSaveUsePassword() != 0;
  host_.ShowArrowCursor(true);
  if (usePassword && !stored.empty()) {
    if (host_.AskPassword(stored)) {
      host_.DestroyWindow();
    } else {
      // Let the mouse rest where it is without ending the saver again at once.
      host_.CursorPosition(lastMouseX_, lastMouseY_);
    }
  } else {
    host_.DestroyWindow();
  }
  if (!destroyed_) host_.ShowArrowCursor(false);
}

void SaverWindow::OnDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  host_.WindowDestroyed();
}

void SaverWindow::Repaint(gfx::COLORREF color, uint32_t rasterOp) {
  backgroundColor_.store(color);
  rasterOp_.store(rasterOp);
}

void SaverWindow::SetActiveLink(const std::string& url, int32_t linkMode) {
  std::lock_guard lock(linkMutex_);
  activeUrl_ = url;
  linkMode_ = linkMode;
}

void SaverWindow::ClearActiveLink() {
  std::lock_guard lock(linkMutex_);
  linkMode_ = -1;
  activeUrl_.clear();
}

int32_t SaverWindow::LinkMode() const {
  std::lock_guard lock(linkMutex_);
  return linkMode_;
}

std::string SaverWindow::ActiveUrl() const {
  std::lock_guard lock(linkMutex_);
  return activeUrl_;
}

}  // namespace app
