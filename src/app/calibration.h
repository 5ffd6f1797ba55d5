#pragma once
// The pacing calibration: how many zero-time-out polls of an event this machine makes in a
// second, measured once and cached with a description of the hardware.

#include <cstdint>
#include <functional>
#include <string>

namespace app {

// "%u,%u,%u,%u,%u,%u,%u,%u,%u": page size, lowest and highest application address, active
// processor mask, processor count, processor type, allocation granularity, processor level,
// processor revision, from this machine's equivalents.
std::string MachineText();

// Where the cached values live ("SysInfo" and "Times" under the shared key).
class CalibrationCache {
 public:
  virtual ~CalibrationCache() = default;
  // Missing values leave the arguments unchanged.
  virtual void Read(std::string& sysInfo, uint32_t& times) = 0;
  virtual void Write(const std::string& sysInfo, uint32_t times) = 0;
};

// Counts polls until `stop` says to end (run on its own thread for one second).
uint32_t CountPolls(const std::function<bool()>& stop);

// Returns the cached value when it is non-zero and the machine text matches, otherwise
// runs `measure`, stores its result with the machine text and returns it.
uint32_t Calibrate(CalibrationCache& cache, const std::string& machineText,
                   const std::function<uint32_t()>& measure);

// The measurement of the real player: a counting thread stopped after one second.
uint32_t MeasurePollRate();

}  // namespace app
