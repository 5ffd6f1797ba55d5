#pragma once
// Where a render's frames go: a folder of PNG files or a video file. Frames arrive in order;
// a null picture means "the same as the previous frame", which costs no encoding.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/gfx/surface.h"

namespace app {

class RenderOutput {
 public:
  virtual ~RenderOutput() = default;
  // Frame `index` (0, 1, 2, ... in turn). May return before the frame is written.
  virtual void Add(int64_t index, std::shared_ptr<const gfx::Surface> picture) = 0;
  // True once a frame could not be written; the render should stop.
  virtual bool Failed() const = 0;
  // Waits for every frame, completes the output; false with *error when any frame failed.
  virtual bool Finish(std::string* error) = 0;
  // The render was stopped early (a signal). Returns what stays: true when the frames so far
  // are kept as complete files, false when the unfinished output was removed.
  virtual bool Interrupt() = 0;
  // Frames written completely so far.
  virtual int64_t FramesWritten() const = 0;
  // What the summary names: the folder or the file.
  virtual std::string Name() const = 0;
};

}  // namespace app
