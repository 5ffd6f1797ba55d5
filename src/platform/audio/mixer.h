#pragma once
// The voices that play at once (the MP3 output, a wave sound) and their mix. Every voice
// holds a queue of buffers, either converted to the track format (16-bit stereo, 44100 Hz)
// or left in the owner's format and widened as they play; the audio device pulls mixed
// frames as it plays them and each buffer whose last frame was pulled goes back to its
// owner through the voice's done function.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "platform/audio/wave_format.h"

namespace audio {

// Converts PCM of `format` to the track format; empty when the format is not playable.
// The second form fills `out`, keeping its storage.
std::vector<int16_t> ConvertToTrack(const WAVEFORMATEX& format, std::span<const uint8_t> pcm);
void ConvertToTrack(const WAVEFORMATEX& format, std::span<const uint8_t> pcm,
                    std::vector<int16_t>& out);
// Converts whole frames of SDL sample format `sdlFormat` to the track format.
std::vector<int16_t> ConvertSdlPcm(uint16_t sdlFormat, int channels, int rate,
                                   std::span<const uint8_t> pcm);
void ConvertSdlPcm(uint16_t sdlFormat, int channels, int rate, std::span<const uint8_t> pcm,
                   std::vector<int16_t>& out);

class Mixer {
 public:
  Mixer();
  // Called with the buffer's tag when the buffer has played or was returned by a reset.
  using DoneFn = std::function<void(void* tag)>;
  struct Voice;
  using VoiceRef = std::shared_ptr<Voice>;

  // streaming: the owner keeps feeding buffers (waveOut); a device in virtual time waits
  // for such an owner when its queue runs dry.
  VoiceRef Open(DoneFn done, bool streaming);
  // Queues converted frames; loop plays them again and again until a reset.
  void Queue(const VoiceRef& voice, std::vector<int16_t> frames, void* tag, bool loop);
  // Queues PCM that stays the owner's, unchanged, until its done call (a waveOut buffer):
  // converted as it plays, with no copy. False, and nothing queued, when the format is not
  // one that is widened to the track rate (the owner converts it and queues the frames).
  bool QueueInPlace(const VoiceRef& voice, const WAVEFORMATEX& format, std::span<const uint8_t> pcm,
                    void* tag);
  // Returns every queued buffer (done functions run on this thread before it returns).
  void Reset(const VoiceRef& voice);
  // Reset, then no more done calls: waits for any that another thread is running.
  void Close(const VoiceRef& voice);
  size_t Queued(const VoiceRef& voice);
  // An empty vector with the storage of a buffer that has played, to convert the next one
  // into: a stream of fresh blocks of this size would be fresh pages every time.
  std::vector<int16_t> TakeSpare();

  // Device side.
  // Whether any voice has frames to play.
  bool Active();
  // Frames until the first buffer of any voice ends; -1 when nothing plays.
  int64_t FramesToNextBoundary();
  // Mixes `frames` frames into out (interleaved stereo) and returns finished buffers; with
  // out null, only plays them (a device that nobody hears).
  void Pull(int64_t frames, int16_t* out);
  // True while a streaming voice ran dry and its owner has not queued, reset or closed it.
  bool Dry();
  // Waits (real time, at most `limit`) until no voice is dry.
  void WaitNotDry(std::chrono::milliseconds limit);
  // Called (without the mixer's lock) when a voice got frames to play next, having none, or
  // was reset or closed: whenever the next boundary may have moved.
  void SetOnChange(std::function<void()> onChange);

 private:
  // The owner's PCM of a buffer queued in place.
  struct InPlace {
    const uint8_t* pcm = nullptr;
    size_t frames = 0;  // of the owner's format
    uint16_t sdlFormat = 0;
    int channels = 0, rate = 0;
  };
  struct Buffer {
    std::vector<int16_t> frames;  // track frames, unless in place
    InPlace inPlace;
    size_t length = 0;  // track frames
    size_t pos = 0;     // track frames played
    void* tag = nullptr;
    bool loop = false;
    size_t Frames() const { return length; }
  };
  void Enqueue(const VoiceRef& voice, Buffer b);
  // Adds track frames [b.pos, b.pos + n) of `b` to a mix (int32_t), or stores them (int16_t).
  template <class Sample>
  static void MixInto(const Buffer& b, size_t n, Sample* out);
  struct Returned {
    VoiceRef voice;
    void* tag;
  };
  void Deliver(std::vector<Returned>& done);
  void Changed();
  void KeepSpare(std::vector<int16_t>&& frames);  // with the lock held

  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<VoiceRef> voices_;
  std::function<void()> onChange_;
  std::vector<int32_t> pullBuffer_;  // the device's mix, only touched by Pull
  std::vector<Returned> pullDone_;   // the buffers a pull finished, only touched by Pull
  std::vector<std::vector<int16_t>> spares_;

 public:
  struct Voice {
    DoneFn done;
    bool streaming = false;
    bool closed = false;
    bool dry = false;
    int callbacks = 0;  // done calls running now
    std::deque<Buffer> queue;
  };
};

}  // namespace audio
