#pragma once
// Frames as PNG files frame-000000.png, frame-000001.png, ... in a folder. Frames are
// encoded on a pool of threads and land in order; a frame equal to the previous one is a hard
// link to its file (or, where links are not possible, the same bytes again).

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/encode_pool.h"
#include "app/render_output.h"

namespace app {

class PngFrameFolder final : public RenderOutput {
 public:
  // Makes the folder. A folder that already holds frames is refused unless `overwrite`, which
  // removes them first. Returns null with *error set when the folder is unusable.
  static std::unique_ptr<PngFrameFolder> Open(const std::string& dir, bool overwrite, int level,
                                              int threads, std::string* error);
  ~PngFrameFolder() override;

  void Add(int64_t index, std::shared_ptr<const gfx::Surface> picture) override;
  bool Failed() const override { return failed_; }
  bool Finish(std::string* error) override;
  // Frames already taken are written: each is a complete file.
  bool Interrupt() override { return true; }
  int64_t FramesWritten() const override { return written_; }
  std::string Name() const override { return dir_; }

  // Whether the name is one this output writes (FrameRecorder::FrameName).
  static bool IsFrameName(const std::string& name);

 private:
  PngFrameFolder(std::string dir, int level, int threads);
  void Commit(int64_t index, const std::shared_ptr<std::vector<uint8_t>>& bytes,
              const std::string& encodeError);
  bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

  std::string dir_;
  int level_;
  std::atomic<bool> failed_{false};
  std::atomic<int64_t> written_{0};
  std::mutex errorMutex_;
  std::string error_;
  // Touched by commits only, which run one at a time.
  std::shared_ptr<std::vector<uint8_t>> lastBytes_;
  std::string lastPath_;
  EncodePool pool_;  // last: its threads stop before the fields above go
};

}  // namespace app
