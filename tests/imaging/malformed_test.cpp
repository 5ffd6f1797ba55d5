// Every prefix and a spread of byte changes of the fuzz seeds: an error code or a picture,
// never a crash (the sanitizer build checks the rest).

#include "imaging_test_util.h"

namespace imaging::test {
namespace {

std::vector<Bytes> Seeds(const std::string& folder) {
  std::vector<Bytes> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(SP_FUZZ_DIR) + "/" + folder))
    seeds.push_back(ReadFile(entry.path().string()));
  return seeds;
}

void Check(const Bytes& file, bool jpeg, int bits) {
  Decoded d = DecodeBytes(file, jpeg, bits);
  if (d.pixels) {
    EXPECT_TRUE(d.error == kOk || d.error == kErrShort || d.error == kErrTooManyRows) << d.error;
    EXPECT_EQ(d.pixels.size(), static_cast<size_t>(d.width) * d.height * (bits == 24 ? 3 : 1));
  } else {
    EXPECT_NE(d.error, kOk);
    EXPECT_EQ(d.width, 0);
    EXPECT_EQ(d.height, 0);
  }
}

void Mangle(const std::vector<Bytes>& seeds, bool jpeg) {
  ASSERT_FALSE(seeds.empty());
  for (const Bytes& seed : seeds) {
    for (size_t n = 0; n < seed.size(); n += jpeg ? 7 : 1)
      Check(Bytes(seed.begin(), seed.begin() + static_cast<long>(n)), jpeg, 24);
    uint32_t s = static_cast<uint32_t>(seed.size());
    for (int k = 0; k < 200; ++k) {
      Bytes m = seed;
      for (int j = 0; j < 3; ++j) {
        s = s * 1664525u + 1013904223u;
        m[(s >> 8) % m.size()] = static_cast<uint8_t>(s >> 24);
      }
      Check(m, jpeg, 24);
      Check(m, jpeg, 8);
    }
  }
}

TEST(MalformedInput, BitmapsGiveErrorsNotCrashes) { Mangle(Seeds("read_bmp/corpus"), false); }
TEST(MalformedInput, JpegsGiveErrorsNotCrashes) { Mangle(Seeds("read_jpeg/corpus"), true); }

}  // namespace
}  // namespace imaging::test
