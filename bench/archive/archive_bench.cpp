// Loading a show of 100 media items with 2 MB blocks, against one fread of the same file
// in the same run. The counter "ratio" is load throughput / raw read throughput.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/sys/bounded_reader.h"
#include "scene/project_archive.h"
#include "scene/scene_list.h"
#include "scene/shift_text.h"

namespace {

constexpr int kItems = 100;
constexpr size_t kBlock = 2 * 1024 * 1024;

void Put32(std::string& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
}
void PutStr(std::string& out, const std::string& s) {
  out += static_cast<char>(s.size());
  out += s;
}

// Writes the archive once per process; removed at exit.
const std::string& ArchivePath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/sp_bench_archive_XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) std::abort();
    FILE* f = fdopen(fd, "wb");
    std::string head;
    Put32(head, 0);
    PutStr(head, "SceneProject");
    const float v = 4.31f;
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    Put32(head, static_cast<int32_t>(bits));
    Put32(head, kItems);
    std::fwrite(head.data(), 1, head.size(), f);
    std::vector<uint8_t> data(kBlock);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
    for (int i = 0; i < kItems; ++i) {
      std::string rec;
      Put32(rec, 9);
      PutStr(rec, "media" + std::to_string(i));
      Put32(rec, 0);
      Put32(rec, 0);
      Put32(rec, static_cast<int32_t>(kBlock));
      PutStr(rec, "clip.mp3");
      Put32(rec, 2);
      std::fwrite(rec.data(), 1, rec.size(), f);
      std::fwrite(data.data(), 1, data.size(), f);
    }
    std::string links;
    for (int i = 0; i < kItems; ++i) Put32(links, 0);
    std::fwrite(links.data(), 1, links.size(), f);
    std::fclose(f);
    std::atexit([] { std::remove(ArchivePath().c_str()); });
    return name;
  }();
  return path;
}

// The baseline reads into a buffer that exists already (its pages touched), so it measures
// the copy out of the page cache alone: the strictest comparison for the loader.
double RawRead(size_t& bytes) {
  static std::vector<uint8_t> buffer;
  FILE* f = std::fopen(ArchivePath().c_str(), "rb");
  std::fseek(f, 0, SEEK_END);
  const auto size = static_cast<size_t>(std::ftell(f));
  std::fseek(f, 0, SEEK_SET);
  if (buffer.size() < size) buffer.assign(size, 1);
  const auto t0 = std::chrono::steady_clock::now();
  bytes = std::fread(buffer.data(), 1, size, f);
  const auto t1 = std::chrono::steady_clock::now();
  std::fclose(f);
  benchmark::DoNotOptimize(buffer.data());
  return std::chrono::duration<double>(t1 - t0).count();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Load(size_t& items) {
  const auto t0 = std::chrono::steady_clock::now();
  sys::FileSource file;
  if (!file.Open(ArchivePath())) std::abort();
  scene::ProjectArchive archive(file);
  archive.ReadInt32();
  scene::SceneList list;
  if (!scene::ReadScene(archive, list)) std::abort();
  items = list.size();
  const auto t1 = std::chrono::steady_clock::now();
  list.Clear();
  return std::chrono::duration<double>(t1 - t0).count();
}

void BM_LoadVsFread(benchmark::State& state) {
  size_t bytes = 0, items = 0;
  RawRead(bytes);  // warm the page cache
  double loadTime = 0, rawTime = 0;
  for (auto _ : state) {
    rawTime += RawRead(bytes);
    const double t = Load(items);
    loadTime += t;
    state.SetIterationTime(t);
  }
  if (items != kItems) state.SkipWithError("load incomplete");
  const double n = static_cast<double>(state.iterations());
  state.counters["load_MBps"] = bytes / (loadTime / n) / 1e6;
  state.counters["fread_MBps"] = bytes / (rawTime / n) / 1e6;
  state.counters["ratio"] = rawTime / loadTime;
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_LoadVsFread)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
