#include <gtest/gtest.h>

#include <cstdio>

#include "app/calibration.h"

namespace {

struct MemoryCache : app::CalibrationCache {
  std::string sysInfo;
  uint32_t times = 0;
  bool present = false;
  int writes = 0;
  void Read(std::string& s, uint32_t& t) override {
    if (!present) return;
    s = sysInfo;
    t = times;
  }
  void Write(const std::string& s, uint32_t t) override {
    sysInfo = s;
    times = t;
    present = true;
    ++writes;
  }
};

TEST(Calibration, MeasuresOnceThenUsesTheCacheUntilTheMachineOrValueChanges) {
  MemoryCache cache;
  int measured = 0;
  auto measure = [&] {
    ++measured;
    return 1000u + measured;
  };
  EXPECT_EQ(app::Calibrate(cache, "a", measure), 1001u);
  EXPECT_EQ(app::Calibrate(cache, "a", measure), 1001u);
  EXPECT_EQ(measured, 1);
  EXPECT_EQ(app::Calibrate(cache, "b", measure), 1002u);  // hardware changed
  EXPECT_EQ(cache.sysInfo, "b");
  cache.times = 0;  // a zero value is measured again even when the text matches
  EXPECT_EQ(app::Calibrate(cache, "b", measure), 1003u);
  EXPECT_EQ(cache.writes, 3);
}

TEST(Calibration, MachineTextHasNineNumbers) {
  std::string text = app::MachineText();
  unsigned v[9];
  char tail;
  int n = std::sscanf(text.c_str(), "%u,%u,%u,%u,%u,%u,%u,%u,%u%c", &v[0], &v[1], &v[2], &v[3],
                      &v[4], &v[5], &v[6], &v[7], &v[8], &tail);
  EXPECT_EQ(n, 9) << text;
  EXPECT_GT(v[0], 0u);  // page size
  EXPECT_GT(v[4], 0u);  // processors
  EXPECT_EQ(text, app::MachineText());
}

TEST(Calibration, CountingStopsWhenTold) {
  int polls = 0;
  EXPECT_EQ(app::CountPolls([&] { return ++polls > 5; }), 5u);
}

}  // namespace
