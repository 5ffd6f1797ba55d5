// MP3 music: the CPU that real-time playback costs (the decode, the mix, the device) against
// libmpg123 decoding the same piece flat out, and the time from Stop to silence with the
// thread ended.
//   ratio_play_vs_decode         against decoding to the format playback decodes to (8-bit
//                                at half rate by default, native with full quality): what
//                                playing adds to the decode itself (goal <= 1.1)
//   ratio_play_vs_native_decode  against decoding to the piece's native format
//   ratio_first_play, ratio_second_play  each of the two plays that the ratios average
#include <benchmark/benchmark.h>
#include <mpg123.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "media/mp3_player.h"
#include "platform/audio/audio_device.h"
#include "platform/sys/clock.h"

namespace {

std::vector<uint8_t> Piece(int copies = 12) {
  std::ifstream f(std::string(SP_SOURCE_DIR) + "/tests/media/data/tone440-44k-stereo.mp3",
                  std::ios::binary);
  std::vector<uint8_t> one(std::istreambuf_iterator<char>(f), {});
  std::vector<uint8_t> all;
  for (int i = 0; i < copies; ++i) all.insert(all.end(), one.begin(), one.end());
  return all;  // 1.045 s per copy, 44.1 kHz stereo, 128 kbit/s
}

long PageFaults() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_minflt + u.ru_majflt;
}

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Seconds of CPU per second of sound, decoding the whole piece flat out, natively or as
// playback does by default (8-bit stereo, half rate, made by libmpg123 itself).
double DecodeFlatOut(const std::vector<uint8_t>& mp3, bool halfRate8Bit) {
  mpg123_handle* h = mpg123_new(nullptr, nullptr);
  mpg123_param(h, MPG123_FLAGS, MPG123_QUIET, 0);
  if (halfRate8Bit) {
    mpg123_param(h, MPG123_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO | MPG123_FORCE_8BIT, 0);
    mpg123_param(h, MPG123_DOWN_SAMPLE, 1, 0);
    mpg123_format_none(h);
    mpg123_format(h, 22050, MPG123_STEREO, MPG123_ENC_UNSIGNED_8);
  }
  mpg123_open_feed(h);
  mpg123_feed(h, mp3.data(), mp3.size());
  const double cpu0 = ProcessCpuSeconds();
  size_t frames = 0;
  long rate = 44100;
  int channels = 2, enc = MPG123_ENC_SIGNED_16;
  while (true) {
    off_t num;
    unsigned char* audio;
    size_t bytes;
    int r = mpg123_decode_frame(h, &num, &audio, &bytes);
    if (r == MPG123_NEW_FORMAT) mpg123_getformat(h, &rate, &channels, &enc);
    if (r == MPG123_OK || r == MPG123_NEW_FORMAT) {
      frames += bytes / static_cast<size_t>(channels * mpg123_encsize(enc));
      benchmark::DoNotOptimize(audio);
      continue;
    }
    break;
  }
  const double cpu = ProcessCpuSeconds() - cpu0;
  mpg123_delete(h);
  return cpu / (static_cast<double>(frames) / static_cast<double>(rate));
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void BM_Mp3PlaybackCpu(benchmark::State& state) {
  // Played whole, so every byte decoded is also played: CPU per second of sound. 40 s, so
  // that starting a piece (its buffers' first pages, its thread) weighs in. Played twice;
  // the flat-out decodes, a few ms each and so at the mercy of a busy host, are taken
  // before, between and after the plays, and their median is the baseline.
  const auto mp3 = Piece(40);
  const bool full = state.range(0) != 0;
  std::vector<double> decodes, natives, plays, faults;
  auto decode = [&] {
    for (int i = 0; i < 2; ++i) {
      natives.push_back(DecodeFlatOut(mp3, false));
      decodes.push_back(full ? natives.back() : DecodeFlatOut(mp3, true));
    }
  };
  for (auto _ : state) {
    decode();
    for (int pass = 0; pass < 2; ++pass) {
      sys::RealClock clock;
      auto device = audio::OpenNullAudioDevice(clock, nullptr);
      media::MP3Player player(device.get(), clock, media::SoundQuality{full});
      const double cpu0 = ProcessCpuSeconds();
      const long faults0 = PageFaults();
      const auto t0 = std::chrono::steady_clock::now();
      player.Start(mp3.data(), static_cast<int>(mp3.size()), /*wait=*/true, false);
      player.Stop();
      const double wall =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      plays.push_back((ProcessCpuSeconds() - cpu0) / wall);
      faults.push_back(static_cast<double>(PageFaults() - faults0) / wall);
      decode();
    }
  }
  const double decodePerSecond = Median(decodes), nativePerSecond = Median(natives);
  const double playPerSecond = (plays[0] + plays[1]) / 2;
  state.counters["page_faults_per_s"] = (faults[0] + faults[1]) / 2;
  state.counters["play_cpu_share_%"] = playPerSecond * 100;
  state.counters["decode_flat_out_cpu_per_s_%"] = decodePerSecond * 100;
  state.counters["ratio_play_vs_decode"] = playPerSecond / decodePerSecond;
  state.counters["ratio_play_vs_native_decode"] = playPerSecond / nativePerSecond;
  state.counters["ratio_first_play"] = plays[0] / decodePerSecond;
  state.counters["ratio_second_play"] = plays[1] / decodePerSecond;
}
BENCHMARK(BM_Mp3PlaybackCpu)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

void BM_Mp3StopLatency(benchmark::State& state) {
  const auto mp3 = Piece();
  sys::RealClock clock;
  auto device = audio::OpenNullAudioDevice(clock, nullptr);
  media::MP3Player player(device.get(), clock);
  double worst = 0, total = 0;
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    player.Start(mp3.data(), static_cast<int>(mp3.size()), false, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    state.ResumeTiming();
    const auto t0 = std::chrono::steady_clock::now();
    player.Stop();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    worst = std::max(worst, ms);
    total += ms;
    ++n;
  }
  state.counters["stop_mean_ms"] = total / n;
  state.counters["stop_worst_ms"] = worst;
  state.counters["target_ms"] = 50;
}
BENCHMARK(BM_Mp3StopLatency)->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
