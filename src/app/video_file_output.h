#pragma once
// Frames into a video file: each new picture is converted to the codec's format on the pool,
// then handed to the encoder in order; a repeated frame reuses the converted picture.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "app/encode_pool.h"
#include "app/render_output.h"
#include "platform/video/video_encoder.h"

namespace app {

class VideoFileOutput final : public RenderOutput {
 public:
  // Refuses an existing file unless `overwrite`. Null with *error when the file cannot be made.
  static std::unique_ptr<VideoFileOutput> Open(const std::string& path, bool overwrite,
                                               const video::EncoderSettings& settings,
                                               video::PcmSource* audio, int threads,
                                               std::string* error);
  ~VideoFileOutput() override;

  void Add(int64_t index, std::shared_ptr<const gfx::Surface> picture) override;
  bool Failed() const override { return failed_; }
  bool Finish(std::string* error) override;
  // Completing the file means encoding every frame the codec holds back, which can take
  // longer than leaving may; the unfinished file is removed instead.
  bool Interrupt() override {
    Abandon();
    return false;
  }
  int64_t FramesWritten() const override { return written_; }
  std::string Name() const override { return path_; }
  // The unfinished file while it is being written.
  std::string PartialPath() const { return encoder_ ? encoder_->PartialPath() : std::string(); }
  // Stops without completing the file and removes it.
  void Abandon();

 private:
  VideoFileOutput(std::string path, std::unique_ptr<video::VideoEncoder> encoder, int threads);
  void Commit(const std::shared_ptr<const video::ConvertedPicture>& picture);
  void SetError(const std::string& why);

  std::string path_;
  std::unique_ptr<video::VideoEncoder> encoder_;
  std::atomic<bool> failed_{false};
  std::atomic<int64_t> written_{0};
  std::mutex errorMutex_;
  std::string error_;
  std::shared_ptr<const video::ConvertedPicture> last_;  // commits only
  EncodePool pool_;
};

}  // namespace app
