// Peak memory of a big photo show: 100 JPEGs of 4000 x 3000 (generated here into a folder
// of our own, a few distinct pictures repeated, each item holding its own copy of the bytes
// as a loaded archive does) loaded for a 1920 x 1080 screen and played through once, every
// picture shown, in a child process whose peak resident size (VmHWM) is measured. Fitted
// to the screen and shown at their own size, both against the bound the show must keep:
//   peak_ratio = peak / (archive bytes + 1 GiB)   (target <= 1)
// The decodes done ahead and on showing are counted too, and how long the walk waited.

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/image_decoder.h"
#include "scene/fake_play_host.h"
#include "scene/items.h"
#include "scene/scene_list.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 4000, kHeight = 3000, kPictures = 100, kDistinct = 4;
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;
constexpr int64_t kGiB = int64_t{1} << 30;

std::string g_self;  // this program, run again as the child

// Photo-like JPEG (smooth gradients with some texture) written to `file`.
void WriteJpeg(const std::string& file, uint32_t seed) {
  std::vector<uint8_t> p(static_cast<size_t>(kWidth) * kHeight * 3);
  uint32_t s = seed;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      s = s * 1664525u + 1013904223u;
      uint8_t* d = &p[(static_cast<size_t>(y) * kWidth + x) * 3];
      d[0] = static_cast<uint8_t>(128 + 100 * std::sin(x * 0.003 + y * 0.001 + seed));
      d[1] = static_cast<uint8_t>(128 + 100 * std::cos(y * 0.004 + seed));
      d[2] = static_cast<uint8_t>(((x ^ y) & 0x3F) + (s >> 29));
    }
  auto out = imaging::OpenTarget(file);
  imaging::WriteJpeg(out, p, kWidth, kHeight, 85, false);
  imaging::CloseTarget(out);
}

std::vector<uint8_t> Slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The peak resident size of this process, from /proc.
int64_t PeakResidentBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
  return -1;
}

// The child: loads the show from the pictures in `dir`, plays it through, and prints
// "peak archive ahead onDemand" on stdout. Exit status 0 when all went well.
int RunChild(const std::string& dir, bool fit) {
  imaging::InitDecoder();
  std::vector<std::vector<uint8_t>> files;
  for (int i = 0; i < kDistinct; ++i)
    files.push_back(Slurp(dir + "/" + std::to_string(i) + ".jpg"));
  scene::SceneList list;
  list.screenWidth = kScreenWidth;
  list.screenHeight = kScreenHeight;
  list.SetPictureMemory(scene::DefaultPictureMemory());
  int64_t archive = 0;
  std::vector<scene::PictureItem*> pictures;
  for (int i = 0; i < kPictures; ++i) {
    list.Append(list.Create(scene::kPictureItem));
    auto& p = static_cast<scene::PictureItem&>(list.at(list.size() - 1));
    const auto& bytes = files[static_cast<size_t>(i % kDistinct)];
    p.data = scene::DataBlock::Of(bytes.data(), bytes.size());
    p.dataSize = static_cast<int32_t>(bytes.size());
    p.fitScreen = fit ? 1 : 0;
    p.keepAspect = 1;
    archive += static_cast<int64_t>(bytes.size());
    pictures.push_back(&p);
  }
  for (scene::PictureItem* p : pictures) {
    list.Append(list.Create(scene::kShowPictureItem));
    scene::SceneItem& show = list.at(list.size() - 1);
    show.setLink(p);
    p->addReference(&show);
  }
  for (size_t j = 0; j < list.size(); ++j) list.at(j).index = static_cast<int32_t>(j);
  if (scene::PrepareItems(list) >= 0) return 2;
  scene_test::FakePlayHost host(kScreenWidth, kScreenHeight);
  for (int32_t i = 0; i < static_cast<int32_t>(list.size()); ++i)
    list.at(static_cast<size_t>(i)).play(host, i);
  const scene::PictureCache::Counts counts = list.pictureCache().counts();
  std::printf("%lld %lld %lld %lld %lld\n", static_cast<long long>(PeakResidentBytes()),
              static_cast<long long>(archive), static_cast<long long>(counts.ahead),
              static_cast<long long>(counts.onDemand), static_cast<long long>(counts.waitedNs));
  list.Clear();
  return 0;
}

// Our own folder of pictures, removed at exit.
struct PictureFolder {
  std::string path;
  PictureFolder() {
    std::string name = (fs::temp_directory_path() / "sp-memory-bench-XXXXXX").string();
    if (!mkdtemp(name.data())) return;
    path = name;
    for (int i = 0; i < kDistinct; ++i)
      WriteJpeg(path + "/" + std::to_string(i) + ".jpg", 2000 + static_cast<uint32_t>(i));
  }
  ~PictureFolder() {
    if (!path.empty()) fs::remove_all(path);
  }
};

const PictureFolder& Pictures() {
  static const PictureFolder folder;
  return folder;
}

// Runs the child and reads its line; false when it failed.
bool RunChildProcess(const std::string& dir, bool fit, long long& peak, long long& archive,
                     long long& ahead, long long& onDemand, long long& waitedNs) {
  int out[2];
  if (pipe(out) != 0) return false;
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    const char* args[] = {g_self.c_str(), "--child", dir.c_str(), fit ? "fit" : "own", nullptr};
    execv(g_self.c_str(), const_cast<char* const*>(args));
    _exit(127);
  }
  close(out[1]);
  FILE* in = fdopen(out[0], "r");
  const bool read = in && std::fscanf(in, "%lld %lld %lld %lld %lld", &peak, &archive, &ahead,
                                      &onDemand, &waitedNs) == 5;
  if (in)
    std::fclose(in);
  else
    close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return read && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void PeakMemory(benchmark::State& state, bool fit) {
  imaging::InitDecoder();
  const std::string& dir = Pictures().path;
  if (dir.empty()) {
    state.SkipWithError("no picture folder");
    return;
  }
  long long peak = 0, archive = 0, ahead = 0, onDemand = 0, waitedNs = 0;
  for (auto _ : state) {
    if (!RunChildProcess(dir, fit, peak, archive, ahead, onDemand, waitedNs)) {
      state.SkipWithError("the child failed");
      return;
    }
  }
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["archive_MB"] = static_cast<double>(archive) / 1e6;
  state.counters["bound_MB"] = static_cast<double>(archive + kGiB) / 1e6;
  state.counters["peak_ratio"] = static_cast<double>(peak) / static_cast<double>(archive + kGiB);
  state.counters["decoded_ahead"] = static_cast<double>(ahead);
  state.counters["decoded_on_show"] = static_cast<double>(onDemand);
  // The walk here waits nothing between pictures, so it outruns the decoding: what a show
  // with pauses would not wait for.
  state.counters["walk_waited_ms"] = static_cast<double>(waitedNs) / 1e6;
}
BENCHMARK_CAPTURE(PeakMemory, fit_to_screen, true)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(PeakMemory, own_size, false)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
    return RunChild(argv[2], std::strcmp(argv[3], "fit") == 0);
  g_self = fs::read_symlink("/proc/self/exe").string();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
