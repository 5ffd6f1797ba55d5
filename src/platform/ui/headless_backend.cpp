// The display without a window: the screen lives in memory only (tests, frame export).

#include <condition_variable>
#include <mutex>

#include "platform/ui/display_backend.h"

namespace ui {
namespace {

class HeadlessBackend final : public DisplayBackend {
 public:
  bool HasWindow() const override { return false; }
  void WaitInput(std::chrono::milliseconds timeout, std::vector<Message>&) override {
    std::unique_lock<std::mutex> lock(mutex_);
    if (timeout == Display::kInfinite) {
      cv_.wait(lock, [this] { return woken_; });
    } else {
      cv_.wait_for(lock, timeout, [this] { return woken_; });
    }
    woken_ = false;
  }
  void Wake() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      woken_ = true;
    }
    cv_.notify_one();
  }
  void Upload(const gfx::Surface&, const gfx::Rect&) override {}
  void Present() override {}
  void ApplyCursor(bool, int) override {}

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool woken_ = false;
};

}  // namespace

std::unique_ptr<DisplayBackend> OpenHeadlessBackend(const DisplayOptions& options, int* width,
                                                    int* height, std::string* error) {
  if (options.width <= 0 || options.height <= 0 ||
      options.width > gfx::Surface::kMaxScreenDimension ||
      options.height > gfx::Surface::kMaxScreenDimension) {
    if (error) *error = "invalid screen size";
    return nullptr;
  }
  *width = options.width;
  *height = options.height;
  return std::make_unique<HeadlessBackend>();
}

}  // namespace ui
