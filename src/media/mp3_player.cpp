#include "media/mp3_player.h"

#include "platform/audio/audio_device.h"
#include "platform/audio/layer3_codec.h"
#include "platform/audio/wave_out.h"
#include "platform/sys/clock.h"

namespace media {

bool MP3Player::CodecPresent() const {
  return audio::AcmFormatTagDetails(audio::WAVE_FORMAT_MPEGLAYER3) == audio::MMSYSERR_NOERROR;
}

void MP3Player::Start(const uint8_t* data, int length, bool wait, bool loop) {
  {
    std::lock_guard lock(mutex_);
    StopLocked();
    if (closed_) return;
    // The device must take the probe format.
    std::unique_ptr<audio::WaveOut> probe;
    if (audio::WaveOut::Open(device_, audio::PcmFormat(2, 22050, 8), nullptr, &probe) !=
        audio::MMSYSERR_NOERROR) {
      return;
    }
    probe.reset();
    if (!data) return;
    if (!CodecPresent()) return;
    started_.Reset();
    finished_.Reset();
    stop_.Reset();
    thread_ = std::make_unique<MP3Thread>(device_, quality_, finished_, started_, stop_, data,
                                          length, loop);
    thread_->Start();
    // In virtual time show time must not move on before the first buffer is queued.
    if (device_->Virtual()) started_.Wait();
  }
  if (wait) device_->WaitForSound(clock_, finished_);
}

void MP3Player::Stop() {
  std::lock_guard lock(mutex_);
  StopLocked();
}

void MP3Player::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  StopLocked();
}

void MP3Player::StopLocked() {
  if (!CodecPresent()) return;
  if (!thread_) return;
  started_.Wait();
  stop_.Set();
  thread_->Wake();
  thread_->Join();
  thread_.reset();
  finished_.Set();
}

}  // namespace media
