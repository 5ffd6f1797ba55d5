#include "app/render_session.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "app/png_frame_folder.h"
#include "app/signals.h"
#include "app/video_file_output.h"
#include "platform/sys/temp_file.h"
#include "platform/ui/display.h"

namespace app {

std::shared_ptr<const gfx::Surface> ScreenGrabber::Grab(ui::Display& display) {
  // The drawn area first: whatever is drawn after this point shows in this frame's copy and
  // again as changed in the next one, never lost.
  const gfx::Rect dirty = display.TakeDirty();
  if (last_ && dirty.IsEmpty()) return nullptr;
  auto lock = display.LockScreen();
  const gfx::Surface& screen = lock.Surface();
  if (last_ && last_->Width() == screen.Width() && last_->Height() == screen.Height()) {
    // Drawn but maybe unchanged (a pause that repaints the same picture).
    const gfx::Rect r = gfx::Intersect(dirty, {0, 0, screen.Width(), screen.Height()});
    bool same = true;
    for (int y = r.top; same && y < r.bottom; ++y) {
      same = std::memcmp(screen.Row(y) + r.left, last_->Row(y) + r.left,
                         static_cast<size_t>(r.right - r.left) * sizeof(gfx::Pixel)) == 0;
    }
    if (same) return nullptr;
  }
  std::unique_ptr<gfx::Surface> copy;
  {
    std::lock_guard spareLock(spares_->mutex);
    if (!spares_->free.empty()) {
      copy = std::move(spares_->free.back());
      spares_->free.pop_back();
    }
  }
  if (copy) {
    *copy = screen;  // same size: the storage is reused
  } else {
    copy = std::make_unique<gfx::Surface>(screen);
  }
  last_ = std::shared_ptr<const gfx::Surface>(
      copy.release(), [spares = spares_](const gfx::Surface* done) {
        std::unique_ptr<gfx::Surface> owned(const_cast<gfx::Surface*>(done));
        std::lock_guard spareLock(spares->mutex);
        if (spares->free.size() < 16) spares->free.push_back(std::move(owned));
      });
  return last_;
}

namespace {

// The show time a render ends at; never "no limit" (the recorder's zero), never past what a
// nanosecond count holds.
std::chrono::nanoseconds LimitOf(const RenderRequest& request) {
  const double seconds =
      request.seconds ? *request.seconds : double{RenderSession::kDefaultLimitSeconds};
  const double ns = std::min(seconds, 1e9) * 1e9;
  return std::chrono::nanoseconds(std::max<int64_t>(1, static_cast<int64_t>(ns)));
}

}  // namespace

std::unique_ptr<RenderSession> RenderSession::Open(const RenderRequest& request, int width,
                                                   int height, video::PcmSource* audio,
                                                   std::string* error) {
  const int threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  std::unique_ptr<RenderOutput> output;
  std::string partial;
  if (request.videoPath) {
    video::EncoderSettings settings;
    settings.width = width;
    settings.height = height;
    settings.fps = request.fps;
    settings.crf = request.crf;
    auto video = VideoFileOutput::Open(*request.videoPath, request.overwrite, settings, audio,
                                       threads, error);
    if (video) partial = video->PartialPath();
    output = std::move(video);
  } else if (request.framesDir) {
    output = PngFrameFolder::Open(*request.framesDir, request.overwrite, request.pngLevel, threads,
                                  error);
  } else {
    *error = "nothing to render to";
  }
  if (!output) return nullptr;
  std::unique_ptr<RenderSession> session(new RenderSession(request, std::move(output)));
  // Removed by the signal watcher if the process must end before the file is complete.
  session->partialPath_ = partial;
  if (!partial.empty()) sys::AdoptTempFile(partial);
  return session;
}

RenderSession::RenderSession(const RenderRequest& request, std::unique_ptr<RenderOutput> output)
    : request_(request),
      output_(std::move(output)),
      recorder_(
          request.fps, LimitOf(request), [this](int64_t k) { return TakeFrame(*display_, k); },
          [this] { limitReached_ = true; }),
      terminal_(!request.quiet && ::isatty(2)),
      start_(std::chrono::steady_clock::now()) {
  if (!request.quiet) {
    std::fprintf(stderr, "sceneplayer: rendering %s at %d fps, ", output_->Name().c_str(),
                 request.fps);
    if (request.seconds) {
      std::fprintf(stderr, "%g s of show time\n", *request.seconds);
    } else {
      std::fprintf(stderr, "until the show ends or at most %d s of show time (--seconds S)\n",
                   kDefaultLimitSeconds);
    }
  }
}

RenderSession::~RenderSession() {
  if (!partialPath_.empty()) sys::ForgetTempFile(partialPath_);
}

bool RenderSession::TakeFrame(ui::Display& display, int64_t index) {
  output_->Add(index, grabber_.Grab(display));
  Progress(index, false);
  return !output_->Failed();
}

bool RenderSession::OnAdvance(ui::Display& display, std::chrono::nanoseconds from,
                              std::chrono::nanoseconds to) {
  display_ = &display;
  recorder_.OnAdvance(from, to);
  return !recorder_.Failed() && !output_->Failed() && !limitReached_;
}

void RenderSession::Progress(int64_t index, bool last) {
  if (!terminal_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!last && now - lastProgress_ < std::chrono::milliseconds(250)) return;
  lastProgress_ = now;
  const double wall = std::chrono::duration<double>(now - start_).count();
  const double shown = static_cast<double>(index + 1) / request_.fps;
  char line[160];
  int n = std::snprintf(line, sizeof line, "\rsceneplayer: %.1f", shown);
  if (request_.seconds) n += std::snprintf(line + n, sizeof line - n, " / %.1f", *request_.seconds);
  n += std::snprintf(line + n, sizeof line - n, " s, %.0f fps",
                     wall > 0 ? static_cast<double>(index + 1) / wall : 0.0);
  if (request_.seconds && wall > 0.5 && shown > 0) {
    const double left = std::max(0.0, (*request_.seconds - shown) * wall / shown);
    n += std::snprintf(line + n, sizeof line - n, ", %.0f s left", left);
  }
  std::snprintf(line + n, sizeof line - n, "\x1b[K");
  std::fputs(line, stderr);
  std::fflush(stderr);
  progressShown_ = true;
}

int RenderSession::Finish(ui::Display& display, std::chrono::nanoseconds now, bool interrupted) {
  display_ = &display;
  if (interrupted && !output_->Interrupt()) {
    if (progressShown_) std::fputs("\r\x1b[K", stderr);
    std::fprintf(stderr, "sceneplayer: stopped by a signal; removed the unfinished %s\n",
                 output_->Name().c_str());
    return 0;
  }
  // A render stopped by a frame that failed or by a signal takes no more frames.
  if (!interrupted && !recorder_.Failed() && !output_->Failed()) recorder_.Finish(now);
  std::string error;
  const bool ok = output_->Finish(&error);
  if (progressShown_) std::fputs("\r\x1b[K", stderr);
  if (!ok) {
    std::fprintf(stderr, "sceneplayer: %s\n", error.c_str());
    return 1;
  }
  const int64_t frames = output_->FramesWritten();
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double shown = static_cast<double>(frames) / request_.fps;
  if (!request_.quiet || interrupted) {
    std::fprintf(stderr,
                 "sceneplayer: wrote %lld frames (%.2f s of show) to %s in %.1f s (%.1fx real "
                 "time)%s\n",
                 static_cast<long long>(frames), shown, output_->Name().c_str(), wall,
                 wall > 0 ? shown / wall : 0.0, interrupted ? ", stopped by a signal" : "");
  }
  if (limitReached_ && !request_.seconds) {
    std::fprintf(stderr,
                 "sceneplayer: stopped at the limit of %d s of show time (--seconds S renders "
                 "longer)\n",
                 kDefaultLimitSeconds);
  }
  return 0;
}

}  // namespace app
