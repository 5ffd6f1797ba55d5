#include "app/calibration.h"

#include <sched.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <thread>

#include "platform/sys/event.h"

namespace app {
namespace {

uint32_t Clamp32(uint64_t v) { return v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v); }

uint64_t ReadNumber(const char* path, uint64_t fallback) {
  std::ifstream in(path);
  uint64_t v = 0;
  return (in >> v) ? v : fallback;
}

// CPU family and model/stepping from /proc/cpuinfo (level and revision of the processor).
void CpuLevelRevision(uint32_t& level, uint32_t& revision) {
  level = 0;
  revision = 0;
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  uint32_t model = 0, stepping = 0;
  int found = 0;
  while (found < 3 && std::getline(in, line)) {
    auto value = [&]() -> uint32_t {
      auto colon = line.find(':');
      if (colon == std::string::npos) return 0;
      return static_cast<uint32_t>(std::strtoul(line.c_str() + colon + 1, nullptr, 10));
    };
    if (line.rfind("cpu family", 0) == 0) {
      level = value();
      ++found;
    } else if (line.rfind("model\t", 0) == 0 || line.rfind("model ", 0) == 0) {
      if (line.rfind("model name", 0) != 0) {
        model = value();
        ++found;
      }
    } else if (line.rfind("stepping", 0) == 0) {
      stepping = value();
      ++found;
    }
  }
  revision = ((model & 0xFF) << 8) | (stepping & 0xFF);
}

}  // namespace

std::string MachineText() {
  const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  const uint64_t lowest = ReadNumber("/proc/sys/vm/mmap_min_addr", page);
  const uint64_t highest = sizeof(void*) == 8 ? (uint64_t{1} << 47) - page - 1 : 0xBFFFFFFFu;
  uint64_t mask = 0;
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    for (int i = 0; i < 32; ++i) {
      if (CPU_ISSET(i, &set)) mask |= uint64_t{1} << i;
    }
  }
  const uint64_t count = static_cast<uint64_t>(sysconf(_SC_NPROCESSORS_ONLN));
#if defined(__x86_64__)
  const uint32_t type = 8664;  // the x86-64 processor type number
#elif defined(__i386__)
  const uint32_t type = 586;
#else
  const uint32_t type = 0;
#endif
  uint32_t level, revision;
  CpuLevelRevision(level, revision);
  char text[260];
  std::snprintf(text, sizeof text, "%u,%u,%u,%u,%u,%u,%u,%u,%u", Clamp32(page), Clamp32(lowest),
                Clamp32(highest), Clamp32(mask), Clamp32(count), type, Clamp32(page),
                level & 0xFFFF, revision & 0xFFFF);
  return text;
}

uint32_t CountPolls(const std::function<bool()>& stop) {
  uint32_t count = 0;
  while (count < 0xFFFFFFFFu && !stop()) ++count;
  return count;
}

uint32_t Calibrate(CalibrationCache& cache, const std::string& machineText,
                   const std::function<uint32_t()>& measure) {
  std::string stored;
  uint32_t times = 0;
  cache.Read(stored, times);
  if (times != 0 && stored == machineText) return times;
  times = measure();
  cache.Write(machineText, times);
  return times;
}

uint32_t MeasurePollRate() {
  sys::Event stop;
  uint32_t count = 0;
  std::thread counter([&] { count = CountPolls([&] { return stop.IsSet(); }); });
  std::this_thread::sleep_for(std::chrono::seconds(1));
  stop.Set();
  counter.join();
  return count;
}

}  // namespace app
