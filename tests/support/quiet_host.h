#pragma once
// A saver window host that asks nothing and does nothing: for running the scene thread
// without a window, in tests and benchmarks.

#include <string>

#include "app/saver_window.h"

namespace testsupport {

struct QuietHost : app::SaverWindowHost {
  int32_t ProfileInt(const std::string&, const std::string&, int32_t d) override { return d; }
  std::string ProfileString(const std::string&, const std::string&) override { return ""; }
  uint32_t ScreenSaveUsePassword() override { return 0; }
  void Post(const ui::Message&) override {}
  bool AskPassword(const std::string&) override { return true; }
  void ShowArrowCursor(bool) override {}
  void CursorPosition(int32_t&, int32_t&) override {}
  void DestroyWindow() override {}
  void WindowDestroyed() override {}
  void SetPendingUrl(const std::string&) override {}
  void EraseBackground(gfx::COLORREF, uint32_t) override {}
};

}  // namespace testsupport
