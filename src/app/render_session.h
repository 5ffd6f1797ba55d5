#pragma once
// A render: the show plays in virtual time while frames taken at fixed instants go to a PNG
// folder or a video file, with a progress line on a terminal.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/frame_recorder.h"
#include "app/render_output.h"
#include "platform/gfx/surface.h"
#include "platform/video/pcm_source.h"

namespace ui {
class Display;
}

namespace app {

// Takes the screen for a frame: null when it has not changed since the previous frame, so
// the outputs neither copy nor encode it again.
class ScreenGrabber {
 public:
  std::shared_ptr<const gfx::Surface> Grab(ui::Display& display);

 private:
  // Copies whose frames are done, kept for the next copies: a fresh 8 MB block per frame
  // costs more in page faults than the copy itself.
  struct Spares {
    std::mutex mutex;
    std::vector<std::unique_ptr<gfx::Surface>> free;
  };
  std::shared_ptr<const gfx::Surface> last_;
  std::shared_ptr<Spares> spares_ = std::make_shared<Spares>();
};

struct RenderRequest {
  std::optional<std::string> framesDir;  // PNG frames
  std::optional<std::string> videoPath;  // or a video file
  int fps = 25;
  std::optional<double> seconds;
  bool overwrite = false;
  bool quiet = false;
  int pngLevel = 1;
  int crf = -1;
};

class RenderSession {
 public:
  // Show time a render without --seconds stops at, so an endless show cannot fill the disk.
  static constexpr int kDefaultLimitSeconds = 600;

  // Prepares the output; null with *error when it cannot be made (nothing left behind).
  static std::unique_ptr<RenderSession> Open(const RenderRequest& request, int width, int height,
                                             video::PcmSource* audio, std::string* error);
  ~RenderSession();

  // The clock observer: frames due before `to`. Returns false when the render must stop
  // (a frame failed or the limit is reached).
  bool OnAdvance(ui::Display& display, std::chrono::nanoseconds from, std::chrono::nanoseconds to);
  // The show is over at `now`: takes the last frame, completes the output and reports.
  // Returns the exit status.
  int Finish(ui::Display& display, std::chrono::nanoseconds now, bool interrupted);

 private:
  RenderSession(const RenderRequest& request, std::unique_ptr<RenderOutput> output);
  bool TakeFrame(ui::Display& display, int64_t index);
  void Progress(int64_t index, bool last);

  RenderRequest request_;
  std::unique_ptr<RenderOutput> output_;
  ScreenGrabber grabber_;
  FrameRecorder recorder_;
  ui::Display* display_ = nullptr;  // during OnAdvance and Finish
  bool limitReached_ = false;
  std::string partialPath_;
  bool terminal_ = false;
  std::chrono::steady_clock::time_point start_, lastProgress_;
  bool progressShown_ = false;
};

}  // namespace app
