#include "app/video_file_output.h"

#include <sys/stat.h>

namespace app {

std::unique_ptr<VideoFileOutput> VideoFileOutput::Open(const std::string& path, bool overwrite,
                                                       const video::EncoderSettings& settings,
                                                       video::PcmSource* audio, int threads,
                                                       std::string* error) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!overwrite || !S_ISREG(st.st_mode)) {
      *error = path + (S_ISREG(st.st_mode) ? " already exists; --overwrite replaces it"
                                           : " exists and is not a file");
      return nullptr;
    }
  }
  auto encoder = video::VideoEncoder::Open(path, settings, audio, error);
  if (!encoder) return nullptr;
  return std::unique_ptr<VideoFileOutput>(new VideoFileOutput(path, std::move(encoder), threads));
}

VideoFileOutput::VideoFileOutput(std::string path, std::unique_ptr<video::VideoEncoder> encoder,
                                 int threads)
    : path_(std::move(path)),
      encoder_(std::move(encoder)),
      pool_(threads, static_cast<size_t>(threads) * 2 + 2) {}

VideoFileOutput::~VideoFileOutput() {
  pool_.Wait();
  // Never completed: an unfinished file does not stay behind.
  if (encoder_) encoder_->Abandon();
}

void VideoFileOutput::SetError(const std::string& why) {
  std::lock_guard lock(errorMutex_);
  if (error_.empty()) error_ = why;
  failed_ = true;
}

void VideoFileOutput::Add(int64_t index, std::shared_ptr<const gfx::Surface> picture) {
  (void)index;  // frames come in order; the encoder numbers them
  if (failed_) return;
  if (!picture) {
    pool_.Submit(nullptr, [this] { Commit(nullptr); });
    return;
  }
  auto converted = std::make_shared<std::shared_ptr<const video::ConvertedPicture>>();
  pool_.Submit(
      [this, picture = std::move(picture), converted]() mutable {
        if (failed_) return;
        *converted = encoder_->Convert(picture->Data(), picture->Stride());
        if (!*converted) SetError("cannot convert a frame (out of memory)");
        picture.reset();
      },
      [this, converted] {
        if (*converted) Commit(*converted);
      });
}

void VideoFileOutput::Commit(const std::shared_ptr<const video::ConvertedPicture>& picture) {
  if (failed_) return;
  if (picture) last_ = picture;
  if (!last_) return SetError("no picture");
  std::string why;
  if (!encoder_->Write(last_, &why)) return SetError(why);
  ++written_;
}

bool VideoFileOutput::Finish(std::string* error) {
  pool_.Wait();
  last_.reset();
  std::string why;
  if (!failed_ && !encoder_->Finish(&why)) SetError(why);
  if (failed_) {
    encoder_->Abandon();
    encoder_.reset();
    std::lock_guard lock(errorMutex_);
    *error = error_;
    return false;
  }
  encoder_.reset();
  return true;
}

void VideoFileOutput::Abandon() {
  SetError("abandoned");
  pool_.Wait();
  if (encoder_) encoder_->Abandon();
  encoder_.reset();
}

}  // namespace app
