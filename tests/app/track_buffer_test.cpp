// The sound buffer between the mixer and a video encoder keeps every frame at its place in
// show time, whatever the sizes of the blocks and of the reads, and whoever comes first.
#include "app/track_buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Frame f of the reference track holds (f, -f) as its two samples.
std::vector<int16_t> Frames(int64_t first, int64_t count) {
  std::vector<int16_t> s;
  for (int64_t f = first; f < first + count; ++f) {
    s.push_back(static_cast<int16_t>(f));
    s.push_back(static_cast<int16_t>(-f));
  }
  return s;
}

struct Recorder final : audio::TrackSink {
  void Write(int64_t first, std::span<const int16_t> s) override {
    EXPECT_EQ(first, next);
    next += static_cast<int64_t>(s.size() / 2);
  }
  int64_t next = 0;
};

TEST(TrackBuffer, ReadsGiveTheTrackInOrderWhateverTheBlockSizes) {
  for (int64_t block : {1, 7, 100, 1000}) {
    for (size_t read : {1u, 13u, 441u}) {
      Recorder also;
      app::TrackBuffer buffer(&also);
      std::vector<int16_t> got;
      int64_t written = 0;
      while (static_cast<int64_t>(got.size() / 2) < 2000) {
        while (written < static_cast<int64_t>(got.size() / 2) + static_cast<int64_t>(read)) {
          buffer.Write(written, Frames(written, block));
          written += block;
        }
        std::vector<int16_t> out(2 * read, 99);
        buffer.Read(out.data(), read);
        got.insert(got.end(), out.begin(), out.end());
      }
      got.resize(4000);
      EXPECT_EQ(got, Frames(0, 2000)) << block << " " << read;
      EXPECT_EQ(also.next, written);
    }
  }
}

TEST(TrackBuffer, ReadingAheadOfTheMixGivesSilenceThereAndKeepsLaterFramesInPlace) {
  app::TrackBuffer buffer;
  EXPECT_EQ(buffer.SampleRate(), audio::kTrackRate);
  std::vector<int16_t> out(20, 99);
  buffer.Read(out.data(), 10);  // nothing mixed yet: frames 0..9 are silence
  EXPECT_EQ(out, std::vector<int16_t>(20, 0));
  buffer.Write(0, Frames(0, 15));   // frames 0..9 come too late and are dropped
  buffer.Write(20, Frames(20, 5));  // a gap: 15..19 are silence
  std::vector<int16_t> rest(30, 99);
  buffer.Read(rest.data(), 15);
  std::vector<int16_t> want = Frames(10, 5);
  want.resize(20, 0);
  const auto tail = Frames(20, 5);
  want.insert(want.end(), tail.begin(), tail.end());
  EXPECT_EQ(rest, want);
}

}  // namespace
