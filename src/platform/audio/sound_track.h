#pragma once
// The show's sound as one track: everything the player played, mixed, as 16-bit stereo
// frames at 44100 Hz in show time. The audio device pushes each mixed block once, in
// order; gaps are silence. A sink receives the frames: a WAV file (--audio-out), or a
// video export that muxes them beside its pictures.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <span>
#include <string>

namespace audio {

inline constexpr int kTrackRate = 44100;
inline constexpr int kTrackChannels = 2;

// Show time to track frames and back (floor).
int64_t TrackFrameAt(std::chrono::nanoseconds showTime);
std::chrono::nanoseconds TrackTimeOf(int64_t frame);

// Receives the track in order: the frames [firstFrame, firstFrame + n) where n is
// interleaved.size() / 2, each call continuing where the last one ended.
class TrackSink {
 public:
  virtual ~TrackSink() = default;
  virtual void Write(int64_t firstFrame, std::span<const int16_t> interleaved) = 0;
};

class SoundTrack {
 public:
  explicit SoundTrack(TrackSink& sink) : sink_(sink) {}
  // Mixed frames starting at show frame `first`. A gap before them is filled with silence;
  // frames before what was already written are dropped.
  void Push(int64_t first, std::span<const int16_t> interleaved);
  // Pads with silence up to `endFrame` (the end of the show).
  void PadTo(int64_t endFrame);
  int64_t FramesWritten() const;

 private:
  void Silence(int64_t until);
  mutable std::mutex mutex_;
  TrackSink& sink_;
  int64_t next_ = 0;
};

// Writes the track as a 16-bit stereo 44100 Hz WAV file; the sizes in the header are filled
// in by Close. Stops adding data before the file would pass 4 GiB.
class WavFileSink final : public TrackSink {
 public:
  WavFileSink() = default;
  ~WavFileSink() override;
  WavFileSink(const WavFileSink&) = delete;
  WavFileSink& operator=(const WavFileSink&) = delete;
  bool Open(const std::string& path, std::string* error);
  void Write(int64_t firstFrame, std::span<const int16_t> interleaved) override;
  // Completes the header; false when a write failed on the way.
  bool Close(std::string* error);

 private:
  std::FILE* file_ = nullptr;
  uint64_t dataBytes_ = 0;
  bool failed_ = false;
};

}  // namespace audio
